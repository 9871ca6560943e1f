// TEMPORARY: the level-file API of the lead's LevelDefinition.h, until it is on main. Delete this
// pair of files after merging main, and include game/LevelDefinition.h instead.
#pragma once

#include <string>
#include <vector>

namespace hm {

struct LevelDefinition {
    std::string name, displayName, modelFile;
    int lives = 10, resources = 300, income = 5;
    float incomeInterval = 2.0f;
    int twoStars = 4, threeStars = 8;
    std::string path;
};

LevelDefinition loadLevelDefinition(const std::string& name);
std::vector<std::string> campaignLevels();

} // namespace hm
