// The backup moves and deletes its folders as a whole, so none of them may be the client's
// temp folder or client folder, or lie above one of them.
#pragma once

#include <string>
#include <vector>

namespace hw {

// True when `upper` is the same folder as `lower` or a folder above it. Both are compared on
// their real paths element by element: links in the existing part are resolved, a missing rest
// is taken by its normalised text, and a relative text is taken from the current folder.
bool IsSameOrAbove(const std::string& upper, const std::string& lower);

// True when any of `moved` is the same as or above any non-empty text of `guarded`.
bool AnyOverlaps(const std::vector<std::string>& moved, const std::vector<std::string>& guarded);

}  // namespace hw
