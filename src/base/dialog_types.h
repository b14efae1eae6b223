// What the program asks of a file or folder dialog; the dialog itself is shown by the platform.
#pragma once

#include <string>

namespace hw {

struct OpenDialog {
    std::string name;
    std::string title;
    std::string filter;  // "description|pattern|description|pattern..."
    bool multiSelect = false;
};

struct FolderBrowse {
    std::string caption;
    std::string selection;
};

}  // namespace hw
