#include "app/IniText.h"

#include <algorithm>

namespace hm {

namespace {

std::string_view trim(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

// A comment inside a value starts at ';' or '#' preceded by whitespace, as in "lives = 10 ; ten".
std::string_view stripInlineComment(std::string_view value) {
    for (std::size_t i = 1; i < value.size(); ++i)
        if ((value[i] == ';' || value[i] == '#') && (value[i - 1] == ' ' || value[i - 1] == '\t'))
            return value.substr(0, i);
    return value;
}

bool printable(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u >= 0x20 || c == '\t';
    });
}

} // namespace

std::vector<const IniEntry*> IniText::section(std::string_view name) const {
    std::vector<const IniEntry*> found;
    for (const IniEntry& entry : entries)
        if (entry.section == name)
            found.push_back(&entry);
    return found;
}

const IniEntry* IniText::find(std::string_view sectionName, std::string_view key) const {
    const IniEntry* found = nullptr;
    for (const IniEntry& entry : entries)
        if (entry.section == sectionName && entry.key == key)
            found = &entry;
    return found;
}

IniText parseIniText(std::string_view text) {
    IniText ini;
    std::string current;
    int lineNumber = 0;
    // A UTF-8 byte order mark is what some editors put first; it is not part of the first line.
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    while (!text.empty()) {
        ++lineNumber;
        const std::size_t end = text.find('\n');
        std::string_view line = trim(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);

        if (line.empty() || line.front() == ';' || line.front() == '#')
            continue;
        if (!printable(line)) {
            ini.problems.push_back({lineNumber, "the line holds control characters (is this a text file?)"});
            continue;
        }
        if (line.front() == '[') {
            const std::size_t close = line.find(']');
            const std::string_view rest = close == std::string_view::npos ? "" : trim(line.substr(close + 1));
            if (close == std::string_view::npos ||
                (!rest.empty() && rest.front() != ';' && rest.front() != '#')) {
                ini.problems.push_back({lineNumber, "a section line reads [name]"});
                continue;
            }
            current = std::string(trim(line.substr(1, close - 1)));
            ini.sections.emplace_back(current, lineNumber);
            continue;
        }
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos || equals == 0) {
            ini.problems.push_back({lineNumber, "a line reads key = value"});
            continue;
        }
        IniEntry entry;
        entry.section = current;
        entry.key = std::string(trim(line.substr(0, equals)));
        entry.value = std::string(trim(stripInlineComment(trim(line.substr(equals + 1)))));
        entry.line = lineNumber;
        if (entry.key.empty()) {
            ini.problems.push_back({lineNumber, "a line reads key = value"});
            continue;
        }
        ini.entries.push_back(std::move(entry));
    }
    return ini;
}

} // namespace hm
