// Runs killed right before each of their renames and deletes in turn, as kill -9 or a power cut
// would stop them: the newest complete generation is never lost and a restore brings it back.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>

#include "backup/backup_fixture.h"
#include "backup/generations.h"
#include "shell/file_copy.h"
#include "support/scratch_mounts.h"

namespace hw::test {
namespace {

namespace fs = std::filesystem;

constexpr int kFiles = 12;

std::string PartName(int file) {
    return std::to_string(100 + file) + ".part.met";
}

// Unique for every generation and file, of varied length, so that a file of another run or a
// truncated one never passes for it.
std::string Content(int generation, int file) {
    std::string content =
        "generation " + std::to_string(generation) + " file " + std::to_string(file) + " ";
    content.resize(content.size() + (generation * 37 + file * 131) % 3000, 'a' + file);
    return PartMet(content);
}

class KilledAtEachStep : public ::testing::Test {
  protected:
    KilledAtEachStep() {
        WriteFile(d.C + "/server.met", std::string(5000, 's'));
        d.f().listbox_files.add("server.met");
        d.desk.processes.running = {"emule.exe"};
    }

    void UseBackupFolder(const std::string& backup) {
        B = backup;
        d.f().edit_backupdir.setText(B);
    }

    // Puts the temp, client and backup folders on a disk whose power KilledAt cuts; else why not.
    std::string UsePowerCutDisk() {
        const std::string why = scratch.MountPowerCutDisk(cutDisk = d.root / "ext4");
        if (!why.empty()) return why;
        d.T = cutDisk + "/temp";
        d.C = cutDisk + "/client";
        fs::create_directories(d.T);
        WriteFile(d.C + "/emule.exe", "client program");
        WriteFile(d.C + "/server.met", std::string(5000, 's'));
        d.f().edit_tempdir.setText(d.T);
        d.f().edit_clientdir.setText(d.C);
        UseBackupFolder(cutDisk + "/generations/backup");
        return "";
    }

    void WriteGeneration(int generation) {
        for (int i = 0; i < kFiles; ++i) WriteFile(d.T + "/" + PartName(i), Content(generation, i));
    }

    // The generation that a folder holds whole (every part file, all from one run); 0 for none.
    int CompleteGeneration(const std::string& folder) {
        Strings names = Names(folder);
        names.erase(std::remove_if(names.begin(), names.end(),
                                   [](const std::string& n) { return n[0] == '.' || n[0] == '~'; }),
                    names.end());
        if (names.size() != kFiles) return 0;
        const std::string first = ReadFile(folder + "/" + PartName(0) + ".HWS");
        const std::size_t at = PartMet("generation ").size();
        const int generation = first.size() > at ? std::atoi(first.c_str() + at) : 0;
        for (int i = 0; i < kFiles; ++i) {
            if (ReadFile(folder + "/" + PartName(i) + ".HWS") != Content(generation, i)) return 0;
        }
        return generation;
    }

    // The generations kept whole where the backup keeps complete ones: B, B_old, and the new
    // one waiting to take B's place. A staging folder is never complete (not yet synced).
    std::vector<int> CompleteGenerations() {
        std::vector<int> found;
        for (const std::string& folder : {B, B + "_old", GenerationFolders(B).complete}) {
            if (!FolderExists(folder)) continue;
            const int generation = CompleteGeneration(folder);
            EXPECT_NE(generation, 0) << folder << " exists but is not a complete generation";
            if (generation != 0) found.push_back(generation);
        }
        return found;
    }

    // Runs `run` in a child killed right before its `step`th rename or delete. False when the
    // run ended before it had that many. A power-cut disk also loses its power then, or at the end.
    bool KilledAt(int step, const std::function<void()>& run) {
        d.f().FinishBackgroundWork();  // no thread may be cut in two by the fork
        // What the test wrote (the client's files) was on the disk long before the run.
        if (!cutDisk.empty()) {
            EXPECT_TRUE(files::SyncFileSystem(cutDisk));
        }
        const pid_t child = ::fork();
        if (child == 0) {
            const std::string disk = cutDisk;
            auto count = std::make_shared<int>(0);
            d.f().abfFileOperation1.beforeChange = [count, step, disk] {
                if (++*count != step) return;
                if (!disk.empty() && !CutPower(disk)) ::_exit(3);
                ::raise(SIGKILL);
            };
            run();
            d.f().FinishBackgroundWork();
            ::_exit(disk.empty() || CutPower(disk) ? 0 : 3);
        }
        int status = 0;
        EXPECT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFSIGNALED(status) || (WIFEXITED(status) && WEXITSTATUS(status) == 0));
        if (!cutDisk.empty()) {
            EXPECT_TRUE(scratch.Remount(cutDisk)) << "disk not mounted again";
        }
        return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
    }

    bool TempHolds(int generation) {
        for (int i = 0; i < kFiles; ++i) {
            if (ReadFile(d.T + "/" + PartName(i)) != Content(generation, i)) return false;
        }
        return Names(d.T).size() == kFiles;  // and no leftover of a copy
    }

