// The progress reader on arbitrary bytes: it must never fail, and whatever it accepts must be
// within the ranges the game relies on and come back unchanged through the writer.
#include "FuzzSupport.h"

#include "game/LevelDefinition.h"
#include "game/Progress.h"

#include <string_view>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    hm::fuzz::quietLogging();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    hm::ProgressProblem problem;
    const auto progress = hm::Progress::fromText(text, problem);
    if (!progress) {
        if (problem.reason.empty())
            __builtin_trap();
        return 0;
    }
    for (const auto& [name, level] : progress->levels()) {
        if (!hm::isLevelName(name) || level.stars < 0 || level.stars > hm::Progress::kMaxStars ||
            level.lives < 0 || level.lives > hm::Progress::kMaxLives)
            __builtin_trap();
    }
    const auto again = hm::Progress::fromText(progress->toText(), problem);
    if (!again || *again != *progress)
        __builtin_trap();
    return 0;
}
