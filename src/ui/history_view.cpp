#include "ui/history_view.h"

#include "ui/text_tables.h"

namespace hw {

namespace {

enum class Text {
    Title,
    Time,
    Kind,
    Mode,
    Files,
    Damaged,
    Result,
    Message,
    Backup,
    Restore,
    Manual,
    Automatic,
    Succeeded,
    Failed,
    Empty,
    File,
    ListName,
    DetailsName,
};

// clang-format off
constexpr Bilingual kTexts[] = {
    {"History of backups and restores", "Verlauf der Sicherungen und Wiederherstellungen"},
    {"Time", "Zeit"},
    {"Run", "Lauf"},
    {"Started", "Gestartet"},
    {"Part files", "Part-Dateien"},
    {"Damaged", "Beschädigt"},
    {"Result", "Ergebnis"},
    {"Message", "Meldung"},
    {"Backup", "Sicherung"},
    {"Restore", "Wiederherstellung"},
    {"manual", "manuell"},
    {"automatic", "automatisch"},
    {"succeeded", "erfolgreich"},
    {"failed", "fehlgeschlagen"},
    {"No backup or restore has run yet.", "Es wurde noch keine Sicherung oder Wiederherstellung ausgeführt."},
    {"History file:", "Verlaufsdatei:"},
    {"Past runs, newest first", "Frühere Läufe, neueste zuerst"},
    {"Message of the chosen run", "Meldung des gewählten Laufs"},
};
// clang-format on

}  // namespace

HistoryView MakeHistoryView(const std::string& code, const std::vector<RunRecord>& runs,
                            const std::string& path) {
    const Language language = code == "DE" ? Language::German : Language::English;
    auto text = [language](Text id) -> std::string {
        return kTexts[static_cast<int>(id)].in(language);
    };
    HistoryView view;
    view.title = text(Text::Title);
    for (const Text heading : {Text::Time, Text::Kind, Text::Mode, Text::Files, Text::Damaged,
                               Text::Result, Text::Message}) {
        view.headings.push_back(text(heading));
    }
    view.emptyText = text(Text::Empty);
    view.path = path;
    view.fileLabel = text(Text::File);
    view.listName = text(Text::ListName);
    view.detailsName = text(Text::DetailsName);
    for (const RunRecord& run : runs) {
        HistoryRow row;
        row.when = run.when;
        row.time = LocalTime(run.when, "%Y-%m-%d %H:%M:%S");
        row.kind = text(run.restore ? Text::Restore : Text::Backup);
        row.mode = text(run.automatic ? Text::Automatic : Text::Manual);
        row.files = run.files;
        row.damaged = run.damaged;
        row.succeeded = run.succeeded;
        row.result = text(run.succeeded ? Text::Succeeded : Text::Failed);
        row.message = OneLine(run.message);
        view.rows.push_back(std::move(row));
    }
    return view;
}

}  // namespace hw
