#include "ui/contents_view.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <utility>

#include "base/paths.h"
#include "ui/main_form.h"
#include "ui/text_tables.h"

namespace hw {

namespace {

enum class T {
    Title,
    TableName,
    TableHelp,
    RestoreNewest,
    RestoreOlder,
    RestoreLost,
    Close,
    RestoreNewestHelp,
    RestoreOlderHelp,
    RestoreLostHelp,
    HeadName,
    HeadSize,
    HeadDoneTemp,
    HeadDoneNewest,
    HeadDoneOlder,
    HeadState,
    Damaged,
    StateWhole,
    StateDamaged,
    StateMissing,
    StateGone,
    StateAhead,
    StateOnlyOlder,
    OneDownload,
    Downloads,
    Summary,
    TempMissing,
    NoBackup,
    NothingChosen,
    NoneInNewest,
    NoneInOlder,
    NothingLost,
    AskNewest,
    AskOlder,
    AskBoth,
    LeftOut,
};

// clang-format off
const Bilingual kTexts[] = {
    {"Contents of the backup", "Inhalt der Sicherung"},
    {"Downloads", "Downloads"},
    {"One row per download in the temp folder, the newest or the older backup. Click a heading "
     "to sort.",
     "Eine Zeile je Download im Temp-Ordner, in der neuesten oder der älteren Sicherung. Ein "
     "Klick auf eine Überschrift sortiert."},
    {"Restore selected from newest backup", "Ausgewählte aus neuester Sicherung wiederherstellen"},
    {"Restore selected from older backup", "Ausgewählte aus älterer Sicherung wiederherstellen"},
    {"Restore damaged and missing", "Beschädigte und fehlende wiederherstellen"},
    {"Close", "Schließen"},
    {"Puts back the part files of the selected downloads from the newest backup; the client must "
     "be closed.",
     "Stellt die Part-Dateien der ausgewählten Downloads aus der neuesten Sicherung wieder her; "
     "der Client muss beendet sein."},
    {"Puts back the part files of the selected downloads from the older backup; the client must "
     "be closed.",
     "Stellt die Part-Dateien der ausgewählten Downloads aus der älteren Sicherung wieder her; "
     "der Client muss beendet sein."},
    {"Puts back from the newest backup every part file that is damaged or missing in the temp "
     "folder; whole part files stay as they are.",
     "Stellt aus der neuesten Sicherung jede Part-Datei wieder her, die im Temp-Ordner beschädigt "
     "ist oder fehlt; vollständige Part-Dateien bleiben, wie sie sind."},
    {"Name", "Name"},
    {"Size", "Größe"},
    {"In temp folder", "Im Temp-Ordner"},
    {"In newest backup", "In neuester Sicherung"},
    {"In older backup", "In älterer Sicherung"},
    {"State", "Zustand"},
    {"damaged", "beschädigt"},
    {"whole", "vollständig"},
    {"damaged in the temp folder", "im Temp-Ordner beschädigt"},
    {"missing in the temp folder", "fehlt im Temp-Ordner"},
    {"gone from the temp folder with its data (finished or removed)",
     "samt Daten aus dem Temp-Ordner verschwunden (fertig oder entfernt)"},
    {"further along in the temp folder than in the backup", "im Temp-Ordner weiter als in der Sicherung"},
    {"only in the older backup", "nur in der älteren Sicherung"},
    {"1 download", "1 Download"},
    {"%1 downloads", "%1 Downloads"},
    {"%1; %2 of them damaged or missing in the temp folder.",
     "%1; davon %2 im Temp-Ordner beschädigt oder fehlend."},
    {" The temp folder is not there.", " Der Temp-Ordner ist nicht vorhanden."},
    {" There is no backup yet.", " Es gibt noch keine Sicherung."},
    {"Select the downloads to restore first.",
     "Bitte zuerst die wiederherzustellenden Downloads auswählen."},
    {"None of the selected downloads has a whole copy in the newest backup: nothing was restored.",
     "Keiner der ausgewählten Downloads hat eine vollständige Kopie in der neuesten Sicherung: Es "
     "wurde nichts wiederhergestellt."},
    {"None of the selected downloads has a whole copy in the older backup: nothing was restored.",
     "Keiner der ausgewählten Downloads hat eine vollständige Kopie in der älteren Sicherung: Es "
     "wurde nichts wiederhergestellt."},
    {"No download is damaged or missing in the temp folder that a backup holds whole: nothing "
     "was restored.",
     "Kein Download ist im Temp-Ordner beschädigt oder fehlend, den eine Sicherung vollständig "
     "enthält: Es wurde nichts wiederhergestellt."},
    {"Restore %1 from the newest backup?\n\nIn the temp folder only their part files are replaced "
     "by the backup's copies; all others stay as they are.",
     "%1 aus der neuesten Sicherung wiederherstellen?\n\nIm Temp-Ordner werden nur deren "
     "Part-Dateien durch die Kopien der Sicherung ersetzt; alle anderen bleiben, wie sie sind."},
    {"Restore %1 from the older backup?\n\nIn the temp folder only their part files are replaced "
     "by the backup's copies; all others stay as they are.",
     "%1 aus der älteren Sicherung wiederherstellen?\n\nIm Temp-Ordner werden nur deren "
     "Part-Dateien durch die Kopien der Sicherung ersetzt; alle anderen bleiben, wie sie sind."},
    {"Restore %1 from the newest backup, and %2 that only the older backup holds whole from that "
     "one?\n\nIn the temp folder only their part files are replaced by the backups' copies; all "
     "others stay as they are.",
     "%1 aus der neuesten Sicherung und %2, die nur die ältere Sicherung vollständig enthält, aus "
     "dieser wiederherstellen?\n\nIm Temp-Ordner werden nur deren Part-Dateien durch die Kopien "
     "der Sicherungen ersetzt; alle anderen bleiben, wie sie sind."},
    {"\n\n%1 of the selected have no whole copy in that backup and stay as they are.",
     "\n\n%1 der ausgewählten haben keine vollständige Kopie in dieser Sicherung und bleiben, wie "
     "sie sind."},
};
// clang-format on
static_assert(sizeof kTexts / sizeof kTexts[0] == static_cast<int>(T::LeftOut) + 1,
              "one text for each id");

std::string Say(const std::string& code, T id) {
    return kTexts[static_cast<int>(id)].in(code == "EN" ? Language::English : Language::German);
}

std::string Put(std::string text, const std::string& first, const std::string& second = {}) {
    for (const auto& [mark, value] : {std::pair{"%1", &first}, std::pair{"%2", &second}}) {
        const std::size_t at = text.find(mark);
        if (at != std::string::npos) text.replace(at, 2, *value);
    }
    return text;
}

std::string Downloads(const std::string& code, std::size_t count) {
    return count == 1 ? Say(code, T::OneDownload)
                      : Put(Say(code, T::Downloads), std::to_string(count));
}

// One decimal, with the decimal sign of the language.
std::string OneDecimal(double value, const std::string& code) {
    char text[64];
    std::snprintf(text, sizeof text, "%.1f", value);
    std::string shown = text;
    if (code != "EN") std::replace(shown.begin(), shown.end(), '.', ',');
    return shown;
}

// Tenths of a percent done.
std::uint64_t PermilleDone(const PartFileInfo& info) {
    return info.PartsDone(1000);
}

std::string DoneCell(const PartFileSeen& seen, const std::string& code) {
    if (!seen.present) return "-";
    if (!seen.whole) return Say(code, T::Damaged);
    return OneDecimal(static_cast<double>(PermilleDone(seen.info)) / 10, code) + " %";
}

// Missing before damaged before any progress.
double DoneKey(const PartFileSeen& seen) {
    if (!seen.present) return -2;
    if (!seen.whole) return -1;
    return static_cast<double>(PermilleDone(seen.info));
}

// Lost first, whole last.
int StateRank(DownloadState state) {
    switch (state) {
        case DownloadState::DamagedInTemp:
            return 0;
        case DownloadState::MissingInTemp:
            return 1;
        case DownloadState::OnlyInOlder:
            return 2;
        case DownloadState::GoneWithItsData:
            return 3;
        case DownloadState::AheadOfBackup:
            return 4;
        case DownloadState::Whole:
            break;
    }
    return 5;
}

T StateText(DownloadState state) {
    switch (state) {
        case DownloadState::DamagedInTemp:
            return T::StateDamaged;
        case DownloadState::MissingInTemp:
            return T::StateMissing;
        case DownloadState::GoneWithItsData:
            return T::StateGone;
        case DownloadState::AheadOfBackup:
            return T::StateAhead;
        case DownloadState::OnlyInOlder:
            return T::StateOnlyOlder;
        case DownloadState::Whole:
            break;
    }
    return T::StateWhole;
}

// Names compare without regard to the case of ASCII letters.
int CompareNames(const std::string& a, const std::string& b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        auto lower = [](char c) {
            return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c - 'A' + 'a')
                                        : static_cast<unsigned char>(c);
        };
        if (lower(a[i]) != lower(b[i])) return lower(a[i]) < lower(b[i]) ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : a.size() < b.size() ? -1 : 1;
}

// A download no place holds a whole part file of is shown by its place.
const std::string& ShownName(const DownloadRow& row) {
    return row.name.empty() ? row.place : row.name;
}

}  // namespace

