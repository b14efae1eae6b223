// The window's reservation of the backup folder: the lock of supervision/named_lock_linux.h
// behind MainForm::reserveBackupFolder.
#pragma once

#include <string>

#include "supervision/named_lock_linux.h"
#include "ui/main_form.h"
#include "ui/running_copy.h"

namespace hw {

// The form's runs reserve their backup folder with `lock`, which must outlive the form. The
// work left on a folder (a generation thrown away) is finished before its lock is given up.
inline void ReserveBackupFoldersWith(MainForm& form, BackupFolderLock& lock) {
    form.reserveBackupFolder = [&form, &lock](const std::string& folder) {
        return ReservationText(lock.Hold(folder, [&form] { form.FinishBackgroundWork(); }),
                               form.CurrentLanguageCode());
    };
}

}  // namespace hw
