// What makes one level, read from GAME_DATA/levels/NAME.ini: its display name, its model, the
// economy (lives, starting resources, income), the spawn schedule with a road per monster, and
// the lives a win must keep for two and three stars. The campaign (GAME_DATA/levels/campaign.ini)
// lists the game's levels in the order they are played.
//
// A key the file leaves out takes the game's standard value, with a warning naming file and key.
// Problems are findings with a line, so the game's log and the level checker say the same thing
// in the same compiler-like form ("FILE:LINE: error: what").
#pragma once

#include "game/Prototypes.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace hm {

struct SpawnEntry {
    EnemyType type = EnemyType::FLOATING_STONE_MONSTER;
    float delay = 0.0f; // seconds after the previous spawn (after the start for the first)
    int road = 1;       // 1-based road number
    int line = 0;       // line in the level file (0 for the standard schedule)
};

enum class Severity { Warning, Error };

struct Finding {
    Severity severity = Severity::Error;
    std::string file;  // as given, e.g. "GAME_DATA/levels/Vezaz.ini"
    int line = 0;      // 0 when the finding is about the whole file
    std::string where; // instead of a line: a node, e.g. "node \"TowerBase[3]\""
    std::string message;
    // "FILE:LINE: error: message" or "FILE: where: warning: message".
    std::string text() const;
};

struct LevelDefinition {
    static constexpr int kStandardLives = 10;
    static constexpr int kStandardResources = 300;
    static constexpr int kStandardIncome = 5;
    static constexpr float kStandardIncomeInterval = 2.0f;

    std::string name;        // the file's stem; also the level scene's name
    std::string displayName; // what the player reads
    std::string modelFile;   // below GAME_DATA/models
    int lives = kStandardLives;
    int resources = kStandardResources;
    int income = kStandardIncome;
    float incomeInterval = kStandardIncomeInterval;
    std::vector<SpawnEntry> schedule;
    int twoStars = 5;    // lives left a win needs for two stars
    int threeStars = 10; // ... and for three
    std::string path;    // the file it came from
    // False when the file was missing or unreadable, or its schedule could not be read: the
    // level is then not offered (the campaign's first level plays on the standard values).
    bool usable = true;

    // Stars for a result: 0 for a loss, 1 for any win, 2 and 3 from the thresholds.
    int starsFor(bool won, int livesLeft) const;
};

// The standard level: today's eighteen monsters on one road and the standard economy.
const std::vector<SpawnEntry>& standardSchedule();
LevelDefinition standardLevel(const std::string& name);

// The monster kind a level file names ("floating", "walking", "massive"), or nullopt.
std::optional<EnemyType> monsterKindByName(std::string_view name);
const char* monsterKindName(EnemyType type);

// Reads a level from its text. fileLabel names the file in findings; name is the level's name.
// Every finding is also returned for the caller to log or print.
LevelDefinition parseLevelDefinition(std::string_view text, const std::string& name,
                                     const std::string& fileLabel, std::vector<Finding>& findings);

// GAME_DATA/levels/NAME.ini for a level name.
std::string levelFilePath(const std::string& name);
// Reads and parses a level file (findings appended); a file that cannot be read is a finding and
// gives the standard level, marked unusable.
LevelDefinition readLevelFile(const std::string& path, const std::string& name,
                              std::vector<Finding>& findings);
// The level of that name, with every finding logged. A level that cannot be used plays on the
// standard values when it is the campaign's first level.
LevelDefinition loadLevelDefinition(const std::string& name);

// A level name is a plain file stem: letters, digits, '_' and '-', at most 64 characters.
bool isLevelName(std::string_view name);

// The names of the game's levels in campaign order, as the campaign file lists them (problems are
// logged; a missing or empty list gives the levels found in the levels folder, by name).
std::vector<std::string> campaignLevels();
std::vector<std::string> parseCampaign(std::string_view text, const std::string& fileLabel,
                                       std::vector<Finding>& findings);
std::string campaignFilePath();

} // namespace hm