std::string ReadableSize(std::uint64_t bytes, const std::string& code) {
    static const char* const kUnits[] = {"B", "KB", "MB", "GB", "TB", "PB"};
    if (bytes < 1024) return std::to_string(bytes) + " B";
    double value = static_cast<double>(bytes);
    std::size_t unit = 0;
    while (value >= 1024 && unit + 1 < std::size(kUnits)) {
        value /= 1024;
        ++unit;
    }
    // 1,048,575 bytes would read "1024.0 KB".
    if (value >= 1023.95 && unit + 1 < std::size(kUnits)) {
        value /= 1024;
        ++unit;
    }
    return OneDecimal(value, code) + " " + kUnits[unit];
}

ContentsView::ContentsView(MainForm& form, ContentsRequest request)
    : form_(form), request_(std::move(request)), code_(form.CurrentLanguageCode()) {}

void ContentsView::Refresh() {
    // A placeholder or a relative text names no folder of the user's: nothing is read for it.
    if (!LooksLikeAbsolutePath(request_.temp) || !LooksLikeAbsolutePath(request_.backup)) {
        BackupContents none;
        none.tempMissing = true;
        Fill(std::move(none));
        return;
    }
    Fill(ReadBackupContents(request_));
}

void ContentsView::Fill(BackupContents contents) {
    if (beforeRowsChange) beforeRowsChange();
    contents_ = std::move(contents);
    code_ = form_.CurrentLanguageCode();
    cells_.clear();
    cells_.reserve(contents_.rows.size());
    for (const DownloadRow& d : contents_.rows) {
        cells_.push_back({ShownName(d), d.hash.empty() ? "-" : ReadableSize(d.size, code_),
                          DoneCell(d.temp, code_), DoneCell(d.newest, code_),
                          DoneCell(d.older, code_), Say(code_, StateText(d.state))});
    }
    order_.resize(contents_.rows.size());
    for (std::size_t i = 0; i < order_.size(); ++i) order_[i] = static_cast<int>(i);
    Sort(sortColumn_, ascending_);
    if (onChanged) onChanged(true);
}

