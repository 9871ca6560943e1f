#include "app/Settings.h"

#include "support/LogCapture.h"
#include "support/ScopedEnvironment.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace hm {
namespace {

namespace fs = std::filesystem;

class SettingsFile {
public:
    explicit SettingsFile(const std::string& contents)
        : path_(fs::temp_directory_path() /
                ("hm_settings_" + std::to_string(::getpid()) + "_" + std::to_string(counter_++) + ".ini")) {
        std::ofstream(path_, std::ios::binary) << contents;
    }
    ~SettingsFile() { fs::remove(path_); }
    std::string path() const { return path_.string(); }

private:
    static inline int counter_ = 0;
    fs::path path_;
};

struct SettingsCase {
    const char* name;
    std::string contents;
    Settings expected;
    // Text that the one warning line must hold (besides the file's path); empty: no warning.
    std::string warning = {};
};

Settings with(auto change) {
    Settings s;
    change(s);
    return s;
}

TEST(Settings, FileRules) {
    const std::string longTitle(250, 'x');
    const SettingsCase cases[] = {
        {"empty file gives defaults", "", Settings{}},
        {"all keys",
         "[window]\nwidth=1024\nheight=768\nrefresh_rate=144\nfullscreen=true\n"
         "borderless=on\ntitle=Hollow\nbrightness=1.25\n[sound]\nvolume=0.6\n",
         with([](Settings& s) {
             s.width = 1024, s.height = 768, s.refreshRate = 144, s.fullscreen = true;
             s.borderless = true, s.title = "Hollow", s.brightness = 1.25, s.volume = 0.6f;
         })},
        {"section and key case, hex base", "[Window]\nWIDTH = 0x400\n",
         with([](Settings& s) { s.width = 1024; })},
        {"octal base", "[window]\nheight = 010\n", with([](Settings& s) { s.height = 8; })},
        {"Yes is true", "[window]\nfullscreen = Yes\n", with([](Settings& s) { s.fullscreen = true; })},
        {"enabled keeps default", "[window]\nfullscreen = enabled\n", Settings{}},
        {"not a number keeps default", "[window]\nwidth = abc\n", Settings{}},
        {"trailing text after a number", "[window]\nwidth = 1280px\n",
         with([](Settings& s) { s.width = 1280; })},
        {"real with trailing text", "[window]\nbrightness = 0.5lux\n",
         with([](Settings& s) { s.brightness = 0.5; })},
        {"repeated key: number from the first", "[window]\nwidth = 1024\nheight=600\nwidth = 640\n",
         with([](Settings& s) { s.width = 1024, s.height = 600; })},
        {"repeated boolean matches no word", "[window]\nfullscreen = true\nfullscreen = true\n", Settings{}},
        {"repeated title joins with a line break", "[window]\ntitle = A\ntitle = B\n",
         with([](Settings& s) { s.title = "A\nB"; })},
        {"continuation line joins the value", "[window]\ntitle = First\n  Second\n",
         with([](Settings& s) { s.title = "First\nSecond"; })},
        {"inline comment after white space", "[window]\ntitle = My Game ; test\n",
         with([](Settings& s) { s.title = "My Game"; })},
        {"semicolon without white space stays", "[window]\ntitle = A;B\n",
         with([](Settings& s) { s.title = "A;B"; })},
        {"colon separator", "[window]\nwidth: 900\n", with([](Settings& s) { s.width = 900; })},
        {"keys before any section are ignored", "width = 1000\n[window]\n", Settings{}},
        {"keys of another section are ignored", "[audio]\nwidth = 1000\n[window]\nheight=500\n",
         with([](Settings& s) { s.height = 500; })},
        {"malformed lines are skipped, the first one is named",
         "[window]\nwidth = 1000\nthis line has no separator\n[broken\nheight = 700\n",
         with([](Settings& s) { s.width = 1000, s.height = 700; }), "line 3 "},
        {"garbled file", "\x01\x7f\xfe garbage\n\xff\n[window]\nwidth = 640\n",
         with([](Settings& s) { s.width = 640; }), "line 1 "},
        {"comments", "; a comment\n# another\n[window]\n;width = 5\nwidth = 6\n",
         with([](Settings& s) { s.width = 6; })},
        {"byte-order mark is skipped", "\xEF\xBB\xBF[window]\nwidth = 640\n",
         with([](Settings& s) { s.width = 640; })},
        {"value out of 32-bit range keeps default", "[window]\nwidth = 99999999999\n", Settings{},
         "width = 99999999999"},
        // Sizes the window cannot open: a leading 0 is octal, so 0800 reads as 0.
        {"octal-looking width reads as 0", "[window]\nwidth = 0800\n", Settings{}, "width = 0800"},
        {"zero height", "[window]\nheight = 0\n", Settings{}, "height = 0"},
        {"negative width", "[window]\nwidth = -5\n", Settings{}, "width = -5"},
        {"absurd height", "[window]\nheight = 99999\n", Settings{}, "height = 99999"},
        {"largest edge is accepted", "[window]\nwidth = 16384\nheight = 1\n",
         with([](Settings& s) { s.width = 16384, s.height = 1; })},
        // Brightness scales every frame: only finite factors of 0 or more draw a picture.
        {"nan brightness", "[window]\nbrightness = nan\n", Settings{}, "brightness = nan"},
        {"infinite brightness", "[window]\nbrightness = inf\n", Settings{}, "brightness = inf"},
        {"negative brightness", "[window]\nbrightness = -1\n", Settings{}, "brightness = -1"},
        {"zero brightness is a factor", "[window]\nbrightness = 0\n",
         with([](Settings& s) { s.brightness = 0.0; })},
        // A line longer than the reader's 200-byte buffer is cut; the rest is read as a line of its own
        // (here a malformed one), so the keys after it still count.
        {"long line is cut", "[window]\ntitle = " + longTitle + "\nwidth = 1111\n",
         with([&](Settings& s) { s.title = std::string(199 - 8, 'x'), s.width = 1111; }), "line 3 "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SettingsFile file(c.contents);
        test::LogCapture log;
        testing::internal::CaptureStdout();
        Settings s = loadSettings(file.path());
        EXPECT_EQ(testing::internal::GetCapturedStdout().find("ERROR: Failed to load"), std::string::npos);
        const auto warnings = log.messages(spdlog::level::warn);
        if (c.warning.empty()) {
            EXPECT_TRUE(warnings.empty()) << warnings.front();
        } else {
            ASSERT_EQ(warnings.size(), 1u);
            EXPECT_NE(warnings[0].find(file.path()), std::string::npos) << warnings[0];
            EXPECT_NE(warnings[0].find(c.warning), std::string::npos) << warnings[0];
        }
        EXPECT_EQ(s.width, c.expected.width);
        EXPECT_EQ(s.height, c.expected.height);
        EXPECT_EQ(s.refreshRate, c.expected.refreshRate);
        EXPECT_EQ(s.fullscreen, c.expected.fullscreen);
        EXPECT_EQ(s.borderless, c.expected.borderless);
        EXPECT_EQ(s.title, c.expected.title);
        EXPECT_DOUBLE_EQ(s.brightness, c.expected.brightness);
        EXPECT_FLOAT_EQ(s.volume, c.expected.volume);
    }
}

// A file cut short still parses: the keys it lacks are named in one line, so a damaged file is
// told apart from a complete one; a complete file names none.
TEST(Settings, KeysAFileLacksAreNamed) {
    const std::string complete =
        "[window]\nwidth = 640\nheight = 480\nrefresh_rate = 60\nfullscreen = false\n"
        "borderless = false\ntitle = T\nbrightness = 1\n[sound]\nvolume = 1\n"
        "[graphics]\nquality = low\n";
    const struct {
        const char* name;
        std::string contents;
        const char* line; // nullptr: no line
    } cases[] = {
        {"complete", complete, nullptr},
        {"cut after the size", complete.substr(0, complete.find("refresh_rate")),
         "no value for [window] refresh_rate, [window] fullscreen, [window] borderless, [window] title, "
         "[window] brightness, [sound] volume"},
        {"cut inside the last value", complete.substr(0, complete.size() - 5), nullptr},
        // No quality is a valid file (the game chooses one), not a sign of damage.
        {"cut inside a section name", complete.substr(0, complete.find("[graphics]") + 4), nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SettingsFile file(c.contents);
        test::LogCapture log;
        loadSettings(file.path());
        std::vector<std::string> lines;
        for (const auto& message : log.messages(spdlog::level::info))
            if (message.find("no value for") != std::string::npos)
                lines.push_back(message);
        if (!c.line) {
            EXPECT_TRUE(lines.empty()) << lines.front();
            continue;
        }
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_NE(lines[0].find(file.path()), std::string::npos) << lines[0];
        EXPECT_NE(lines[0].find(c.line), std::string::npos) << lines[0];
    }
}

// The sound section: a volume from 0 to 1. Anything else keeps full volume and is logged, so
// that a typo neither silences the game nor goes unnoticed.
TEST(Settings, SoundVolume) {
    const struct {
        const char* name;
        std::string contents;
        float volume;
        const char* warning; // the logged value, or null when nothing is logged
    } cases[] = {
        {"no sound section", "[window]\nwidth = 640\n", 1.0f, nullptr},
        {"half", "[sound]\nvolume = 0.5\n", 0.5f, nullptr},
        {"silent", "[sound]\nvolume = 0\n", 0.0f, nullptr},
        {"full", "[sound]\nvolume = 1.0\n", 1.0f, nullptr},
        {"section and key case", "[Sound]\nVOLUME = 0.25\n", 0.25f, nullptr},
        {"inline comment", "[sound]\nvolume = 0.75 ; quieter\n", 0.75f, nullptr},
        {"trailing text after the number", "[sound]\nvolume = 0.4db\n", 0.4f, nullptr},
        {"in the window section it is not the volume", "[window]\nvolume = 0.3\n", 1.0f, nullptr},
        {"above full", "[sound]\nvolume = 1.5\n", 1.0f, "1.5"},
        {"negative", "[sound]\nvolume = -0.1\n", 1.0f, "-0.1"},
        {"not a number", "[sound]\nvolume = loud\n", 1.0f, "loud"},
        {"empty", "[sound]\nvolume =\n", 1.0f, ""},
        {"nan", "[sound]\nvolume = nan\n", 1.0f, "nan"},
        {"infinite", "[sound]\nvolume = inf\n", 1.0f, "inf"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SettingsFile file(c.contents);
        test::LogCapture log;
        const Settings s = loadSettings(file.path());
        EXPECT_FLOAT_EQ(s.volume, c.volume);
        if (c.warning) {
            EXPECT_EQ(log.count(std::string("Settings: [sound] volume '") + c.warning +
                                "' is not a number from 0 to 1; using 1."),
                      1u);
        } else {
            EXPECT_TRUE(log.messages(spdlog::level::warn).empty());
        }
    }
}

TEST(Settings, GraphicsQuality) {
    struct Case {
        std::string value;
        RenderQuality expected;
        bool warned;
    };
    const Case cases[] = {
        {"high", RenderQuality::High, false}, {"medium", RenderQuality::Medium, false},
        {"low", RenderQuality::Low, false},   {"LOW", RenderQuality::Low, false},
        {"ultra", RenderQuality::High, true}, {"", RenderQuality::High, true},
        {"1", RenderQuality::High, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        SettingsFile file("[window]\nwidth = 640\n[graphics]\nquality = " + c.value + "\n");
        test::LogCapture log;
        const Settings s = loadSettings(file.path());
        EXPECT_EQ(s.quality, c.expected);
        EXPECT_EQ(s.width, 640);
        EXPECT_EQ(log.count("Unknown graphics quality '" + c.value + "' in " + file.path() + "; using high."),
                  c.warned ? 1u : 0u);
    }
    // Without the key, or in the wrong section, or commented out, there is no value (the game
    // chooses one for the machine), without a warning or a line about a missing key.
    for (const std::string contents : {"[window]\nquality = low\n", "[graphics]\n; quality = low\n"}) {
        SCOPED_TRACE(contents);
        SettingsFile other(contents);
        test::LogCapture log;
        EXPECT_EQ(loadSettings(other.path()).quality, std::nullopt);
        EXPECT_TRUE(log.messages(spdlog::level::warn).empty());
        for (const std::string& line : log.messages(spdlog::level::info))
            EXPECT_EQ(line.find("quality"), std::string::npos) << line;
    }
}

TEST(Settings, MissingFilePrintsOneLineAndUsesDefaults) {
    testing::internal::CaptureStdout();
    Settings s = loadSettings("GAME_DATA/no_such_dir/settings.ini");
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "ERROR: Failed to load 'GAME_DATA/no_such_dir/settings.ini'. Using default values instead.\n");
    EXPECT_EQ(s.width, 800);
    EXPECT_EQ(s.height, 800);
    EXPECT_EQ(s.title, "Wardens of Hollowmere");
}

TEST(Settings, ShippedFileHoldsTheDefaults) {
    testing::internal::CaptureStdout();
    Settings s = loadSettings(kSettingsFile);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(s.width, 800);
    EXPECT_EQ(s.height, 800);
    EXPECT_EQ(s.refreshRate, 60);
    EXPECT_FALSE(s.fullscreen);
    EXPECT_FALSE(s.borderless);
    EXPECT_EQ(s.title, "Wardens of Hollowmere");
    EXPECT_DOUBLE_EQ(s.brightness, 1.0);
    EXPECT_FLOAT_EQ(s.volume, 1.0f);
    // The quality is left to the game's choice on the first start.
    EXPECT_EQ(s.quality, std::nullopt);
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// The chosen quality goes into the [graphics] section and every other line stays as it was.
TEST(Settings, StoreQualityKeepsTheFile) {
    const struct {
        const char* name;
        std::optional<std::string> before; // nothing: no file yet
        std::string after;
    } cases[] = {
        {"after the commented-out key", "[window]\nwidth = 640\n[graphics]\n; low: fast\n; quality = high\n",
         "[window]\nwidth = 640\n[graphics]\n; low: fast\n; quality = high\nquality = low\n"},
        {"over the key's own line", "[graphics]\nquality = high\n[sound]\nvolume = 1\n",
         "[graphics]\nquality = low\n[sound]\nvolume = 1\n"},
        {"at the end of the section", "[Graphics]\nother = 1\n\n[sound]\nvolume = 1\n",
         "[Graphics]\nother = 1\nquality = low\n\n[sound]\nvolume = 1\n"},
        {"in a new section", "[window]\nquality = high\nwidth = 640",
         "[window]\nquality = high\nwidth = 640\n\n[graphics]\nquality = low\n"},
        {"in a new file", std::nullopt, "[graphics]\nquality = low\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path path = fs::temp_directory_path() / ("hm_store_" + std::to_string(::getpid()) + ".ini");
        fs::remove(path);
        if (c.before)
            std::ofstream(path, std::ios::binary) << *c.before;
        EXPECT_TRUE(storeQuality(path.string(), RenderQuality::Low));
        EXPECT_EQ(readFile(path), c.after);
        EXPECT_EQ(loadSettings(path.string()).quality, RenderQuality::Low);
        fs::remove(path);
    }
    // A file that cannot be written: an error line, nothing made.
    test::LogCapture log;
    EXPECT_FALSE(storeQuality("/proc/hm_no_such_folder/settings.ini", RenderQuality::Low));
    EXPECT_EQ(log.messages(spdlog::level::err).size(), 1u);
}

// The first start picks the quality for the machine; only the player's own file remembers it.
TEST(Settings, QualityIsChosenAndWrittenOnce) {
    const fs::path folder = fs::temp_directory_path() / ("hm_quality_" + std::to_string(::getpid()));
    fs::create_directories(folder);
    const fs::path file = folder / "settings.ini";
    const std::string shipped = readFile(kSettingsFile);
    const char* llvmpipe = "llvmpipe (LLVM 15.0.6, 256 bits)";
    const char* card = "NVIDIA GeForce RTX 3060/PCIe/SSE2";

    struct Case {
        const char* name;
        bool playerSettings;
        const char* renderer;
        RenderQuality expected;
        bool written;
    };
    const Case cases[] = {
        {"the player's file on a software rasteriser", true, llvmpipe, RenderQuality::Low, true},
        {"the player's file on a graphics card", true, card, RenderQuality::High, true},
        {"a checkout's file is never written", false, llvmpipe, RenderQuality::Low, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::ofstream(file, std::ios::binary | std::ios::trunc) << shipped;
        GamePlaces places;
        places.settingsFile = file;
        places.playerSettings = c.playerSettings;
        test::LogCapture log;
        EXPECT_EQ(startQuality(loadSettings(file.string()), c.renderer, places), c.expected);
        EXPECT_TRUE(log.contains(std::string("The settings name no graphics quality; using ") +
                                 qualityName(c.expected) + ": " + chooseQuality(c.renderer).reason + "."));
        const std::string after = readFile(file);
        if (!c.written) {
            EXPECT_EQ(after, shipped);
            continue;
        }
        // One line more, everything else as shipped.
        const std::string line = std::string("quality = ") + qualityName(c.expected) + "\n";
        ASSERT_NE(after.find(line), std::string::npos);
        EXPECT_EQ(std::string(after).erase(after.find(line), line.size()), shipped);
        // The next start reads the choice and writes nothing; nor does it choose again.
        log.clear();
        EXPECT_EQ(startQuality(loadSettings(file.string()), llvmpipe, places), c.expected);
        EXPECT_EQ(readFile(file), after);
        EXPECT_TRUE(log.messages(spdlog::level::info).empty());
    }
    // A player's own choice stands on any machine.
    std::ofstream(file, std::ios::binary | std::ios::trunc) << "[graphics]\nquality = medium\n";
    GamePlaces places;
    places.settingsFile = file;
    places.playerSettings = true;
    EXPECT_EQ(startQuality(loadSettings(file.string()), llvmpipe, places), RenderQuality::Medium);
    EXPECT_EQ(readFile(file), "[graphics]\nquality = medium\n");
    fs::remove_all(folder);
}

} // namespace
} // namespace hm
