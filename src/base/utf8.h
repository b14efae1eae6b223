// UTF-8 as the program reads it from files of others (settings, part files, names for a
// terminal): strict, without overlong forms, surrogates or code points past U+10FFFF.
#pragma once

#include <cstddef>
#include <string>

namespace hw {

// The code point of the sequence at `pos`, `pos` moved past it; false (and `pos` moved by one
// byte) where no valid sequence starts there. `pos` must lie within `size`.
bool NextCodePoint(const char* text, std::size_t size, std::size_t& pos, char32_t& c);
inline bool NextCodePoint(const std::string& text, std::size_t& pos, char32_t& c) {
    return NextCodePoint(text.data(), text.size(), pos, c);
}

// True when every byte from `pos` on belongs to a valid sequence.
bool IsValidUtf8(const char* text, std::size_t size, std::size_t pos = 0);
inline bool IsValidUtf8(const std::string& text, std::size_t pos = 0) {
    return IsValidUtf8(text.data(), text.size(), pos);
}

void AppendUtf8(std::string& text, char32_t c);

}  // namespace hw
