#include "app/Settings.h"

#include "app/AtomicFile.h"
#include "app/Log.h"

#include <INIReader.h>

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <string_view>
#include <vector>

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

// The master volume, a real number from 0 to 1. A value that is not a number, or lies outside
// that range, keeps the default and says so: a typo must not leave the game silent or clipping.
float readVolume(const INIReader& reader, float fallback) {
    if (!reader.HasValue("sound", "volume"))
        return fallback;
    const std::string text = reader.Get("sound", "volume", "");
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (end == text.c_str() || !std::isfinite(value) || value < 0.0 || value > 1.0) {
        spdlog::warn("Settings: [sound] volume '{0}' is not a number from 0 to 1; using {1}.", text,
                     fallback);
        return fallback;
    }
    return static_cast<float>(value);
}

// A window edge the windowing library can open: 0 or below makes it fail (or abort), and
// nothing beyond the largest framebuffer drivers offer is a real screen.
constexpr std::int32_t kMaxWindowEdge = 16384;

std::int32_t readWindowEdge(const INIReader& reader, const std::string& path, const char* key,
                            std::int32_t fallback) {
    const long value = reader.GetInteger("window", key, fallback);
    if (value >= 1 && value <= kMaxWindowEdge)
        return static_cast<std::int32_t>(value);
    spdlog::warn("Settings {0}: [window] {1} = {2} is not a window size from 1 to {3} pixels (a leading 0 "
                 "means octal); using {4}.",
                 path, key, reader.Get("window", key, ""), kMaxWindowEdge, fallback);
    return fallback;
}

// A file that ends early (cut short while being saved or copied) still parses; one line naming the
// keys it lacks tells that apart from a complete file. The quality is left out: no value there
// means the game chooses.
void reportAbsentKeys(const INIReader& reader, const std::string& path) {
    static const char* const kKeys[][2] = {
        {"window", "width"},      {"window", "height"}, {"window", "refresh_rate"}, {"window", "fullscreen"},
        {"window", "borderless"}, {"window", "title"},  {"window", "brightness"},   {"sound", "volume"}};
    std::string absent;
    for (const auto& [section, key] : kKeys)
        if (!reader.HasValue(section, key))
            absent += std::string(absent.empty() ? "" : ", ") + "[" + section + "] " + key;
    if (!absent.empty())
        spdlog::info("Settings {0}: no value for {1}; the defaults are used.", path, absent);
}

} // namespace

Settings loadSettings(const std::string& path) {
    Settings settings;
    INIReader reader(path);
    if (reader.ParseError() < 0) {
        std::printf("ERROR: Failed to load '%s'. Using default values instead.\n", path.c_str());
        std::fflush(stdout);
    } else if (reader.ParseError() > 0) {
        spdlog::warn(
            "Settings {0}: line {1} is not a section, a key = value line or a comment; it is skipped.", path,
            reader.ParseError());
    }
    if (reader.ParseError() >= 0)
        reportAbsentKeys(reader, path);
    settings.width = readWindowEdge(reader, path, "width", settings.width);
    settings.height = readWindowEdge(reader, path, "height", settings.height);
    settings.refreshRate = readInt32(reader, "refresh_rate", settings.refreshRate);
    settings.fullscreen = reader.GetBoolean("window", "fullscreen", settings.fullscreen);
    settings.borderless = reader.GetBoolean("window", "borderless", settings.borderless);
    settings.title = reader.Get("window", "title", settings.title);
    // A negative or non-finite factor turns every frame black (or into noise).
    const double brightness = reader.GetReal("window", "brightness", settings.brightness);
    if (std::isfinite(brightness) && brightness >= 0.0)
        settings.brightness = brightness;
    else
        spdlog::warn(
            "Settings {0}: [window] brightness = {1} is not a finite factor of 0 or more; using {2}.", path,
            reader.Get("window", "brightness", ""), settings.brightness);
    settings.volume = readVolume(reader, settings.volume);
    if (reader.HasValue("graphics", "quality")) {
        const std::string quality = reader.Get("graphics", "quality", "");
        settings.quality = parseQuality(quality);
        if (!settings.quality) {
            settings.quality = RenderQuality::High;
            spdlog::warn("Unknown graphics quality '{0}' in {1}; using {2}.", quality, path,
                         qualityName(*settings.quality));
        }
    }
    return settings;
}

namespace {

std::string trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(" \t\r");
    return std::string(text.substr(first, last - first + 1));
}

std::string lowered(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// The key of a "key = value" (or "key: value") line, lower case; empty for other lines.
std::string keyOf(std::string_view line) {
    const auto separator = line.find_first_of("=:");
    return separator == std::string_view::npos ? std::string() : lowered(trimmed(line.substr(0, separator)));
}

} // namespace

bool storeQuality(const std::string& path, RenderQuality quality) {
    std::vector<std::string> lines;
    {
        std::ifstream in(path, std::ios::binary);
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
    }
    const std::string entry = std::string("quality = ") + qualityName(quality);

    // Where the entry goes: over the key's own line, after its commented-out line, or after the
    // last line of the section that is not blank.
    std::optional<std::size_t> keyLine, commentedLine, sectionEnd;
    bool inGraphics = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string text = trimmed(lines[i]);
        if (!text.empty() && text.front() == '[') {
            inGraphics = lowered(text).rfind("[graphics]", 0) == 0;
            if (inGraphics)
                sectionEnd = i;
            continue;
        }
        if (!inGraphics)
            continue;
        if (!text.empty())
            sectionEnd = i;
        if (text.empty())
            continue;
        if (text.front() == ';' || text.front() == '#') {
            if (keyOf(text.substr(1)) == "quality")
                commentedLine = i;
        } else if (keyOf(text) == "quality" && !keyLine) {
            keyLine = i;
        }
    }
    if (keyLine)
        lines[*keyLine] = entry;
    else if (commentedLine)
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(*commentedLine + 1), entry);
    else if (sectionEnd)
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(*sectionEnd + 1), entry);
    else {
        if (!lines.empty() && !trimmed(lines.back()).empty())
            lines.emplace_back();
        lines.emplace_back("[graphics]");
        lines.push_back(entry);
    }

    std::string contents;
    for (const std::string& line : lines)
        contents += line + "\n";
    return writeFileAtomically(path, contents);
}

RenderQuality startQuality(const Settings& settings, std::string_view glRenderer, const GamePlaces& places) {
    if (settings.quality)
        return *settings.quality;
    const QualityChoice choice = chooseQuality(glRenderer);
    spdlog::info("The settings name no graphics quality; using {0}: {1}.", qualityName(choice.quality),
                 choice.reason);
    if (places.playerSettings && storeQuality(places.settingsFile.string(), choice.quality))
        spdlog::info("Graphics quality {0} written to {1}.", qualityName(choice.quality),
                     places.settingsFile.string());
    return choice.quality;
}

} // namespace hm
