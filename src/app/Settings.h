// The settings record and its loader.
//
// The settings file is an INI file with the sections "window", "sound" and "graphics". The
// loader never fails: a missing file is reported with one line on standard output and every key
// that is missing or does not parse keeps its default (an unknown quality level, or a volume
// outside 0 to 1, with a warning).
#pragma once

#include "render/RenderQuality.h"

#include <cstdint>
#include <string>

namespace hm {

struct Settings {
    std::int32_t width = 800;
    std::int32_t height = 800;
    std::int32_t refreshRate = 60; // carried along; the frame cap is fixed at 60 per second
    bool fullscreen = false;
    bool borderless = false;
    std::string title = "Wardens of Hollowmere";
    double brightness = 1.0;
    float volume = 1.0f;                         // master volume of the sound effects, 0 (silent) to 1 (full)
    RenderQuality quality = RenderQuality::High; // [graphics] quality = high | medium | low
};

inline constexpr const char* kSettingsFile = "GAME_DATA/settings.ini";

Settings loadSettings(const std::string& path);

} // namespace hm
