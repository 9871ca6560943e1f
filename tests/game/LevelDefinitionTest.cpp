#include "game/LevelDefinition.h"

#include "app/IniText.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace hm {
namespace {

const char* const kComplete = R"(; a level
[level]
name = The Fen      ; shown to the player
model = Fen.fbx
lives = 12
resources = 400
income = 7
income_interval = 2.5
two_stars = 6
three_stars = 11

[schedule]
floating = 1
walking = 5, 2
MASSIVE_STONE_MONSTER = 0.5 , 1
)";

TEST(LevelDefinition, ReadsEveryKeyAndTheScheduleWithRoadsAndLines) {
    std::vector<Finding> findings;
    const LevelDefinition level = parseLevelDefinition(kComplete, "Fen", "levels/Fen.ini", findings);
    EXPECT_TRUE(findings.empty()) << findings.front().text();
    EXPECT_TRUE(level.usable);
    EXPECT_EQ(level.name, "Fen");
    EXPECT_EQ(level.displayName, "The Fen");
    EXPECT_EQ(level.modelFile, "Fen.fbx");
    EXPECT_EQ(level.lives, 12);
    EXPECT_EQ(level.resources, 400);
    EXPECT_EQ(level.income, 7);
    EXPECT_FLOAT_EQ(level.incomeInterval, 2.5f);
    EXPECT_EQ(level.twoStars, 6);
    EXPECT_EQ(level.threeStars, 11);
    ASSERT_EQ(level.schedule.size(), 3u);
    EXPECT_EQ(level.schedule[0].type, EnemyType::FLOATING_STONE_MONSTER);
    EXPECT_EQ(level.schedule[0].road, 1);
    EXPECT_EQ(level.schedule[0].line, 13);
    EXPECT_EQ(level.schedule[1].type, EnemyType::WALKING_STONE_MONSTER);
    EXPECT_FLOAT_EQ(level.schedule[1].delay, 5.0f);
    EXPECT_EQ(level.schedule[1].road, 2);
    EXPECT_EQ(level.schedule[2].type, EnemyType::MASSIVE_STONE_MONSTER);
    EXPECT_EQ(level.schedule[2].road, 1);
}

// Each broken file: the finding it gives (line, severity, words of the message), whether the
// level can still be played, and what the broken key falls back to.
TEST(LevelDefinition, BrokenFilesNameTheLineAndKeepSoundValues) {
    struct Case {
        const char* text;
        int line;
        Severity severity;
        const char* message;
        bool usable;
    };
    const std::string header = "[level]\nname = X\nmodel = X.fbx\nlives = 10\nresources = 300\nincome = 5\n"
                               "income_interval = 2\ntwo_stars = 5\nthree_stars = 9\n";
    // The header fills lines 1 to 9; the case's text starts on line 10.
    const Case cases[] = {
        {"[schedule]\nwalkng = 1\n", 11, Severity::Error, "unknown monster kind \"walkng\"", false},
        {"[schedule]\nwalking = soon\n", 11, Severity::Error, "\"soon\" is not a number of seconds", false},
        {"[schedule]\nwalking = -1\n", 11, Severity::Error, "is not a number of seconds", false},
        {"[schedule]\nwalking = 1, 0\n", 11, Severity::Error, "road \"0\" is not a road number", false},
        {"[schedule]\nwalking = 1, two\n", 11, Severity::Error, "road \"two\"", false},
        {"[schedule]\n", 10, Severity::Error, "the schedule has no monsters", false},
        {"[schedule]\nthis is not a line\nwalking = 1\n", 11, Severity::Error, "key = value", true},
        {"[schedule\nwalking = 1\n", 10, Severity::Error, "[name]", true},
        {"[shedule]\nwalking = 1\n", 10, Severity::Warning, "unknown section [shedule]", true},
        {"[level]\nlifes = 3\n[schedule]\nwalking = 1\n", 11, Severity::Warning, "unknown key \"lifes\"",
         true},
        {"[schedule]\nwalking = 1\n[level]\nlives = 0\n", 13, Severity::Error,
         "lives \"0\" is not a whole number", true},
        {"[schedule]\nwalking = 1\n[level]\nmodel = ../secret.fbx\n", 13, Severity::Error, "not a file name",
         true},
        {"[schedule]\nwalking = 1\n[level]\nthree_stars = 2\n", 13, Severity::Error, "below two_stars", true},
        {"[schedule]\nwalking = 1\x01\n", 11, Severity::Error, "control characters", false},
    };
    for (const Case& c : cases) {
        std::vector<Finding> findings;
        const LevelDefinition level = parseLevelDefinition(header + c.text, "X", "X.ini", findings);
        const auto found = std::find_if(findings.begin(), findings.end(), [&](const Finding& f) {
            return f.line == c.line && f.severity == c.severity &&
                   f.message.find(c.message) != std::string::npos;
        });
        EXPECT_NE(found, findings.end())
            << "no finding '" << c.message << "' on line " << c.line << " for:\n"
            << c.text << (findings.empty() ? "" : "first: " + findings[0].text());
        EXPECT_EQ(level.usable, c.usable) << c.text;
        EXPECT_FALSE(level.schedule.empty())
            << "an unusable level still has the standard schedule: " << c.text;
        EXPECT_GE(level.lives, 1);
        EXPECT_LE(level.twoStars, level.threeStars);
    }
}

