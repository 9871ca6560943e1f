#include "app/AssetLocations.h"

#include "support/LogCapture.h"
#include "support/ScopedEnvironment.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace hm {
namespace {

std::string notFoundLine(const std::string& location) {
    return "I couldn't find an asset file for the given location " + location + ".";
}

// A textures folder in a fresh temporary directory; the locator walks it.
class AssetLocatorTest : public testing::Test {
protected:
    void SetUp() override {
        static int counter = 0;
        root = fs::temp_directory_path() /
               ("hm_assets_" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
        textures = root / "textures";
        fs::create_directories(textures);
        base = textures.generic_string() + "/";
        for (const char* file : {"props/wood/planks.png", "a/wood/bark.png", "b/stone/bark.png", "c/tile.png",
                                 "d/tile.png", "sky/day/posx.png", "hud/towercards/ARROW/0.png"})
            touch(file);
    }
    void TearDown() override { fs::remove_all(root); }

    void touch(const std::string& relative) {
        const fs::path path = textures / relative;
        fs::create_directories(path.parent_path());
        std::ofstream(path) << "x";
    }

    fs::path root;
    fs::path textures;
    std::string base;
};

TEST_F(AssetLocatorTest, ResolvesLocationsByPathAndByName) {
    AssetLocator locator(base);
    struct Case {
        std::string location;
        AssetIndexKind kind;
        std::string expected;
    };
    const Case cases[] = {
        // Base-joined path exists.
        {"props/wood/planks.png", AssetIndexKind::Files, "props/wood/planks.png"},
        // Backslashes as written in model files.
        {"props\\wood\\planks.png", AssetIndexKind::Files, "props/wood/planks.png"},
        // Partial path: only the name matches, found once.
        {"wood/planks.png", AssetIndexKind::Files, "props/wood/planks.png"},
        {"planks.png", AssetIndexKind::Files, "props/wood/planks.png"},
        // Two files of that name: the longer shared tail wins, whichever was walked first.
        {"wood\\bark.png", AssetIndexKind::Files, "a/wood/bark.png"},
        {"stone/bark.png", AssetIndexKind::Files, "b/stone/bark.png"},
        // Folders come from the folder index, with or without a trailing separator.
        {"day", AssetIndexKind::Folders, "sky/day"},
        {"towercards\\ARROW\\", AssetIndexKind::Folders, "hud/towercards/ARROW"},
    };
    for (const Case& c : cases) {
        test::LogCapture log;
        EXPECT_EQ(locator.find(c.location, base, c.kind), c.expected) << c.location;
        EXPECT_TRUE(log.messages(spdlog::level::err).empty()) << c.location;
    }
}

TEST_F(AssetLocatorTest, EqualTailsPickTheFirstPathOfTheWalk) {
    AssetLocator locator(base);
    const auto& paths = locator.index(AssetIndexKind::Files).at("tile.png");
    ASSERT_EQ(paths.size(), 2u);
    const std::string firstMet = fs::path(paths[0]).lexically_relative(textures).generic_string();
    EXPECT_EQ(locator.find("tile.png", base, AssetIndexKind::Files), firstMet);
    EXPECT_EQ(locator.find("x/tile.png", base, AssetIndexKind::Files), firstMet);
}

TEST_F(AssetLocatorTest, UnknownLocationLogsOnceAndGivesEmpty) {
    AssetLocator locator(base);
    for (const std::string location : {"nothing.png", "wood/nothing.png", "", "planks.png/"}) {
        test::LogCapture log;
        const std::string found = locator.find(location, base, AssetIndexKind::Files);
        if (location == "planks.png/") {
            // A trailing separator is dropped; the name is still found.
            EXPECT_EQ(found, "props/wood/planks.png");
            continue;
        }
        EXPECT_EQ(found, "") << location;
        EXPECT_EQ(log.lines().size(), 1u) << location;
        EXPECT_EQ(log.count(notFoundLine(location)), 1u) << location;
    }
    // A file name is not a folder name.
    test::LogCapture log;
    EXPECT_EQ(locator.find("planks.png", base, AssetIndexKind::Folders), "");
    EXPECT_TRUE(log.contains(notFoundLine("planks.png")));
}

TEST_F(AssetLocatorTest, FileAddedLaterIsFoundOnlyByItsPath) {
    AssetLocator locator(base);
    EXPECT_EQ(locator.find("planks.png", base, AssetIndexKind::Files), "props/wood/planks.png");
    touch("late/new.png");
    {
        test::LogCapture log;
        EXPECT_EQ(locator.find("new.png", base, AssetIndexKind::Files), "");
        EXPECT_TRUE(log.contains(notFoundLine("new.png")));
    }
    EXPECT_EQ(locator.find("late/new.png", base, AssetIndexKind::Files), "late/new.png");
    const std::string spelled = (textures / "late/new.png").generic_string();
    EXPECT_EQ(locator.find(spelled, base, AssetIndexKind::Files), "late/new.png");
    // After an explicit refresh the name is known.
    locator.invalidate();
    EXPECT_EQ(locator.find("new.png", base, AssetIndexKind::Files), "late/new.png");
}

TEST_F(AssetLocatorTest, PathOutsideTheBaseIsExpressedWithParentSteps) {
    std::ofstream(root / "outside.png") << "x";
    AssetLocator locator(base);
    EXPECT_EQ(locator.find((root / "outside.png").generic_string(), base, AssetIndexKind::Files),
              "../outside.png");
}

TEST_F(AssetLocatorTest, MissingBaseFolderIsReported) {
    AssetLocator locator(base);
    test::LogCapture log;
    const std::string missingBase = (root / "gone").generic_string();
    // The name is found in the index but the base cannot be made canonical.
    EXPECT_EQ(locator.find("planks.png", missingBase, AssetIndexKind::Files), "");
    EXPECT_TRUE(log.contains("The file " + (textures / "props/wood/planks.png").generic_string() +
                             " doesn't seem to be inside the base-folder. That's an issue!"));
}

TEST_F(AssetLocatorTest, MissingIndexedFolderLeavesAnEmptyIndex) {
    const std::string missing = (root / "no_textures/").generic_string();
    AssetLocator locator(missing);
    test::LogCapture log;
    EXPECT_EQ(locator.find("planks.png", missing, AssetIndexKind::Files), "");
    ASSERT_EQ(log.messages(spdlog::level::err).size(), 2u);
    EXPECT_EQ(
        log.messages(spdlog::level::err)[0].rfind("The asset folder " + missing + " couldn't be indexed", 0),
        0u);
    EXPECT_TRUE(log.contains(notFoundLine("planks.png")));
}

// A temporary folder for the tests of where data and the player's files live.
class GamePlacesTest : public testing::Test {
protected:
    void SetUp() override {
        static int counter = 0;
        root = fs::temp_directory_path() /
               ("hm_places_" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
        fs::create_directories(root);
    }
    void TearDown() override { fs::remove_all(root); }

    fs::path folder(const std::string& relative) {
        fs::create_directories(root / relative);
        return root / relative;
    }
    void write(const fs::path& path, const std::string& contents) {
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << contents;
    }
    static std::string read(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream out;
        out << in.rdbuf();
        return out.str();
    }

    fs::path root;
};

TEST_F(GamePlacesTest, DataFolderChoice) {
    const fs::path checkout = folder("checkout");
    folder("checkout/GAME_DATA");
    const fs::path elsewhere = folder("elsewhere");
    folder("prefix/bin");
    const fs::path installed = folder("prefix/share/hollowmere/GAME_DATA");
    const fs::path program = root / "prefix/bin/hollowmere";
    const fs::path loneProgram = folder("lone/bin") / "hollowmere";
    const fs::path custom = folder("custom/GAME_DATA");
    folder("not_data/textures");
    const std::string ignored = "is neither a GAME_DATA folder nor a folder holding one; it is ignored.";

    struct Case {
        const char* name;
        std::optional<std::string> variable; // HOLLOWMERE_DATA; nothing: unset
        fs::path workingDirectory;
        fs::path executable;
        fs::path folder;
        DataOrigin origin;
        bool warned = false;
    };
    const Case cases[] = {
        {"a checkout: GAME_DATA below the working directory",
         {},
         checkout,
         program,
         "GAME_DATA",
         DataOrigin::WorkingDirectory},
        {"installed: beside the program", {}, elsewhere, program, installed, DataOrigin::Installed},
        {"nowhere", {}, elsewhere, loneProgram, "GAME_DATA", DataOrigin::NotFound},
        {"no program path", {}, elsewhere, fs::path(), "GAME_DATA", DataOrigin::NotFound},
        {"the variable names GAME_DATA, over a checkout", custom.string(), checkout, program, custom,
         DataOrigin::Environment},
        {"the variable names the folder holding it, with a slash", (root / "custom/").string(), elsewhere,
         program, custom, DataOrigin::Environment},
        {"a relative variable starts at the working directory", "../custom/GAME_DATA", checkout, program,
         custom, DataOrigin::Environment},
        {"an empty variable counts as unset", "", elsewhere, program, installed, DataOrigin::Installed},
        {"a folder without data is ignored", (root / "not_data").string(), checkout, program, "GAME_DATA",
         DataOrigin::WorkingDirectory, true},
        {"a missing folder is ignored", (root / "gone/GAME_DATA").string(), elsewhere, program, installed,
         DataOrigin::Installed, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::ScopedEnvironment environment;
        environment.set("HOLLOWMERE_DATA", c.variable ? c.variable->c_str() : nullptr);
        test::LogCapture log;
        const DataFolderChoice choice = chooseDataFolder(c.workingDirectory, c.executable);
        EXPECT_EQ(choice.folder, c.folder);
        EXPECT_EQ(choice.origin, c.origin);
        const auto warnings = log.messages(spdlog::level::warn);
        ASSERT_EQ(warnings.size(), c.warned ? 1u : 0u);
        if (c.warned) {
            EXPECT_EQ(warnings[0], "HOLLOWMERE_DATA=" + *c.variable + " " + ignored);
        }
    }
}

TEST_F(GamePlacesTest, UserFoldersFollowXdgWithHomeFallbacks) {
    const std::string home = (root / "home").string();
    struct Case {
        const char* name;
        const char* config; // the XDG variables' values; nullptr: unset
        const char* cache;
        const char* data;
        std::string expectedConfig, expectedCache, expectedData;
    };
    const Case cases[] = {
        {"all set", "/cfg", "/cache", "/data", "/cfg/hollowmere", "/cache/hollowmere", "/data/hollowmere"},
        {"unset", nullptr, nullptr, nullptr, home + "/.config/hollowmere", home + "/.cache/hollowmere",
         home + "/.local/share/hollowmere"},
        {"empty", "", "", "", home + "/.config/hollowmere", home + "/.cache/hollowmere",
         home + "/.local/share/hollowmere"},
        {"relative values are not used", "cfg", "./cache", "data", home + "/.config/hollowmere",
         home + "/.cache/hollowmere", home + "/.local/share/hollowmere"},
        {"mixed", "/cfg", nullptr, "", "/cfg/hollowmere", home + "/.cache/hollowmere",
         home + "/.local/share/hollowmere"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::ScopedEnvironment environment;
        environment.set("HOME", home)
            .set("XDG_CONFIG_HOME", c.config)
            .set("XDG_CACHE_HOME", c.cache)
            .set("XDG_DATA_HOME", c.data);
        EXPECT_EQ(userConfigFolder(), fs::path(c.expectedConfig));
        EXPECT_EQ(userCacheFolder(), fs::path(c.expectedCache));
        EXPECT_EQ(userDataFolder(), fs::path(c.expectedData));
    }
}

TEST_F(GamePlacesTest, FolderThatCannotBeWrittenIsNamedOnce) {
    const fs::path nested = root / "a/b/hollowmere";
    test::LogCapture log;
    EXPECT_TRUE(prepareWritableFolder(nested));
    EXPECT_TRUE(fs::is_directory(nested));
    EXPECT_TRUE(prepareWritableFolder(nested)); // already there
    EXPECT_TRUE(log.messages(spdlog::level::warn).empty());

    // Below a plain file no folder can be made, whoever runs the test (even root).
    write(root / "file", "x");
    const fs::path blocked = root / "file/hollowmere";
    EXPECT_FALSE(prepareWritableFolder(blocked, "progress is not saved"));
    EXPECT_FALSE(prepareWritableFolder(blocked, "progress is not saved"));
    const auto warnings = log.messages(spdlog::level::warn);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_EQ(warnings[0].rfind("The folder " + blocked.string() + " cannot be created or written (", 0), 0u);
    EXPECT_NE(warnings[0].find("); progress is not saved."), std::string::npos) << warnings[0];
    EXPECT_FALSE(prepareWritableFolder(root / "file", "x")); // a file is no folder
}

TEST_F(GamePlacesTest, PlayerFileIsCopiedOnTheFirstStartOnly) {
    const fs::path shipped = root / "data/settings.ini";
    write(shipped, "[window]\nwidth = 640\n");
    const fs::path own = folder("config/hollowmere") / "settings.ini";
    {
        test::LogCapture log;
        EXPECT_TRUE(providePlayerFile(own, shipped));
        EXPECT_EQ(read(own), "[window]\nwidth = 640\n");
        EXPECT_TRUE(log.contains("First start: made " + own.string() + " from " + shipped.string() + "."));
    }
    // The player's later changes stand; the shipped file is never touched.
    write(own, "[window]\nwidth = 1024\n");
    EXPECT_TRUE(providePlayerFile(own, shipped));
    EXPECT_EQ(read(own), "[window]\nwidth = 1024\n");
    EXPECT_EQ(read(shipped), "[window]\nwidth = 640\n");
    // Nothing to copy from: no file is made.
    const fs::path other = root / "config/other.ini";
    EXPECT_FALSE(providePlayerFile(other, root / "data/missing.ini"));
    EXPECT_FALSE(fs::exists(other));
    // Nowhere to copy to: a warning, and the game reads the shipped file.
    write(root / "file", "x");
    test::LogCapture log;
    EXPECT_FALSE(providePlayerFile(root / "file/settings.ini", shipped));
    EXPECT_EQ(log.messages(spdlog::level::warn).size(), 1u);
    // No temporary file is left beside the copies.
    for (const auto& entry : fs::directory_iterator(root / "config/hollowmere"))
        EXPECT_EQ(entry.path().filename(), "settings.ini");
}

} // namespace
} // namespace hm
