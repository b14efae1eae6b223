// A backup process killed at any moment leaves every backup file whole.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <map>
#include <memory>

#include "backup/backup_fixture.h"
#include "shell/file_copy.h"

namespace hw::test {
namespace {

class KilledBackup : public ::testing::Test {
  protected:
    void SetUp() override {
        // Sizes from a few hundred bytes to about 8 KB, each content unique, so that any
        // truncated or mixed-up copy differs from its source.
        for (int i = 0; i < 300; ++i) {
            const std::string name = std::to_string(1000 + i) + ".part.met";
            std::string content(300 + (i * 2609) % 7900, '\0');
            for (std::size_t k = 0; k < content.size(); ++k) {
                content[k] = static_cast<char>((k * 31 + i * 7) % 251);
            }
            content = PartMet(content);
            sources[name] = content;
            WriteFile(d.T + "/" + name, content);
        }
        WriteFile(d.C + "/server.met", std::string(6000, 's'));
        d.f().listbox_files.add("server.met");
        d.desk.processes.running = {"emule.exe"};
        d.f().BackupPartFiles(true);
    }

    // Runs backups in a child until it is killed, by the hook or after `delayUs`.
    void RunChildAndKill(const std::function<void()>& prepare, useconds_t delayUs) {
        // The child must not inherit a removal thread that it cannot wait for.
        d.f().FinishBackgroundWork();
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            prepare();
            for (;;) d.f().BackupPartFiles(true);
        }
        if (delayUs > 0) {
            ::usleep(delayUs);
            ::kill(child, SIGKILL);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status));
        ASSERT_EQ(WTERMSIG(status), SIGKILL);
    }

    // A generation that exists holds every part file whole and nothing else.
    void ExpectWholeGeneration(const std::string& folder) {
        if (!FolderExists(folder)) return;
        std::vector<std::string> names = Names(folder);
        // The mark of the newest generation may still lie in B: a kill right after the swap.
        for (const char* own : {"~hws_xtra", ".hws-newest"}) {
            names.erase(std::remove(names.begin(), names.end(), own), names.end());
        }
        ASSERT_EQ(names.size(), sources.size()) << folder;
        for (const auto& [name, content] : sources) {
            EXPECT_EQ(ReadFile(folder + "/" + name + ".HWS"), content) << folder << "/" << name;
        }
        const std::string extra = folder + "/~hws_xtra/server.met";
        if (FileExists(extra)) {
            EXPECT_EQ(ReadFile(extra), std::string(6000, 's'));
        }
    }

    void ExpectBothGenerationsWhole() {
        ExpectWholeGeneration(d.B);
        ExpectWholeGeneration(d.B + "_old");
    }

    BackupDesk d;
    std::map<std::string, std::string> sources;
};

// Kills the process half-way through writing the copy with the given number.
std::function<void()> KillDuringCopy(BackupDesk& d, int number) {
    return [&d, number] {
        auto calls = std::make_shared<std::atomic<int>>(0);
        d.f().abfFileOperation1.byteWrite = [calls, number](int to, const char* data,
                                                            std::size_t size) {
            if (++*calls == number) {
                if (::write(to, data, size / 2) >= 0) ::raise(SIGKILL);
                ::raise(SIGKILL);
            }
            return files::WriteAllBytes(to, data, size);
        };
    };
}

TEST_F(KilledBackup, MidCopyLeavesWholeGenerationsAndTheNextRunRemovesTheStaging) {
    for (int number : {1, 150, 300}) {  // while staging the part files
        SCOPED_TRACE(number);
        RunChildAndKill(KillDuringCopy(d, number), 0);
        EXPECT_TRUE(FolderExists(d.root / ".backup.hws-staging"));
        ExpectBothGenerationsWhole();
    }
    RunChildAndKill(KillDuringCopy(d, 301), 0);  // while copying the additional file
    ExpectBothGenerationsWhole();

    d.f().BackupPartFiles(false);
    EXPECT_EQ(d.messages(), Strings{"Backing up *.PART.METs successful !"});
    d.f().FinishBackgroundWork();
    EXPECT_EQ(Names(d.root.path()),
              (Strings{".backup.hws-discard", "backup", "backup_old", "client", "temp"}));
    ExpectBothGenerationsWhole();
    EXPECT_EQ(ReadFile(d.B + "/~hws_xtra/server.met"), std::string(6000, 's'));
}

TEST_F(KilledBackup, AtVariedMomentsNeverLeavesAPartialGeneration) {
    for (useconds_t delay : {1000u, 4000u, 9000u, 17000u, 30000u, 55000u, 90000u, 140000u}) {
        SCOPED_TRACE(delay);
        RunChildAndKill([] {}, delay);
        ExpectBothGenerationsWhole();
    }
    d.f().BackupPartFiles(true);
    d.f().FinishBackgroundWork();
    // Whether a thrown-away generation is kept for reuse depends on where the last kill fell;
    // nothing else may be left.
    Strings names = Names(d.root.path());
    names.erase(std::remove(names.begin(), names.end(), ".backup.hws-discard"), names.end());
    EXPECT_EQ(names, (Strings{"backup", "backup_old", "client", "temp"}));
    ExpectBothGenerationsWhole();
}

}  // namespace
}  // namespace hw::test
