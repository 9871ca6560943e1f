#include "game/Replay.h"

#include "game/PlayRecorder.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace hm {
namespace {

namespace fs = std::filesystem;

Replay sample() {
    Replay replay;
    replay.level = "Vezaz";
    replay.digest = "0123456789abcdef";
    replay.recorded = "2025-03-02 18:04:11";
    replay.actions = {{0, "speed", 0, "2", 0},
                      {412, "build", 5, "CANNON", 0},
                      {412, "build", 7, "ARROW", 0},
                      {900, "target", 5, "", 0}};
    replay.steps = 8592;
    replay.result = "won lives=9 kills=18 time=143.2 resources=450 plan=C5,A7";
    return replay;
}

TEST(ReplayFormat, WhatIsWrittenReadsBackTheSame) {
    const Replay replay = sample();
    const std::string text = formatReplay(replay);
    EXPECT_EQ(text.substr(0, text.find('\n')), "hollowmere replay 1");
    ReplayError error;
    auto read = parseReplay(text, error);
    ASSERT_TRUE(read) << error.line << ": " << error.message;
    EXPECT_EQ(read->level, replay.level);
    EXPECT_EQ(read->digest, replay.digest);
    EXPECT_EQ(read->stepsPerSecond, 60);
    EXPECT_EQ(read->recorded, replay.recorded);
    EXPECT_EQ(read->actions, replay.actions);
    EXPECT_EQ(read->actions[1].line, 8) << "an action knows its line, for messages";
    EXPECT_EQ(read->steps, replay.steps);
    EXPECT_EQ(read->result, replay.result);

    // Windows line ends, comments, blank lines and spaces around '=' are all the same file.
    std::string loose;
    for (char c : text)
        loose += c == '\n' ? std::string("\r\n\n# note\r\n") : std::string(1, c);
    auto again = parseReplay(loose, error);
    ASSERT_TRUE(again) << error.line << ": " << error.message;
    EXPECT_EQ(again->actions, replay.actions);
    EXPECT_EQ(again->result, replay.result);
}

// Every way a file can be damaged is refused with the line that is wrong (0: the whole file).
TEST(ReplayFormat, DamagedFilesAreRefusedWithTheirLine) {
    const std::string head = "hollowmere replay 1\nlevel = Vezaz\n";
    const std::string tail = "steps = 100\nresult = lost\n";
    struct Case {
        std::string text;
        int line;
        const char* says;
    };
    const Case cases[] = {
        {"", 0, "empty"},
        {"level = Vezaz\n", 1, "not a replay"},
        {"hollowmere replay 2\n" + tail, 1, "version 2 is not known"},
        {"hollowmere replay one\n", 1, "not a number"},
        {head + "steps = 100\n", 0, "cut short"},
        {"hollowmere replay 1\n" + tail, 0, "no level"},
        {head + "action = 5 build 3\n" + tail, 3, "STEP VERB PLOT ARGUMENT"},
        {head + "action = 5  build 3 ARROW\n" + tail, 3, "STEP VERB PLOT ARGUMENT"},
        {head + "action = 9 build 3 ARROW\naction = 8 build 4 ARROW\n" + tail, 4, "before the step"},
        {head + "action = -1 build 3 ARROW\n" + tail, 3, "whole number"},
        {head + "action = 99999999999 build 3 ARROW\n" + tail, 3, "whole number"},
        {head + "action = 5 Build 3 ARROW\n" + tail, 3, "lower-case"},
        {head + "action = 5 build 3 AR/ROW\n" + tail, 3, "one word"},
        {head + "action = 5 build 99999 ARROW\n" + tail, 3, "plot"},
        {head + "action = 500 build 3 ARROW\n" + tail, 4, "fewer steps"},
        {head + tail + "action = 5 build 3 ARROW\n", 5, "after the steps"},
        {head + "level = Other\n" + tail, 3, "a second level"},
        {head + "digest = xyz\n" + tail, 3, "16 hexadecimal"},
        {head + "step = 1/0\n" + tail, 3, "1/N"},
        {head + "colour = red\n" + tail, 3, "unknown key"},
        {head + "just words\n" + tail, 3, "key = value"},
        {head + "result = w\x01n\n", 3, "control"},
        {head + "level2 = " + std::string(2000, 'x') + "\n" + tail, 3, "longer than"},
        {head + std::string("steps = 1\0\n", 11) + "result = lost\n", 0, "binary"},
        {"hollowmere replay 1\nlevel = ../../etc\n" + tail, 2, "level name"},
    };
    for (const Case& c : cases) {
        ReplayError error;
        EXPECT_FALSE(parseReplay(c.text, error)) << c.says;
        EXPECT_EQ(error.line, c.line) << c.says << ": " << error.message;
        EXPECT_NE(error.message.find(c.says), std::string::npos)
            << "expected \"" << c.says << "\" in \"" << error.message << "\"";
    }
}

class ReplayFiles : public testing::Test {
protected:
    void SetUp() override {
        folder = fs::temp_directory_path() / ("hm_replays_" + std::to_string(::getpid()));
        fs::remove_all(folder);
        fs::create_directories(folder);
        const char* data = std::getenv("XDG_DATA_HOME");
        if (data)
            savedDataHome = data;
        setenv("XDG_DATA_HOME", (folder / "data").c_str(), 1);
    }
    void TearDown() override {
        if (savedDataHome)
            setenv("XDG_DATA_HOME", savedDataHome->c_str(), 1);
        else
            unsetenv("XDG_DATA_HOME");
        fs::remove_all(folder);
    }
    static std::string read(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    std::vector<std::string> names(const fs::path& where) const {
        std::vector<std::string> list;
        for (const auto& entry : fs::directory_iterator(where))
            list.push_back(entry.path().filename().string());
        std::sort(list.begin(), list.end());
        return list;
    }

    fs::path folder;
    std::optional<std::string> savedDataHome;
};

TEST_F(ReplayFiles, WritingReplacesAFileWholeOrNotAtAll) {
    const fs::path path = folder / "play.txt";
    std::string reason;
    ASSERT_TRUE(writeReplayFile(path.string(), sample(), reason)) << reason;
    EXPECT_EQ(read(path), formatReplay(sample()));
    std::string message;
    auto back = readReplayFile(path.string(), message);
    ASSERT_TRUE(back) << message;
    EXPECT_EQ(back->actions, sample().actions);

    // A folder that does not exist: refused, and nothing is left behind.
    EXPECT_FALSE(writeReplayFile((folder / "nowhere" / "play.txt").string(), sample(), reason));
    EXPECT_FALSE(reason.empty());
    EXPECT_EQ(names(folder), std::vector<std::string>{"play.txt"});

    // Reading names the file, and the line when there is one.
    const std::string whole = formatReplay(sample());
    std::ofstream(folder / "cut.txt") << whole.substr(0, whole.find("steps ="));
    EXPECT_FALSE(readReplayFile((folder / "cut.txt").string(), message));
    EXPECT_EQ(message, (folder / "cut.txt").string() + ": no steps line (the file is cut short)");
    std::ofstream(folder / "bad.txt") << "hollowmere replay 1\nlevel = Vezaz\naction = x\n";
    EXPECT_FALSE(readReplayFile((folder / "bad.txt").string(), message));
    EXPECT_EQ(message.rfind((folder / "bad.txt").string() + ":3: ", 0), 0u) << message;
    EXPECT_FALSE(readReplayFile((folder / "missing.txt").string(), message));
    EXPECT_NE(message.find("no such replay file"), std::string::npos);
}

TEST_F(ReplayFiles, TheGameKeepsTheNewestFiftyUnderFreshNames) {
    const fs::path replays = folder / "data" / "hollowmere" / "replays";
    EXPECT_EQ(PlayRecorder::folder(), replays);
    fs::create_directories(replays);
    // Older plays of two levels, and a file of the player's own that must stay.
    for (int i = 0; i < 55; ++i)
        std::ofstream(replays / ((i % 2 ? "Vezaz-202401" : "Morrowfen-202401") + std::to_string(10 + i / 24) +
                                 "-1200" + (i % 24 < 10 ? "0" : "") + std::to_string(i % 24) + ".txt"))
            << "old";
    std::ofstream(replays / "notes.txt") << "mine";

    Replay replay = sample();
    const std::string first = PlayRecorder::saveToFolder(replay);
    const std::string second = PlayRecorder::saveToFolder(replay);
    EXPECT_EQ(first, (replays / "Vezaz-20250302-180411.txt").string());
    EXPECT_EQ(second, (replays / "Vezaz-20250302-180411-2.txt").string());
    EXPECT_EQ(read(first), formatReplay(replay));
    const std::vector<std::string> left = names(replays);
    EXPECT_EQ(left.size(), PlayRecorder::kKeptReplays + 1);
    EXPECT_TRUE(std::count(left.begin(), left.end(), "notes.txt"));
    EXPECT_TRUE(std::count(left.begin(), left.end(), "Vezaz-20250302-180411-2.txt"));
    EXPECT_FALSE(std::count(left.begin(), left.end(), "Morrowfen-20240110-120000.txt"))
        << "the oldest goes first";
}

TEST_F(ReplayFiles, AFolderThatCannotBeWrittenWarnsOnceAndThePlayGoesOn) {
    std::ofstream(folder / "data") << "a file where the folder should be";
    test::LogCapture log;
    EXPECT_EQ(PlayRecorder::saveToFolder(sample()), "");
    EXPECT_EQ(PlayRecorder::saveToFolder(sample()), "");
    const auto warnings = log.messages(spdlog::level::warn);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find((folder / "data" / "hollowmere" / "replays").string()), std::string::npos);
}

TEST_F(ReplayFiles, TheDigestFollowsEveryByteOfTheLevelsFiles) {
    const fs::path level = folder / "Level.ini";
    std::ofstream(level) << "[level]\nlives = 10\n";
    const std::string first = levelDataDigest(level.string(), "Vezaz.fbx");
    EXPECT_EQ(first.size(), 16u);
    EXPECT_EQ(levelDataDigest(level.string(), "Vezaz.fbx"), first);
    std::ofstream(level) << "[level]\nlives = 11\n";
    const std::string changed = levelDataDigest(level.string(), "Vezaz.fbx");
    EXPECT_NE(changed, first);
    EXPECT_NE(levelDataDigest(level.string(), "enemy_walking_stone_monster.fbx"), changed);
    fs::remove(level);
    EXPECT_NE(levelDataDigest(level.string(), "Vezaz.fbx"), changed)
        << "a missing file is not an unchanged one";
}

} // namespace
} // namespace hm
