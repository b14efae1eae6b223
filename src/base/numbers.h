#pragma once

#include <string>

namespace hw {

// A whole number is an optional sign and decimal digits only, within the range of int. False,
// and the number untouched, for anything else.
bool ParseWholeNumber(const std::string& text, int& number);

}  // namespace hw
