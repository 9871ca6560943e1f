#include "app/AssetLocations.h"

#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
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

} // namespace
} // namespace hm
