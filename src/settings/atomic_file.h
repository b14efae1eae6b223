// Crash-safe replacement of a small file: whoever reads it sees either the old or the new
// content in full, never a mixture, a cut-off file or an empty one.
#pragma once

#include <string>

#include "shell/file_copy.h"

namespace hw {

// Writes the content to a new file in the same folder, flushes it to disk, renames it over the
// old file and syncs the folder. A symbolic link is written through: its final target gets the
// new content and the link stays a link. The old file's permission bits (and owner, where the
// system allows) are kept; a new file gets the usual bits for a new file. An existing file that
// this user may not write is refused (EACCES) although the folder would allow the rename. On
// failure the old file is untouched, the temporary file removed, and errno tells why. The
// content is written through `write` when given (a test makes the disk full with it).
bool ReplaceFileContent(const std::string& path, const std::string& content,
                        const files::ByteWrite& write = {});

// Reads a whole regular file, following symbolic links. On failure returns false with errno set:
// ENOENT for a missing file, EISDIR for a folder, EINVAL for a pipe, device or socket (which are
// never read, so they can neither block nor run on without end).
bool ReadWholeFile(const std::string& path, std::string& content);

}  // namespace hw
