#include "ui/running_copy.h"

#include <cstring>

#include "ui/language.h"

namespace hw {

bool HeldByWindow(const std::string& holder) {
    return holder.rfind("window ", 0) == 0;
}

std::string RunningCopyText(const std::string& holder, const std::string& language) {
    const std::size_t space = holder.find(' ');
    std::string text = LanguageText(language, TextId::RunsAlready);
    if (space == std::string::npos) return text + holder;
    const std::string kind = holder.substr(0, space);
    text +=
        kind == "window" ? LanguageText(language, TextId::HolderWindow) : "hoardwise-cli " + kind;
    return text + LanguageText(language, TextId::HolderProcess) + holder.substr(space + 1);
}

std::string ReservationText(const BackupFolderLock::Result& lock, const std::string& language) {
    if (lock.held) return {};
    if (lock.error != 0) {
        return LanguageText(language, TextId::FolderLockNotMade) + lock.path + ": " +
               std::strerror(lock.error);
    }
    return RunningCopyText(lock.holder, language);
}

std::string BackupFolderInUseText(const std::string& backup, const std::string& holder,
                                  const std::string& language) {
    if (holder.empty()) return {};
    return LanguageText(language, TextId::BackupFolderInUse) + backup + "\n\n" + holder;
}

}  // namespace hw
