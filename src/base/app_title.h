#pragma once

namespace hw {

// The application title: error-report caption, lock names, autostart entry name.
inline constexpr const char* kAppTitle = "Hoardwise 2.11";

}  // namespace hw
