#pragma once

#include <string>

namespace hw {

// Full path of the running program; empty when the system does not tell.
std::string ExecutablePath();

}  // namespace hw