// A key left out takes the standard value, and the warning names file and key.
TEST(LevelDefinition, LeftOutKeysWarnAndTakeTheStandardValues) {
    std::vector<Finding> findings;
    const LevelDefinition level =
        parseLevelDefinition("[level]\nname = Bare\n", "Bare", "levels/Bare.ini", findings);
    EXPECT_TRUE(level.usable);
    EXPECT_EQ(level.modelFile, "Bare.fbx");
    EXPECT_EQ(level.lives, LevelDefinition::kStandardLives);
    EXPECT_EQ(level.resources, LevelDefinition::kStandardResources);
    EXPECT_EQ(level.income, LevelDefinition::kStandardIncome);
    EXPECT_EQ(level.schedule.size(), standardSchedule().size());
    std::string all;
    for (const Finding& finding : findings) {
        EXPECT_EQ(finding.severity, Severity::Warning);
        all += finding.text() + "\n";
    }
    for (const char* key :
         {"model", "lives", "resources", "income", "income_interval", "two_stars", "three_stars"})
        EXPECT_NE(all.find("levels/Bare.ini: warning: [level] " + std::string(key) + " is not set"),
                  std::string::npos)
            << key << " in:\n"
            << all;
    EXPECT_NE(all.find("no [schedule]"), std::string::npos);
}

TEST(LevelDefinition, StarsFollowTheThresholds) {
    LevelDefinition level;
    level.twoStars = 5;
    level.threeStars = 9;
    EXPECT_EQ(level.starsFor(false, 10), 0);
    EXPECT_EQ(level.starsFor(true, 1), 1);
    EXPECT_EQ(level.starsFor(true, 5), 2);
    EXPECT_EQ(level.starsFor(true, 9), 3);
}

TEST(LevelDefinition, TheFindingReadsLikeACompilerMessage) {
    EXPECT_EQ((Finding{Severity::Error, "a.ini", 14, "", "unknown monster kind \"walkng\""}.text()),
              "a.ini:14: error: unknown monster kind \"walkng\"");
    EXPECT_EQ((Finding{Severity::Warning, "m.fbx", 0, "node \"TowerBase[3]\"", "plot 0.4 units from the road"}
                   .text()),
              "m.fbx: node \"TowerBase[3]\": warning: plot 0.4 units from the road");
}

TEST(LevelDefinition, LongLinesAreReadWhole) {
    // Longer than the 200 bytes the INI library cuts lines at.
    const std::string name(300, 'n');
    std::vector<Finding> findings;
    const LevelDefinition level =
        parseLevelDefinition("[level]\nname = " + name + "\n", "L", "L.ini", findings);
    EXPECT_EQ(level.displayName, name);
}

TEST(LevelDefinition, UnreadableFilesAreFindingsAndNotPlayable) {
    std::vector<Finding> findings;
    const LevelDefinition level = readLevelFile("no/such/level.ini", "level", findings);
    EXPECT_FALSE(level.usable);
    ASSERT_EQ(findings.size(), 1u);
    EXPECT_NE(findings[0].text().find("no/such/level.ini: error: cannot be read"), std::string::npos);

    // A file far larger than any level is refused before it is read.
    const auto big = std::filesystem::temp_directory_path() / "hollowmere_big_level.ini";
    {
        std::ofstream out(big);
        out << "[schedule]\n";
        for (int i = 0; i < 200000; ++i)
            out << "walking = 1\n";
    }
    findings.clear();
    EXPECT_FALSE(readLevelFile(big.string(), "big", findings).usable);
    std::filesystem::remove(big);
    ASSERT_EQ(findings.size(), 1u);
    EXPECT_NE(findings[0].message.find("more than a level file can be"), std::string::npos);
}

TEST(LevelDefinition, LevelNamesArePlainFileStems) {
    for (const char* good : {"Vezaz", "morrow_fen-2"})
        EXPECT_TRUE(isLevelName(good)) << good;
    for (const char* bad : {"", "../Vezaz", "a/b", "a b", "Vezaz.ini", "x\n"})
        EXPECT_FALSE(isLevelName(bad)) << bad;
}

TEST(Campaign, ListsLevelsInOrderAndReportsTheRest) {
    std::vector<Finding> findings;
    const auto names = parseCampaign("[campaign]\nlevel = A\nlevel = B\nlevel = A\nlevel = ../C\nlvl = D\n",
                                     "campaign.ini", findings);
    EXPECT_EQ(names, (std::vector<std::string>{"A", "B"}));
    ASSERT_EQ(findings.size(), 3u);
    EXPECT_EQ(findings[0].line, 4);
    EXPECT_EQ(findings[1].line, 5);
    EXPECT_EQ(findings[1].severity, Severity::Error);
    EXPECT_EQ(findings[2].line, 6);
}

// Every shipped level reads without an error, and the campaign starts with a level that exists.
TEST(Campaign, ShippedLevelsReadClean) {
    const auto names = campaignLevels();
    ASSERT_FALSE(names.empty());
    for (const std::string& name : names) {
        std::vector<Finding> findings;
        const LevelDefinition level = readLevelFile(levelFilePath(name), name, findings);
        EXPECT_TRUE(level.usable) << name;
        for (const Finding& finding : findings)
            ADD_FAILURE() << finding.text();
    }
}

TEST(IniText, KeepsLinesRepeatsAndSections) {
    const IniText ini = parseIniText("\xEF\xBB\xBF; c\n[a]\nk = 1 ; note\nk = 2\n\n[b]\nx=y#z\n");
    ASSERT_EQ(ini.entries.size(), 3u);
    EXPECT_EQ(ini.entries[0].line, 3);
    EXPECT_EQ(ini.entries[0].value, "1");
    EXPECT_EQ(ini.find("a", "k")->value, "2");
    EXPECT_EQ(ini.find("b", "x")->value, "y#z") << "a comment starts after whitespace";
    EXPECT_EQ(ini.section("a").size(), 2u);
    EXPECT_TRUE(ini.problems.empty());
}

} // namespace
} // namespace hm
