#include <gtest/gtest.h>

#include <cerrno>

#include "base/errors.h"
#include "settings/atomic_file.h"
#include "settings/ini_file.h"
#include "support/fake_services.h"

namespace hw {
namespace {

using test::FakeDesktop;
using test::Shown;

const char* const kFirstSave =
    "[DIRECTORIES]\n"
    "TEMPDIR=Click Browse to select TEMP-Folder\n"
    "BACKUPDIR=Click Browse to select BACKUP-Folder\n"
    "CLIENTDIR=Click Browse to select eDonkey-Client Folder\n"
    "\n"
    "[AUTOBACKUP]\n"
    "ENABLED=FALSE\n"
    "INTERVAL=30\n"
    "\n"
    "[ADDITIONAL FILES]\n"
    "LBSTRING=\n"
    "\n"
    "[FILESTORING]\n"
    "METHOD=SIMPLE\n"
    "\n"
    "[GENERAL SETTINGS]\n"
    "START MINIMIZED=FALSE\n"
    "START WITH WINDOWS=FALSE\n"
    "START DONKEYCLIENT=FALSE\n"
    "RESTART DONKEYCLIENT=FALSE\n"
    "LANGUAGE=EN\n"
    "\n"
    "[LAUNCHPAD]\n"
    "PATH=Click Browse to select an executable\n"
    "STARTUP=FALSE\n"
    "RESTART=FALSE\n";

// Records what the settings file held when the autostart entry was set.
class FileWatchingAutostart : public Autostart {
  public:
    explicit FileWatchingAutostart(const MainForm* form) : form_(form) {}
    bool SetAutostart(bool on) override {
        calls.push_back(on);
        fileAtCall = test::ReadFile(form_->SettingsFilePath());
        return false;  // the saver ignores the result
    }
    std::vector<bool> calls;
    std::string fileAtCall;

