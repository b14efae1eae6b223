#include "shell/background_removal.h"

#include <system_error>

#include "shell/file_copy.h"

namespace hw {

void BackgroundRemoval::Start(const std::string& path) {
    Wait();
    path_ = path;
    try {
        worker_ = std::thread([path] { files::RemoveTree(path); });
    } catch (const std::system_error&) {
        files::RemoveTree(path);
    }
}

void BackgroundRemoval::Wait() {
    if (worker_.joinable()) worker_.join();
}

}  // namespace hw
