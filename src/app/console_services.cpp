#include "app/console_services.h"

#include <sys/stat.h>

#include <cstdlib>

namespace hw {

namespace {

std::string Trimmed(const std::string& text) {
    std::string trimmed = text;
    while (!trimmed.empty() && (trimmed.back() == '\n' || trimmed.back() == ' ')) {
        trimmed.pop_back();
    }
    return trimmed;
}

const char* Prefix(Severity severity, bool journal) {
    switch (severity) {
        case Severity::Error:
            return journal ? "<3>" : "error: ";
        case Severity::Warning:
            return journal ? "<4>" : "warning: ";
        case Severity::Info:
            break;
    }
    return journal ? "<6>" : "";
}

}  // namespace

void Complain(const std::string& text) {
    std::fprintf(stderr, "%s: %s\n", kProgram, text.c_str());
}

void WriteLines(std::FILE* out, const std::string& text) {
    const std::string trimmed = Trimmed(text);
    if (trimmed.empty()) return;
    std::fprintf(out, "%s\n", trimmed.c_str());
    std::fflush(out);
}

void Console::Out(const std::string& text) const {
    if (!quiet && !json) WriteLines(stdout, text);
}

void Console::Say(const std::string& text) {
    if (!Trimmed(text).empty()) told_.push_back(Trimmed(text));
    Out(text);
}

void Console::Tell(Severity severity, const std::string& text) {
    const std::string trimmed = Trimmed(text);
    if (trimmed.empty()) return;
    told_.push_back(trimmed);
    if (quiet && severity != Severity::Error) return;
    if (!severities) {
        WriteLines(stderr, trimmed);
        return;
    }
    // Every line carries the mark: a reader of the journal sees each line on its own.
    std::string marked;
    std::size_t start = 0;
    while (start <= trimmed.size()) {
        std::size_t end = trimmed.find('\n', start);
        if (end == std::string::npos) end = trimmed.size();
        marked += Prefix(severity, journal) + trimmed.substr(start, end - start) + "\n";
        start = end + 1;
    }
    std::fputs(marked.c_str(), stderr);
    std::fflush(stderr);
}

void Console::Complain(const std::string& text) {
    if (severities) {
        Tell(Severity::Error, text);
    } else {
        told_.push_back(text);
        hw::Complain(text);
    }
}

void Console::TellRunMessage(const Messages& m, const RunMessage& message) {
    if (message.caption == m.msg_error_caption) {
        Tell(Severity::Error, message.text);
    } else {
        Say(message.text);
    }
}

bool StderrIsJournal() {
    const char* stream = std::getenv("JOURNAL_STREAM");
    if (stream == nullptr) return false;
    unsigned long long device = 0, inode = 0;
    if (std::sscanf(stream, "%llu:%llu", &device, &inode) != 2) return false;
    struct stat status {};
    return fstat(2, &status) == 0 && static_cast<unsigned long long>(status.st_dev) == device &&
           static_cast<unsigned long long>(status.st_ino) == inode;
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
