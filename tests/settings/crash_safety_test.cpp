// A writer killed at any moment of a save, or cut off by a power cut, leaves a complete settings
// file behind.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <thread>

#include "settings/ini_file.h"
#include "shell/file_copy.h"
#include "support/fake_services.h"
#include "support/scratch_mounts.h"

namespace hw {
namespace {

// Two states of the window that differ in every key, with a list long enough that a kill
// often lands in the middle of writing it.
void SetState(MainForm& f, bool second) {
    const std::string tag = second ? "B" : "A";
    f.edit_tempdir.setText("/temp/" + tag);
    f.edit_backupdir.setText("/backup/" + tag);
    f.edit_clientdir.setText("/client/" + tag);
    f.clientExe = "client-" + tag;
    f.cb_autobackup.setChecked(second);
    f.UpDown1.setPosition(second ? 90 : 10);
    f.listbox_files.clear();
    for (int i = 0; i < 4000; ++i) f.listbox_files.add(tag + "/file-" + std::to_string(10000 + i));
    f.radio_storing_simple.setChecked(!second);
    f.radio_storing_subfolder.setChecked(second);
    f.cb_startminimized.setChecked(second);
    f.cb_boot.setChecked(second);
    f.cb_startclient.setChecked(second);
    f.cb_watchclient.setChecked(second);
    f.combo_language.setItemIndex(second ? 0 : 1);
    f.edit_launchpad_path.setText("/runner/" + tag);
    f.cb_lauchpad_startup.setChecked(second);
    f.cb_lauchpad_watch.setChecked(second);
}

struct Key {
    const char* section;
    const char* name;
};

const Key kKeys[] = {
    {"DIRECTORIES", "TEMPDIR"},
    {"DIRECTORIES", "BACKUPDIR"},
    {"DIRECTORIES", "CLIENTDIR"},
    {"DIRECTORIES", "CLIENTEXE"},
    {"AUTOBACKUP", "ENABLED"},
    {"AUTOBACKUP", "INTERVAL"},
    {"ADDITIONAL FILES", "LBSTRING"},
    {"FILESTORING", "METHOD"},
    {"GENERAL SETTINGS", "START MINIMIZED"},
    {"GENERAL SETTINGS", "START WITH WINDOWS"},
    {"GENERAL SETTINGS", "START DONKEYCLIENT"},
    {"GENERAL SETTINGS", "RESTART DONKEYCLIENT"},
    {"GENERAL SETTINGS", "LANGUAGE"},
    {"LAUNCHPAD", "PATH"},
    {"LAUNCHPAD", "STARTUP"},
    {"LAUNCHPAD", "RESTART"},
};

using Values = std::vector<std::string>;

// Saves state B, then state A, and gives the value each stores for every key, in the order the
// save writes them; A is saved when it returns.
void SaveBothStates(MainForm& f, Values& valuesA, Values& valuesB) {
    f.combo_language.clearItems();
    f.combo_language.addItem("English");
    f.combo_language.addItem("Deutsch");
    for (bool second : {true, false}) {
        SetState(f, second);
        f.SaveSettings();
        const std::string text = test::ReadFile(f.SettingsFilePath());
        Values& values = second ? valuesB : valuesA;
        values.clear();
        for (const Key& key : kKeys) {
            const auto value = IniFindValue(text, key.section, key.name);
            ASSERT_TRUE(value) << key.name;
            values.push_back(*value);
        }
    }
}

TEST(CrashSafety, AWriterKilledMidSaveLeavesEveryKeyWithItsOldOrNewValue) {
    test::FakeDesktop desk;
    MainForm& f = desk.f();
    const std::string path = f.SettingsFilePath();
    Values valuesA, valuesB;
    ASSERT_NO_FATAL_FAILURE(SaveBothStates(f, valuesA, valuesB));

    int sawMixed = 0;
    for (int round = 0; round < 60; ++round) {
        int ready[2];
        ASSERT_EQ(pipe(ready), 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(ready[0]);
            bool second = true;
            SetState(f, second);
            const char byte = 1;
            if (write(ready[1], &byte, 1) != 1) _exit(2);
            for (;;) {
                f.SaveSettings();
                second = !second;
                SetState(f, second);
            }
        }
        close(ready[1]);
        char byte = 0;
        ASSERT_EQ(read(ready[0], &byte, 1), 1);
        close(ready[0]);
        // Varied moments: from at once to several whole saves later.
        std::this_thread::sleep_for(std::chrono::microseconds((round * 7919) % 40000));
        kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status));

