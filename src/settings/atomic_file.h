// Crash-safe replacement of a small file: whoever reads it sees either the old or the new
// content in full, never a mixture, a cut-off file or an empty one.
#pragma once

#include <functional>
#include <string>

namespace hw {

// Writes the content to a new file in the same folder, flushes it to disk, renames it over the
// old file and syncs the folder. A symbolic link is written through: its final target gets the
// new content and the link stays a link. The old file's permission bits (and owner, where the
// system allows) are kept; a new file gets the usual bits for a new file. An existing file that
// this user may not write is refused (EACCES) although the folder would allow the rename. On
// failure the old file is untouched, the temporary file removed, and errno tells why.
bool ReplaceFileContent(const std::string& path, const std::string& content);

// Reads a whole regular file, following symbolic links. On failure returns false with errno set:
// ENOENT for a missing file, EISDIR for a folder, EINVAL for a pipe, device or socket (which are
// never read, so they can neither block nor run on without end).
bool ReadWholeFile(const std::string& path, std::string& content);

// The steps of a replacement at which a test can make it fail.
enum class ReplaceStep { Create, Write, Sync, Rename };

// Test seam: called before each step; a non-zero result fails that step with that errno.
// An empty function (the default) injects nothing.
using ReplaceFault = std::function<int(ReplaceStep step, const std::string& target)>;
void SetReplaceFaultForTesting(ReplaceFault fault);

}  // namespace hw
