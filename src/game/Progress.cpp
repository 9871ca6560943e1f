#include "game/Progress.h"

#include "game/LevelDefinition.h"

#include <fmt/format.h>

#include <algorithm>
#include <charconv>
#include <set>

namespace hm {

namespace {

constexpr std::string_view kProgressSection = "progress";
constexpr std::string_view kEndSection = "end";
constexpr std::string_view kLevelPrefix = "level ";

std::string_view trim(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

// The line without a comment that follows whitespace ("stars = 2 ; best"), as in level files.
std::string_view withoutComment(std::string_view line) {
    for (std::size_t i = 1; i < line.size(); ++i)
        if ((line[i] == ';' || line[i] == '#') && (line[i - 1] == ' ' || line[i - 1] == '\t'))
            return trim(line.substr(0, i));
    return line;
}

// A whole decimal integer, optionally signed; nothing else on the value.
std::optional<int> parseInt(std::string_view text) {
    int value = 0;
    const char* first = text.data();
    const char* last = text.data() + text.size();
    if (first != last && *first == '+')
        ++first;
    if (first == last)
        return std::nullopt;
    const auto [end, error] = std::from_chars(first, last, value);
    if (error != std::errc() || end != last)
        return std::nullopt;
    return value;
}

// Reads the text line by line; each step knows the section it is in.
class Reader {
public:
    explicit Reader(ProgressProblem& problem) : problem_(problem) {}

    std::optional<Progress> read(std::string_view text) {
        int number = 0;
        while (!text.empty()) {
            const std::size_t end = text.find('\n');
            std::string_view line = text.substr(0, end);
            text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
            ++number;
            if (!readLine(trim(line), number))
                return std::nullopt;
        }
        if (state_ == State::Start)
            return fail(0, anything_ ? "it holds no [progress] section" : "it is empty");
        if (state_ != State::End)
            return fail(0, "it is cut short (no [end] line)");
        return progress_;
    }

private:
    enum class State { Start, Header, Level, End };

    std::nullopt_t fail(int line, std::string reason, bool newer = false) {
        problem_.line = line;
        problem_.reason = std::move(reason);
        problem_.newerVersion = newer;
        return std::nullopt;
    }

    bool readLine(std::string_view line, int number) {
        if (line.empty())
            return true;
        anything_ = true;
        if (line.front() == ';' || line.front() == '#')
            return true;
        for (char c : line) {
            if (static_cast<unsigned char>(c) < 0x20 && c != '\t') {
                fail(number, "it holds a control character");
                return false;
            }
        }
        line = withoutComment(line);
        if (state_ == State::End) {
            fail(number, "there is more after [end]");
            return false;
        }
        if (line.front() == '[')
            return readSection(line, number);
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos) {
            fail(number, "the line is neither [section] nor key = value");
            return false;
        }
        return readEntry(trim(line.substr(0, equals)), trim(line.substr(equals + 1)), number);
    }

    bool finishLevel(int number) {
        if (state_ != State::Level)
            return true;
        if (!haveStars_ || !haveLives_) {
            fail(number, fmt::format("level {0} lacks {1}", levelName_, haveStars_ ? "lives" : "stars"));
            return false;
        }
        progress_.record(levelName_, level_.stars, level_.lives);
        return true;
    }

    bool readSection(std::string_view line, int number) {
        if (line.back() != ']') {
            fail(number, "the section line does not end with ]");
            return false;
        }
        const std::string_view name = trim(line.substr(1, line.size() - 2));
        if (state_ == State::Start) {
            if (name != kProgressSection) {
                fail(number, "the file does not begin with [progress]");
                return false;
            }
            state_ = State::Header;
            return true;
        }
        if (state_ == State::Header && !version_) {
            fail(number, "there is no version line");
            return false;
        }
        if (!finishLevel(number))
            return false;
        if (name == kEndSection) {
            state_ = State::End;
            return true;
        }
        if (name.substr(0, kLevelPrefix.size()) != kLevelPrefix) {
            fail(number, fmt::format("unknown section [{0}]", name));
            return false;
        }
        const std::string_view levelName = trim(name.substr(kLevelPrefix.size()));
        if (!isLevelName(levelName)) {
            fail(number, fmt::format("\"{0}\" is not a level name", levelName));
            return false;
        }
        levelName_ = std::string(levelName);
        if (!seen_.insert(levelName_).second) {
            fail(number, fmt::format("level {0} appears twice", levelName_));
            return false;
        }
        state_ = State::Level;
        level_ = {};
        haveStars_ = haveLives_ = false;
        return true;
    }

    bool readEntry(std::string_view key, std::string_view value, int number) {
        if (state_ == State::Start) {
            fail(number, "the file does not begin with [progress]");
            return false;
        }
        const std::optional<int> parsed = parseInt(value);
        if (state_ == State::Header) {
            if (key != "version" || version_) {
                fail(number,
                     version_ ? fmt::format("unknown key {0}", key) : "the first entry is not the version");
                return false;
            }
            if (!parsed || *parsed < 1) {
                fail(number, fmt::format("the version {0} is not a version number", value));
                return false;
            }
            if (*parsed > Progress::kVersion) {
                fail(number,
                     fmt::format("it is of version {0}, this game reads version {1}", *parsed,
                                 Progress::kVersion),
                     true);
                return false;
            }
            version_ = *parsed;
            return true;
        }
        // In a level section.
        const bool stars = key == "stars";
        if (!stars && key != "lives") {
            fail(number, fmt::format("unknown key {0}", key));
            return false;
        }
        bool& have = stars ? haveStars_ : haveLives_;
        if (have) {
            fail(number, fmt::format("{0} appears twice for level {1}", key, levelName_));
            return false;
        }
        const int limit = stars ? Progress::kMaxStars : Progress::kMaxLives;
        if (!parsed || *parsed < 0 || *parsed > limit) {
            fail(number, fmt::format("{0} = {1} is not a number from 0 to {2}", key, value, limit));
            return false;
        }
        (stars ? level_.stars : level_.lives) = *parsed;
        have = true;
        return true;
    }

    ProgressProblem& problem_;
    Progress progress_;
    State state_ = State::Start;
    std::optional<int> version_;
    std::string levelName_;
    LevelProgress level_;
    bool haveStars_ = false;
    bool haveLives_ = false;
    bool anything_ = false; // a line that is not blank
    std::set<std::string> seen_;
};

} // namespace

const LevelProgress* Progress::level(const std::string& name) const {
    auto it = levels_.find(name);
    return it == levels_.end() ? nullptr : &it->second;
}

bool Progress::won(const std::string& name) const {
    const LevelProgress* entry = level(name);
    return entry && entry->stars > 0;
}

bool Progress::record(const std::string& name, int stars, int lives) {
    stars = std::clamp(stars, 0, kMaxStars);
    lives = std::clamp(lives, 0, kMaxLives);
    auto [it, added] = levels_.try_emplace(name, LevelProgress{stars, lives});
    if (added)
        return true;
    LevelProgress& best = it->second;
    if (stars < best.stars || (stars == best.stars && lives <= best.lives))
        return false;
    best = {stars, lives};
    return true;
}

std::string Progress::toText() const {
    std::string text = "; What this player has won in Wardens of Hollowmere. The game writes this file;\n"
                       "; the [end] line marks a complete one.\n";
    text += "[progress]\nversion = " + std::to_string(kVersion) + "\n";
    for (const auto& [name, entry] : levels_) {
        text += "\n[level " + name + "]\n";
        text += "stars = " + std::to_string(entry.stars) + "\n";
        text += "lives = " + std::to_string(entry.lives) + "\n";
    }
    text += "\n[end]\n";
    return text;
}

std::optional<Progress> Progress::fromText(std::string_view text, ProgressProblem& problem) {
    problem = {};
    return Reader(problem).read(text);
}

bool isUnlocked(const std::string& level, const std::vector<std::string>& campaign,
                const Progress& progress) {
    auto it = std::find(campaign.begin(), campaign.end(), level);
    if (it == campaign.end())
        return false;
    return it == campaign.begin() || progress.won(*std::prev(it));
}

} // namespace hm
