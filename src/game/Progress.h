// What a player has won: per level, the best number of stars and the most lives left, and which
// levels that opens. (The stars a win earns are the level's own rule: LevelDefinition::starsFor.)
//
// The text form is what the progress file holds (see docs/level-design.md, "Saved progress"):
//
//     [progress]
//     version = 1
//     [level Vezaz]
//     stars = 3
//     lives = 9
//     [end]
//
// The reader is strict, because a file it half understands must not be taken for good and later
// written over: anything it does not recognise makes the whole file unreadable, with the line
// and the reason. The closing "[end]" line tells a complete file from one cut short. A file of
// a later version is told apart from a damaged one, so the caller can say which it is. Levels
// this game does not have are kept as they are (a later campaign may have them).
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace hm {

struct LevelProgress {
    int stars = 0; // 0 (played, never won) to 3
    int lives = 0; // lives left in the best win
    bool operator==(const LevelProgress&) const = default;
};

// Why a text is not a progress file this game can use.
struct ProgressProblem {
    int line = 0; // 1-based; 0 for the file as a whole
    std::string reason;
    bool newerVersion = false; // written by a later version of the game, not damaged
};

class Progress {
public:
    static constexpr int kVersion = 1;
    static constexpr int kMaxStars = 3;
    // Lives are counted in the few tens; anything beyond this is not a number the game wrote.
    static constexpr int kMaxLives = 9999;

    // Null when the level has no entry.
    const LevelProgress* level(const std::string& name) const;
    bool won(const std::string& name) const;
    // Keeps the better of the stored result and this one (more stars, then more lives).
    // Returns true when the stored result changed. Values out of range are clamped.
    bool record(const std::string& name, int stars, int lives);
    const std::map<std::string, LevelProgress>& levels() const { return levels_; }
    bool empty() const { return levels_.empty(); }

    std::string toText() const;
    // The progress in a text, or the reason it is not usable in problem.
    static std::optional<Progress> fromText(std::string_view text, ProgressProblem& problem);

    bool operator==(const Progress&) const = default;

private:
    std::map<std::string, LevelProgress> levels_;
};

// The first level of the campaign is always open; every other one once the level before it
// has been won. A name that is not in the campaign is not open.
bool isUnlocked(const std::string& level, const std::vector<std::string>& campaign, const Progress& progress);

} // namespace hm
