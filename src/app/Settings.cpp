#include "app/Settings.h"

#include "app/Log.h"

#include <INIReader.h>

#include <cstdio>
#include <limits>

namespace hm {

namespace {

// INIReader::GetInteger returns a long; a value outside the 32-bit range keeps the default
// instead of being silently truncated into a nonsense window size.
std::int32_t readInt32(const INIReader& reader, const char* key, std::int32_t fallback) {
    long value = reader.GetInteger("window", key, fallback);
    if (value < std::numeric_limits<std::int32_t>::min() || value > std::numeric_limits<std::int32_t>::max())
        return fallback;
    return static_cast<std::int32_t>(value);
}

} // namespace

Settings loadSettings(const std::string& path) {
    Settings settings;
    INIReader reader(path);
    if (reader.ParseError() < 0) {
        std::printf("ERROR: Failed to load '%s'. Using default values instead.\n", path.c_str());
        std::fflush(stdout);
    }
    settings.width = readInt32(reader, "width", settings.width);
    settings.height = readInt32(reader, "height", settings.height);
    settings.refreshRate = readInt32(reader, "refresh_rate", settings.refreshRate);
    settings.fullscreen = reader.GetBoolean("window", "fullscreen", settings.fullscreen);
    settings.borderless = reader.GetBoolean("window", "borderless", settings.borderless);
    settings.title = reader.Get("window", "title", settings.title);
    settings.brightness = reader.GetReal("window", "brightness", settings.brightness);
    const std::string quality = reader.Get("graphics", "quality", qualityName(settings.quality));
    if (const auto level = parseQuality(quality))
        settings.quality = *level;
    else
        spdlog::warn("Unknown graphics quality '{0}' in {1}; using {2}.", quality, path,
                     qualityName(settings.quality));
    return settings;
}

} // namespace hm
