// Recognising the client executable whenever the client folder field changes.
#include "supervision/client_recognition.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "shell/find_files.h"
#include "support/fake_services.h"

namespace hw {
namespace {

using test::FakeDesktop;
using test::Shown;
using Strings = std::vector<std::string>;

const char* const kNoClient =
    "Couldn't find an aMule-/eDonkey-/eMule-/Overnet-Executable (or aMule's configuration folder) "
    "in the client-directory. \nBacking up files is only safe, when HWS can observe this file!\n ";

struct ClientDesk {
    FakeDesktop desk;
    test::TempDir folder;
    ClientDesk() {
        f().ApplyLanguage("EN");
        f().Label12.setCaption("as before");
    }
    MainForm& f() { return desk.f(); }
    void holds(const Strings& names) {
        for (const std::string& name : names) test::WriteFile(folder / name, "program");
    }
    bool asked() const { return desk.dialogs.count(Shown::Kind::Message) > 0; }
};

TEST(ClientRecognition, KnownNamesAreFoundCaseSensitivelyAnywhereInTheEntry) {
    struct Case {
        const char* name;
        Strings files;
        std::string before;  // clientExe before the change
        std::string after;
        std::string subfolder = "";  // the client folder within the test's folder
    };
    const Case cases[] = {
        {"emule.exe only", {"emule.exe", "readme.txt"}, "", "emule.exe"},
        {"gdonkey", {"gdonkey.exe"}, "", "gdonkey.exe"},
        {"edonkey2000", {"edonkey2000.exe"}, "", "edonkey2000.exe"},
        {"the mixed-case name", {"eMule.exe"}, "", "eMule.exe"},
        {"substring of a longer name", {"myemule.exe"}, "", "emule.exe"},
        {"within one entry the later name of the list wins",
         {"overnet.exe.emule.exe"},
         "",
         "overnet.exe"},
        {"a chosen name found again is kept", {"client.exe"}, "client.exe", "client.exe"},
        {"a known name wins over a chosen one",
         {"client.exe", "emule.exe"},
         "client.exe",
         "emule.exe"},
        {"a name the user chose in another case", {"EMULE.EXE"}, "EMULE.EXE", "EMULE.EXE"},
        {"the folder part counts too",
         {"emule.exe.d/client.exe"},
         "client.exe",
         "emule.exe",
         "/emule.exe.d"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ClientDesk d;
        d.holds(c.files);
        d.f().clientExe = c.before;
        d.f().edit_clientdir.setText(d.folder.path() + c.subfolder);
        EXPECT_EQ(d.f().clientExe, c.after);
        EXPECT_TRUE(d.desk.dialogs.shown.empty());
        EXPECT_EQ(d.f().Label12.caption(), "as before");
    }
}

// aMule is known by its programs in the folder (as in /usr/bin) or by its configuration folder,
// whose programs lie on PATH; a name chosen before that is on PATH is found too. Of aMule's two
// programs it takes the one that runs on that configuration (the user's own for a folder of
// programs), else the user's choice, else the only one there is, else the one for the display.
TEST(ClientRecognition, AMuleIsKnownByItsProgramsOrItsConfigurationFolder) {
    struct Case {
        const char* name;
        Strings executables;  // made executable in the folder
        Strings files;        // plain files in the folder
        std::string before;   // clientExe before the change
        Strings onPath;       // besides "sometool"
        std::string ours;     // runs on the configuration the folder serves
        std::string theirs;   // another user's, on its own ~/.aMule
        bool display;
        std::string after;  // empty: the question comes
    };
    const Strings both = {"amule", "amuled"};
    // clang-format off
    const Case cases[] = {
        {"the daemon", {"amuled"}, {}, "", {}, "", "", true, "amuled"},
        {"both programs, nothing runs", both, {}, "", {}, "", "", true, "amule"},
        {"both programs, no display", both, {}, "", {}, "", "", false, "amuled"},
        {"both programs, the daemon runs on ~/.aMule", both, {}, "amule", {}, "amuled", "", true, "amuled"},
        {"both programs, another user's daemon runs", both, {}, "", {}, "", "amuled", true, "amule"},
        {"both programs, the daemon chosen", both, {}, "amuled", {}, "", "", true, "amuled"},
        {"a configuration folder, none on PATH", {}, {"amule.conf"}, "", {}, "", "", true, "amule"},
        {"a configuration folder, both on PATH, no display", {}, {"amule.conf"}, "", both, "", "", false, "amuled"},
        {"a configuration folder, only the daemon on PATH", {}, {"amule.conf"}, "", {"amuled"}, "", "", true, "amuled"},
        {"a configuration folder, the daemon chosen", {}, {"amule.conf"}, "amuled", both, "", "", true, "amuled"},
        {"a configuration folder, amule chosen", {}, {"amule.conf"}, "amule", {"amuled"}, "", "", true, "amule"},
        {"a configuration folder, the daemon runs on it", {}, {"amule.conf"}, "amule", both, "amuled", "", true, "amuled"},
        {"a configuration folder, another user's daemon runs", {}, {"amule.conf"}, "", both, "", "amuled", true, "amule"},
        {"a name on PATH chosen before", {}, {}, "sometool", {}, "", "", true, "sometool"},
        {"a file named like the daemon that is no program", {}, {"amuled"}, "x.exe", {}, "", "", true, ""},
    };
    // clang-format on
    test::TempDir home;
    test::TempDir otherHome;
    for (const test::TempDir* user : {&home, &otherHome}) {
        std::filesystem::create_directory(*user / ".aMule");
    }
    const test::ScopedEnv homeSet("HOME", home.path()), pathSet("PATH", "");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir bin;
        Strings programs = c.onPath;
        programs.push_back("sometool");
        for (const std::string& name : programs) {
            test::WriteFile(bin / name, "program");
            std::filesystem::permissions(bin / name, std::filesystem::perms::owner_all);
        }
        ::setenv("PATH", bin.path().c_str(), 1);
        ClientDesk d;
        d.holds(c.executables);
        for (const std::string& name : c.executables) {
            std::filesystem::permissions(d.folder / name, std::filesystem::perms::owner_all);
        }
        d.holds(c.files);
        if (!c.ours.empty()) {
            d.desk.processes.running = {c.ours};
            if (c.executables.empty()) {
                d.desk.processes.arguments = {{c.ours, "--config-dir=" + d.folder.path()}};
            }
        }
        if (!c.theirs.empty()) {
            d.desk.processes.described = {{4321, 4242, "amule", {c.theirs}, "", otherHome.path()}};
        }
        d.desk.window.display = c.display;
        d.f().clientExe = c.before;
        d.f().edit_clientdir.setText(d.folder.path());
        EXPECT_EQ(d.asked(), c.after.empty());
        if (!c.after.empty()) {
            EXPECT_EQ(d.f().clientExe, c.after);
        }
    }
}

// Whether the client runs, on the process table alone: a Windows client by its program's name;
// aMule by a process on its configuration, or one of our user's whose configuration is unknown.
TEST(FindClientRun, CountsTheProgramOrAnAMuleOnTheConfigurationAndNamesThatAMule) {
    test::TempDir config;
    test::WriteFile(config / "amule.conf", "");
    const long me = static_cast<long>(::getuid());
    const ProcessInfo unknownOurs{77, me, "tester", {"amuled"}, "", ""};
    const ProcessInfo unknownTheirs{78, me + 1, "anna", {"amuled"}, "", ""};
    const ProcessInfo onIt{79, me + 1, "anna", {"amule", "--config-dir=" + config.path()}, "", ""};
    struct Case {
        const char* name;
        std::string folder;
        std::string exe;
        std::vector<std::string> running;
        std::vector<ProcessInfo> described;
        bool runs;
        std::string amule;  // the aMule program named
        long pid;
    };
    // clang-format off
    const Case cases[] = {
        {"the client's program, any case", "/wine/eMule/", "emule.exe", {"EMULE.EXE"}, {}, true, "", 0},
        {"no program known", "/wine/eMule", "", {"emule.exe"}, {}, false, "", 0},
        {"aMule elsewhere counts not for a plain folder", "/wine/eMule", "emule.exe", {"amuled"}, {}, false, "", 0},
        {"another user's aMule on this configuration", config.path() + "/", "amule", {}, {onIt}, true, "amule", 79},
        {"ours whose configuration is unknown", config.path(), "amule", {}, {unknownOurs}, true, "amuled", 77},
        {"another user's whose configuration is unknown", config.path(), "amule", {}, {unknownTheirs}, false, "", 0},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::FakeProcessTable processes;
        processes.running = c.running;
        processes.described = c.described;
        const ClientRun run = FindClientRun(processes, c.folder, c.exe);
        EXPECT_EQ(run.running, c.runs);
        EXPECT_EQ(run.amuleProgram, c.amule);
        EXPECT_EQ(c.amule.empty() ? 0 : run.process.pid, c.pid);
    }
}

TEST(ClientRecognition, OfSeveralKnownNamesTheOneListedLastWins) {
    ClientDesk d;
    d.holds({"emule.exe", "overnet.exe", "gdonkey.exe"});
    Strings listed;
    FindFiles(d.folder.path(), "*.exe", listed);  // the order is the file system's
    ASSERT_EQ(listed.size(), 3u);
    const std::string last = listed.back().substr(listed.back().rfind('/') + 1);
    d.f().edit_clientdir.setText(d.folder.path());
    EXPECT_EQ(d.f().clientExe, last);
}

TEST(ClientRecognition, NothingFoundAsksOnlyForAnAbsolutePath) {
    struct Case {
        const char* name;
        Strings files;
        const char* text;  // nullptr: the test's folder with a trailing separator
        bool asked;
    };
    const Case cases[] = {
        {"empty folder", {}, nullptr, true},
        {"upper-case name not chosen before", {"EMULE.EXE"}, nullptr, true},
        {"only other files", {"emule.txt", "emule.exe.txt"}, nullptr, true},
        {"missing folder", {}, "/no/such/folder", false},
        {"empty text", {}, "", false},
        {"placeholder", {}, "Click Browse to select eDonkey-Client Folder", false},
        {"relative text", {}, "client", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ClientDesk d;
        d.holds(c.files);
        d.f().clientExe = "old.exe";
        d.f().edit_clientdir.setText("relative");  // so that every text below is a change
        const std::string text = c.text ? c.text : d.folder.path() + "/";
        d.f().edit_clientdir.setText(text);
        EXPECT_EQ(d.asked(), c.asked);
        EXPECT_EQ(d.f().clientExe, "old.exe");  // cancelled or never asked
        if (!c.asked) continue;
        ASSERT_EQ(d.desk.dialogs.shown.size(), 2u);
        EXPECT_EQ(d.desk.dialogs.shown[0].text, kNoClient);
        EXPECT_EQ(d.desk.dialogs.shown[0].caption, "Error ...");
        EXPECT_EQ(d.desk.dialogs.shown[1].kind, Shown::Kind::OpenFiles);
        EXPECT_EQ(d.desk.dialogs.shown[1].text, "Determine your ed2k-client executable");
        // The dialog opens on the folder without its trailing separator.
        EXPECT_EQ(d.desk.dialogs.shown[1].caption, c.text ? text : d.folder.path());
        EXPECT_EQ(d.f().Label12.caption(), "as before");
    }
}

// Typed by the user, a folder without a client raises its question when the user leaves the
// field (or presses Enter), never at a keystroke; a folder with a client typed on to raises none.
TEST(ClientRecognition, ATypedFolderIsAskedAboutWhenTheUserLeavesTheField) {
    ClientDesk d;
    d.f().clientExe = "old.exe";
    d.f().edit_clientdir.userTyped(d.folder.path());
    EXPECT_FALSE(d.asked());
    d.f().edit_clientdir.userLeft();
    EXPECT_EQ(d.desk.dialogs.messageTexts(), Strings{kNoClient});
    d.f().edit_clientdir.userLeft();  // asked once
    EXPECT_EQ(d.desk.dialogs.messageTexts().size(), 1u);
    d.holds({"sub/emule.exe"});
    d.f().edit_clientdir.userTyped(d.folder.path() + "/");
    d.f().edit_clientdir.userTyped(d.folder.path() + "/sub");
    d.f().edit_clientdir.userLeft();
    EXPECT_EQ(d.desk.dialogs.messageTexts().size(), 1u);
    EXPECT_EQ(d.f().clientExe, "emule.exe");
}

TEST(ClientRecognition, AChosenExecutableKeepsOnlyItsNameAndShowsItInTheLabel) {
    for (const auto& [code, label] : std::vector<std::pair<std::string, std::string>>{
             {"EN", "ed2k-client executable: x.exe"}, {"DE", "Ed2k-Client Dateiname: x.exe"}}) {
        SCOPED_TRACE(code);
        ClientDesk d;
        if (code == "DE") d.f().combo_language.userPicked(1);
        d.desk.dialogs.fileAnswers = {{"/other/place/x.exe"}};
        d.f().edit_clientdir.setText(d.folder.path());
        EXPECT_EQ(d.f().clientExe, "x.exe");
        EXPECT_EQ(d.f().Label12.caption(), label);
        EXPECT_EQ(d.desk.dialogs.messageCaptions(),
                  Strings{code == "EN" ? "Error ..." : "Fehler ..."});
        EXPECT_FALSE(d.f().OpenDialog3.multiSelect);
        EXPECT_EQ(d.f().OpenDialog3.filter,
                  code == "EN" ? "ed2k-client executable|amule;amuled;*.exe|All files|*.*"
                               : "ed2k-Client-Programm|amule;amuled;*.exe|Alle Dateien|*.*");

        // The same name in the folder later is found without a question.
        d.desk.dialogs.shown.clear();
        test::WriteFile(d.folder / "sub/x.exe", "program");
        d.f().edit_clientdir.setText(d.folder / "sub");
        EXPECT_TRUE(d.desk.dialogs.shown.empty());
        EXPECT_EQ(d.f().clientExe, "x.exe");
    }
}

TEST(ClientRecognition, StartUpTakesTheStoredNameAndAsksOnlyWhenTheFolderLacksIt) {
    {
        ClientDesk d;
        d.holds({"client.exe"});
        test::LoadFrom(d.desk,
                       "[DIRECTORIES]\nCLIENTEXE=client.exe\nCLIENTDIR=" + d.folder.path() + "\n");
        EXPECT_EQ(d.f().clientExe, "client.exe");
        EXPECT_EQ(d.f().Label12.caption(), "ed2k-client executable: client.exe");
        EXPECT_TRUE(d.desk.dialogs.shown.empty());
    }
    {
        ClientDesk d;
        d.holds({"emule.exe"});
        test::LoadFrom(d.desk,
                       "[DIRECTORIES]\nCLIENTEXE=client.exe\nCLIENTDIR=" + d.folder.path() + "\n");
        EXPECT_EQ(d.f().clientExe, "emule.exe");
        EXPECT_EQ(d.f().Label12.caption(), "ed2k-client executable: client.exe");
    }
    {
        ClientDesk d;
        test::LoadFrom(d.desk,
                       "[DIRECTORIES]\nCLIENTEXE=client.exe\nCLIENTDIR=" + d.folder.path() + "\n");
        EXPECT_TRUE(d.asked());
        EXPECT_EQ(d.f().clientExe, "client.exe");
    }
}

}  // namespace
}  // namespace hw
