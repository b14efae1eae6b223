#include "ui/supervision_texts.h"

#include <sys/wait.h>

#include <vector>

#include "ui/language.h"

namespace hw {

std::string ClientBlockerText(const std::string& code, const ClientRun& run) {
    if (run.amuleProgram.empty()) return {};
    std::string text = run.amuleProgram + LanguageText(code, TextId::ProcessNumberPrefix) +
                       std::to_string(run.process.pid);
    if (!run.process.user.empty()) {
        text += LanguageText(code, TextId::ProcessUserPrefix) + run.process.user;
    }
    return text;
}

std::string ClientRunningRefusal(const Messages& m, const std::string& code, const ClientRun& run) {
    const std::string blocker = ClientBlockerText(code, run);
    return blocker.empty() ? m.msg_restore_client_running
                           : m.msg_restore_client_running + "\n\n" + blocker;
}

std::string RestartsHeldText(const std::string& code, const HeldBack& held,
                             const std::string& separator) {
    std::vector<std::string> lines;
    lines.push_back(LanguageText(code, TextId::RestartsHeldPrefix) + held.name);
    if (const std::optional<int> status = held.exitStatus) {
        lines.push_back(WIFSIGNALED(*status) ? LanguageText(code, TextId::RestartsHeldSignal) +
                                                   std::to_string(WTERMSIG(*status))
                                             : LanguageText(code, TextId::RestartsHeldCode) +
                                                   std::to_string(WEXITSTATUS(*status)));
    }
    if (held.amule) {
        if (held.lockHolder > 0) {
            lines.push_back(LanguageText(code, TextId::RestartsHeldLockPrefix) + held.configFolder +
                            "/muleLock" + LanguageText(code, TextId::RestartsHeldLockMiddle) +
                            std::to_string(held.lockHolder) +
                            LanguageText(code, TextId::RestartsHeldLockSuffix));
        }
        lines.push_back(LanguageText(code, TextId::RestartsHeldLog) + held.configFolder +
                        "/logfile");
    }
    lines.push_back(LanguageText(code, TextId::RestartsHeldRetry));
    std::string text;
    for (const std::string& line : lines) text += (text.empty() ? "" : separator) + line;
    return text;
}

}  // namespace hw
