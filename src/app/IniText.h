// A small reader for the INI text that people edit by hand (level files, progress), which keeps
// the line of every entry so that messages can point at it.
//
// Format: "[section]" lines, "key = value" lines, comments from ';' or '#' at the start of a line
// or after whitespace inside a value, blank lines. Keys may repeat (a level's schedule is a list).
// Keys and section names are kept as written (after trimming); values are trimmed. Lines of any
// length are read whole. A line that is none of these is reported, not guessed at.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace hm {

struct IniEntry {
    std::string section; // empty before the first section line
    std::string key;
    std::string value;
    int line = 0; // 1-based
};

struct IniProblem {
    int line = 0;
    std::string message;
};

struct IniText {
    std::vector<IniEntry> entries;
    std::vector<IniProblem> problems; // lines that could not be read
    // Section names in the order they first appear, with their lines.
    std::vector<std::pair<std::string, int>> sections;

    // The entries of one section, in file order.
    std::vector<const IniEntry*> section(std::string_view name) const;
    // The last entry with this key in the section, or null.
    const IniEntry* find(std::string_view section, std::string_view key) const;
};

IniText parseIniText(std::string_view text);

} // namespace hm
