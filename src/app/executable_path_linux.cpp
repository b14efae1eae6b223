#include <unistd.h>

#include <vector>

#include "app/executable_path.h"

namespace hw {

std::string ExecutablePath() {
    std::vector<char> buffer(256);
    for (;;) {
        const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length < 0) return {};
        if (static_cast<size_t>(length) < buffer.size()) return std::string(buffer.data(), length);
        buffer.resize(buffer.size() * 2);  // the path may be longer than any fixed buffer
    }
}

}  // namespace hw
