// aMule, the eDonkey-network client of Linux: its programs, its configuration folder, and which of
// its processes runs on which configuration.
#pragma once

#include <string>
#include <vector>

#include "base/services.h"

namespace hw {

// The desktop client and its daemon; either serves a configuration folder.
inline const char* const kAmule = "amule";
inline const char* const kAmuled = "amuled";

// True for a folder that holds aMule's configuration file "amule.conf".
bool IsAmuleConfigFolder(const std::string& folder);
// The configuration folder aMule uses without being told: ~/.aMule.
std::string DefaultAmuleConfigFolder();
// The configuration folder an aMule process runs on: the value of its --config-dir or -c
// argument, a relative one taken from its working folder, else ".aMule" in its home. Empty when
// that cannot be told.
std::string AmuleConfigFolderOf(const ProcessInfo& process);
enum class FolderMatch { Other, Same, Unknown };
// Whether an aMule process runs on this configuration folder, by the identity of both folders on
// the disk: Unknown where its folder cannot be told or reached.
FolderMatch AmuleRunsOn(const ProcessInfo& process, const std::string& folder);
// True when both texts name the same folder, by its identity on the disk where both exist,
// else by their tidied text.
bool SameFolder(const std::string& a, const std::string& b);
// The full path of an executable file of this name in a folder of PATH; empty when none.
std::string FindOnPath(const std::string& name);
// The folder in which aMule of this configuration keeps its part files: TempDir of its
// amule.conf, by default the folder "Temp" in it.
std::string AmuleTempFolder(const std::string& config);
// True when the folder holds an executable regular file of this name.
bool HoldsExecutable(const std::string& folder, const std::string& name);

}  // namespace hw
