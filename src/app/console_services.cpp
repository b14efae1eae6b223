#include "app/console_services.h"

namespace hw {

void WriteLines(std::FILE* out, const std::string& text) {
    std::string trimmed = text;
    while (!trimmed.empty() && (trimmed.back() == '\n' || trimmed.back() == ' ')) {
        trimmed.pop_back();
    }
    if (trimmed.empty()) return;
    std::fprintf(out, "%s\n", trimmed.c_str());
    std::fflush(out);
}

void ConsoleDialogs::ShowMessage(const std::string& text, const std::string& caption) {
    const bool error = errorCaption != nullptr && caption == *errorCaption;
    WriteLines(error ? errors_ : info_, text);
}

void ConsoleDialogs::ShowErrorReport(const std::string& text, const std::string&) {
    WriteLines(errors_, text);
}

bool ConsoleDialogs::AskYesNo(const std::string&) {
    return answer;
}

Choice ConsoleDialogs::AskYesNoOr(const std::string&, const std::string&) {
    return answer ? Choice::Yes : Choice::No;
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