  private:
    const MainForm* form_;
};

// Makes the nth replacement of the settings file (counting from 1) fail as a full disk would.
void FailNthWrite(FakeDesktop& desk, int n) {
    auto count = std::make_shared<int>(0);
    desk.f().abfFileOperation1.byteWrite = [count, n](int to, const char* data, std::size_t size) {
        if (++*count != n) return files::WriteAllBytes(to, data, size);
        errno = ENOSPC;
        return false;
    };
}

TEST(SaveSettings, FirstSaveWritesEverySectionAndKeyInOrderWithAutostartBetween) {
    FakeDesktop desk;
    desk.f().FormCreate();
    FileWatchingAutostart autostart(desk.form.get());
    desk.f().services.autostart = &autostart;
    desk.f().btn_savesettings.userClick();
    EXPECT_EQ(test::ReadFile(desk.f().SettingsFilePath()), kFirstSave);
    EXPECT_EQ(autostart.calls, std::vector<bool>{false});
    EXPECT_EQ(IniFindValue(autostart.fileAtCall, "GENERAL SETTINGS", "START MINIMIZED"), "FALSE");
    EXPECT_FALSE(IniFindValue(autostart.fileAtCall, "GENERAL SETTINGS", "START WITH WINDOWS"));
    EXPECT_TRUE(desk.dialogs.shown.empty());

    desk.f().btn_savesettings.userClick();  // a second save changes nothing
    EXPECT_EQ(test::ReadFile(desk.f().SettingsFilePath()), kFirstSave);
}

TEST(SaveSettings, EveryControlComesBackAtTheNextStart) {
    for (int entries : {0, 3}) {
        FakeDesktop first;
        MainForm& a = first.f();
        a.FormCreate();
        a.edit_tempdir.setText("/data/temp dir");
        a.edit_backupdir.setText("/data/backup=1");
        a.edit_clientdir.setText("/opt/client");
        a.clientExe = "amule";
        a.cb_autobackup.setChecked(true);
        a.UpDown1.setPosition(17);
        for (int i = 0; i < entries; ++i) a.listbox_files.add("extra " + std::to_string(i));
        a.radio_storing_subfolder.setChecked(true);
        a.cb_startminimized.setChecked(true);
        a.cb_boot.setChecked(true);
        a.cb_watchclient.setChecked(true);
        a.edit_launchpad_path.setText("/usr/bin/runner");
        a.cb_lauchpad_watch.setChecked(true);
        a.SaveSettings();
        EXPECT_EQ(first.autostart.calls, std::vector<bool>{true});

        FakeDesktop second(first.f().services.executablePath);
        MainForm& b = second.f();
        b.FormCreate();
        EXPECT_EQ(b.edit_tempdir.text(), "/data/temp dir");
        EXPECT_EQ(b.edit_backupdir.text(), "/data/backup=1");
        EXPECT_EQ(b.edit_clientdir.text(), "/opt/client");
        EXPECT_EQ(b.clientExe, "amule");
        EXPECT_TRUE(b.cb_autobackup.checked());
        EXPECT_TRUE(b.timer_autobackup.running());
        EXPECT_EQ(b.UpDown1.position(), 17);
        EXPECT_EQ(b.timer_autobackup.interval(), 17 * 60000);
        EXPECT_EQ(b.listbox_files.items(), a.listbox_files.items());
        EXPECT_EQ(b.listbox_files.count(), entries);
        EXPECT_TRUE(b.radio_storing_subfolder.checked());
        EXPECT_TRUE(b.cb_startminimized.checked());
        EXPECT_TRUE(b.cb_boot.checked());
        EXPECT_FALSE(b.cb_startclient.checked());
        EXPECT_TRUE(b.cb_watchclient.checked());
        EXPECT_EQ(b.edit_launchpad_path.text(), "/usr/bin/runner");
        EXPECT_FALSE(b.cb_lauchpad_startup.checked());
        EXPECT_TRUE(b.cb_lauchpad_watch.checked());
        EXPECT_TRUE(second.autostart.calls.empty());
    }
}

TEST(SaveSettings, FileListJoinsWithSemicolonsAndSplitDropsEmptyPieces) {
    FakeDesktop desk;
    EXPECT_EQ(desk.f().JoinFileList(), "");
    desk.f().listbox_files.add("b.met");
    EXPECT_EQ(desk.f().JoinFileList(), "b.met");
    desk.f().listbox_files.add("C.met");
    desk.f().listbox_files.add("a.met");
    EXPECT_EQ(desk.f().JoinFileList(), "a.met;b.met;C.met");

    using List = std::vector<std::string>;
    EXPECT_EQ(MainForm::SplitFileList(""), List{});
    EXPECT_EQ(MainForm::SplitFileList(";;"), List{});
    EXPECT_EQ(MainForm::SplitFileList("a;;b;"), (List{"a", "b"}));
    EXPECT_EQ(MainForm::SplitFileList(";x y;z"), (List{"x y", "z"}));
}

TEST(SaveSettings, KeepsCommentsUnknownContentAndAnEarlierClientExe) {
    FakeDesktop desk;
    const std::string path = desk.f().SettingsFilePath();
    test::WriteFile(path,
                    "; my notes\r\n"
                    "[DIRECTORIES]\r\n"
                    "CLIENTEXE=emule.exe\r\n"
                    "TempDir=/old\r\n"
                    "MYKEY=mine\r\n"
                    "[PLUGIN]\r\n"
                    "A=1\r\n");
    desk.f().edit_tempdir.setText("/new");
    desk.f().SaveSettings();  // clientExe empty: the stored name stays
    const std::string saved = test::ReadFile(path);
    EXPECT_EQ(saved.find('\r'), std::string::npos);
    EXPECT_EQ(
        saved.rfind("; my notes\n[DIRECTORIES]\nCLIENTEXE=emule.exe\nTEMPDIR=/new\nMYKEY=mine\n"
                    "BACKUPDIR=",
                    0),
        0u);
    EXPECT_NE(saved.find("\n[PLUGIN]\nA=1\n\n[AUTOBACKUP]\n"), std::string::npos);
    EXPECT_EQ(IniFindValue(saved, "LAUNCHPAD", "RESTART"), "FALSE");
}

TEST(SaveSettings, WriteFailureStopsAtThatKeyWithTheGermanErrorAndTheProgramKeepsRunning) {
    {
        FakeDesktop desk;  // the file's folder is a regular file: even root cannot write
        test::WriteFile(desk.home / "plain", "x");
        FakeDesktop blocked(desk.home / "plain/hoardwise");
        blocked.f().Dispatch([&] { blocked.f().btn_savesettings.userClick(); });
        ASSERT_EQ(blocked.dialogs.shown.size(), 1u);
        EXPECT_EQ(blocked.dialogs.shown[0].kind, Shown::Kind::ErrorReport);
        EXPECT_EQ(blocked.dialogs.shown[0].caption, "Hoardwise 2.11");
        EXPECT_EQ(blocked.dialogs.shown[0].text,
                  "nach " + desk.home / "plain/hoardwise.INI" + " kann nicht geschrieben werden.");
        EXPECT_TRUE(blocked.autostart.calls.empty());
    }
    {
        FakeDesktop desk;  // the disk fills up at the fifth key: ENABLED
        desk.f().clientExe = "amule";
        FailNthWrite(desk, 5);
        EXPECT_THROW(desk.f().SaveSettings(), HandlerError);
        const std::string saved = test::ReadFile(desk.f().SettingsFilePath());
        EXPECT_EQ(IniFindValue(saved, "DIRECTORIES", "CLIENTEXE"), "amule");
        EXPECT_FALSE(IniFindValue(saved, "AUTOBACKUP", "ENABLED"));
        EXPECT_FALSE(IniFindValue(saved, "LAUNCHPAD", "RESTART"));
        EXPECT_TRUE(desk.autostart.calls.empty());
    }
    {
        FakeDesktop desk;  // failing at START WITH WINDOWS: the autostart entry was already set
        FailNthWrite(desk, 9);
        EXPECT_THROW(desk.f().SaveSettings(), HandlerError);
        EXPECT_EQ(desk.autostart.calls, std::vector<bool>{false});
    }
    for (bool viaClose : {false, true}) {
        FakeDesktop desk;
        desk.f().msg_confirm_close = "Close Hoardwise ?";
        desk.dialogs.answers = {true};
        FailNthWrite(desk, 1);
        bool allowClose = true;
        desk.f().Dispatch([&] {
            if (viaClose) {
                desk.f().FormClose(allowClose);
            } else {
                desk.f().btn_exit.userClick();
            }
        });
        ASSERT_EQ(desk.dialogs.count(Shown::Kind::ErrorReport), 1);
        EXPECT_EQ(desk.dialogs.shown.back().caption, "Hoardwise 2.11");
        EXPECT_EQ(desk.dialogs.shown.back().text,
                  "nach " + desk.f().SettingsFilePath() + " kann nicht geschrieben werden.");
        EXPECT_EQ(desk.window.quitRequests, 0);
        if (viaClose) {
            EXPECT_FALSE(allowClose);
        }
        EXPECT_FALSE(test::FileExists(desk.f().SettingsFilePath()));
    }
}

}  // namespace
}  // namespace hw
