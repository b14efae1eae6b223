// The settings loader and saver with the language tables: the stored language comes first and
// decides every text the loader writes.
#include <gtest/gtest.h>

#include "settings/ini_file.h"
#include "support/fake_services.h"

namespace hw {
namespace {

using test::FakeDesktop;
using test::LoadFrom;

std::string SavedLanguage(FakeDesktop& desk) {
    desk.f().SaveSettings();
    return IniReadString(desk.f().SettingsFilePath(), "GENERAL SETTINGS", "LANGUAGE");
}

TEST(SettingsLanguage, StoredCodeChoosesTheLanguageAndAnythingButEnIsGerman) {
    {
        FakeDesktop desk;  // no key: English
        desk.f().FormCreate();
        EXPECT_EQ(desk.f().CurrentLanguageCode(), "EN");
        EXPECT_EQ(desk.f().combo_language.text(), "English");
        EXPECT_EQ(SavedLanguage(desk), "EN");
    }
    {
        FakeDesktop desk;
        LoadFrom(desk, "[GENERAL SETTINGS]\nLANGUAGE=FR\n");
        EXPECT_EQ(desk.f().CurrentLanguageCode(), "DE");
        EXPECT_EQ(desk.f().combo_language.text(), "Deutsch");
        EXPECT_EQ(desk.f().msg_confirm_close, "Hoardwise schließen ?");
        EXPECT_EQ(SavedLanguage(desk), "DE");
    }
    {
        FakeDesktop desk;  // names are matched ignoring case, values are not
        LoadFrom(desk, "[general settings]\nlanguage=en\n");
        EXPECT_EQ(desk.f().CurrentLanguageCode(), "DE");
    }
}

TEST(SettingsLanguage, SaverWritesEnOnlyForTheEnglishNamesOfTheSelector) {
    FakeDesktop desk;
    desk.f().FormCreate();
    for (const auto& [shown, code] :
         std::vector<std::pair<std::string, std::string>>{{"Englisch", "EN"},
                                                          {"Deutsch", "DE"},
                                                          {"English", "EN"},
                                                          {"", "DE"},
                                                          {"Français", "DE"},
                                                          {"english", "DE"}}) {
        desk.f().combo_language.clearItems();  // a program refill raises nothing
        desk.f().combo_language.addItem(shown);
        desk.f().combo_language.setItemIndex(0);
        EXPECT_EQ(SavedLanguage(desk), code) << shown;
    }
}

TEST(SettingsLanguage, GermanLoadWritesGermanPlaceholdersLabelAndMenuCaption) {
    {
        FakeDesktop desk;
        LoadFrom(desk,
                 "[GENERAL SETTINGS]\nLANGUAGE=DE\n"
                 "[DIRECTORIES]\nCLIENTEXE=emule.exe\n[AUTOBACKUP]\nENABLED=TRUE\n");
        MainForm& f = desk.f();
        EXPECT_EQ(f.edit_tempdir.text(), f.tempdir_text.de);
        EXPECT_EQ(f.edit_backupdir.text(), f.backupdir_text.de);
        EXPECT_EQ(f.edit_clientdir.text(), f.clientdir_text.de);
        EXPECT_EQ(f.edit_launchpad_path.text(), f.launchpad_path_text.de);
        EXPECT_EQ(f.Label12.caption(), "Ed2k-Client Dateiname: emule.exe");
        EXPECT_EQ(f.pop_enabledisable.caption(), "Autobackup deaktivieren");
    }
    {
        FakeDesktop desk;
        LoadFrom(desk, "[GENERAL SETTINGS]\nLANGUAGE=DE\n[AUTOBACKUP]\nENABLED=FALSE\n");
        EXPECT_EQ(desk.f().pop_enabledisable.caption(), "Autobackup aktivieren");
    }
    {
        FakeDesktop desk;  // English placeholders, with the language tables in place
        LoadFrom(desk, "[AUTOBACKUP]\nENABLED=FALSE\n");
        EXPECT_EQ(desk.f().edit_tempdir.text(), "Click Browse to select TEMP-Folder");
        EXPECT_EQ(desk.f().pop_enabledisable.caption(), "Enable Autobackup");
    }
}

TEST(SettingsLanguage, FailedAppRunnerStartIsReportedBeforeTheWindowComesToFront) {
    for (const auto& [code, text, caption] :
         std::vector<std::tuple<std::string, std::string, std::string>>{
             {"EN", "Application could not be started ! \nCouldn't find the executable.",
              "Error ..."},
             {"DE", "Anwendung konnte nicht gestartet werden ! \nDatei nicht gefunden.",
              "Fehler ..."}}) {
        FakeDesktop desk;
        desk.starter.succeed = false;
        int frontWhenShown = -1;
        desk.dialogs.whileOpen = [&] { frontWhenShown = desk.window.broughtToFront; };
        LoadFrom(desk, "[GENERAL SETTINGS]\nLANGUAGE=" + code +
                           "\n[LAUNCHPAD]\nPATH=/no/such/program\nSTARTUP=TRUE\n");
        EXPECT_EQ(desk.starter.started, std::vector<std::string>{"/no/such/program"});
        ASSERT_EQ(desk.dialogs.messageTexts().size(), 1u) << code;
        EXPECT_EQ(desk.dialogs.messageTexts()[0], text);
        EXPECT_EQ(desk.dialogs.messageCaptions()[0], caption);
        EXPECT_EQ(frontWhenShown, 0);
        EXPECT_EQ(desk.window.broughtToFront, 1);
    }
}

}  // namespace
}  // namespace hw
