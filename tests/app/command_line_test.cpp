// The command line as the real program: its commands against a settings file of their own, with
// their codes, their output and the files they leave.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <regex>
#include <string>

#include "backup/backup_fixture.h"
#include "settings/ini_file.h"
#include "supervision/process_table_linux.h"
#include "support/cli_process.h"
#include "support/part_file_bytes.h"

namespace hw {
namespace {

using test::CliProcess;
using test::CliResult;
using test::Download;
using test::PartMet;
using test::RunCli;

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// A part file as the client writes it: its hash (16 times `hashByte`), the download's name and
// 32-bit size, and one gap of bytes still to load.
class CommandLine : public ::testing::Test {
  protected:
    void SetUp() override {
        test::WriteFile(T + "/001.part.met", PartMet("one"));
        test::WriteFile(T + "/002.part.met", PartMet("two"));
        WriteSettings("");
    }
    void WriteSettings(const std::string& more, const std::string& temp = "") {
        test::WriteFile(settings, "[DIRECTORIES]\nTEMPDIR=" + (temp.empty() ? T : temp) +
                                      "\nBACKUPDIR=" + B + "\nCLIENTDIR=" + C +
                                      "\nCLIENTEXE=" + client + "\n" + more);
        test::WriteFile(C + "/" + client, "");
    }
    // The client's name. A test that keeps one running names it apart: the other tests of this
    // suite may run meanwhile, and a client that runs stops their restores.
    std::string client = "fakeclient";
    CliResult Cli(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), {"--settings", settings});
        return RunCli(arguments);
    }
    // Six downloads backed up twice, then the temp folder as after a crash: 001 further along
    // than its copy, 002 damaged, 003 missing, 004 only in the older backup; 005 and 006 whole,
    // their names alike but for the letter case.
    void LoseSomeDownloads() {
        std::filesystem::remove_all(T);
        test::WriteFile(T + "/001.part.met", Download("Ubuntu 24.04.iso", 1000, 0x11, 500, 1000));
        test::WriteFile(T + "/002.part.met", Download("\xC3\x84rger im Paradies.avi", 2048, 0x22));
        test::WriteFile(T + "/003.part.met", third);
        test::WriteFile(T + "/004.part.met", Download("only\nold", 4096, 0x44));
        test::WriteFile(T + "/005.part.met", Download("Same name", 10, 0x55));
        test::WriteFile(T + "/006.part.met", Download("same NAME", 10, 0x66));
        // The downloads' data stays when their part files are lost.
        for (const char* data : {"001", "002", "003", "004", "005", "006"})
            test::WriteFile(T + "/" + data + ".part", "");
        ASSERT_EQ(Cli({"backup"}).code, 0);
        std::filesystem::remove(T + "/004.part.met");
        ASSERT_EQ(Cli({"backup"}).code, 0);
        test::WriteFile(T + "/001.part.met", Download("Ubuntu 24.04.iso", 1000, 0x11, 900, 1000));
        test::WriteFile(T + "/002.part.met", "cut short");
        std::filesystem::remove(T + "/003.part.met");
    }

    test::TempDir root;
    test::PrivateRuntime runtime{root.path()};
    std::string settings = root / "hoardwise.INI";
    std::string T = root / "temp";
    std::string B = root / "backup";
    std::string C = root / "client";
    const std::string third = Download("third", 3221225477u, '\xAB');
};

