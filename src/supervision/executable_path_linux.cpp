#include <unistd.h>

#include <vector>

#include "base/executable_path.h"

namespace hw {

std::string ExecutablePath() {
    std::vector<char> buffer(256);
    for (;;) {
        const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length < 0) return {};
        if (static_cast<size_t>(length) < buffer.size()) {
            std::string path(buffer.data(), length);
            // After the program file was replaced (an update) the link names the old file.
            const std::string deleted = " (deleted)";
            if (path.size() > deleted.size() &&
                path.compare(path.size() - deleted.size(), deleted.size(), deleted) == 0) {
                path.resize(path.size() - deleted.size());
            }
            return path;
        }
        buffer.resize(buffer.size() * 2);  // the path may be longer than any fixed buffer
    }
}

}  // namespace hw
