// The process list of Linux, read from /proc.
#pragma once

#include <string>
#include <vector>

#include "base/services.h"

namespace hw {

// Walks /proc afresh on every call; nothing is cached. A process matches a name (ignoring
// letter case) by the file name of its executable, by the last element of argv[0] split at "/"
// and "\" (programs run under Wine show a Windows path there while their executable is the
// loader), or, for a script run by a shell or an interpreter (or the program its "#!" line
// names), by that of the script's path among the arguments. Only when neither the executable nor
// the arguments can be read does the kernel's name count, and since it holds just the first 15
// characters, only for names that short. Zombies do not count.
class LinuxProcessTable : public ProcessTable {
  public:
    explicit LinuxProcessTable(std::string procRoot = "/proc");
    bool IsProcessRunning(const std::string& exeName) override;
    std::vector<ProcessInfo> ProcessesOf(const std::string& exeName) override;

  private:
    // Calls visit(process folder) for each live match until it returns false.
    template <typename Visit>
    void ForEachMatch(const std::string& exeName, const Visit& visit);

    std::string procRoot_;
};

}  // namespace hw
