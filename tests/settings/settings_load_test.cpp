#include <gtest/gtest.h>

#include <cstdlib>

#include "support/fake_services.h"

namespace hw {
namespace {

using test::FakeDesktop;
using test::LoadFrom;

TEST(SettingsFilePath, ReplacesOnlyTheLastNamesExtensionWithIni) {
    EXPECT_EQ(FakeDesktop("/opt/hw/hoardwise").f().SettingsFilePath(), "/opt/hw/hoardwise.INI");
    EXPECT_EQ(FakeDesktop("/opt/hw/Hoardwise.exe").f().SettingsFilePath(), "/opt/hw/Hoardwise.INI");
    EXPECT_EQ(FakeDesktop("/opt/hw-2.11/hoardwise").f().SettingsFilePath(),
              "/opt/hw-2.11/hoardwise.INI");
    EXPECT_EQ(FakeDesktop("/opt/hw/hoardwise.bin.x").f().SettingsFilePath(),
              "/opt/hw/hoardwise.bin.INI");
    EXPECT_EQ(FakeDesktop("/opt/hw/.hoardwise").f().SettingsFilePath(), "/opt/hw/.hoardwise.INI");
    FakeDesktop desk;
    EXPECT_EQ(desk.f().SettingsFilePath(), desk.home / "hoardwise.INI");
}

TEST(LoadSettings, WithoutAFileEveryControlKeepsItsBuiltStateAndNothingStarts) {
    for (const std::string& text : {std::string(), std::string("[UNRELATED]\nX=1\n"),
                                    std::string("[DIRECTORIES]\nTEMPDIR=NULL\nCLIENTEXE=NULL\n"
                                                "[AUTOBACKUP]\nENABLED=NULL\nINTERVAL=NULL\n"
                                                "[GENERAL SETTINGS]\nSTART DONKEYCLIENT=NULL\n")}) {
        FakeDesktop desk;
        if (!text.empty()) test::WriteFile(desk.f().SettingsFilePath(), text);
        MainForm& f = desk.f();
        f.FormCreate();
        EXPECT_EQ(f.edit_tempdir.text(), f.tempdir_text.en);
        EXPECT_EQ(f.edit_backupdir.text(), f.backupdir_text.en);
        EXPECT_EQ(f.edit_clientdir.text(), f.clientdir_text.en);
        EXPECT_EQ(f.edit_launchpad_path.text(), f.launchpad_path_text.en);
        EXPECT_EQ(f.clientExe, "");
        EXPECT_EQ(f.edit_autobackup.text(), "30");
        EXPECT_EQ(f.UpDown1.position(), 30);
        EXPECT_EQ(f.timer_autobackup.interval(), 60000);
        EXPECT_TRUE(f.timer_autobackup.running());
        EXPECT_FALSE(f.cb_autobackup.checked());
        EXPECT_EQ(f.listbox_files.count(), 0);
        EXPECT_TRUE(f.radio_storing_simple.checked());
        for (const CheckBox* box :
             {&f.cb_startminimized, &f.cb_boot, &f.cb_startclient, &f.cb_watchclient,
              &f.cb_lauchpad_startup, &f.cb_lauchpad_watch}) {
            EXPECT_FALSE(box->checked()) << box->name();
        }
        EXPECT_TRUE(desk.starter.started.empty());
        EXPECT_EQ(desk.window.broughtToFront, 0);
        EXPECT_TRUE(desk.dialogs.shown.empty());
    }
}

// A first start (no settings file) of someone whose aMule is set up: its folders stand ready, no
// question comes, and the temp folder's Browse starts in aMule's folder of part files.
TEST(LoadSettings, OnAFirstStartWithAMuleSetUpItsFoldersStandReady) {
    test::TempDir home;
    const std::string oldHome = std::getenv("HOME") ? std::getenv("HOME") : "";
    const std::string oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
    ::setenv("HOME", home.path().c_str(), 1);
    ::setenv("PATH", home.path().c_str(), 1);  // no aMule installed: the desktop program
    test::WriteFile(
        home / ".aMule/amule.conf",
        "[eMule]\nNick=x\nTempDir=" + home / "downloads/Temp" + "\n[Proxy]\nTempDir=no\n");
    FakeDesktop desk;
    MainForm& f = desk.f();
    f.FormCreate();
    EXPECT_EQ(f.edit_tempdir.text(), home / "downloads/Temp");
    EXPECT_EQ(f.edit_clientdir.text(), home / ".aMule");
    EXPECT_EQ(f.edit_backupdir.text(), f.backupdir_text.en);
    EXPECT_EQ(f.clientExe, "amule");
    EXPECT_EQ(f.Label12.caption(), "ed2k-client executable: amule");
    EXPECT_TRUE(desk.dialogs.shown.empty());
    f.edit_tempdir.setText(f.tempdir_text.en);
    f.btn_browsetempClick();
    ASSERT_EQ(desk.dialogs.shown.size(), 1u);
    EXPECT_EQ(desk.dialogs.shown[0].caption, home / "downloads/Temp");  // where it starts
    ::setenv("HOME", oldHome.c_str(), 1);
    ::setenv("PATH", oldPath.c_str(), 1);
}

TEST(LoadSettings, EveryKeyFillsItsControlAndNamesAndQuotesDoNotMatter) {
    FakeDesktop desk;
    LoadFrom(desk,
             "[directories]\r\n"
             "tempdir=/data/temp\r\n"
             "BackupDir = \"/data/my backup\"\r\n"
             "CLIENTEXE='emule.exe'\r\n"
             "CLIENTDIR=/opt/client\r\n"
             "[AUTOBACKUP]\r\n"
             "ENABLED=TRUE\r\n"
             "INTERVAL=45\r\n"
             "[ADDITIONAL FILES]\r\n"
             "LBSTRING=known.met;server.met;clients.met\r\n"
             "[filestoring]\r\n"
             "METHOD=SUBFOLDERS\r\n"
             "[GENERAL SETTINGS]\r\n"
             "START MINIMIZED=TRUE\r\n"
             "START WITH WINDOWS=TRUE\r\n"
             "RESTART DONKEYCLIENT=TRUE\r\n"
             "LANGUAGE=EN\r\n"
             "[LAUNCHPAD]\r\n"
             "PATH=/usr/bin/other\r\n"
             "RESTART=TRUE\r\n");
    MainForm& f = desk.f();
    EXPECT_EQ(f.edit_tempdir.text(), "/data/temp");
    EXPECT_EQ(f.edit_backupdir.text(), "/data/my backup");
    EXPECT_EQ(f.edit_clientdir.text(), "/opt/client");
    EXPECT_EQ(f.clientExe, "emule.exe");
    EXPECT_EQ(f.Label12.caption(), "ed2k-client executable: emule.exe");
    EXPECT_EQ(f.UpDown1.position(), 45);
    EXPECT_EQ(f.edit_autobackup.text(), "45");
    EXPECT_EQ(f.timer_autobackup.interval(), 2700000);
    EXPECT_TRUE(f.timer_autobackup.running());
    EXPECT_TRUE(f.cb_autobackup.checked());
    EXPECT_EQ(f.pop_enabledisable.caption(), "Disable Autobackup");
    EXPECT_EQ(f.listbox_files.items(),
              (std::vector<std::string>{"clients.met", "known.met", "server.met"}));
    EXPECT_TRUE(f.radio_storing_subfolder.checked());
    EXPECT_FALSE(f.radio_storing_simple.checked());
    EXPECT_TRUE(f.cb_startminimized.checked());
    EXPECT_TRUE(f.cb_boot.checked());
    EXPECT_FALSE(f.cb_startclient.checked());
    EXPECT_TRUE(f.cb_watchclient.checked());
    EXPECT_EQ(f.edit_launchpad_path.text(), "/usr/bin/other");
    EXPECT_FALSE(f.cb_lauchpad_startup.checked());
    EXPECT_TRUE(f.cb_lauchpad_watch.checked());
    EXPECT_TRUE(desk.autostart.calls.empty());  // the autostart entry is never read or written
    EXPECT_TRUE(desk.starter.started.empty());
}

TEST(LoadSettings, OddValuesAreTakenWithoutComplaint) {
    {
        FakeDesktop desk;  // a switch other than exactly TRUE is off
        LoadFrom(desk, "[AUTOBACKUP]\nENABLED=true\n[GENERAL SETTINGS]\nSTART MINIMIZED=1\n");
        EXPECT_FALSE(desk.f().cb_autobackup.checked());
        EXPECT_FALSE(desk.f().timer_autobackup.running());
        EXPECT_EQ(desk.f().pop_enabledisable.caption(), "Enable Autobackup");
        EXPECT_FALSE(desk.f().cb_startminimized.checked());
    }
    {
        FakeDesktop desk;
        LoadFrom(desk, "[AUTOBACKUP]\nINTERVAL=abc\nENABLED=TRUE\n");
        EXPECT_EQ(desk.f().edit_autobackup.text(), "30");
        EXPECT_EQ(desk.f().timer_autobackup.interval(), 1800000);
        EXPECT_TRUE(desk.f().timer_autobackup.running());
    }
    struct IntervalCase {
        const char* stored;
        int position;
        int periodMs;
    };
    for (const IntervalCase& c :
         {IntervalCase{"45abc", 30, 1800000}, IntervalCase{"", 30, 1800000},
          IntervalCase{"+7", 7, 420000}, IntervalCase{"500", 120, 7200000},
          IntervalCase{"0", 1, 60000}, IntervalCase{"-5", 1, 60000},
          IntervalCase{"2147483647", 120, 7200000}, IntervalCase{"99999999999", 30, 1800000}}) {
        FakeDesktop desk;
        LoadFrom(desk, std::string("[AUTOBACKUP]\nINTERVAL=") + c.stored + "\n");
        EXPECT_EQ(desk.f().UpDown1.position(), c.position) << c.stored;
        EXPECT_EQ(desk.f().edit_autobackup.text(), std::to_string(c.position)) << c.stored;
        EXPECT_EQ(desk.f().timer_autobackup.interval(), c.periodMs) << c.stored;
    }
    {
        FakeDesktop desk;
        LoadFrom(desk, "[FILESTORING]\nMETHOD=x\n[DIRECTORIES]\nCLIENTEXE=0\n");
        EXPECT_TRUE(desk.f().radio_storing_subfolder.checked());
        EXPECT_EQ(desk.f().clientExe, "");
        EXPECT_EQ(desk.f().Label12.caption(), "");
    }
    {
        FakeDesktop desk;
        LoadFrom(desk, "[FILESTORING]\nMETHOD=simple\n");
        EXPECT_TRUE(desk.f().radio_storing_subfolder.checked());
    }
}

TEST(LoadSettings, AdditionalFilesListDropsEmptyPiecesAndLongValuesComeBackWhole) {
    {
        FakeDesktop desk;
        desk.f().listbox_files.add("left over");
        LoadFrom(desk, "[ADDITIONAL FILES]\nLBSTRING=a;;b;\n");
        EXPECT_EQ(desk.f().listbox_files.items(), (std::vector<std::string>{"a", "b"}));
    }
    {
        FakeDesktop desk;
        desk.f().listbox_files.add("left over");
        LoadFrom(desk, "[ADDITIONAL FILES]\nLBSTRING=\n");
        EXPECT_EQ(desk.f().listbox_files.count(), 0);
    }
    {
        FakeDesktop desk;
        std::string stored;
        for (int i = 0; i < 300; ++i) {
            if (i > 0) stored += ';';
            stored += "folder/entry-number-" + std::to_string(1000 + i) + ".dat";
        }
        ASSERT_GT(stored.size(), 2047u);
        LoadFrom(desk, "[ADDITIONAL FILES]\nLBSTRING=" + stored + "\n");
        ASSERT_EQ(desk.f().listbox_files.count(), 300);
        EXPECT_EQ(desk.f().listbox_files.item(299), "folder/entry-number-1299.dat");
        EXPECT_EQ(desk.f().JoinFileList(), stored);
    }
}

TEST(LoadSettings, StartSwitchesLaunchTheProgramsAndBringTheWindowToFront) {
    {
        FakeDesktop desk;
        desk.processes.running = {"emule.exe"};  // started once more all the same
        const std::string client = desk.home / "client";
        test::WriteFile(client + "/emule.exe", "client program");  // found: nothing is asked
        LoadFrom(desk, "[DIRECTORIES]\nCLIENTDIR=" + client +
                           "\nCLIENTEXE=emule.exe\n"
                           "[GENERAL SETTINGS]\nSTART DONKEYCLIENT=TRUE\n"
                           "[LAUNCHPAD]\nPATH=/usr/bin/app runner\nSTARTUP=TRUE\n");
        EXPECT_EQ(desk.starter.started,
                  (std::vector<std::string>{client + "/emule.exe", "/usr/bin/app runner"}));
        EXPECT_EQ(desk.window.broughtToFront, 2);
        EXPECT_TRUE(desk.f().cb_startclient.checked());
        EXPECT_TRUE(desk.f().cb_lauchpad_startup.checked());
        EXPECT_TRUE(desk.dialogs.shown.empty());
    }
    {
        FakeDesktop desk;  // aMule running on its configuration is not started a second time
        const std::string config = desk.home / "amule";
        test::WriteFile(config + "/amule.conf", "");
        desk.processes.running = {"amuled"};
        desk.processes.arguments = {{"amuled", "--config-dir=" + config}};
        LoadFrom(desk, "[DIRECTORIES]\nCLIENTDIR=" + config +
                           "\nCLIENTEXE=amuled\n[GENERAL SETTINGS]\nSTART DONKEYCLIENT=TRUE\n");
        EXPECT_TRUE(desk.starter.started.empty());
    }
    {
        FakeDesktop desk;  // the client folder already ends in a separator
        LoadFrom(desk,
                 "[DIRECTORIES]\nCLIENTDIR=/opt/client/\nCLIENTEXE=amule\n"
                 "[GENERAL SETTINGS]\nSTART DONKEYCLIENT=TRUE\n");
        EXPECT_EQ(desk.starter.started, (std::vector<std::string>{"/opt/client/amule"}));
    }
    {
        FakeDesktop desk;  // a failed client start is silent
        desk.starter.succeed = false;
        LoadFrom(desk, "[GENERAL SETTINGS]\nSTART DONKEYCLIENT=TRUE\n");
        EXPECT_EQ(desk.starter.started.size(), 1u);
        EXPECT_EQ(desk.window.broughtToFront, 1);
        EXPECT_TRUE(desk.dialogs.shown.empty());
    }
    {
        FakeDesktop desk;
        LoadFrom(desk, "[GENERAL SETTINGS]\nSTART DONKEYCLIENT=FALSE\n[LAUNCHPAD]\nSTARTUP=yes\n");
        EXPECT_TRUE(desk.starter.started.empty());
        EXPECT_EQ(desk.window.broughtToFront, 0);
    }
}

// Starting the client replaces the settings file, as another copy saving it would.
class RewritingStarter : public ProgramStarter {
  public:
    std::string path;
    std::string replacement;
    std::vector<std::string> started;
    bool StartProgram(const std::string& commandLine, const std::vector<std::string>&) override {
        started.push_back(commandLine);
        test::WriteFile(path, replacement);
        return true;
    }
};

TEST(LoadSettings, EveryKeyComesFromTheOneReadingTakenAtItsStart) {
    FakeDesktop desk;
    MainForm& f = desk.f();
    RewritingStarter starter;
    starter.path = f.SettingsFilePath();
    starter.replacement =
        "[GENERAL SETTINGS]\nRESTART DONKEYCLIENT=FALSE\n[LAUNCHPAD]\nPATH=/changed\n";
    f.services.starter = &starter;
    LoadFrom(desk,
             "[DIRECTORIES]\nCLIENTDIR=/opt/client\nCLIENTEXE=amule\n"
             "[GENERAL SETTINGS]\nSTART DONKEYCLIENT=TRUE\nRESTART DONKEYCLIENT=TRUE\n"
             "[LAUNCHPAD]\nPATH=/usr/bin/other\nRESTART=TRUE\n");
    EXPECT_EQ(starter.started, (std::vector<std::string>{"/opt/client/amule"}));
    EXPECT_TRUE(f.cb_watchclient.checked());
    EXPECT_EQ(f.edit_launchpad_path.text(), "/usr/bin/other");
    EXPECT_TRUE(f.cb_lauchpad_watch.checked());
    // Outside a load every read looks at the file as it is now.
    EXPECT_EQ(f.ReadSetting("LAUNCHPAD", "PATH"), "/changed");
}

// The window program shows its window before the load looks at the processes: until FormShown,
// or the first event, which runs it before itself, nothing is recognised or started; then all
// is as after a plain load, once.
TEST(LoadSettings, WithTheLookAfterShowTheProcessesWaitForTheWindow) {
    for (const bool byEvent : {false, true}) {
        FakeDesktop desk;
        MainForm& f = desk.f();
        f.processLookAfterShow = true;
        const std::string config = desk.home / "amule";
        test::WriteFile(config + "/amule.conf", "");
        desk.processes.running = {"amuled"};
        desk.processes.arguments = {{"amuled", "--config-dir=" + config}};
        LoadFrom(desk, "[DIRECTORIES]\nCLIENTDIR=" + config +
                           "\n[GENERAL SETTINGS]\nSTART DONKEYCLIENT=TRUE\n"
                           "[LAUNCHPAD]\nPATH=/usr/bin/app runner\nSTARTUP=TRUE\n");
        EXPECT_EQ(desk.processes.queries, 0);
        EXPECT_TRUE(desk.starter.started.empty());
        EXPECT_EQ(f.clientExe, "");
        EXPECT_FALSE(f.timer_mini_on_start.running());
        std::string seenByEvent;
        if (byEvent) {
            f.Dispatch([&] { seenByEvent = f.clientExe; });
            EXPECT_EQ(seenByEvent, "amuled");
        } else {
            f.FormShown();
        }
        // The running aMule is recognised and not started again; the AppRunner program is.
        EXPECT_EQ(f.clientExe, "amuled");
        EXPECT_EQ(desk.starter.started, (std::vector<std::string>{"/usr/bin/app runner"}));
        EXPECT_EQ(desk.window.broughtToFront, 1);
        EXPECT_TRUE(f.timer_mini_on_start.running());
        const int queries = desk.processes.queries;
        f.FormShown();
        f.Dispatch([] {});
        EXPECT_EQ(desk.processes.queries, queries);
        EXPECT_EQ(desk.starter.started.size(), 1u);
    }
}

}  // namespace
}  // namespace hw