const DownloadRow& ContentsView::row(int row) const {
    return contents_.rows.at(order_.at(row));
}

int ContentsView::RowOf(const std::string& place) const {
    for (int i = 0; i < rowCount(); ++i) {
        if (row(i).place == place) return i;
    }
    return -1;
}

std::string ContentsView::Heading(int column) const {
    return Say(code_, static_cast<T>(static_cast<int>(T::HeadName) + column));
}

std::string ContentsView::TextOf(Text id) const {
    return Say(code_, static_cast<T>(static_cast<int>(id)));
}

std::string ContentsView::Summary() const {
    const std::size_t lost =
        std::count_if(contents_.rows.begin(), contents_.rows.end(), [](const DownloadRow& d) {
            return d.state == DownloadState::DamagedInTemp ||
                   d.state == DownloadState::MissingInTemp || d.state == DownloadState::OnlyInOlder;
        });
    std::string text =
        Put(Say(code_, T::Summary), Downloads(code_, contents_.rows.size()), std::to_string(lost));
    if (contents_.tempMissing) text += Say(code_, T::TempMissing);
    if (contents_.newestFolder.empty() && contents_.olderFolder.empty()) {
        text += Say(code_, T::NoBackup);
    }
    return text;
}

void ContentsView::Sort(int column, bool ascending) {
    if (column < 0 || column >= kColumns) return;
    sortColumn_ = column;
    ascending_ = ascending;
    const std::vector<DownloadRow>& rows = contents_.rows;
    // Negative: a before b.
    auto compare = [&](int a, int b) -> int {
        const DownloadRow& x = rows[a];
        const DownloadRow& y = rows[b];
        auto order = [](auto p, auto q) { return p < q ? -1 : q < p ? 1 : 0; };
        switch (column) {
            case kSize:
                return order(x.hash.empty() ? -1.0 : static_cast<double>(x.size),
                             y.hash.empty() ? -1.0 : static_cast<double>(y.size));
            case kDoneTemp:
                return order(DoneKey(x.temp), DoneKey(y.temp));
            case kDoneNewest:
                return order(DoneKey(x.newest), DoneKey(y.newest));
            case kDoneOlder:
                return order(DoneKey(x.older), DoneKey(y.older));
            case kState:
                return order(StateRank(x.state), StateRank(y.state));
            default:
                return 0;
        }
    };
    std::stable_sort(order_.begin(), order_.end(), [&](int a, int b) {
        int c = compare(a, b);
        if (c == 0) c = CompareNames(ShownName(rows[a]), ShownName(rows[b]));
        if (c == 0) c = rows[a].place.compare(rows[b].place);
        return ascending ? c < 0 : c > 0;
    });
}

