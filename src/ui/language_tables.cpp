#include "ui/language_tables.h"

#include "base/app_title.h"

namespace hw {

namespace {

template <auto Member>
Captioned& Get(MainForm& form) {
    return form.*Member;
}

// The About page's fixed texts, the same in both languages.
const char* const kAuthorName = "The Hoardwise developers";
const char* const kAuthorMail = "hoardwise@example.org";
const char* const kWebsite = "https://hoardwise.example.org";

}  // namespace

const std::vector<DialogText>& DialogTexts() {
    static const std::vector<DialogText> texts = {
        {&MainForm::OpenDialog1,
         {"Executables|*.*", "Ausführbare Dateien|*.*"},
         {"Search executable", "Suche zu startende Anwendung"}},
        {&MainForm::OpenDialog2,
         {"MET-files|*.met|DAT-files|*.dat|All files|*.*",
          "MET-Dateien|*.met|DAT-Dateien|*.dat|Alle Dateien|*.*"},
         {"Search additional files to backup", "Suche zusätzlich zu sichernde Dateien"}},
        {&MainForm::OpenDialog3,
         {"ed2k-client executable|amule;amuled;*.exe|All files|*.*",
          "ed2k-Client-Programm|amule;amuled;*.exe|Alle Dateien|*.*"},
         {"Determine your ed2k-client executable", "ed2k-client EXE bestimmen"}},
    };
    return texts;
}

const std::vector<PathEditText>& PathEditTexts() {
    static const std::vector<PathEditText> texts = {
        {&MainForm::edit_tempdir, &MainForm::tempdir_text},
        {&MainForm::edit_backupdir, &MainForm::backupdir_text},
        {&MainForm::edit_clientdir, &MainForm::clientdir_text},
        {&MainForm::edit_launchpad_path, &MainForm::launchpad_path_text},
    };
    return texts;
}

const std::vector<CaptionText>& CaptionsBeforeSelector() {
    static const std::vector<CaptionText> texts = {
        {Get<&MainForm::Caption>, {kAppTitle, kAppTitle}},
        {Get<&MainForm::TabSheet1>, {"Directories", "Verzeichnisse"}},
        {Get<&MainForm::TabSheet2>, {"Backup Settings", "Backup Einstellungen"}},
        {Get<&MainForm::TabSheet3>, {"General Settings", "Allgem. Einstellungen"}},
        {Get<&MainForm::TabSheet4>, {"AppRunner", "ZurUzazodov"}},
        {Get<&MainForm::TabSheet5>, {"About ...", "Über ..."}},
        {Get<&MainForm::btn_browsetemp>, {"Browse", "Suchen"}},
        {Get<&MainForm::Label1>, {"TEMP-Directory:", "TEMP-Ordner:"}},
        {Get<&MainForm::btn_browsebackup>, {"Browse", "Suchen"}},
        {Get<&MainForm::Label2>, {"BACKUP-Directory:", "BACKUP-Ordner:"}},
        {Get<&MainForm::btn_browseclientdir>, {"Browse", "Suchen"}},
        {Get<&MainForm::Label3>, {"eDonkey-Client Directory:", "Esel-Client Ordner:"}},
        {Get<&MainForm::cb_autobackup>, {"auto-backup files every", "sichere Dateien alle"}},
        {Get<&MainForm::Label4>, {"minutes", "Minuten"}},
        {Get<&MainForm::cb_startminimized>,
         {"start Hoardwise minimized", "Hoardwise minimiert starten"}},
        {Get<&MainForm::cb_boot>,
         {"start Hoardwise at log-in", "Hoardwise bei der Anmeldung starten"}},
        {Get<&MainForm::Label5>,
         {"Additional files to backup:", "Zusätzlich zu sichernde Dateien:"}},
        {Get<&MainForm::Label6>, {"Auto-Backup:", "Auto-Backup:"}},
        {Get<&MainForm::Label7>, {"Author:", "Autor:"}},
        {Get<&MainForm::Label8>, {"Language:", "Sprache:"}},
    };
    return texts;
}

const Bilingual& SelectorOwnName() {
    static const Bilingual name{"English", "Deutsch"};
    return name;
}

const Bilingual& SelectorOtherName() {
    static const Bilingual name{"German", "Englisch"};
    return name;
}

const std::vector<CaptionText>& CaptionsAfterSelector() {
    static const std::vector<CaptionText> texts = {
        {Get<&MainForm::Label9>, {"*.PART.MET storing:", "*.PART.MET Speicherung:"}},
        {Get<&MainForm::radio_storing_simple>, {"simple", "einfach"}},
        {Get<&MainForm::radio_storing_subfolder>,
         {"identically named subfolders", "benannte Unterordner"}},
        {Get<&MainForm::Label10>, {"Website:", "Webseite:"}},
        {Get<&MainForm::JDUrlLabel1>, {kAuthorName, kAuthorName}, kAuthorMail},
        {Get<&MainForm::JDUrlLabel2>, {kWebsite, kWebsite}, kWebsite},
        // The update check's target is fixed when the window is built.
        {Get<&MainForm::JDUrlLabel3>,
         {"Check for available updates now", "Auf verfügbare Updates prüfen"}},
        {Get<&MainForm::Label11>, {"Executable to launch:", "Zu startende Anwendung:"}},
        {Get<&MainForm::btn_browselaunchpad>, {"Browse", "Suchen"}},
        {Get<&MainForm::cb_lauchpad_startup>,
         {"launch an application with Hoardwise", "starte eine Anwendung mit Hoardwise"}},
        {Get<&MainForm::cb_lauchpad_watch>,
         {"restart this application whenever it is halted",
          "diese Anwendung neu starten nach Absturz, etc."}},
        {Get<&MainForm::btn_backup>, {"Backup\nfiles", "Dateien\nsichern"}},
        {Get<&MainForm::btn_restore>, {"Restore\nfiles", "Dateien\nwiederherst."}},
        {Get<&MainForm::btn_savesettings>, {"Save\nSettings", "Einstellungen\nspeichern"}},
        {Get<&MainForm::btn_minimize>, {"Minimize\ninto Systray", "In Systray\nminimieren"}},
        {Get<&MainForm::btn_exit>, {"Exit\nHWS", "HWS\nbeenden"}},
        {Get<&MainForm::cb_startclient>,
         {"start eDonkey-Client with Hoardwise", "eDonkey-Client mit Hoardwise starten"}},
        {Get<&MainForm::cb_watchclient>,
         {"restart eDonkey-Client when it is halted",
          "eDonkey-Client nach Absturz, etc. neu starten"}},
        {Get<&MainForm::pop_restore>, {"Restore", "Wiederherstellen"}},
    };
    return texts;
}

const std::vector<CaptionText>& CaptionsLast() {
    static const std::vector<CaptionText> texts = {
        {Get<&MainForm::pop_backup>, {"Backup files", "Dateien sichern"}},
        {Get<&MainForm::pop_exit>, {"Exit", "Beenden"}},
        {Get<&MainForm::btn_history>, {"History", "Verlauf"}},
        {Get<&MainForm::btn_contents>, {"Contents", "Inhalt"}},
        {Get<&MainForm::btn_lb_add>, {"Add", "Hinzufügen"}},
        {Get<&MainForm::btn_lb_remove>, {"Remove", "Entfernen"}},
    };
    return texts;
}

}  // namespace hw
