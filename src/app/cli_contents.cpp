#include "app/cli_contents.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <set>

#include "app/cli_commands.h"
#include "base/paths.h"
#include "base/utf8.h"
#include "ui/text_tables.h"

namespace hw {

namespace {

// The texts of the contents, in both languages; in the order of kContentsTexts.
enum class ContentsText {
    Whole,
    Damaged,
    Missing,
    Gone,
    Ahead,
    OlderOnly,
    HeaderState,
    HeaderTemp,
    HeaderNewest,
    HeaderOlder,
    HeaderSize,
    HeaderHash,
    HeaderName,
    NoPartFiles,
    TempMissingListed,
    TempMissingNoBackup,
    NoMatch,
    SeveralMatch,
    NoWholeNewest,
    NoWholeOlder,
    NothingRestored,
    NothingLost,
    ChosenNeedsYes,
    Count
};

// clang-format off
const Bilingual kContentsTexts[] = {
    {"whole", "intakt"},
    {"damaged", "beschädigt"},
    {"missing", "fehlt"},
    {"gone", "weg"},
    {"ahead", "weiter"},
    {"older only", "nur ältere"},
    {"STATE", "ZUSTAND"},
    {"TEMP", "TEMP"},
    {"BACKUP", "SICHERUNG"},
    {"OLDER", "ÄLTERE"},
    {"SIZE", "GRÖSSE"},
    {"HASH", "HASH"},
    {"NAME", "NAME"},
    {"No part files in the temp folder or the backups.",
     "Keine Part-Dateien im Temp-Ordner oder in den Sicherungen."},
    {"the temp folder does not exist or is no folder (is its disk not mounted?); its downloads "
     "are listed as missing: ",
     "der Temp-Ordner existiert nicht oder ist kein Ordner (ist sein Datenträger nicht "
     "eingehängt?); seine Downloads werden als fehlend aufgeführt: "},
    {"the temp folder does not exist or is no folder (is its disk not mounted?), and there is no "
     "backup: ",
     "der Temp-Ordner existiert nicht oder ist kein Ordner (ist sein Datenträger nicht "
     "eingehängt?), und es gibt keine Sicherung: "},
    {"no download matches ", "kein Download passt zu "},
    {"several downloads match ", "mehrere Downloads passen zu "},
    {"the newest backup holds no whole copy of ",
     "die neueste Sicherung enthält keine intakte Kopie von "},
    {"the older backup holds no whole copy of ",
     "die ältere Sicherung enthält keine intakte Kopie von "},
    {"Nothing was restored.", "Es wurde nichts wiederhergestellt."},
    {"Nothing to restore: no download is damaged or missing in the temp folder that a backup "
     "holds whole.",
     "Nichts wiederherzustellen: Kein Download ist im Temp-Ordner beschädigt oder fehlend, den "
     "eine Sicherung vollständig enthält."},
    {"Nothing was restored. Add --yes to restore these part files.",
     "Nichts wurde wiederhergestellt. Mit --yes werden diese Part-Dateien wiederhergestellt."},
};
// clang-format on
static_assert(sizeof kContentsTexts / sizeof kContentsTexts[0] ==
              static_cast<std::size_t>(ContentsText::Count));

std::string TextOf(const std::string& language, ContentsText id) {
    return kContentsTexts[static_cast<std::size_t>(id)].in(language == "DE" ? Language::German
                                                                            : Language::English);
}

// A name as a terminal may show it: control characters (a line break would start a false row,
// an escape sequence would steer the terminal), direction overrides and bytes that are no UTF-8
// become "?".
std::string Printable(const std::string& text) {
    std::string shown;
    shown.reserve(text.size());
    for (std::size_t pos = 0; pos < text.size();) {
        char32_t c = 0;
        const bool valid = NextCodePoint(text, pos, c);
        const bool control = c < 0x20 || (c >= 0x7F && c <= 0x9F) || (c >= 0x202A && c <= 0x202E) ||
                             (c >= 0x2066 && c <= 0x2069);
        if (!valid || control) {
            shown += '?';
        } else {
            AppendUtf8(shown, c);
        }
    }
    return shown;
}

// Terminal columns: characters, not bytes (the texts of the header and the states are ours).
std::size_t Width(const std::string& text) {
    std::size_t width = 0;
    for (const unsigned char c : text) width += (c & 0xC0) != 0x80;
    return width;
}

// The letter case of the alphabets that names of downloads mostly use: Latin (with its
// European accents), Greek and Cyrillic.
char32_t Lower(char32_t c) {
    if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) return c + 0x20;
    if ((c >= 0x100 && c <= 0x12F) || (c >= 0x132 && c <= 0x137) || (c >= 0x14A && c <= 0x177)) {
        return c | 1;
    }
    if (((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) && c % 2 == 1) return c + 1;
    if (c == 0x178) return 0xFF;
    if ((c >= 0x391 && c <= 0x3AB && c != 0x3A2) || (c >= 0x410 && c <= 0x42F)) return c + 0x20;
    if (c >= 0x400 && c <= 0x40F) return c + 0x50;
    return c;
}

std::string Folded(const std::string& text) {
    std::string folded;
    for (std::size_t pos = 0; pos < text.size();) {
        const std::size_t start = pos;
        char32_t c = 0;
        if (NextCodePoint(text, pos, c)) {
            AppendUtf8(folded, Lower(c));
        } else {
            folded += text[start];
        }
    }
    return folded;
}

bool IsHashText(const std::string& text) {
    return text.size() == 32 && std::all_of(text.begin(), text.end(), [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
           });
}

std::string Upper(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return text;
}

const char* StateKey(DownloadState state) {
    switch (state) {
        case DownloadState::Whole:
            return "whole";
        case DownloadState::DamagedInTemp:
            return "damaged";
        case DownloadState::MissingInTemp:
            return "missing";
        case DownloadState::GoneWithItsData:
            return "gone";
        case DownloadState::AheadOfBackup:
            return "ahead";
        case DownloadState::OnlyInOlder:
            break;
    }
    return "older-only";
}

std::string StateWord(const std::string& language, DownloadState state) {
    switch (state) {
        case DownloadState::Whole:
            return TextOf(language, ContentsText::Whole);
        case DownloadState::DamagedInTemp:
            return TextOf(language, ContentsText::Damaged);
        case DownloadState::MissingInTemp:
            return TextOf(language, ContentsText::Missing);
        case DownloadState::GoneWithItsData:
            return TextOf(language, ContentsText::Gone);
        case DownloadState::AheadOfBackup:
            return TextOf(language, ContentsText::Ahead);
        case DownloadState::OnlyInOlder:
            break;
    }
    return TextOf(language, ContentsText::OlderOnly);
}

// "-" where no file stands at the place, "?" where it is no whole part file (or names no size).
// Rounded down, so that a download short of a few bytes never reads as 100%.
std::string DoneText(const PartFileSeen& seen) {
    if (!seen.present) return "-";
    if (!seen.whole || seen.info.size == 0) return "?";
    return std::to_string(seen.info.PartsDone(100)) + "%";
}

std::string ReadableSize(const std::string& language, std::uint64_t bytes) {
    static const char* const kUnits[] = {"B", "KiB", "MiB", "GiB", "TiB", "PiB", "EiB"};
    std::size_t k = 0;
    std::uint64_t unit = 1;
    while (k + 1 < std::size(kUnits) && bytes / unit >= 1024) unit *= 1024, ++k;
    const std::uint64_t whole = bytes / unit;
    if (k == 0 || whole >= 10) return std::to_string(whole) + " " + kUnits[k];
    const std::uint64_t tenth = bytes % unit * 10 / unit;
    return std::to_string(whole) + (language == "DE" ? "," : ".") + std::to_string(tenth) + " " +
           kUnits[k];
}

// The name shown; the place where no copy names the download.
std::string ShownName(const DownloadRow& row) {
    return row.name.empty() ? "(" + Printable(row.place) + ")" : Printable(row.name);
}

// The rows as aligned columns under a header. The name comes last and is never cut: a long one
// does not push the other columns apart.
void WriteTable(const std::string& language, const std::vector<const DownloadRow*>& rows,
                bool older, const Console& console) {
    auto text = [&language](ContentsText id) { return TextOf(language, id); };
    std::vector<std::vector<std::string>> lines;
    lines.push_back({text(ContentsText::HeaderState), text(ContentsText::HeaderTemp),
                     text(older ? ContentsText::HeaderOlder : ContentsText::HeaderNewest),
                     text(ContentsText::HeaderSize), text(ContentsText::HeaderHash),
                     text(ContentsText::HeaderName)});
    for (const DownloadRow* row : rows) {
        const bool known = !row->hash.empty();
        lines.push_back({StateWord(language, row->state), DoneText(row->temp),
                         DoneText(older ? row->older : row->newest),
                         !known           ? "-"
                         : row->size == 0 ? "?"
                                          : ReadableSize(language, row->size),
                         known ? row->hash : "-", ShownName(*row)});
    }
    const std::size_t columns = lines.front().size();
    std::vector<std::size_t> widths(columns, 0);
    for (const auto& line : lines) {
        for (std::size_t k = 0; k + 1 < columns; ++k) {
            widths[k] = std::max(widths[k], Width(line[k]));
        }
    }
    // The state, the hash and the name read from the left, the numbers from the right.
    auto leftAligned = [](std::size_t k) { return k == 0 || k == 4; };
    for (const auto& line : lines) {
        std::string out;
        for (std::size_t k = 0; k < columns; ++k) {
            const std::string pad(k + 1 < columns ? widths[k] - Width(line[k]) : 0, ' ');
            out += leftAligned(k) ? line[k] + pad : pad + line[k];
            if (k + 1 < columns) out += "  ";
        }
        console.Out(out);
    }
}

void WritePlace(JsonWriter& json, const char* key, const PartFileSeen& seen) {
    json.Key(key);
    json.BeginObject();
    json.Key("present");
    json.Bool(seen.present);
    json.Key("whole");
    json.Bool(seen.whole);
    json.Key("done");
    seen.whole ? json.Unsigned(seen.info.done) : json.Null();
    json.EndObject();
}

std::string ContentsJson(const BackupContents& contents) {
    JsonWriter json;
    json.BeginArray();
    for (const DownloadRow& row : contents.rows) {
        const bool known = !row.hash.empty();
        json.BeginObject();
        json.Key("place");
        json.String(row.place);
        json.Key("name");
        json.String(row.name);
        json.Key("size");
        known ? json.Unsigned(row.size) : json.Null();
        json.Key("hash");
        known ? json.String(row.hash) : json.Null();
        json.Key("state");
        json.String(StateKey(row.state));
        WritePlace(json, "temp", row.temp);
        WritePlace(json, "newest", row.newest);
        WritePlace(json, "older", row.older);
        json.EndObject();
    }
    json.EndArray();
    return json.text();
}

// The rows an argument names: a place, else a hash, else a name as written, else a name in
// any letter case. Several where it names several.
std::vector<const DownloadRow*> Matching(const BackupContents& contents,
                                         const std::string& argument) {
    std::vector<const DownloadRow*> found;
    auto collect = [&](auto matches) {
        for (const DownloadRow& row : contents.rows) {
            if (matches(row)) found.push_back(&row);
        }
        return !found.empty();
    };
    if (collect([&](const DownloadRow& row) { return row.place == argument; })) return found;
    if (IsHashText(argument) &&
        collect([&](const DownloadRow& row) { return row.hash == Upper(argument); })) {
        return found;
    }
    if (argument.empty()) return found;
    if (collect([&](const DownloadRow& row) { return row.name == argument; })) return found;
    const std::string folded = Folded(argument);
    collect([&](const DownloadRow& row) { return Folded(row.name) == folded; });
    return found;
}

std::string Quoted(const std::string& argument) {
    return "'" + Printable(argument) + "'";
}

}  // namespace

BackupContents ReadContentsOf(const CliSettings& s) {
    ContentsRequest request;
    request.temp = TrimTrailingSeparators(s.temp());
    request.backup = TrimTrailingSeparators(s.backup());
    request.client = TrimTrailingSeparators(s.client());
    request.subfolders = !*s.values.simpleStoring;
    return ReadBackupContents(request);
}

int List(const CliSettings& s, bool older, Console& console, CliReport& report) {
    const BackupContents contents = ReadContentsOf(s);
    if (contents.tempMissing) {
        const std::string temp = TrimTrailingSeparators(s.temp());
        // With no backup either there is nothing to list; most likely a disk is not mounted.
        if (contents.newestFolder.empty() && contents.olderFolder.empty()) {
            console.Complain(TextOf(s.language, ContentsText::TempMissingNoBackup) + temp);
            return kRefused;
        }
        console.Tell(Severity::Warning, TextOf(s.language, ContentsText::TempMissingListed) + temp);
    }
    report.listing = ContentsJson(contents);
    std::vector<const DownloadRow*> rows;
    for (const DownloadRow& row : contents.rows) rows.push_back(&row);
    if (rows.empty()) {
        console.Out(TextOf(s.language, ContentsText::NoPartFiles));
    } else {
        WriteTable(s.language, rows, older, console);
    }
    return kSucceeded;
}

ChosenPlaces ChooseDownloads(const CliSettings& s, const BackupContents& contents,
                             const std::vector<std::string>& only, bool lost, bool older,
                             Console& console) {
    ChosenPlaces chosen;
    std::set<std::string> places;
    std::set<std::string> fromOlder;
    if (lost) {
        const LostDownloads found = LostPlaces(contents);
        places.insert(found.newest.begin(), found.newest.end());
        fromOlder.insert(found.older.begin(), found.older.end());
        // With --older all of them from B_old, where it holds them whole.
        if (older) {
            for (const DownloadRow& row : contents.rows) {
                if (places.count(row.place) > 0 && row.older.whole) fromOlder.insert(row.place);
            }
            places.clear();
        }
    }
    std::vector<std::string> problems;
    for (const std::string& argument : only) {
        const std::vector<const DownloadRow*> found = Matching(contents, argument);
        if (found.empty()) {
            problems.push_back(TextOf(s.language, ContentsText::NoMatch) + Quoted(argument));
        } else if (found.size() > 1) {
            std::string line = TextOf(s.language, ContentsText::SeveralMatch) + Quoted(argument);
            for (std::size_t k = 0; k < found.size(); ++k) {
                line += (k == 0 ? ": " : ", ") + Printable(found[k]->place);
            }
            problems.push_back(line);
        } else if (!(older ? found.front()->older : found.front()->newest).whole) {
            problems.push_back(TextOf(s.language, older ? ContentsText::NoWholeOlder
                                                        : ContentsText::NoWholeNewest) +
                               Quoted(argument) + " (" + Printable(found.front()->place) + ")");
        } else {
            places.insert(found.front()->place);
        }
    }
    if (!problems.empty()) {
        std::string text;
        for (const std::string& problem : problems) text += problem + "\n";
        console.Complain(text + TextOf(s.language, ContentsText::NothingRestored));
        chosen.refused = true;
        return chosen;
    }
    for (const DownloadRow& row : contents.rows) {
        if (places.count(row.place) > 0) {
            chosen.places.push_back(row.place);
        } else if (fromOlder.count(row.place) > 0) {
            (older ? chosen.places : chosen.fromOlder).push_back(row.place);
        }
    }
    return chosen;
}

void ShowDownloads(const CliSettings& s, const BackupContents& contents,
                   const std::vector<std::string>& places, bool older, Console& console) {
    const std::set<std::string> shown(places.begin(), places.end());
    std::vector<const DownloadRow*> rows;
    for (const DownloadRow& row : contents.rows) {
        if (shown.count(row.place) > 0) rows.push_back(&row);
    }
    WriteTable(s.language, rows, older, console);
}

std::string NothingLostText(const std::string& language) {
    return TextOf(language, ContentsText::NothingLost);
}

std::string ChosenNeedsYesText(const std::string& language) {
    return TextOf(language, ContentsText::ChosenNeedsYes);
}

}  // namespace hw
