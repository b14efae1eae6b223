// The real client: Debian's aMule daemon on a configuration folder of its own, driven through
// the window model with the real process table and program starter. aMule makes its part files
// from ed2k links without any network.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <map>

#include "backup/backup_contents.h"
#include "backup/backup_run.h"
#include "backup/restore_run.h"
#include "base/amule.h"
#include "shell/find_files.h"
#include "supervision/process_table_linux.h"
#include "supervision/program_starter_linux.h"
#include "support/cli_process.h"
#include "support/fake_services.h"
#include "support/part_file_bytes.h"

namespace hw {
namespace {

// A port nobody listens on now.
int FreePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0) {
        port = ntohs(address.sin_port);
    }
    ::close(fd);
    return port;
}

std::string Output(const std::string& command) {
    std::string out;
    if (FILE* pipe = ::popen((command + " 2>&1").c_str(), "r")) {
        char buffer[512];
        while (std::fgets(buffer, sizeof buffer, pipe)) out += buffer;
        ::pclose(pipe);
    }
    return out;
}

const char* const kLinks[] = {
    "ed2k://|file|small.bin|1048576|0123456789ABCDEF0123456789ABCDEF|/",
    "ed2k://|file|larger%20than%204%20GiB.iso|5000000000|FEDCBA9876543210FEDCBA9876543210|/",
    "ed2k://|file|Grüße%20aus%20Köln.mkv|734003200|00112233445566778899AABBCCDDEEFF|/",
};
const char* const kHashes[] = {"0123456789ABCDEF0123456789ABCDEF",
                               "FEDCBA9876543210FEDCBA9876543210",
                               "00112233445566778899AABBCCDDEEFF"};

class AmuleDaemon : public ::testing::Test {
  protected:
    void SetUp() override {
        if (FindOnPath(kAmuled).empty() || FindOnPath("amulecmd").empty()) {
            GTEST_SKIP() << "aMule's daemon is not installed (packages amule-daemon, amule-utils)";
        }
        ecPort = FreePort();
        const std::string md5 = Output("printf secret | md5sum");
        test::WriteFile(
            config + "/amule.conf",
            "[eMule]\nNick=hoardwise-test\nTempDir=" + temp + "\nIncomingDir=" + home / "Incoming" +
                "\nPort=" + std::to_string(FreePort()) + "\nUDPPort=" + std::to_string(FreePort()) +
                "\nUDPEnable=0\nConnectToKad=0\nConnectToED2K=0\nAutoconnect=0\n"
                "Reconnect=0\nUPnPEnabled=0\n[ExternalConnect]\n"
                "AcceptExternalConnections=1\nECAddress=127.0.0.1\nECPort=" +
                std::to_string(ecPort) + "\nECPassword=" + md5.substr(0, 32) +
                "\nUPnPECEnabled=0\n[WebServer]\nEnabled=0\n");
        test::WriteFile(temp + "/.keep", "");
        test::WriteFile(home / "Incoming/.keep", "");
        // The window model, with the real process list and program start.
        desk.f().services.processes = &processes;
        desk.f().services.starter = &starter;
        desk.f().ApplyLanguage("EN");
        desk.f().clientExe = kAmuled;  // as chosen once, or stored in the settings
        desk.f().edit_clientdir.setText(config);
        desk.f().edit_tempdir.setText(temp);
        desk.f().edit_backupdir.setText(home / "backup");
        desk.f().cb_watchclient.setChecked(true);
    }
    void TearDown() override { Stop(SIGKILL); }

    std::string Command(const std::string& command) {
        return Output("amulecmd -h 127.0.0.1 -p " + std::to_string(ecPort) + " -P secret -c '" +
                      command + "'");
    }
    bool Answers() { return Command("status").find("Connection established") != std::string::npos; }
    // Ticks the observer until aMule answers: a start right after a kill may be refused while
    // aMule's lock still names the dead process, and the next tick tries again.
    bool TickUntilAnswering() {
        for (int tick = 0; tick < 6; ++tick) {
            desk.f().timer_observer.tick();
            if (test::WaitUntil([&] { return Answers(); }, 5)) return true;
        }
        return false;
    }
    void Stop(int signal) {
        for (const ProcessInfo& process : processes.ProcessesOf(kAmuled)) {
            if (AmuleRunsOn(process, config) == FolderMatch::Same) {
                Output(std::string("pkill -") + (signal == SIGKILL ? "KILL" : "TERM") +
                       " -f -- '--config-dir=" + config + "'");
            }
        }
        test::WaitUntil([&] { return !desk.f().IsClientRunning(); }, 20);
    }
    std::vector<std::string> PartFiles() {
        std::vector<std::string> found;
        FindFiles(temp, "*.part.met", found);
        return found;
    }