    // Kills a backup before each step in turn (and, with two kills in a row, the next backup
    // before the same step again); after each kill the newest complete generation must be at
    // least the one before, and then a restore must bring it back. B must exist after every
    // kill where folders can be swapped.
    void KillBackupsAtEveryStep(bool swapsInOneStep, const char* where) {
        int generation = 0;
        auto backUp = [&] { d.f().BackupPartFiles(true); };
        for (int run = 0; run < 2; ++run) {  // B and B_old to begin with
            WriteGeneration(++generation);
            backUp();
        }
        int kills = 0, rounds = 0, restorable = 0, fewestComplete = 99, mostComplete = 0;
        for (int inARow : {1, 2}) {
            for (int step = 1;; ++step) {
                SCOPED_TRACE(std::to_string(inARow) + " kills before change " +
                             std::to_string(step));
                int newest = generation;
                bool killed = false;
                for (int k = 0; k < inARow; ++k) {
                    WriteGeneration(++generation);
                    if (!KilledAt(step, backUp)) {
                        newest = generation;
                        EXPECT_EQ(CompleteGeneration(B), generation) << "a finished run lost";
                        break;
                    }
                    killed = true;
                    ++kills;
                    const std::vector<int> complete = CompleteGenerations();
                    fewestComplete = std::min<int>(fewestComplete, complete.size());
                    mostComplete = std::max<int>(mostComplete, complete.size());
                    if (swapsInOneStep) {
                        EXPECT_TRUE(FolderExists(B)) << "no backup folder";
                    }
                    const int found =
                        complete.empty() ? 0 : *std::max_element(complete.begin(), complete.end());
                    EXPECT_GE(found, newest) << "the newest complete generation was lost";
                    newest = found;
                }
                if (!killed) break;  // the run has fewer steps

                ++rounds;
                WriteGeneration(999);  // the downloads are damaged
                d.f().RestorePartFiles();
                EXPECT_TRUE(TempHolds(newest)) << "generation " << newest << " not restored";
                restorable += TempHolds(newest) ? 1 : 0;

                WriteGeneration(++generation);  // and the runs go on as before
                backUp();
                EXPECT_EQ(CompleteGeneration(B), generation);
                EXPECT_EQ(CompleteGeneration(B + "_old"), newest);
                EXPECT_EQ(ReadFile(B + "/~hws_xtra/server.met"), std::string(5000, 's'));
            }
        }
        d.f().FinishBackgroundWork();
        const std::string name = fs::path(B).filename().string();
        // Beside them only the hidden third generation that the next run overwrites.
        EXPECT_EQ(Names(fs::path(B).parent_path()),
                  (Strings{"." + name + ".hws-discard", name, name + "_old"}));
        std::printf(
            "[ KILLED   ] %s: %d backups killed, %d to %d complete generations after each "
            "kill, the newest restored after %d of %d single and double kills\n",
            where, kills, fewestComplete, mostComplete, restorable, rounds);
        EXPECT_GE(kills, 18);
    }

    // Kills restores before each step in turn; every file is then the damaged one or the
    // restored one, and the next restore brings back all and leaves nothing of the one killed.
    void KillRestoresAtEveryStep(const char* where) {
        WriteGeneration(1);
        d.f().BackupPartFiles(true);
        int kills = 0;
        for (int step = 1;; ++step) {
            SCOPED_TRACE("killed before change " + std::to_string(step));
            WriteGeneration(999);
            WriteFile(d.C + "/server.met", "damaged");
            if (!KilledAt(step, [&] { d.f().RestorePartFiles(); })) {
                EXPECT_TRUE(TempHolds(1)) << "a finished restore lost";
                EXPECT_EQ(ReadFile(d.C + "/server.met"), std::string(5000, 's'));
                break;
            }
            ++kills;
            for (int i = 0; i < kFiles; ++i) {
                const std::string now = ReadFile(d.T + "/" + PartName(i));
                EXPECT_TRUE(now == Content(1, i) || now == Content(999, i)) << PartName(i);
            }
            const std::string extra = ReadFile(d.C + "/server.met");
            EXPECT_TRUE(extra == "damaged" || extra == std::string(5000, 's'));
            d.f().RestorePartFiles();
            EXPECT_TRUE(TempHolds(1));
            EXPECT_EQ(Names(d.C), (Strings{"emule.exe", "server.met"}));  // no temporary file left
            EXPECT_EQ(ReadFile(d.C + "/server.met"), std::string(5000, 's'));
        }
        std::printf("[ KILLED   ] %s: %d restores killed\n", where, kills);
        EXPECT_GE(kills, kFiles + 1);
    }

    BackupDesk d;
    std::string B;
    ScratchMounts scratch;  // after d, whose folder holds the mounts
    std::string cutDisk;    // the ext4 disk whose power a kill cuts, if any
};

TEST_F(KilledAtEachStep, BackupsNeverLoseTheNewestGenerationAndBAlwaysExists) {
    UseBackupFolder(d.root / "generations/backup");
    KillBackupsAtEveryStep(true, "local disk");
}

TEST_F(KilledAtEachStep, BackupsOnADiskThatCannotSwapFoldersNeverLoseTheNewestGeneration) {
    const std::string usb = d.root / "usb";
    fs::create_directories(usb);
    ScratchMounts mounts;
    const std::string why = mounts.MountExfat(d.root / "exfat.img", usb);
    if (!why.empty()) GTEST_SKIP() << "no exFAT disk to test on: " << why;
    UseBackupFolder(usb + "/backup");
    KillBackupsAtEveryStep(false, "exFAT");
}

TEST_F(KilledAtEachStep, RestoresLeaveEveryFileWholeAndTheNextRemovesTheirLeftovers) {
    UseBackupFolder(d.B);
    KillRestoresAtEveryStep("local disk");
}

TEST_F(KilledAtEachStep, RunsCutOffByAPowerCutLoseNoGenerationAndLeaveEveryFileOldOrRestored) {
    const std::string why = UsePowerCutDisk();
    if (!why.empty()) GTEST_SKIP() << "no ext4 disk to cut the power of: " << why;
    KillBackupsAtEveryStep(true, "power cut");
    KillRestoresAtEveryStep("power cut");
}

}  // namespace
}  // namespace hw::test