        const std::string text = test::ReadFile(path);
        bool anyB = false;
        bool anyA = false;
        for (std::size_t k = 0; k < std::size(kKeys); ++k) {
            const auto value = IniFindValue(text, kKeys[k].section, kKeys[k].name);
            ASSERT_TRUE(value) << "round " << round << ": " << kKeys[k].name << " lost";
            ASSERT_TRUE(*value == valuesA[k] || *value == valuesB[k])
                << "round " << round << ": " << kKeys[k].name << " broken";
            anyA = anyA || *value == valuesA[k];
            anyB = anyB || *value == valuesB[k];
        }
        if (anyA && anyB) ++sawMixed;
        // Put the A state back for the next round, as a completed save would have left it.
        SetState(f, false);
        f.SaveSettings();
    }
    // The kills did land inside saves, not only between them.
    EXPECT_GT(sawMixed, 0);
}

// A power cut also loses what was written but not synced: each key whose write the save had
// finished keeps its new value, the others their old one, and the file is never cut short.
TEST(CrashSafety, APowerCutMidSaveKeepsEveryKeyThatWasSavedAndTheOldValueOfTheRest) {
    test::FakeDesktop desk;
    MainForm& f = desk.f();
    const std::string disk = desk.home / "ext4";
    const std::string images = desk.home / "images";
    for (const std::string& folder : {disk, images}) std::filesystem::create_directories(folder);
    test::ScratchMounts mounts;
    // No journal commit on a timer, and no flush slipped in where a file replaces another.
    const std::string why = mounts.MountExt4(images, disk, 32, "noauto_da_alloc,commit=600");
    if (!why.empty()) GTEST_SKIP() << "no ext4 disk to cut the power of: " << why;
    f.settingsFile = disk + "/config/hoardwise.INI";
    Values valuesA, valuesB;
    ASSERT_NO_FATAL_FAILURE(SaveBothStates(f, valuesA, valuesB));

    // Before the first, second, a middle and the last key's bytes, and after the whole save.
    const int kAfterTheSave = 0;
    for (int cutAt : {1, 2, 8, static_cast<int>(std::size(kKeys)), kAfterTheSave}) {
        SCOPED_TRACE("cut at write " + std::to_string(cutAt));
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            SetState(f, true);
            auto writes = std::make_shared<int>(0);
            f.abfFileOperation1.byteWrite = [writes, cutAt, disk](int to, const char* data,
                                                                  std::size_t size) {
                if (++*writes == cutAt) {
                    if (!test::CutPower(disk)) _exit(3);
                    raise(SIGKILL);
                }
                return files::WriteAllBytes(to, data, size);
            };
            f.SaveSettings();
            _exit(test::CutPower(disk) ? 0 : 3);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFSIGNALED(status) || (WIFEXITED(status) && WEXITSTATUS(status) == 0));
        ASSERT_TRUE(mounts.Remount(disk));

        const std::string text = test::ReadFile(f.SettingsFilePath());
        for (std::size_t k = 0; k < std::size(kKeys); ++k) {
            const bool saved = cutAt == kAfterTheSave || static_cast<int>(k) + 1 < cutAt;
            EXPECT_EQ(IniFindValue(text, kKeys[k].section, kKeys[k].name).value_or("(lost)"),
                      saved ? valuesB[k] : valuesA[k])
                << kKeys[k].name;
        }
        SetState(f, false);
        f.SaveSettings();
    }
}

}  // namespace
}  // namespace hw
