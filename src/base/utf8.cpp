#include "base/utf8.h"

namespace hw {

bool NextCodePoint(const char* text, std::size_t size, std::size_t& pos, char32_t& c) {
    const auto lead = static_cast<unsigned char>(text[pos]);
    if (lead < 0x80) {
        c = lead;
        ++pos;
        return true;
    }
    std::size_t length = 0;
    char32_t least = 0;
    if ((lead & 0xE0) == 0xC0) {
        length = 2, least = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, least = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, least = 0x10000;
    }
    if (length == 0 || size - pos < length) {
        ++pos;
        return false;
    }
    char32_t value = lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[pos + i]);
        if ((next & 0xC0) != 0x80) {
            ++pos;
            return false;
        }
        value = (value << 6) | (next & 0x3F);
    }
    if (value < least || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        ++pos;
        return false;
    }
    c = value;
    pos += length;
    return true;
}

bool IsValidUtf8(const char* text, std::size_t size, std::size_t pos) {
    char32_t c = 0;
    while (pos < size) {
        if (!NextCodePoint(text, size, pos, c)) return false;
    }
    return true;
}

void AppendUtf8(std::string& text, char32_t c) {
    if (c < 0x80) {
        text += static_cast<char>(c);
    } else if (c < 0x800) {
        text += static_cast<char>(0xC0 | (c >> 6));
        text += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        text += static_cast<char>(0xE0 | (c >> 12));
        text += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        text += static_cast<char>(0xF0 | (c >> 18));
        text += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        text += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (c & 0x3F));
    }
}

}  // namespace hw