bool ContentsView::Busy() const {
    return form_.RunUnderWay();
}

void ContentsView::Tell(const std::string& text) {
    form_.services.dialogs->ShowMessage(text, form_.msg_info_caption);
}

void ContentsView::RestoreSelected(const std::vector<int>& rows, bool older) {
    if (Busy()) return;
    std::vector<std::string> places;
    std::size_t leftOut = 0;
    for (const int r : rows) {
        if (r < 0 || r >= rowCount()) continue;
        const DownloadRow& d = row(r);
        if ((older ? d.older : d.newest).whole) {
            places.push_back(d.place);
        } else {
            ++leftOut;
        }
    }
    if (places.empty()) {
        Tell(Say(code_, leftOut == 0 ? T::NothingChosen
                        : older      ? T::NoneInOlder
                                     : T::NoneInNewest));
        return;
    }
    RestoreAndRefresh(places, older, leftOut);
}

void ContentsView::RestoreLost() {
    if (Busy()) return;
    const LostDownloads lost = LostPlaces(contents_);
    if (lost.empty()) {
        Tell(Say(code_, T::NothingLost));
        return;
    }
    RestoreAndRefresh(lost.newest, false, 0, lost.older);
}

void ContentsView::RestoreAndRefresh(const std::vector<std::string>& places, bool older,
                                     std::size_t leftOut,
                                     const std::vector<std::string>& fromOlder) {
    form_.RestoreChosen(places, older, leftOut, fromOlder);
    // A run on the worker is read again at its end (RunStateChanged); one done here, now.
    if (!Busy()) Refresh();
}

void ContentsView::RunStateChanged() {
    if (Busy()) {
        if (onChanged) onChanged(false);
        return;
    }
    Refresh();
}

std::string RestoreChosenQuestion(const std::string& code, std::size_t count, bool older,
                                  std::size_t leftOut, std::size_t fromOlder) {
    std::string text;
    if (count > 0 && fromOlder > 0 && !older) {
        text = Put(Say(code, T::AskBoth), Downloads(code, count), Downloads(code, fromOlder));
    } else {
        text = Put(Say(code, older || count == 0 ? T::AskOlder : T::AskNewest),
                   Downloads(code, count + fromOlder));
    }
    if (leftOut > 0) text += Put(Say(code, T::LeftOut), std::to_string(leftOut));
    return text;
}

void MainForm::btn_contentsClick() {
    if (!showContents) return;
    const RunInputs inputs = ReadRunInputs();
    ContentsRequest request;
    request.temp = inputs.temp;
    request.backup = inputs.backup;
    request.client = inputs.client;
    request.subfolders = inputs.subfolders;
    ContentsView view(*this, std::move(request));
    view.Refresh();
    // While the view is shown, every start and end of a run on the worker reaches it as well:
    // its restores wait during a run, and each end (an automatic backup's too) reads it again.
    struct Chained {
        std::function<void()>& slot;
        std::function<void()> before;
        ~Chained() { slot = before; }
    } chained{onRunStateChanged, onRunStateChanged};
    onRunStateChanged = [before = chained.before, &view] {
        if (before) before();
        view.RunStateChanged();
    };
    showContents(view);
}

}  // namespace hw
