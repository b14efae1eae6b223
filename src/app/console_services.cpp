#include "app/console_services.h"

namespace hw {

void Complain(const std::string& text) {
    std::fprintf(stderr, "%s: %s\n", kProgram, text.c_str());
}

void WriteLines(std::FILE* out, const std::string& text) {
    std::string trimmed = text;
    while (!trimmed.empty() && (trimmed.back() == '\n' || trimmed.back() == ' ')) {
        trimmed.pop_back();
    }
    if (trimmed.empty()) return;
    std::fprintf(out, "%s\n", trimmed.c_str());
    std::fflush(out);
}

void TellRunMessage(const Messages& m, const RunMessage& message) {
    WriteLines(message.caption == m.msg_error_caption ? stderr : stdout, message.text);
}

bool ToldProgramStarter::StartProgram(const std::string& commandLine,
                                      const std::vector<std::string>& arguments) {
    const bool started = starter_.StartProgram(commandLine, arguments);
    if (tell) {
        std::string shown = commandLine;
        for (const std::string& argument : arguments) shown += " " + argument;
        tell(started, shown);
    }
    return started;
}

}  // namespace hw