    test::FakeDesktop desk;
    test::TempDir home;
    std::string config = home / "config";
    std::string temp = home / "config/Temp";
    int ecPort = 0;
    LinuxProcessTable processes;
    LinuxProgramStarter starter;
};

TEST_F(AmuleDaemon, IsRecognisedBackedUpRestartedOnItsConfigurationAndGetsItsDownloadsBack) {
    EXPECT_TRUE(desk.dialogs.shown.empty()) << "its configuration folder raised a question";
    EXPECT_EQ(desk.f().clientExe, kAmuled);
    ASSERT_TRUE(TickUntilAnswering()) << "amuled was not started on " << config;
    for (const char* link : kLinks) {
        EXPECT_NE(Command(std::string("add ") + link).find("successful"), std::string::npos);
    }
    ASSERT_TRUE(test::WaitUntil([&] { return PartFiles().size() == 3; }, 20));

    // An automatic backup goes ahead only because this aMule runs on this configuration.
    EXPECT_EQ(desk.f().BackupPartFiles(true), MainForm::RunOutcome::Succeeded)
        << desk.f().runFailure();
    for (const char* name : {"001", "002", "003"}) {
        EXPECT_TRUE(test::FileExists(home / "backup/" + name + ".part.met.HWS")) << name;
    }

    // Killed, it comes back on its own configuration by the watch of its end, with no tick.
    ASSERT_FALSE(desk.f().EndWatchDescriptors().empty());
    Stop(SIGKILL);
    ASSERT_FALSE(desk.f().IsClientRunning());
    EXPECT_TRUE(test::WaitUntil(
        [&] {
            desk.f().StartedProgramEnded();  // as the event loop does once the watch is readable
            return Answers();
        },
        30))
        << "amuled was not restarted";
    EXPECT_EQ(desk.f().AmuleRunningOn(config, false), kAmuled);

    // Stopped, its downloads lost, restored: aMule lists every one of them again.
    desk.f().cb_watchclient.setChecked(false);
    Stop(SIGTERM);
    for (const std::string& name : PartFiles()) std::remove(name.c_str());
    Output("rm -f '" + temp + "'/*.part.met.bak '" + temp + "'/*.part.met.backup");
    ASSERT_TRUE(PartFiles().empty());
    desk.f().RestorePartFiles();
    EXPECT_EQ(desk.dialogs.messageTexts().back(), "Restoring *.PART.METs successful !");
    EXPECT_EQ(PartFiles().size(), 3u);
    desk.f().cb_watchclient.setChecked(true);
    ASSERT_TRUE(TickUntilAnswering());
    const std::string downloads = Command("show dl");
    for (const char* hash : kHashes) EXPECT_NE(downloads.find(hash), std::string::npos) << hash;
}

// The same daemon guarded by the command line's run, as on a server without a desktop.
TEST_F(AmuleDaemon, TheCommandLineRunStartsItRestartsItAndBacksItUp) {
    const test::PrivateRuntime runtime(home.path());
    test::WriteFile(home / "hoardwise.INI",
                    "[DIRECTORIES]\nTEMPDIR=" + temp + "\nBACKUPDIR=" + home / "backup" +
                        "\nCLIENTDIR=" + config +
                        "\nCLIENTEXE=amuled\n[AUTOBACKUP]\nENABLED=TRUE\nINTERVAL=1\n"
                        "[GENERAL SETTINGS]\nSTART DONKEYCLIENT=TRUE\nRESTART DONKEYCLIENT=TRUE\n");
    test::CliProcess service({"--settings", home / "hoardwise.INI", "run"});
    ASSERT_TRUE(test::WaitUntil([&] { return Answers(); }, 30)) << service.err();
    for (const char* link : kLinks) Command(std::string("add ") + link);
    ASSERT_TRUE(test::WaitUntil([&] { return PartFiles().size() == 3; }, 20));

    Stop(SIGKILL);
    EXPECT_TRUE(test::WaitUntil([&] { return Answers(); }, 60)) << "not restarted\n"
                                                                << service.err();
    EXPECT_TRUE(test::WaitUntil(
        [&] {
            std::vector<std::string> copies;
            FindFiles(home / "backup", "*.part.met.HWS", copies);
            return copies.size() == 3;
        },
        90))
        << service.err();
    service.Signal(SIGTERM);
    EXPECT_EQ(service.Wait(30), 0) << service.err();
    EXPECT_NE(service.err().find("Backup (automatic): 3 part files, successful"), std::string::npos)
        << service.err();
}

