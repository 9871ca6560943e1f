// The settings record and its loader.
//
// The settings file is an INI file with the sections "window", "sound" and "graphics". The
// loader never fails: a missing file is reported with one line on standard output and every key
// that is missing or does not parse keeps its default (an unknown quality level, or a volume
// outside 0 to 1, with a warning). No quality at all leaves the choice to the game, which picks
// one for the machine once it knows the graphics driver (chooseQuality in RenderQuality.h).
#pragma once

#include "app/AssetLocations.h"
#include "render/RenderQuality.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

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
    // [graphics] quality = high | medium | low; nothing when the file names none (an unknown
    // value keeps high).
    std::optional<RenderQuality> quality;
};

// The shipped settings file; a checkout reads it, an installed game copies it for the player.
inline constexpr const char* kSettingsFile = "GAME_DATA/settings.ini";

Settings loadSettings(const std::string& path);

// Writes "quality = NAME" into the [graphics] section of the settings file at `path`, keeping
// every other line: it replaces the key's line, or follows the key's commented-out line, or ends
// the section, which is added when missing (as is the file). The write is atomic. False, after an
// error line naming the file, when it cannot be written.
bool storeQuality(const std::string& path, RenderQuality quality);

// The quality to start with: the settings' own, or the one chosen for the OpenGL renderer
// `glRenderer` when they name none (chooseQuality), logged with the reason. A choice is written
// into the player's own settings file (places.playerSettings), so it is made once and a later
// choice of the player stands; the data's file (a checkout's, or a read-only one) is never
// written, so there the choice is made at every start.
RenderQuality startQuality(const Settings& settings, std::string_view glRenderer, const GamePlaces& places);

} // namespace hm
