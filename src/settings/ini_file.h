// The settings file format: lines of text, "[SECTION]" starts a section, "KEY=value" is an
// entry. Section and key names match ignoring letter case; everything the program does not ask
// for (comments, other sections and keys, blank lines) is carried along untouched.
#pragma once

#include <optional>
#include <string>

#include "shell/file_copy.h"

namespace hw {

// What every read gives for a missing file, section or key.
inline constexpr const char* kMissingSetting = "NULL";

// The value of the first matching key in the first matching section: the text after the first
// "=", without surrounding blanks and without one pair of enclosing quotes (single or double).
// Reads LF and CRLF text alike.
std::optional<std::string> IniFindValue(const std::string& text, const std::string& section,
                                        const std::string& key);

// The text with the value stored: an existing key is changed in place, a new key goes to the
// end of its section, a new section to the end of the text. Lines end in LF. A line break in
// the value becomes a blank, so a value can never turn into further lines.
std::string IniSetValue(const std::string& text, const std::string& section, const std::string& key,
                        const std::string& value);

// The whole file as UTF-8. The character set is decided for the whole content, so a write of
// one key turns every other line into UTF-8 along with it. False (errno set) when it cannot be
// read.
bool ReadSettingsText(const std::string& path, std::string& text);

// File level. Each call opens the file, does its one key and closes it again; nothing is cached.
// Values are UTF-8 whatever the file's character set (see SettingsTextToUtf8); a write stores
// the whole file as UTF-8. Only a regular file is read; anything else counts as unreadable.
std::string IniReadString(const std::string& path, const std::string& section,
                          const std::string& key);
// Replaces the file crash-safely, its bytes written through `write` when given. False (errno
// set) when it cannot be read or written.
bool IniWriteString(const std::string& path, const std::string& section, const std::string& key,
                    const std::string& value, const files::ByteWrite& write = {});

}  // namespace hw
