#include "base/numbers.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

namespace hw {

bool ParseWholeNumber(const std::string& text, int& number) {
    std::size_t digits = (!text.empty() && (text[0] == '+' || text[0] == '-')) ? 1 : 0;
    if (digits == text.size()) return false;
    for (std::size_t i = digits; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
    }
    errno = 0;
    const long long value = std::strtoll(text.c_str(), nullptr, 10);
    if (errno == ERANGE || value < INT_MIN || value > INT_MAX) return false;
    number = static_cast<int>(value);
    return true;
}

}  // namespace hw
