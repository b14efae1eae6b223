#include "settings/ini_file.h"

#include <cerrno>
#include <vector>

#include "settings/atomic_file.h"
#include "settings/text_encoding.h"

namespace hw {

namespace {

const std::string kByteOrderMark = "\xEF\xBB\xBF";

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string Trim(const std::string& text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && IsBlank(text[begin])) ++begin;
    while (end > begin && IsBlank(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (Lower(a[i]) != Lower(b[i])) return false;
    }
    return true;
}

// The file as lines without their line ends; a byte-order mark is set apart so that it
// neither hides the first section nor gets lost.
struct Lines {
    bool byteOrderMark = false;
    std::vector<std::string> lines;
};

Lines Split(const std::string& text) {
    Lines result;
    std::size_t pos = 0;
    if (text.compare(0, kByteOrderMark.size(), kByteOrderMark) == 0) {
        result.byteOrderMark = true;
        pos = kByteOrderMark.size();
    }
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        result.lines.push_back(std::move(line));
        pos = end + 1;
    }
    return result;
}

std::string Join(const Lines& lines) {
    std::string text = lines.byteOrderMark ? kByteOrderMark : std::string();
    for (const std::string& line : lines.lines) {
        text += line;
        text += '\n';
    }
    return text;
}

// The section name of a "[NAME]" line.
std::optional<std::string> SectionName(const std::string& line) {
    const std::string trimmed = Trim(line);
    if (trimmed.empty() || trimmed.front() != '[') return std::nullopt;
    const auto close = trimmed.find(']');
    return Trim(trimmed.substr(1, close == std::string::npos ? std::string::npos : close - 1));
}

// The key name of a "KEY=value" line, with the position of its "=".
std::optional<std::string> KeyName(const std::string& line, std::size_t& equals) {
    equals = line.find('=');
    if (equals == std::string::npos || SectionName(line)) return std::nullopt;
    return Trim(line.substr(0, equals));
}

std::string Unquote(const std::string& value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

// Line range [begin, end) of the first section of that name, the header excluded.
bool FindSection(const std::vector<std::string>& lines, const std::string& section,
                 std::size_t& begin, std::size_t& end) {
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const auto name = SectionName(lines[i]);
        if (!name || !SameName(*name, section)) continue;
        begin = i + 1;
        end = begin;
        while (end < lines.size() && !SectionName(lines[end])) ++end;
        return true;
    }
    return false;
}

std::optional<std::size_t> FindKey(const std::vector<std::string>& lines, std::size_t begin,
                                   std::size_t end, const std::string& key) {
    for (std::size_t i = begin; i < end; ++i) {
        std::size_t equals = 0;
        const auto name = KeyName(lines[i], equals);
        if (name && SameName(*name, key)) return i;
    }
    return std::nullopt;
}

std::string OneLine(std::string value) {
    for (char& c : value) {
        if (c == '\n' || c == '\r') c = ' ';
    }
    return value;
}

}  // namespace

std::optional<std::string> IniFindValue(const std::string& text, const std::string& section,
                                        const std::string& key) {
    const Lines file = Split(text);
    std::size_t begin = 0;
    std::size_t end = 0;
    if (!FindSection(file.lines, section, begin, end)) return std::nullopt;
    const auto index = FindKey(file.lines, begin, end, key);
    if (!index) return std::nullopt;
    const std::string& line = file.lines[*index];
    return Unquote(Trim(line.substr(line.find('=') + 1)));
}

std::string IniSetValue(const std::string& text, const std::string& section, const std::string& key,
                        const std::string& value) {
    Lines file = Split(text);
    std::vector<std::string>& lines = file.lines;
    const std::string entry = key + "=" + OneLine(value);
    std::size_t begin = 0;
    std::size_t end = 0;
    if (!FindSection(lines, section, begin, end)) {
        if (!lines.empty() && !Trim(lines.back()).empty()) lines.emplace_back();
        lines.push_back("[" + section + "]");
        lines.push_back(entry);
        return Join(file);
    }
    if (const auto index = FindKey(lines, begin, end, key)) {
        lines[*index] = entry;
        return Join(file);
    }
    // After the section's last non-blank line, so a blank line before the next section stays.
    std::size_t insertAt = end;
    while (insertAt > begin && Trim(lines[insertAt - 1]).empty()) --insertAt;
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(insertAt), entry);
    return Join(file);
}

bool ReadSettingsText(const std::string& path, std::string& text) {
    std::string bytes;
    if (!ReadWholeFile(path, bytes)) return false;
    text = SettingsTextToUtf8(bytes);
    return true;
}

std::string IniReadString(const std::string& path, const std::string& section,
                          const std::string& key) {
    std::string text;
    if (!ReadSettingsText(path, text)) return kMissingSetting;
    return IniFindValue(text, section, key).value_or(kMissingSetting);
}

bool IniWriteString(const std::string& path, const std::string& section, const std::string& key,
                    const std::string& value, const files::ByteWrite& write) {
    std::string text;
    // Only a missing file starts empty; one that exists but cannot be read must not be replaced
    // by a file holding just this key.
    if (!ReadSettingsText(path, text) && errno != ENOENT) return false;
    return ReplaceFileContent(path, IniSetValue(text, section, key, value), write);
}

}  // namespace hw
