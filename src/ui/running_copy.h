// What the user is told when another copy of the program holds the instance lock.
#pragma once

#include <string>

#include "supervision/named_lock_linux.h"

namespace hw {

// From what the holder wrote into the lock ("window 1234", "run 1234"): "Hoardwise runs
// already: the window, process 1234" in the language of the code ("EN" English, else German).
std::string RunningCopyText(const std::string& holder, const std::string& language);

// True when the holder is a window, which a later window brings forward instead.
bool HeldByWindow(const std::string& holder);

// Empty when the lock of a backup folder is held; else who holds it, or why its file cannot be
// made, in the language of the code.
std::string ReservationText(const BackupFolderLock::Result& lock, const std::string& language);

// Why a run may not use the backup folder now: `holder` (a ReservationText) holds it. Empty when
// `holder` is.
std::string BackupFolderInUseText(const std::string& backup, const std::string& holder,
                                  const std::string& language);

}  // namespace hw
