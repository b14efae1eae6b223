// The front ends' reservation of the backup folder: the lock of supervision/named_lock_linux.h
// behind MainForm::reserveBackupFolder, and what a run that finds it taken is told.
#pragma once

#include <cstring>
#include <string>

#include "app/running_copy.h"
#include "supervision/named_lock_linux.h"
#include "ui/language.h"
#include "ui/main_form.h"

namespace hw {

// Empty when the lock is held; else who holds it, or why its file cannot be made.
inline std::string ReservationText(const BackupFolderLock::Result& lock,
                                   const std::string& language) {
    if (lock.held) return {};
    if (lock.error != 0) {
        return LanguageText(language, TextId::FolderLockNotMade) + lock.path + ": " +
               std::strerror(lock.error);
    }
    return RunningCopyText(lock.holder, language);
}

// The form's runs reserve their backup folder with `lock`, which must outlive the form. The
// work left on a folder (a generation thrown away) is finished before its lock is given up.
inline void ReserveBackupFoldersWith(MainForm& form, BackupFolderLock& lock) {
    form.reserveBackupFolder = [&form, &lock](const std::string& folder) {
        return ReservationText(lock.Hold(folder, [&form] { form.FinishBackgroundWork(); }),
                               form.CurrentLanguageCode());
    };
}

}  // namespace hw
