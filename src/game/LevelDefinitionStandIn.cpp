#include "game/LevelDefinitionStandIn.h"

namespace hm {

LevelDefinition loadLevelDefinition(const std::string& name) {
    LevelDefinition level;
    level.name = name;
    level.displayName = name == "Morrowfen" ? "Morrow Fen" : name == "Cinderpass" ? "Cinder Pass" : name;
    level.modelFile = name + ".fbx";
    return level;
}

std::vector<std::string> campaignLevels() {
    return {"Vezaz", "Morrowfen", "Cinderpass"};
}

} // namespace hm
