// The replay reader on arbitrary bytes: it must never fail, and whatever it accepts must keep the
// rules a replay player relies on (steps in order and in range) and be written back to a text that
// reads as the same replay.
#include "FuzzSupport.h"

#include "game/Replay.h"

#include <string_view>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    hm::fuzz::quietLogging();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    hm::ReplayError error;
    const std::optional<hm::Replay> replay = hm::parseReplay(text, error);
    if (!replay) {
        if (error.message.empty() || error.line < 0)
            __builtin_trap();
        return 0;
    }
    std::int64_t last = 0;
    for (const hm::ReplayAction& action : replay->actions) {
        if (action.step < last || action.step > hm::Replay::kMaxSteps || action.plot < 0 ||
            !hm::isReplayVerb(action.verb))
            __builtin_trap();
        last = action.step;
    }
    if (replay->steps < last || replay->steps > hm::Replay::kMaxSteps || replay->level.empty() ||
        replay->result.empty())
        __builtin_trap();

    hm::ReplayError again;
    const std::optional<hm::Replay> back = hm::parseReplay(hm::formatReplay(*replay), again);
    if (!back || back->level != replay->level || back->digest != replay->digest ||
        back->stepsPerSecond != replay->stepsPerSecond || back->recorded != replay->recorded ||
        back->actions != replay->actions || back->steps != replay->steps || back->result != replay->result)
        __builtin_trap();
    return 0;
}
