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

// The answer to a question that has a button of its own besides Yes and No.
enum class Choice { Yes, No, Extra };

struct FolderBrowse {
    std::string caption;
    std::string selection;
};

}  // namespace hw
