// The TEMP, BACKUP and client folder fields: Browse, and paths kept across language switches.
#include <gtest/gtest.h>

#include "support/fake_services.h"

namespace hw {
namespace {

using test::FakeDesktop;
using test::LoadFrom;
using test::Shown;

struct Field {
    void (MainForm::*click)();
    Edit MainForm::*edit;
    RememberedPathText MainForm::*remembered;
    const char* captionEn;
    const char* captionDe;
};

const Field kFields[] = {
    {&MainForm::btn_browsetempClick, &MainForm::edit_tempdir, &MainForm::tempdir_text,
     "Search TEMP-Folder", "TEMP-Ordner suchen"},
    {&MainForm::btn_browsebackupClick, &MainForm::edit_backupdir, &MainForm::backupdir_text,
     "Search BACKUP-Folder", "BACKUP-Ordner suchen"},
    {&MainForm::btn_browseclientdirClick, &MainForm::edit_clientdir, &MainForm::clientdir_text,
     "Search eDonkey-Client Folder", "eDonkey-Client Ordner suchen"},
};

void SwitchLanguage(MainForm& f) {
    f.combo_language.userPicked(1);
}

TEST(BrowseButtons, CancelKeepsEverythingAndAChoiceIsShownAndRememberedInBothLanguages) {
    for (const Field& field : kFields) {
        for (const char* code : {"EN", "DE"}) {
            SCOPED_TRACE(std::string(field.captionEn) + " " + code);
            FakeDesktop desk;
            LoadFrom(desk, std::string("[GENERAL SETTINGS]\nLANGUAGE=") + code + "\n");
            MainForm& f = desk.f();
            Edit& edit = f.*field.edit;
            const std::string placeholder = edit.text();
            const RememberedPathText before = f.*field.remembered;
            // The client folder holds its client, so choosing it asks nothing.
            const std::string chosen = desk.home / "chosen";
            test::WriteFile(chosen + "/emule.exe", "client");

            (f.*field.click)();  // no answer scripted: cancelled
            ASSERT_EQ(desk.dialogs.shown.size(), 1u);
            EXPECT_EQ(desk.dialogs.shown[0].kind, Shown::Kind::BrowseFolder);
            EXPECT_EQ(desk.dialogs.shown[0].text,
                      std::string(code) == "EN" ? field.captionEn : field.captionDe);
            EXPECT_EQ(desk.dialogs.shown[0].caption, placeholder);  // the selection it opens on
            EXPECT_EQ(edit.text(), placeholder);
            EXPECT_EQ((f.*field.remembered).en, before.en);
            EXPECT_EQ((f.*field.remembered).de, before.de);

            desk.dialogs.folderAnswers = {chosen};
            (f.*field.click)();
            EXPECT_EQ(edit.text(), chosen);
            EXPECT_EQ((f.*field.remembered).en, chosen);
            EXPECT_EQ((f.*field.remembered).de, chosen);
            EXPECT_EQ(desk.dialogs.shown.back().caption, placeholder);

            SwitchLanguage(f);
            EXPECT_EQ(edit.text(), chosen);
            SwitchLanguage(f);
            EXPECT_EQ(edit.text(), chosen);

            (f.*field.click)();  // opens on the chosen folder; cancelled again
            EXPECT_EQ(desk.dialogs.shown.back().caption, chosen);
            EXPECT_EQ(edit.text(), chosen);
            EXPECT_EQ(desk.dialogs.count(Shown::Kind::BrowseFolder), 3);
            EXPECT_EQ(desk.dialogs.count(Shown::Kind::Message), 0);
        }
    }
}

TEST(BrowseButtons, CancelWhileAPlaceholderShowsStillTranslatesItOnASwitch) {
    FakeDesktop desk;
    LoadFrom(desk, "");
    MainForm& f = desk.f();
    f.btn_browsebackup.userClick();
    SwitchLanguage(f);
    EXPECT_EQ(f.edit_backupdir.text(), "Klicke Suchen, um den BACKUP-Ordner zu wählen");
}

TEST(PathFields, OnlyAbsoluteTextsAreRememberedAndASwitchBringsBackTheLastOne) {
    FakeDesktop desk;
    LoadFrom(desk, "");
    MainForm& f = desk.f();
    struct Step {
        const char* typed;
        const char* shownAfterTwoSwitches;
    };
    const Step steps[] = {
        {"", "Click Browse to select TEMP-Folder"},  // nothing remembered yet
        {"d", "Click Browse to select TEMP-Folder"},
        {"/", "/"},  // from the first character on
        {"/d", "/d"},
        {"/data/te", "/data/te"},
        {"data/temp", "/data/te"},  // relative: shown and used, not remembered
        {"", "/data/te"},           // emptied by hand
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.typed);
        f.edit_tempdir.userTyped(step.typed);
        EXPECT_EQ(f.edit_tempdir.text(), step.typed);
        SwitchLanguage(f);
        SwitchLanguage(f);
        EXPECT_EQ(f.edit_tempdir.text(), step.shownAfterTwoSwitches);
    }
    EXPECT_EQ(f.edit_backupdir.text(), "Click Browse to select BACKUP-Folder");
}

TEST(PathFields, StartUpShowsPlaceholdersInTheLoadedLanguageExceptAStoredEnglishOne) {
    const std::string en = "Click Browse to select TEMP-Folder";
    const std::string de = "Klicke Suchen, um den TEMP-Ordner zu wählen";
    struct Case {
        const char* language;  // nullptr: no key
        const char* stored;    // nullptr: no key
        std::string shown;
    };
    const Case cases[] = {
        {nullptr, nullptr, en},
        {"EN", de.c_str(), en},  // a German placeholder loaded under English is translated
        {"EN", "/data/temp", "/data/temp"},
        {"DE", nullptr, de},
        {"DE", de.c_str(), de},
        // The start-up apply already put the English placeholder into the field, so an equal
        // stored text raises nothing and stays English.
        {"DE", en.c_str(), en},
        {"DE", "/data/temp", "/data/temp"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.language ? c.language : "-") + " " +
                     (c.stored ? c.stored : "-"));
        std::string settings;
        if (c.language)
            settings += std::string("[GENERAL SETTINGS]\nLANGUAGE=") + c.language + "\n";
        if (c.stored) settings += std::string("[DIRECTORIES]\nTEMPDIR=") + c.stored + "\n";
        FakeDesktop desk;
        LoadFrom(desk, settings);
        EXPECT_EQ(desk.f().edit_tempdir.text(), c.shown);
    }
    {  // a loaded path is remembered for the other language as well
        FakeDesktop desk;
        LoadFrom(desk, "[GENERAL SETTINGS]\nLANGUAGE=DE\n[DIRECTORIES]\nBACKUPDIR=/data/bak\n");
        SwitchLanguage(desk.f());
        EXPECT_EQ(desk.f().edit_backupdir.text(), "/data/bak");
        EXPECT_EQ(desk.f().edit_tempdir.text(), en);
    }
}

TEST(AboutLinks, AClickHandsTheAddressToTheDesktopWithMailtoForTheAuthor) {
    FakeDesktop desk;
    LoadFrom(desk, "");
    MainForm& f = desk.f();
    f.JDUrlLabel1.userClick();
    f.JDUrlLabel2.userClick();
    f.JDUrlLabel3.userClick();
    EXPECT_EQ(desk.window.openedUrls,
              (std::vector<std::string>{
                  "mailto:hoardwise@example.org", "https://hoardwise.example.org",
                  "https://hoardwise.example.org/fileinfo/index.php?file=hws&version=2.11"}));
    EXPECT_TRUE(desk.dialogs.shown.empty());
}

}  // namespace
}  // namespace hw
