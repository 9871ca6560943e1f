// The settings loader on arbitrary bytes: it must never fail, and what it hands to the window
// must be a size the window can open and a brightness the renderer can use.
#include "FuzzSupport.h"

#include "app/Settings.h"

#include <cmath>
#include <cstdio>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    hm::fuzz::quietLogging();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static hm::fuzz::ScratchFile file(".ini");
    const hm::Settings settings = hm::loadSettings(file.write(data, size));
    if (settings.width <= 0 || settings.height <= 0 || !std::isfinite(settings.brightness) ||
        settings.brightness < 0.0)
        __builtin_trap();
    return 0;
}
