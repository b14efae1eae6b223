#include "settings/text_encoding.h"

namespace hw {

namespace {

const std::string kUtf8Mark = "\xEF\xBB\xBF";
constexpr char32_t kReplacement = 0xFFFD;

// Windows-1252 from 0x80 to 0x9F; the other bytes equal their Latin-1 code points.
constexpr char16_t kWindows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98-9F
};

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool IsValidUtf8(const std::string& text, std::size_t pos) {
    while (pos < text.size()) {
        const auto lead = static_cast<unsigned char>(text[pos]);
        if (lead < 0x80) {
            ++pos;
            continue;
        }
        int length = 0;
        char32_t least = 0;
        if ((lead & 0xE0) == 0xC0) {
            length = 2;
            least = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3;
            least = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4;
            least = 0x10000;
        } else {
            return false;
        }
        if (text.size() - pos < static_cast<std::size_t>(length)) return false;
        char32_t c = lead & (0x7F >> length);
        for (int i = 1; i < length; ++i) {
            const auto next = static_cast<unsigned char>(text[pos + i]);
            if ((next & 0xC0) != 0x80) return false;
            c = (c << 6) | (next & 0x3F);
        }
        if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
        pos += static_cast<std::size_t>(length);
    }
    return true;
}

std::string FromWindows1252(const std::string& bytes, std::size_t pos) {
    std::string out;
    out.reserve(bytes.size() - pos + (bytes.size() - pos) / 2);
    for (; pos < bytes.size(); ++pos) {
        const auto byte = static_cast<unsigned char>(bytes[pos]);
        AppendUtf8(out, byte >= 0x80 && byte < 0xA0 ? kWindows1252High[byte - 0x80] : byte);
    }
    return out;
}

std::string FromUtf16(const std::string& bytes, bool bigEndian) {
    std::string out;
    auto unitAt = [&](std::size_t pos) -> char16_t {
        const auto first = static_cast<unsigned char>(bytes[pos]);
        const auto second = static_cast<unsigned char>(bytes[pos + 1]);
        return static_cast<char16_t>(bigEndian ? (first << 8) | second : (second << 8) | first);
    };
    std::size_t pos = 2;  // past the byte-order mark
    for (; pos + 1 < bytes.size(); pos += 2) {
        const char16_t unit = unitAt(pos);
        if (unit >= 0xD800 && unit <= 0xDBFF && pos + 3 < bytes.size()) {
            const char16_t low = unitAt(pos + 2);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
                pos += 2;
                continue;
            }
        }
        AppendUtf8(out, unit >= 0xD800 && unit <= 0xDFFF ? kReplacement : unit);
    }
    if (pos < bytes.size()) AppendUtf8(out, kReplacement);
    return out;
}

}  // namespace

std::string SettingsTextToUtf8(const std::string& bytes) {
    if (bytes.compare(0, 2, "\xFF\xFE") == 0) return FromUtf16(bytes, false);
    if (bytes.compare(0, 2, "\xFE\xFF") == 0) return FromUtf16(bytes, true);
    const std::size_t start = bytes.compare(0, kUtf8Mark.size(), kUtf8Mark) == 0 ? 3 : 0;
    if (IsValidUtf8(bytes, start)) return bytes;
    return bytes.substr(0, start) + FromWindows1252(bytes, start);
}

}  // namespace hw
