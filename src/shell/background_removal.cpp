#include "shell/background_removal.h"

#include <system_error>

#include "shell/file_copy.h"

namespace hw {

void BackgroundRemoval::Start(const std::string& path, const std::string& last) {
    Wait();
    path_ = path;
    try {
        worker_ = std::thread([path, last] { files::RemoveTree(path, nullptr, last); });
    } catch (const std::system_error&) {
        files::RemoveTree(path, nullptr, last);
    }
}

void BackgroundRemoval::Wait() {
    if (worker_.joinable()) worker_.join();
}

}  // namespace hw
