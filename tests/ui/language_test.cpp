#include "ui/language.h"

#include <gtest/gtest.h>

#include <set>

#include "support/fake_services.h"
#include "ui/language_tables.h"

namespace hw {
namespace {

using Items = std::vector<std::string>;

// Every message, in the order of the language table.
std::vector<std::string> AllMessages(const Messages& m) {
    std::vector<std::string> texts;
    for (const MessageText& entry : MessageTexts()) texts.push_back(m.*entry.variable);
    return texts;
}

TEST(LanguageTables, HoldEveryMessageOnce) {
    Messages m;
    std::set<const std::string*> members;
    for (const MessageText& entry : MessageTexts()) members.insert(&(m.*entry.variable));
    EXPECT_EQ(members.size(), MessageTexts().size());
    // Messages holds nothing but its texts: a member missing from the table would stay empty.
    EXPECT_EQ(members.size() * sizeof(std::string), sizeof(Messages));
}

TEST(LanguageSwitch, EnglishToGermanAndBackSetsEveryKindOfText) {
    test::FakeDesktop desk;
    MainForm& f = desk.f();

    f.ApplyLanguage("EN");
    {
        EXPECT_EQ(f.Caption.caption(), "Hoardwise 2.11");
        EXPECT_EQ(f.TabSheet4.caption(), "AppRunner");
        EXPECT_EQ(f.TabSheet5.caption(), "About ...");
        EXPECT_EQ(f.Label3.caption(), "eDonkey-Client Directory:");
        EXPECT_EQ(f.cb_watchclient.caption(), "restart eDonkey-Client when it is halted");
        EXPECT_EQ(f.btn_minimize.caption(), "Minimize\ninto Systray");
        EXPECT_EQ(f.radio_storing_subfolder.caption(), "identically named subfolders");
        EXPECT_EQ(f.pop_exit.caption(), "Exit");
        EXPECT_EQ(f.btn_lb_add.caption(), "Add");
        EXPECT_EQ(f.Label6.caption(), "Auto-Backup:");
        EXPECT_EQ(f.JDUrlLabel3.caption(), "Check for available updates now");
    }
    {
        EXPECT_EQ(f.OpenDialog2.filter, "MET-files|*.met|DAT-files|*.dat|All files|*.*");
        EXPECT_EQ(f.OpenDialog3.title, "Determine your ed2k-client executable");
    }
    {
        const auto en = AllMessages(f);
        for (std::size_t i = 0; i < en.size(); ++i) EXPECT_FALSE(en[i].empty()) << i;
        EXPECT_EQ(f.msg_error_caption, "Error ...");
        EXPECT_EQ(
            f.msg_no_client_exe,
            "Couldn't find an aMule-/eDonkey-/eMule-/Overnet-Executable (or aMule's configuration "
            "folder) in the client-directory. \n"
            "Backing up files is only safe, when HWS can observe this file!\n ");
        EXPECT_EQ(f.msg_files_already_listed, "Following files are already in the list: \n\n");
        EXPECT_EQ(f.msg_backupdir_not_absolute,
                  "The Backup-Directory must be a full folder path beginning with \"/\" ! "
                  "Nothing was backed up.");
    }
    {
        EXPECT_EQ(f.combo_language.items(), (Items{"English", "German"}));
        EXPECT_EQ(f.combo_language.itemIndex(), 0);
        EXPECT_EQ(f.combo_language.text(), "English");
        EXPECT_EQ(f.CurrentLanguageCode(), "EN");
    }

    const auto english = AllMessages(f);
    f.ApplyLanguage("DE");
    {
        EXPECT_EQ(f.Caption.caption(), "Hoardwise 2.11");
        EXPECT_EQ(f.TabSheet4.caption(), "ZurUzazodov");
        EXPECT_EQ(f.TabSheet5.caption(), "Über ...");
        EXPECT_EQ(f.Label3.caption(), "Esel-Client Ordner:");
        EXPECT_EQ(f.cb_watchclient.caption(), "eDonkey-Client nach Absturz, etc. neu starten");
        EXPECT_EQ(f.btn_minimize.caption(), "In Systray\nminimieren");
        EXPECT_EQ(f.radio_storing_subfolder.caption(), "benannte Unterordner");
        EXPECT_EQ(f.pop_exit.caption(), "Beenden");
        EXPECT_EQ(f.btn_lb_add.caption(), "Hinzufügen");
        EXPECT_EQ(f.Label6.caption(), "Auto-Backup:");
        EXPECT_EQ(f.JDUrlLabel3.caption(), "Auf verfügbare Updates prüfen");
    }
    {
        EXPECT_EQ(f.OpenDialog2.filter, "MET-Dateien|*.met|DAT-Dateien|*.dat|Alle Dateien|*.*");
        EXPECT_EQ(f.OpenDialog3.title, "ed2k-client EXE bestimmen");
    }
    {
        const auto de = AllMessages(f);
        for (std::size_t i = 0; i < de.size(); ++i) {
            EXPECT_FALSE(de[i].empty()) << i;
            // Only the information caption reads the same in both languages.
            if (&(f.*MessageTexts()[i].variable) != &f.msg_info_caption) {
                EXPECT_NE(de[i], english[i]) << i;
            }
        }
        EXPECT_EQ(f.msg_info_caption, "Info ...");
        EXPECT_EQ(f.msg_confirm_close, "Hoardwise schließen ?");
        EXPECT_EQ(f.msg_no_client_exe,
                  "Kein aMule-/eDonkey-/eMule-/Overnet-Programm (und keinen Konfigurationsordner "
                  "von aMule) im Client-Verzeichnis gefunden. \n"
                  "Das Sichern von Dateien ist nur sicher, wenn HWS dieses Programm überwachen "
                  "kann!");
        EXPECT_EQ(f.msg_restore_client_running.substr(0, 43),
                  "Bitte zuerst den eDonkey-Client beenden: Er");
    }
    {
        EXPECT_EQ(f.combo_language.items(), (Items{"Deutsch", "Englisch"}));
        EXPECT_EQ(f.combo_language.itemIndex(), 0);
        EXPECT_EQ(f.CurrentLanguageCode(), "DE");
    }

    f.ApplyLanguage("EN");
    EXPECT_EQ(AllMessages(f), english);
    EXPECT_EQ(f.TabSheet5.caption(), "About ...");
}

TEST(LanguageSwitch, AboutPageLinksAreFixedInBothLanguages) {
    test::FakeDesktop desk;
    MainForm& f = desk.f();
    const std::string updateCheck = f.JDUrlLabel3.url();
    for (const char* code : {"EN", "DE"}) {
        f.ApplyLanguage(code);
        EXPECT_EQ(f.JDUrlLabel1.caption(), "The Hoardwise developers");
        EXPECT_EQ(f.JDUrlLabel1.address(), "mailto:hoardwise@example.org");
        EXPECT_EQ(f.JDUrlLabel2.caption(), "https://hoardwise.example.org");
        EXPECT_EQ(f.JDUrlLabel2.url(), "https://hoardwise.example.org");
        EXPECT_EQ(f.JDUrlLabel3.url(), updateCheck);
    }
}

TEST(LanguageSelector, DecidesTheLanguageByTheNameItShows) {
    {
        test::FakeDesktop desk;
        MainForm& f = desk.f();
        EXPECT_EQ(f.CurrentLanguageCode(), "EN");  // nothing shown before the first apply
        f.ApplyLanguage("DE");
        f.combo_language.userTyped("Klingon");
        EXPECT_EQ(f.combo_language.text(), "English");
        EXPECT_EQ(f.combo_language.items(), (Items{"English", "German"}));
        EXPECT_EQ(f.TabSheet1.caption(), "Directories");
    }
    {
        test::FakeDesktop desk;
        MainForm& f = desk.f();
        f.ApplyLanguage("EN");
        f.combo_language.userTyped("deutsch");  // case counts: no language name
        EXPECT_EQ(f.CurrentLanguageCode(), "EN");
        f.combo_language.userTyped("Deutsch");
        EXPECT_EQ(f.TabSheet1.caption(), "Verzeichnisse");
        EXPECT_EQ(f.combo_language.text(), "Deutsch");
    }
    {
        test::FakeDesktop desk;
        MainForm& f = desk.f();
        f.ApplyLanguage("FR");
        EXPECT_EQ(f.combo_language.text(), "Deutsch");
        EXPECT_EQ(f.CurrentLanguageCode(), "DE");
        EXPECT_EQ(f.Label8.caption(), "Sprache:");
        f.ApplyLanguage("en");  // only the exact code is English
        EXPECT_EQ(f.CurrentLanguageCode(), "DE");
    }
    {
        test::FakeDesktop desk;
        MainForm& f = desk.f();
        f.ApplyLanguage("EN");
        f.combo_language.userPicked(1);
        EXPECT_EQ(f.CurrentLanguageCode(), "DE");
        EXPECT_EQ(f.combo_language.items(), (Items{"Deutsch", "Englisch"}));
        f.combo_language.userPicked(1);
        EXPECT_EQ(f.CurrentLanguageCode(), "EN");
        EXPECT_EQ(f.btn_exit.caption(), "Exit\nHWS");
    }
}

TEST(LanguageApply, PathEditHandlersRunAfterMessagesAndBeforeTheSelectorRefill) {
    test::FakeDesktop desk;
    MainForm& f = desk.f();
    f.ApplyLanguage("EN");

    Items itemsSeen;
    std::string codeSeen, messageSeen, extraMessageSeen, filterSeen, captionSeen;
    int raised = 0;
    f.edit_tempdir.onChange = [&] {
        ++raised;
        itemsSeen = f.combo_language.items();
        codeSeen = f.CurrentLanguageCode();
        messageSeen = f.msg_error_caption;
        extraMessageSeen = f.msg_restore_client_running;
        filterSeen = f.OpenDialog1.filter;
        captionSeen = f.TabSheet1.caption();
    };
    std::string backupSawTemp;
    f.edit_backupdir.onChange = [&] { backupSawTemp = f.edit_tempdir.text(); };

    f.ApplyGermanTexts();
    EXPECT_EQ(raised, 1);
    EXPECT_EQ(itemsSeen, (Items{"English", "German"}));
    EXPECT_EQ(codeSeen, "EN");
    EXPECT_EQ(messageSeen, "Fehler ...");
    EXPECT_EQ(extraMessageSeen.substr(0, 12), "Bitte zuerst");
    EXPECT_EQ(filterSeen, "Ausführbare Dateien|*.*");
    EXPECT_EQ(captionSeen, "Directories");
    EXPECT_EQ(backupSawTemp, "Klicke Suchen, um den TEMP-Ordner zu wählen");

    f.ApplyGermanTexts();  // the edits already show these texts: nothing is raised
    EXPECT_EQ(raised, 1);
}

TEST(LanguageApply, AutobackupMenuFollowsTheCheckBoxAndLabel12IsEmptied) {
    test::FakeDesktop desk;
    MainForm& f = desk.f();
    f.Label12.setCaption("ed2k-client executable: emule");

    f.ApplyLanguage("EN");
    EXPECT_EQ(f.pop_enabledisable.caption(), "Enable Autobackup");
    EXPECT_EQ(f.Label12.caption(), "");
    f.cb_autobackup.setChecked(true);
    f.ApplyLanguage("EN");
    EXPECT_EQ(f.pop_enabledisable.caption(), "Disable Autobackup");

    f.Label12.setCaption("Ed2k-Client Dateiname: emule");
    f.ApplyLanguage("DE");
    EXPECT_EQ(f.pop_enabledisable.caption(), "Autobackup deaktivieren");
    EXPECT_EQ(f.Label12.caption(), "");
    EXPECT_TRUE(f.cb_autobackup.checked());  // an apply changes no setting
    f.cb_autobackup.setChecked(false);
    f.ApplyLanguage("DE");
    EXPECT_EQ(f.pop_enabledisable.caption(), "Autobackup aktivieren");
}

TEST(LanguageApply, PlaceholdersAreTranslatedAndPathsSurvive) {
    test::FakeDesktop desk;
    MainForm& f = desk.f();

    f.ApplyLanguage("EN");
    f.combo_language.userPicked(1);  // the selector already names German during the apply
    EXPECT_EQ(f.edit_tempdir.text(), "Klicke Suchen, um den TEMP-Ordner zu wählen");
    EXPECT_EQ(f.edit_backupdir.text(), "Klicke Suchen, um den BACKUP-Ordner zu wählen");
    EXPECT_EQ(f.edit_clientdir.text(), "Klicke Suchen, um den Esel-Client Ordner zu wählen");
    EXPECT_EQ(f.edit_launchpad_path.text(), "Klicke Suchen, um eine Anwendung auszuwählen");

    f.backupdir_text = {"/home/u/backup", "/home/u/backup"};
    f.combo_language.userPicked(1);
    EXPECT_EQ(f.edit_backupdir.text(), "/home/u/backup");
    EXPECT_EQ(f.edit_tempdir.text(), "Click Browse to select TEMP-Folder");
    f.combo_language.userPicked(1);
    EXPECT_EQ(f.edit_backupdir.text(), "/home/u/backup");
    EXPECT_EQ(f.edit_launchpad_path.text(), "Klicke Suchen, um eine Anwendung auszuwählen");
}

TEST(MomentTexts, FollowTheSelectedLanguage) {
    test::FakeDesktop desk;
    MainForm& f = desk.f();
    f.ApplyLanguage("EN");
    EXPECT_EQ(LanguageText(f, TextId::ClientExePrefix), "ed2k-client executable: ");
    EXPECT_EQ(LanguageText(f, TextId::TrayHintOnPrefix), "Hoardwise [Autobackup every ");
    EXPECT_EQ(LanguageText(f, TextId::FolderDialogClient), "Search eDonkey-Client Folder");
    f.combo_language.userPicked(1);
    EXPECT_EQ(LanguageText(f, TextId::ClientExePrefix), "Ed2k-Client Dateiname: ");
    EXPECT_EQ(LanguageText(f, TextId::TrayHintOnSuffix), " ] Minuten");
    EXPECT_EQ(LanguageText(f, TextId::TrayHintOff), "Autobackup deaktiviert");
    EXPECT_EQ(LanguageText("XX", TextId::FolderDialogTemp), "TEMP-Ordner suchen");
    EXPECT_EQ(LanguageText("EN", TextId::FolderDialogBackup), "Search BACKUP-Folder");
}

}  // namespace
}  // namespace hw
