// A writer killed, or cut off by a power cut, at any moment of a save leaves a whole settings file.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
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

// Saves the first or the second state and gives the value it stores for each key ("": none).
Values SaveState(MainForm& f, bool second) {
    f.combo_language.clearItems();
    f.combo_language.addItem("English");
    f.combo_language.addItem("Deutsch");
    SetState(f, second);
    f.SaveSettings();
    const std::string text = test::ReadFile(f.SettingsFilePath());
    Values values;
    for (const Key& key : kKeys)
        values.push_back(IniFindValue(text, key.section, key.name).value_or(""));
    return values;
}

TEST(CrashSafety, AWriterKilledMidSaveLeavesEveryKeyWithItsOldOrNewValue) {
    test::FakeDesktop desk;
    MainForm& f = desk.f();
    const std::string path = f.SettingsFilePath();
    // Ends with A saved: the state every child starts from.
    const Values valuesB = SaveState(f, true), valuesA = SaveState(f, false);

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

// A power cut also loses what was not synced: the keys whose write had ended keep the new value.
TEST(CrashSafety, APowerCutMidSaveKeepsEveryKeyThatWasSavedAndTheOldValueOfTheRest) {
    test::FakeDesktop desk;
    MainForm& f = desk.f();
    const std::string disk = desk.home / "ext4";
    test::ScratchMounts mounts;
    const std::string why = mounts.MountPowerCutDisk(disk);
    if (!why.empty()) GTEST_SKIP() << "no ext4 disk to cut the power of: " << why;
    f.settingsFile = disk + "/config/hoardwise.INI";
    const Values valuesB = SaveState(f, true), valuesA = SaveState(f, false);
    // Before the first, second, a middle and the last key's bytes, and after the save (0).
    for (int cutAt : {1, 2, 8, static_cast<int>(std::size(kKeys)), 0}) {
        SCOPED_TRACE("cut at write " + std::to_string(cutAt));
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            SetState(f, true);
            int writes = 0;
            f.abfFileOperation1.byteWrite = [&](int to, const char* data, std::size_t size) {
                if (++writes == cutAt) _exit(test::CutPower(disk) ? 0 : 3);
                return files::WriteAllBytes(to, data, size);
            };
            f.SaveSettings();
            _exit(test::CutPower(disk) ? 0 : 3);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        ASSERT_TRUE(mounts.Remount(disk));
        const std::string text = test::ReadFile(f.SettingsFilePath());
        for (std::size_t k = 0; k < std::size(kKeys); ++k) {
            const bool saved = cutAt == 0 || static_cast<int>(k) + 1 < cutAt;
            EXPECT_EQ(IniFindValue(text, kKeys[k].section, kKeys[k].name).value_or(""),
                      saved ? valuesB[k] : valuesA[k])
                << kKeys[k].name;
        }
        SetState(f, false);
        f.SaveSettings();
    }
}

}  // namespace
}  // namespace hw