// aMule's own part files as the contents of a backup read them: a download deleted since the
// backup is missing and comes back alone; one further along keeps its progress.
TEST_F(AmuleDaemon, ItsPartFilesAreReadAndOnlyTheLostOneIsRestored) {
    ASSERT_TRUE(TickUntilAnswering()) << "amuled was not started on " << config;
    // The name with its spaces as they are: aMule keeps a "%20" of a link as it stands.
    for (const char* link :
         {kLinks[0], kLinks[1],
          "ed2k://|file|Grüße aus Köln.mkv|734003200|00112233445566778899AABBCCDDEEFF|/"}) {
        Command(std::string("add ") + link);
    }
    ASSERT_TRUE(test::WaitUntil([&] { return PartFiles().size() == 3; }, 20));
    desk.f().cb_watchclient.setChecked(false);
    Stop(SIGTERM);
    RunInputs inputs;
    inputs.temp = temp;
    inputs.backup = home / "backup";
    inputs.client = config;
    TabfFileOperation op;
    BackgroundRemoval removal;
    ASSERT_EQ(RunBackup(BackupRequest(inputs), op, removal).outcome, RunResult::Succeeded);
    removal.Wait();

    // The names, sizes and hashes of the links, by the part file aMule gave each.
    std::map<std::string, std::string> placeOf;  // by hash
    for (const std::string& path : PartFiles()) {
        const std::optional<PartFileInfo> info = ReadPartFileInfoAt(path);
        ASSERT_TRUE(info) << path;
        placeOf[info->HashText()] = path.substr(temp.size() + 1);
        EXPECT_LT(info->done, info->size) << path;  // nothing was downloaded
    }
    ASSERT_EQ(placeOf.size(), 3u);
    const std::pair<std::string, std::uint64_t> facts[] = {{"small.bin", 1048576},
                                                           {"larger than 4 GiB.iso", 5000000000ULL},
                                                           {"Grüße aus Köln.mkv", 734003200}};
    for (int k = 0; k < 3; ++k) {
        const std::optional<PartFileInfo> info =
            ReadPartFileInfoAt(temp + "/" + placeOf[kHashes[k]]);
        EXPECT_EQ(std::make_pair(info->name, info->size), facts[k]);
    }

    // The small download lost with its spares; the one from Cologne further along.
    const std::string lost = placeOf[kHashes[0]];
    const std::string ahead = placeOf[kHashes[2]];
    Output("rm -f '" + temp + "/" + lost + "'*");
    const std::string hash = test::ReadFile(temp + "/" + ahead).substr(5, 16);  // after the date
    const std::string further =
        test::PartFile(hash, {test::NameTag("Grüße aus Köln.mkv"), test::SizeTag(734003200),
                              test::Gap(0, 1000000, 734003200)});
    test::WriteFile(temp + "/" + ahead, further);

    const BackupContents contents = ReadBackupContents({temp, home / "backup", config, false});
    std::map<std::string, DownloadState> states;
    for (const DownloadRow& row : contents.rows) states[row.place] = row.state;
    EXPECT_EQ(states,
              (std::map<std::string, DownloadState>{{lost, DownloadState::MissingInTemp},
                                                    {placeOf[kHashes[1]], DownloadState::Whole},
                                                    {ahead, DownloadState::AheadOfBackup}}));
    EXPECT_EQ(CountAheadOfBackup(contents, false), 1u);

    RestoreRequest request(inputs);
    request.only = LostPlaces(contents).newest;
    EXPECT_EQ(request.only, std::vector<std::string>{lost});
    const RestoreReport report = RunRestore(request, op, removal);
    removal.Wait();
    EXPECT_EQ(report.outcome, RunResult::Succeeded);
    EXPECT_EQ(report.files, 1u);
    EXPECT_EQ(test::ReadFile(temp + "/" + lost), test::ReadFile(home / "backup/" + lost + ".HWS"));
    EXPECT_EQ(ReadPartFileInfoAt(temp + "/" + lost)->name, "small.bin");
    EXPECT_EQ(test::ReadFile(temp + "/" + ahead), further);
}

}  // namespace
}  // namespace hw
