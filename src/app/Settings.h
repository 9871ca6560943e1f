// The settings record and its loader.
//
// The settings file is an INI file with the sections "window" and "sound". The loader never
// fails: a missing file is reported with one line on standard output and every key that is
// missing or does not parse keeps its default.
#pragma once

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
    float volume = 1.0f; // master volume of the sound effects, 0 (silent) to 1 (full)
};

inline constexpr const char* kSettingsFile = "GAME_DATA/settings.ini";

Settings loadSettings(const std::string& path);

} // namespace hm