TEST_F(CommandLine, BacksUpReportsAndRestoresWithTheButtonsOutcomesAsCodes) {
    CliResult r = Cli({"backup"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "Backing up *.PART.METs successful !\n");
    EXPECT_EQ(test::ReadFile(B + "/002.part.met.HWS"), PartMet("two"));

    // A damaged part file keeps its older copy: done, with code 3 and the file named.
    test::WriteFile(T + "/002.part.met", "cut short");
    r = Cli({"backup"});
    EXPECT_EQ(r.code, 3) << r.out << r.err;
    EXPECT_TRUE(Contains(r.out + r.err, T + "/002.part.met")) << r.out << r.err;
    EXPECT_EQ(test::ReadFile(B + "/002.part.met.HWS"), PartMet("two"));
    r = Cli({"backup", "--json", "--quiet"});
    EXPECT_EQ(r.code, 3);
    EXPECT_EQ(r.out.rfind("{\"command\":\"backup\",\"outcome\":\"damaged\",\"exit_code\":3,"
                          "\"files\":2,\"damaged\":1,\"kept\":[\"" +
                              T + "/002.part.met\"],",
                          0),
              0u)
        << r.out;
    EXPECT_TRUE(Contains(r.err, T + "/002.part.met")) << r.err;  // --quiet keeps the damage

    r = Cli({"status"});
    EXPECT_EQ(r.code, 0) << r.err;
    for (const std::string& line :
         std::vector<std::string>{"Temp folder:        " + T, "Backup folder:      " + B,
                                  "Client:             fakeclient, not running",
                                  "Autobackup:         off", "Last backup: "}) {
        EXPECT_TRUE(Contains(r.out, line)) << line << "\n" << r.out;
    }
    EXPECT_TRUE(Contains(r.out, ", 2 part files (" + B + ")")) << r.out;
    EXPECT_TRUE(Contains(r.out, ", 2 part files (" + B + "_old)")) << r.out;

    // Without --yes a restore only tells what it would bring back.
    std::filesystem::remove_all(T);
    std::filesystem::create_directories(T);
    r = Cli({"restore"});
    EXPECT_EQ(r.code, 0);
    EXPECT_TRUE(Contains(r.out, "Newest backup: ")) << r.out;
    r = Cli({"--json", "restore"});
    EXPECT_TRUE(Contains(r.out, "\"outcome\":\"look\",\"exit_code\":0,")) << r.out;
    EXPECT_TRUE(
        std::regex_search(r.out, std::regex("\\{\"name\":\"newest\",\"folder\":\"" + B +
                                            "\",\"present\":true,\"time\":\"[0-9]{4}-"
                                            "[0-9]{2}-[0-9]{2}T[0-9:]{8}[+-][0-9]{2}:[0-9]{2}"
                                            "\",\"files\":2,")))
        << r.out;
    EXPECT_FALSE(test::FileExists(T + "/001.part.met"));
    r = Cli({"restore", "--yes"});
    EXPECT_EQ(r.code, 0) << r.out << r.err;
    EXPECT_EQ(test::ReadFile(T + "/002.part.met"), PartMet("two"));
    r = Cli({"restore", "--yes", "--older"});
    EXPECT_EQ(r.code, 0) << r.out << r.err;
    EXPECT_EQ(test::ReadFile(T + "/001.part.met"), PartMet("one"));

    // A rotation killed between its two renames (no exchange rename, as on exFAT) leaves the
    // newest generation complete beside B_old: it is told as the newest.
    const std::string complete = root / ".backup.hws-new";
    std::filesystem::rename(B, complete);
    test::WriteFile(complete + "/.hws-newest", "");
    r = Cli({"status"});
    EXPECT_TRUE(Contains(r.out, ", 2 part files (" + complete + ")\nOlder backup: ")) << r.out;
    EXPECT_TRUE(Contains(Cli({"restore"}).out, "Newest backup: "));
    // A temp folder whose disk is not mounted is refused, and not made anew.
    WriteSettings("", root / "unmounted/Temp");
    EXPECT_EQ(Cli({"restore", "--yes"}).code, 2);
    EXPECT_FALSE(std::filesystem::exists(root / "unmounted"));
}

TEST_F(CommandLine, ListsEachDownloadWithItsStateAndProgressInBothLanguagesAndAsJson) {
    LoseSomeDownloads();
    auto hash = [](const std::string& digits) {
        std::string text;
        while (text.size() < 32) text += digits;
        return text;
    };
    CliResult r = Cli({"list"});
    EXPECT_EQ(r.code, 0) << r.err;
    // clang-format off
    EXPECT_EQ(r.out,
        "STATE       TEMP  BACKUP     SIZE  HASH                              NAME\n"
        "ahead        90%     50%   1000 B  " + hash("11") + "  Ubuntu 24.04.iso\n"
        "damaged        ?    100%  2.0 KiB  " + hash("22") + "  \xC3\x84rger im Paradies.avi\n"
        "missing        -    100%  3.0 GiB  " + hash("AB") + "  third\n"
        "older only     -       -  4.0 KiB  " + hash("44") + "  only?old\n"
        "whole       100%    100%     10 B  " + hash("55") + "  Same name\n"
        "whole       100%    100%     10 B  " + hash("66") + "  same NAME\n");
    // clang-format on
    r = Cli({"list", "--older"});
    EXPECT_TRUE(Contains(r.out, "older only     -   100%  4.0 KiB")) << r.out;
    r = Cli({"list", "--json"});
    EXPECT_EQ(
        r.out.rfind("[{\"place\":\"001.part.met\",\"name\":\"Ubuntu 24.04.iso\",\"size\":1000,"
                    "\"hash\":\"" +
                        hash("11") +
                        "\",\"state\":\"ahead\",\"temp\":{\"present\":"
                        "true,\"whole\":true,\"done\":900},\"newest\":{\"present\":true,\"whole\":"
                        "true,\"done\":500},",
                    0),
        0u)
        << r.out;
    for (const char* state :
         {"\"state\":\"damaged\",\"temp\":{\"present\":true,\"whole\":false,\"done\":null}",
          "\"size\":3221225477,", "\"state\":\"missing\",\"temp\":{\"present\":false,",
          "\"name\":\"only\\nold\",", "\"state\":\"older-only\",", "\"state\":\"whole\","}) {
        EXPECT_TRUE(Contains(r.out, state)) << state;
    }
    // A full restore would set 001 back: its question says so.
    EXPECT_TRUE(Contains(Cli({"restore"}).out,
                         "\n1 part file in the temp folder is further along than in the newest "
                         "backup and would be set back to its progress.\n"));
    EXPECT_TRUE(Contains(Cli({"restore", "--json"}).out, "\"ahead_of_backup\":1,"));
    WriteSettings("[GENERAL SETTINGS]\nLANGUAGE=DE\n");
    r = Cli({"list"});
    EXPECT_TRUE(Contains(r.out, "ZUSTAND     TEMP  SICHERUNG   GR\xC3\x96SSE  HASH")) << r.out;
    EXPECT_TRUE(Contains(r.out,
                         "\nbesch\xC3\xA4"
                         "digt     ?       100%  2,0 KiB  "))
        << r.out;
}

TEST_F(CommandLine, RestoresOnlyTheChosenOrTheLostDownloadsAndLeavesTheOthersAsTheyWere) {
    LoseSomeDownloads();
    const std::string ahead = test::ReadFile(T + "/001.part.met");
    // Every argument that names no download, several, or one the backup has no whole copy of is
    // named, and nothing is restored; a name as written comes before one in another case.
    CliResult r = Cli({"restore", "--yes", "--only", "nothing-like-it", "SAME NAME", "004.part.met",
                       "Same name"});
    EXPECT_EQ(r.code, 2);
    for (const char* says :
         {"no download matches 'nothing-like-it'\n",
          "several downloads match 'SAME NAME': 005.part.met, 006.part.met\n",
          "the newest backup holds no whole copy of '004.part.met' (004.part.met)\n",
          "Nothing was restored."}) {
        EXPECT_TRUE(Contains(r.err, says)) << says << "\n" << r.err;
    }
    EXPECT_FALSE(Contains(r.err, "'Same name'")) << r.err;
    EXPECT_FALSE(test::FileExists(T + "/003.part.met"));
    // Without --yes it shows what it would restore: a hash in small letters, a name in another
    // case (umlaut included).
    r = Cli(
        {"restore", "--only", "abababababababababababababababab", "\xC3\xA4RGER im paradies.AVI"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(Contains(r.out, "  third\n") && Contains(r.out, "rger im Paradies.avi\n")) << r.out;
    EXPECT_FALSE(Contains(r.out, "Ubuntu")) << r.out;
    EXPECT_FALSE(test::FileExists(T + "/003.part.met"));

    // The damaged and the missing one come back from the newest backup, the one only the older
    // backup holds from there, in one run; the one further along and the whole ones keep their
    // bytes.
    r = Cli({"restore", "--yes", "--lost", "--json"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(Contains(r.out, "\"places\":[\"002.part.met\",\"003.part.met\",\"004.part.met\"]"))
        << r.out;
    EXPECT_EQ(test::ReadFile(T + "/002.part.met"),
              Download("\xC3\x84rger im Paradies.avi", 2048, 0x22));
    EXPECT_EQ(test::ReadFile(T + "/003.part.met"), third);
    EXPECT_EQ(test::ReadFile(T + "/004.part.met"), Download("only\nold", 4096, 0x44));
    EXPECT_EQ(test::ReadFile(T + "/001.part.met"), ahead);
    EXPECT_EQ(test::ReadFile(T + "/005.part.met"), Download("Same name", 10, 0x55));
    r = Cli({"restore", "--yes", "--lost"});
    EXPECT_EQ(r.code, 0);
    EXPECT_TRUE(Contains(r.out, "Nothing to restore: ")) << r.out;
    // With --older they all come from the older backup.
    std::filesystem::remove(T + "/004.part.met");
    EXPECT_EQ(Cli({"restore", "--yes", "--lost", "--older"}).code, 0);
    EXPECT_EQ(test::ReadFile(T + "/004.part.met"), Download("only\nold", 4096, 0x44));
    EXPECT_EQ(test::ReadFile(T + "/001.part.met"), ahead);
    // Named by its place, a download is set back on request.
    EXPECT_EQ(Cli({"restore", "--yes", "--only", "001.part.met"}).code, 0);
    EXPECT_EQ(test::ReadFile(T + "/001.part.met"),
              Download("Ubuntu 24.04.iso", 1000, 0x11, 500, 1000));
}

TEST_F(CommandLine, RefusesBadInputUnsetOrUnsafeFoldersWithACodeAndAClearMessage) {
    struct Case {
        std::vector<std::string> arguments;
        std::string settingsMore;
        std::string temp;
        int code;
        std::string says;
    };
    // clang-format off
    const Case cases[] = {
        {{"--settings", "/nonexistent/hoardwise.INI", "status"}, "", "", 2, "cannot read the settings file '/nonexistent/hoardwise.INI': No such file or directory"},
        {{"--settings", root.path(), "status"}, "", "", 2, "cannot read the settings file '" + root.path() + "': Is a directory"},
        {{"frobnicate"}, "", "", 2, "unknown command 'frobnicate'"},
        {{"backup", "--fast"}, "", "", 2, "unrecognized option '--fast'"},
        {{"status", "--yes"}, "", "", 2, "--yes belongs to the restore command"},
        {{"status", "--older"}, "", "", 2, "--older belongs to the restore and list commands"},
        {{"list", "--only", "x"}, "", "", 2, "--only and --lost belong to the restore command"},
        {{"restore", "--only", "x", "--lost"}, "", "", 2, "--only and --lost exclude each other"},
        {{"restore", "--yes", "--only"}, "", "", 2, "option '--only' requires a download's name, hash or place"},
        {{"restore", "x"}, "", "", 2, "extra operand 'x'"},
        {{"--settings"}, "", "", 2, "option '--settings' requires an argument"},
        {{"backup"}, "", "<Please select the TEMP-Folder>", 2, "the temp folder is not set: edit the settings file or run the window once"},
        {{"backup"}, "[GENERAL SETTINGS]\nLANGUAGE=DE\n", "<TEMP-Ordner>", 2, "der Temp-Ordner ist nicht gesetzt"},
        {{"backup"}, "[FILESTORING]\nMETHOD=SUBFOLDERS\n", root.path(), 2, "The Backup-Directory must not be a subfolder of the Temp-Directory!"},
        {{"config", "--interval", "0"}, "", "", 2, "Values allowed only from 1-120 minutes !"},
        {{"config", "--interval=12x"}, "", "", 2, "Values allowed only from 1-120 minutes !"},
        {{"config", "--backup-dir", "backup"}, "", "", 2, "the folder must be a full path beginning with \"/\": --backup-dir backup"},
        {{"config", "--autobackup", "yes"}, "", "", 2, "option '--autobackup' takes on or off, not 'yes'"},
        {{"config", "--temp-dir"}, "", "", 2, "option '--temp-dir' requires an argument"},
        {{"backup", "--interval", "5"}, "", "", 2, "option '--interval' belongs to the config command"},
        {{"--help"}, "", "", 0, ""},
        {{"-h"}, "", "", 0, ""},
        {{"--version"}, "", "", 0, ""},
        {{"--", "-h"}, "", "", 2, "unknown command '-h'"},
        {{"--", "status", "--"}, "", "", 2, "extra operand '--'"},
        {{"config", "--json"}, "", "", 2, "--json belongs to the status, backup, restore and list commands"},
        {{"list", "--json"}, "", root / "unmounted/Temp", 2, "the temp folder does not exist or is no folder (is its disk not mounted?), and there is no backup: " + root / "unmounted/Temp"},
        {{"backup"}, "", root / "unmounted/Temp", 2, "the temp folder does not exist or is no folder (is its disk not mounted?); nothing was backed up: " + root / "unmounted/Temp"},
        {{"backup"}, "", root / "idle", 4, "No PART.METs found to back up !"},
        {{"backup", "--quiet"}, "", root / "idle", 4, ""},
        {{"--settings", root / "binary.INI", "status"}, "", "", 2, "the settings file '" + root / "binary.INI" + "' is no text"},
        {{"--settings", root / "utf32.INI", "config"}, "", "", 2, "the settings file '" + root / "utf32.INI" + "' is no text"},
        {{"--settings", root / "utf16.INI", "status"}, "", "", 0, ""},
    };
    // clang-format on
    std::filesystem::create_directories(root / "idle");
    test::WriteFile(root / "binary.INI", std::string("[DIRECTORIES]\0\x01", 15));
    test::WriteFile(root / "utf32.INI", std::string("\xFF\xFE\0\0[\0\0\0", 8));
    test::WriteFile(root / "utf16.INI", std::string("\xFF\xFE[\0S\0]\0\n\0", 10));
    for (const Case& c : cases) {
        WriteSettings(c.settingsMore, c.temp);
        std::vector<std::string> arguments = c.arguments;
        if (c.arguments.front() != "--settings" && c.arguments.front().rfind("--", 0) != 0) {
            arguments.insert(arguments.begin(), {"--settings", settings});
        }
        const CliResult r = RunCli(arguments);
        EXPECT_EQ(r.code, c.code) << c.arguments.front() << "\n" << r.err;
        EXPECT_TRUE(Contains(r.err, c.says)) << r.err;
        if (c.arguments.back() == "--quiet") {
            EXPECT_EQ(r.out + r.err, "");
        }
    }
    EXPECT_EQ(test::ReadFile(root / "utf32.INI"), std::string("\xFF\xFE\0\0[\0\0\0", 8));
    EXPECT_TRUE(Contains(RunCli({"--help"}).out, "Usage: hoardwise-cli [--settings FILE] COMMAND"));
    EXPECT_EQ(RunCli({"--version"}).out, "hoardwise-cli (Hoardwise) 2.11\n");
    EXPECT_FALSE(test::FolderExists(B)) << "a refused run wrote into the backup folder";
    EXPECT_EQ(IniFindValue(test::ReadFile(settings), "AUTOBACKUP", "INTERVAL"), std::nullopt);
    // An older generation that holds what no backup wrote is never thrown away.
    WriteSettings("");
    test::WriteFile(B + "_old/notes.txt", "mine");
    const CliResult r = Cli({"backup"});
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(Contains(r.err, B + "_old")) << r.err;
    EXPECT_EQ(test::ReadFile(B + "_old/notes.txt"), "mine");
}

TEST_F(CommandLine, RunRestartsAKilledClientBacksUpOnScheduleHoldsTheLockAndEndsOnSigterm) {
    client = "keptclient";
    WriteSettings(
        "[AUTOBACKUP]\nENABLED=TRUE\nINTERVAL=1\n[GENERAL SETTINGS]\nSTART DONKEYCLIENT=TRUE\n"
        "RESTART DONKEYCLIENT=TRUE\n");
    // The stand-in client runs until it is killed.
    std::filesystem::copy_file(std::string(std::getenv("HOARDWISE_TEST_HELPERS")) + "/hw_client",
                               C + "/" + client, std::filesystem::copy_options::overwrite_existing);
    LinuxProcessTable processes;
    auto clientRuns = [&] { return processes.IsProcessRunning(client); };
    CliProcess service({"--settings", settings, "run"});
    ASSERT_TRUE(test::WaitUntil(clientRuns, 10)) << service.err();

    // While it runs, no second run and no one-shot backup or restore; a report still works.
    for (const std::vector<std::string>& command :
         {std::vector<std::string>{"run"}, {"backup"}, {"restore", "--yes"}}) {
        const CliResult r = Cli(command);
        EXPECT_EQ(r.code, 2) << command.front();
        EXPECT_TRUE(Contains(r.err, "Hoardwise runs already: hoardwise-cli run, process "))
            << r.err;
    }
    EXPECT_EQ(Cli({"status"}).code, 0);

    std::system("pkill -KILL -x keptclient");
    ASSERT_TRUE(test::WaitUntil([&] { return !clientRuns(); }, 5));
    EXPECT_TRUE(test::WaitUntil(clientRuns, 25)) << "not restarted\n" << service.err();
    EXPECT_TRUE(test::WaitUntil(
        [&] { return Contains(service.err(), "\nstarted again after it ran "); }, 5))
        << service.err();
    EXPECT_TRUE(test::WaitUntil(
        [&] { return Contains(service.err(), "Backup (automatic): 2 part files, successful"); },
        90))
        << service.err();
    EXPECT_EQ(test::ReadFile(B + "/001.part.met.HWS"), PartMet("one"));

    service.Signal(SIGTERM);
    EXPECT_EQ(service.Wait(30), 0);
    EXPECT_TRUE(Contains(service.err(), "ended by SIGTERM")) << service.err();
    // The client it started outlives it, as it outlives the window.
    EXPECT_TRUE(clientRuns());
    std::system("pkill -KILL -x keptclient");
}

// A server's settings without a window: preset from aMule's until config writes them as Save does.
TEST_F(CommandLine, ConfigShowsThePresetsAndWritesTheSettingsAsTheWindowDoes) {
    const std::string home = root / "home", file = root / "new/hoardwise.INI";
    test::WriteFile(home + "/.aMule/amule.conf", "[eMule]\nTempDir=" + T + "\n");
    const test::ScopedEnv homeSet("HOME", home);
    CliResult r = RunCli({"--settings", file, "config"});
    EXPECT_EQ(r.code, 0) << r.err;
    for (const std::string& line : std::vector<std::string>{
             "Settings file:      " + file + " (not saved yet; hoardwise-cli config saves",
             "--temp-dir          " + T + "\n", "--backup-dir        not set\n",
             "--client-dir        " + home + "/.aMule\n", "--interval          30\n",
             "--autobackup        off\n"}) {
        EXPECT_TRUE(Contains(r.out, line)) << line << "\n" << r.out;
    }
    r = RunCli({"--settings", file, "config", "--backup-dir", B, "--interval=45", "--autobackup",
                "on", "--restart-client", "on", "--start-client", "off"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(Contains(r.out, "Settings file:      " + file + "\n")) << r.out;
    const std::string text = test::ReadFile(file);
    // clang-format off
    const std::vector<std::vector<std::string>> keys = {
        {"DIRECTORIES", "TEMPDIR", T}, {"DIRECTORIES", "BACKUPDIR", B}, {"DIRECTORIES", "CLIENTDIR", home + "/.aMule"},
        {"AUTOBACKUP", "INTERVAL", "45"}, {"AUTOBACKUP", "ENABLED", "TRUE"},
        {"GENERAL SETTINGS", "START DONKEYCLIENT", "FALSE"}, {"GENERAL SETTINGS", "RESTART DONKEYCLIENT", "TRUE"}, {"GENERAL SETTINGS", "LANGUAGE", "EN"},
    };
    // clang-format on
    for (const auto& key : keys) {
        EXPECT_EQ(IniFindValue(text, key[0], key[1]).value_or("missing"), key[2]) << key[1];
    }
    // A value refused leaves the file as it was, the others given with it included.
    EXPECT_EQ(RunCli({"--settings", file, "config", "--temp-dir", "/x", "--interval", "121"}).code,
              2);
    EXPECT_EQ(test::ReadFile(file), text);
    r = RunCli({"--settings", file, "status"});
    EXPECT_TRUE(Contains(r.out, "Autobackup:         every 45 minutes")) << r.out;
}

// Two configurations of one user are guarded side by side; a backup folder is written by one
// run at a time, whatever names it and whichever settings file.
TEST_F(CommandLine, RunsOnDifferentBackupFoldersGoSideBySideAndOneFolderIsRefusedByName) {
    const std::string other = root / "other.INI", same = root / "same.INI";
    test::WriteFile(other, "[DIRECTORIES]\nTEMPDIR=" + T + "\nBACKUPDIR=" + B + "2\n");
    test::WriteFile(same, "[DIRECTORIES]\nTEMPDIR=" + T + "\nBACKUPDIR=" + root.path() +
                              "/./backup/\n[GENERAL SETTINGS]\nLANGUAGE=DE\n");
    CliProcess first({"--settings", settings, "run"}), second({"--settings", other, "run"});
    for (CliProcess* run : {&first, &second}) {
        EXPECT_TRUE(test::WaitUntil([&] { return Contains(run->err(), "running; "); }, 20))
            << run->err();
    }
    const CliResult r = RunCli({"--settings", same, "backup"});
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(Contains(r.err, "Dieser Backup-Ordner ist für diesen Lauf nicht frei.")) << r.err;
    EXPECT_TRUE(Contains(r.err, "Hoardwise läuft bereits: hoardwise-cli run, Prozess ")) << r.err;
    EXPECT_FALSE(test::FolderExists(B));
    EXPECT_EQ(RunCli({"--settings", other, "backup"}).code, 2);
    // SIGHUP: the settings read again, the lock moved with the backup folder; a folder that
    // another run holds keeps the old settings, and the run goes on.
    for (const auto& [backup, says] :
         {std::pair{B + "3", "settings read again: " + settings + "; running; autobackup: off"},
          {B + "2", "error: settings not read again, the previous ones stay in force: "}}) {
        test::WriteFile(settings, "[DIRECTORIES]\nTEMPDIR=" + T + "\nBACKUPDIR=" + backup + "\n");
        first.Signal(SIGHUP);
        EXPECT_TRUE(test::WaitUntil([&] { return Contains(first.err(), says); }, 20))
            << first.err();
    }
    EXPECT_EQ(RunCli({"--settings", same, "backup"}).code, 0);
    test::WriteFile(same, "[DIRECTORIES]\nTEMPDIR=" + T + "\nBACKUPDIR=" + B + "3\n");
    EXPECT_EQ(RunCli({"--settings", same, "backup"}).code, 2)
        << "the lock of " << B << "3 given up";
    for (CliProcess* run : {&first, &second}) {
        run->Signal(SIGTERM);
        EXPECT_EQ(run->Wait(30), 0) << run->err();
    }
    // Free again once they ended.
    EXPECT_EQ(RunCli({"--settings", same, "backup"}).code, 0);
}

// A temp folder moved away while the real program reads its part files, as a disk that drops
// out: the run fails by the folder's name, and neither backup loses a file.
TEST_F(CommandLine, ATempFolderThatVanishesMidBackupFailsByNameAndKeepsBothBackups) {
    auto write = [&](const std::string& text) {
        for (int i = 0; i < 3000; ++i) {
            test::WriteFile(T + "/" + std::to_string(i) + ".part.met", PartMet(text));
        }
    };
    write("first");
    ASSERT_EQ(Cli({"backup"}).code, 0);
    write("second");  // every file changed: each is read again
    ASSERT_EQ(Cli({"backup"}).code, 0);
    write("third");
    const int watch = ::inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    ASSERT_GE(::inotify_add_watch(watch, T.c_str(), IN_OPEN), 0);
    CliProcess backup({"--settings", settings, "backup"});
    // Moved once the program has opened some of the part files.
    int opened = 0;
    alignas(inotify_event) char buffer[8192];
    for (int wait = 0; opened < 20 && wait < 600; ++wait) {
        pollfd ready{watch, POLLIN, 0};
        if (::poll(&ready, 1, 100) <= 0) continue;
        const ssize_t got = ::read(watch, buffer, sizeof buffer);
        for (ssize_t at = 0; at < got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            if (event->len > 0 && Contains(event->name, ".part.met")) ++opened;
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
    ::close(watch);
    ASSERT_GE(opened, 20);
    std::filesystem::rename(T, root / "moved");
    EXPECT_EQ(backup.Wait(60), 1) << backup.out() << backup.err();
    EXPECT_TRUE(Contains(backup.err(), "disappeared during the backup")) << backup.err();
    EXPECT_TRUE(Contains(backup.err(), T + "\n")) << backup.err();
    for (const auto& [folder, text] : {std::pair{B, "second"}, {B + "_old", "first"}}) {
        std::size_t count = 0;
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            count += entry.path().extension() == ".HWS" ? 1 : 0;
        }
        EXPECT_EQ(count, 3002u) << folder;  // with the two of every test
        EXPECT_EQ(test::ReadFile(folder + "/2999.part.met.HWS"), PartMet(text)) << folder;
    }
}

}  // namespace
}  // namespace hw
