#include "settings/text_encoding.h"

#include "base/utf8.h"

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
