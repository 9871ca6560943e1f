// The level file reader and the campaign list on arbitrary bytes: they must never fail, and what
// they give the level must be playable numbers: lives, a schedule with known kinds, roads from
// 1, delays that are real seconds, star thresholds in order.
#include "FuzzSupport.h"

#include "game/LevelDefinition.h"

#include <cmath>
#include <string_view>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    hm::fuzz::quietLogging();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<hm::Finding> findings;
    const hm::LevelDefinition level = hm::parseLevelDefinition(text, "Fuzz", "Fuzz.ini", findings);
    if (level.schedule.empty() || level.lives < 1 || level.twoStars > level.threeStars ||
        !(level.incomeInterval > 0.0f) || level.modelFile.find('/') != std::string::npos)
        __builtin_trap();
    for (const hm::SpawnEntry& entry : level.schedule)
        if (entry.road < 1 || !std::isfinite(entry.delay) || entry.delay < 0.0f ||
            static_cast<int>(entry.type) < 0 || static_cast<int>(entry.type) > 2)
            __builtin_trap();
    for (const hm::Finding& finding : findings)
        if (finding.text().empty())
            __builtin_trap();
    std::vector<hm::Finding> campaignFindings;
    for (const std::string& name : hm::parseCampaign(text, "campaign.ini", campaignFindings))
        if (!hm::isLevelName(name))
            __builtin_trap();
    return 0;
}
