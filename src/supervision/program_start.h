// The commands that start the watched programs.
#pragma once

#include <string>
#include <vector>

namespace hw {

// A program path, started as one, and its arguments.
struct StartCommand {
    std::string program;
    std::vector<std::string> arguments;
};

// The client from the client folder (as typed), or aMule from PATH on its configuration folder,
// told the folder unless it is aMule's default one.
StartCommand ClientStartCommand(const std::string& clientFolder, const std::string& clientExe);

// The AppRunner program's process name: the text after the last "/", or the whole text.
std::string AppRunnerProcessName(const std::string& path);

}  // namespace hw
