// The log-in start entry of a Linux desktop: "hoardwise.desktop" in the user's autostart folder,
// starting the program by its full path with no arguments. The name carries no version, so that
// an upgrade leaves no second entry behind.
#pragma once

#include <string>

#include "base/services.h"

namespace hw {

class LinuxAutostart : public Autostart {
  public:
    static constexpr const char* kEntryFileName = "hoardwise.desktop";
    LinuxAutostart(std::string executablePath, std::string autostartFolder);

    // ~/.config/autostart, the home folder taken from the password database: the program reads
    // no environment variables. Empty when the database has no entry for this user.
    static std::string DefaultFolder();

    // The entry file's full path.
    std::string EntryPath() const;
    // The entry's text for this executable.
    std::string EntryText() const;

    // On: writes the entry crash-safely, creating the folder when missing. Off: removes it; an
    // absent entry is fine. Either way an entry of an older version (below) is removed. Never
    // reports; false when the entry could not be written or removed.
    bool SetAutostart(bool on) override;

  private:
    void RemoveOlderEntries() const;

    std::string executablePath_;
    std::string folder_;
};

// An entry that an older version wrote under its versioned name ("Hoardwise 2.11.desktop"): the
// name, and the text exactly in the lines this program writes.
bool IsOwnOlderEntry(const std::string& name, const std::string& content);

// Escaping for desktop-entry files: the string rules (backslash, line breaks, tab), and the
// quoted Exec argument built on top of them.
std::string DesktopEntryString(const std::string& text);
std::string DesktopEntryExecArgument(const std::string& path);

}  // namespace hw
