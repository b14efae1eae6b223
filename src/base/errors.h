// Unexpected errors travel as exceptions carrying their text up to the general error report.
#pragma once

#include <stdexcept>
#include <string>

namespace hw {

class HandlerError : public std::runtime_error {
  public:
    explicit HandlerError(const std::string& text) : std::runtime_error(text) {}
};

// The general error report's full-stop rule: a text whose last character sorts after "."
// (a letter, a digit, "?") gets a full stop; one ending in ".", "!" or ")" stays as it is.
std::string WithFullStop(const std::string& text);

}  // namespace hw
