#include "game/Progress.h"
#include "game/ProgressStore.h"

#include "app/AtomicFile.h"
#include "support/LogCapture.h"
#include "support/TempDataHome.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>

namespace hm {
namespace {

namespace fs = std::filesystem;

Progress progressOf(std::initializer_list<std::tuple<const char*, int, int>> levels) {
    Progress progress;
    for (const auto& [name, stars, lives] : levels)
        progress.record(name, stars, lives);
    return progress;
}

std::string readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeAll(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

// A fresh data home in the temporary folder, reached the way the game reaches it: through
// XDG_DATA_HOME. Nothing here touches the real home.
class ProgressStoreTest : public testing::Test {
protected:
    ProgressStoreTest() { fs::create_directories(folder); }

    std::vector<std::string> folderNames() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    test::TempDataHome dataHome;
    const fs::path home = dataHome.home();
    fs::path folder = home / "hollowmere";
    fs::path file = folder / "progress.ini";
    fs::path backup = folder / "progress.ini.bak";
};

TEST(Progress, TextRoundTripAndBestResult) {
    Progress progress;
    EXPECT_TRUE(progress.record("Vezaz", 2, 5));
    EXPECT_FALSE(progress.record("Vezaz", 1, 9)); // fewer stars is not better, whatever the lives
    EXPECT_FALSE(progress.record("Vezaz", 2, 5));
    EXPECT_TRUE(progress.record("Vezaz", 2, 6));
    EXPECT_TRUE(progress.record("Morrowfen", 3, 8));
    EXPECT_EQ(*progress.level("Vezaz"), (LevelProgress{2, 6}));
    EXPECT_EQ(progress.level("Cinderpass"), nullptr);

    ProgressProblem problem;
    const auto read = Progress::fromText(progress.toText(), problem);
    ASSERT_TRUE(read) << problem.reason;
    EXPECT_EQ(*read, progress);
    // Written by hand: comments, blanks, spaces and Windows line ends are fine.
    const auto byHand = Progress::fromText("# mine\r\n[progress]\r\n  version=1 \r\n\r\n[ level Vezaz ]\r\n"
                                           "lives=3 ; after the dragon\r\nstars = +2\t# best\r\n[end] ; done",
                                           problem);
    ASSERT_TRUE(byHand) << problem.reason;
    EXPECT_EQ(*byHand, progressOf({{"Vezaz", 2, 3}}));
}

TEST(Progress, Unlocking) {
    const std::vector<std::string> campaign = {"Vezaz", "Morrowfen", "Cinderpass"};
    const Progress none;
    EXPECT_TRUE(isUnlocked("Vezaz", campaign, none));
    EXPECT_FALSE(isUnlocked("Morrowfen", campaign, none));
    EXPECT_FALSE(isUnlocked("Elsewhere", campaign, none));
    // Played without a win (0 stars) opens nothing; a win opens the next level only.
    const Progress played = progressOf({{"Vezaz", 0, 0}});
    EXPECT_FALSE(isUnlocked("Morrowfen", campaign, played));
    const Progress won = progressOf({{"Vezaz", 1, 1}});
    EXPECT_TRUE(isUnlocked("Morrowfen", campaign, won));
    EXPECT_FALSE(isUnlocked("Cinderpass", campaign, won));
}

struct DamagedCase {
    const char* name;
    std::string text;
    bool newer = false;
};

std::string randomBytes(std::size_t count, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(count, '\0');
    for (char& c : bytes)
        c = static_cast<char>(random() & 0xff);
    return bytes;
}

std::vector<DamagedCase> damagedCases() {
    const std::string good = progressOf({{"Vezaz", 3, 9}, {"Morrowfen", 2, 5}}).toText();
    std::vector<DamagedCase> cases = {
        {"empty", ""},
        {"only blanks and comments", "\n; nothing\n\n"},
        {"random bytes", randomBytes(300, 7)},
        {"random bytes with the right start", "[progress]\nversion = 1\n" + randomBytes(200, 8)},
        {"a zero byte inside",
         "[progress]\nversion = 1\n[level Vezaz]\nstars = 3" + std::string(1, '\0') + "\nlives = 9\n[end]\n"},
        {"newer version", "[progress]\nversion = 2\n[galaxy Vezaz]\nstars = 7\n", true},
        {"version zero", "[progress]\nversion = 0\n[end]\n"},
        {"version not a number", "[progress]\nversion = one\n[end]\n"},
        {"no version", "[progress]\n[end]\n"},
        {"no header", "[level Vezaz]\nstars = 3\nlives = 9\n[end]\n"},
        {"stars above three", "[progress]\nversion = 1\n[level Vezaz]\nstars = 4\nlives = 9\n[end]\n"},
        {"negative stars", "[progress]\nversion = 1\n[level Vezaz]\nstars = -1\nlives = 9\n[end]\n"},
        {"stars not a number", "[progress]\nversion = 1\n[level Vezaz]\nstars = 3.5\nlives = 9\n[end]\n"},
        {"stars overflow",
         "[progress]\nversion = 1\n[level Vezaz]\nstars = 99999999999999\nlives = 9\n[end]\n"},
        {"lives out of range", "[progress]\nversion = 1\n[level Vezaz]\nstars = 3\nlives = 100000\n[end]\n"},
        {"lives missing", "[progress]\nversion = 1\n[level Vezaz]\nstars = 3\n[end]\n"},
        {"a level twice", "[progress]\nversion = 1\n[level Vezaz]\nstars = 3\nlives = 9\n"
                          "[level Vezaz]\nstars = 1\nlives = 1\n[end]\n"},
        {"a key twice", "[progress]\nversion = 1\n[level Vezaz]\nstars = 3\nstars = 1\nlives = 9\n[end]\n"},
        {"unknown key", "[progress]\nversion = 1\n[level Vezaz]\nstars = 3\nlives = 9\nscore = 5\n[end]\n"},
        {"not a level name", "[progress]\nversion = 1\n[level ../../x]\nstars = 3\nlives = 9\n[end]\n"},
        {"unknown section", "[progress]\nversion = 1\n[bonus]\n[end]\n"},
        {"text after the end", good + "[level Cinderpass]\nstars = 3\nlives = 9\n"},
        {"unclosed section", "[progress]\nversion = 1\n[level Vezaz\n"},
    };
    // Cut short anywhere, even inside the last number or just before the final line.
    for (std::size_t cut : {good.find("[progress]") + 5, good.find("[level"), good.find("lives = 9") + 8,
                            good.rfind("[end]") + 4})
        cases.push_back({"cut short", good.substr(0, cut)});
    return cases;
}

TEST(Progress, DamagedTextIsRefusedWithItsLine) {
    for (const DamagedCase& c : damagedCases()) {
        ProgressProblem problem;
        EXPECT_FALSE(Progress::fromText(c.text, problem)) << c.name;
        EXPECT_FALSE(problem.reason.empty()) << c.name;
        EXPECT_EQ(problem.newerVersion, c.newer) << c.name;
    }
    ProgressProblem problem;
    Progress::fromText("[progress]\nversion = 1\n\n[level Vezaz]\nstars = 4\n", problem);
    EXPECT_EQ(problem.line, 5);
}

// Levels of another campaign (a later game's, say) are not damage: they are read and kept.
TEST_F(ProgressStoreTest, LevelsThisGameDoesNotHaveAreKept) {
    writeAll(file,
             "[progress]\nversion = 1\n[level Faraway]\nstars = 2\nlives = 3\n[level Vezaz]\nstars = 1\n"
             "lives = 2\n[end]\n");
    ProgressStore store;
    EXPECT_EQ(*store.progress().level("Faraway"), (LevelProgress{2, 3}));
    ASSERT_TRUE(store.recordWin("Vezaz", 3, 9));
    ProgressStore again;
    EXPECT_EQ(again.progress(), progressOf({{"Faraway", 2, 3}, {"Vezaz", 3, 9}}));
}

TEST_F(ProgressStoreTest, TheFileLivesInTheDataHomeAndHomeIsTheFallback) {
    EXPECT_EQ(ProgressStore().path(), file.string());
    test::ScopedEnv noXdg("XDG_DATA_HOME", std::nullopt);
    test::ScopedEnv home("HOME", this->home.string());
    EXPECT_EQ(ProgressStore().path(), (this->home / ".local/share/hollowmere/progress.ini").string());
    test::ScopedEnv relative("XDG_DATA_HOME", "relative/path");
    EXPECT_EQ(ProgressStore().path(), (this->home / ".local/share/hollowmere/progress.ini").string());
}

TEST_F(ProgressStoreTest, AWinIsSavedAndTheFormerFileBecomesTheBackup) {
    fs::remove_all(folder); // the folder is made on the first save
    {
        ProgressStore store;
        EXPECT_TRUE(store.progress().empty());
        EXPECT_TRUE(store.recordWin("Vezaz", 2, 5));
        EXPECT_FALSE(store.recordWin("Vezaz", 1, 10)); // not better: nothing written
        EXPECT_TRUE(store.recordWin("Morrowfen", 1, 2));
    }
    EXPECT_EQ(ProgressStore().progress(), progressOf({{"Vezaz", 2, 5}, {"Morrowfen", 1, 2}}));
    ProgressProblem problem;
    EXPECT_EQ(Progress::fromText(readAll(backup), problem), progressOf({{"Vezaz", 2, 5}}));
    EXPECT_EQ(folderNames(), (std::vector<std::string>{"progress.ini", "progress.ini.bak"}));
}

TEST_F(ProgressStoreTest, ADamagedFileIsKeptAsideAndTheBackupTakesOver) {
    const Progress saved = progressOf({{"Vezaz", 3, 9}});
    for (const DamagedCase& c : damagedCases()) {
        SCOPED_TRACE(c.name);
        fs::remove_all(folder);
        fs::create_directories(folder);
        writeAll(backup, saved.toText());
        writeAll(file, c.text);
        test::LogCapture log;
        ProgressStore store;
        EXPECT_EQ(store.progress(), saved);
        const std::string aside = file.string() + (c.newer ? ".newer-1" : ".damaged-1");
        ASSERT_EQ(log.messages(spdlog::level::warn).size(), 1u);
        EXPECT_NE(log.messages(spdlog::level::warn)[0].find(file.string()), std::string::npos);
        EXPECT_NE(log.messages(spdlog::level::warn)[0].find(aside), std::string::npos);
        EXPECT_EQ(readAll(aside), c.text);
        EXPECT_FALSE(fs::exists(file));

        // The next win is written beside the kept file, and the backup is left as it was.
        ASSERT_TRUE(store.recordWin("Morrowfen", 1, 1));
        EXPECT_EQ(readAll(aside), c.text);
        EXPECT_EQ(readAll(backup), saved.toText());
    }
}

TEST_F(ProgressStoreTest, WithoutAGoodBackupProgressStartsAfresh) {
    writeAll(file, "[progress]\nversion = 1\n[level Vezaz]\nstars = 9\n");
    writeAll(backup, randomBytes(100, 3));
    test::LogCapture log;
    ProgressStore store;
    EXPECT_TRUE(store.progress().empty());
    EXPECT_TRUE(log.contains("Progress starts afresh."));
    EXPECT_EQ(folderNames(),
              (std::vector<std::string>{"progress.ini.bak.damaged-1", "progress.ini.damaged-1"}));
    // A second damaged file does not take the first one's place.
    writeAll(file, "nonsense");
    ProgressStore().progress();
    EXPECT_TRUE(fs::exists(folder / "progress.ini.damaged-2"));
    EXPECT_EQ(readAll(folder / "progress.ini.damaged-1"),
              "[progress]\nversion = 1\n[level Vezaz]\nstars = 9\n");
}

// A file that went bad while the game ran is not made the backup, and not lost.
TEST_F(ProgressStoreTest, AFileDamagedSinceLoadingNeverBecomesTheBackup) {
    ProgressStore store;
    ASSERT_TRUE(store.recordWin("Vezaz", 1, 1));
    ASSERT_TRUE(store.recordWin("Vezaz", 2, 5));
    const std::string goodBackup = readAll(backup);
    writeAll(file, "[progress]\nversion = 1\n[level Vez");
    ASSERT_TRUE(store.recordWin("Vezaz", 3, 9));
    EXPECT_EQ(readAll(backup), goodBackup);
    EXPECT_EQ(readAll(folder / "progress.ini.damaged-1"), "[progress]\nversion = 1\n[level Vez");
    EXPECT_EQ(ProgressStore().progress(), progressOf({{"Vezaz", 3, 9}}));
}

// The game dies after the new file is written and before it is renamed into place: the old
// progress is what the next start reads, and the leftover is cleared once it is stale.
TEST_F(ProgressStoreTest, ACrashBetweenWriteAndRenameLeavesTheOldProgress) {
    ProgressStore store;
    ASSERT_TRUE(store.recordWin("Vezaz", 2, 5));
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        AtomicFileWriter writer(file.string());
        const bool written = writer.write(progressOf({{"Vezaz", 3, 9}}).toText());
        ::_exit(written ? 0 : 1); // no destructor runs, as in a crash
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    ASSERT_EQ(folderNames().size(), 2u); // the file and the orphaned temporary file

    EXPECT_EQ(ProgressStore().progress(), progressOf({{"Vezaz", 2, 5}}));
    EXPECT_EQ(folderNames().size(), 2u); // too young to be sure it is abandoned
    for (const auto& entry : fs::directory_iterator(folder))
        fs::last_write_time(entry.path(), fs::file_time_type::clock::now() - std::chrono::hours(1));
    EXPECT_EQ(ProgressStore().progress(), progressOf({{"Vezaz", 2, 5}}));
    EXPECT_EQ(folderNames(), (std::vector<std::string>{"progress.ini"}));
}

// A file that cannot be read may be good: it is never written over. (A link to itself stands
// in for a file without read permission, which root, running the tests, would still read.)
TEST_F(ProgressStoreTest, AnUnreadableFileIsLeftAlone) {
    fs::create_symlink("progress.ini", file);
    test::LogCapture log;
    ProgressStore store;
    EXPECT_TRUE(store.progress().empty());
    EXPECT_FALSE(store.recordWin("Vezaz", 1, 1));
    EXPECT_TRUE(store.progress().won("Vezaz"));
    EXPECT_TRUE(fs::is_symlink(file));
    EXPECT_EQ(folderNames(), (std::vector<std::string>{"progress.ini"}));
    EXPECT_EQ(log.messages(spdlog::level::warn).size(), 2u); // the file, and that nothing is saved
}

// Something else in the file's place is moved aside like a damaged file.
TEST_F(ProgressStoreTest, AFolderInTheFilesPlaceIsMovedAside) {
    fs::create_directory(file);
    ProgressStore store;
    EXPECT_TRUE(store.progress().empty());
    EXPECT_TRUE(fs::is_directory(folder / "progress.ini.damaged-1"));
    EXPECT_TRUE(store.recordWin("Vezaz", 1, 1));
}

TEST_F(ProgressStoreTest, AFolderThatCannotBeWrittenGivesOneWarningAndTheGamePlaysOn) {
    // A file where the data folder should be: nobody, not even root, can make the folder.
    fs::remove_all(home);
    fs::create_directories(home.parent_path());
    writeAll(home, "not a folder");
    test::LogCapture log;
    ProgressStore store;
    EXPECT_TRUE(store.progress().empty());
    EXPECT_FALSE(store.recordWin("Vezaz", 2, 5));
    EXPECT_FALSE(store.recordWin("Morrowfen", 3, 9));
    EXPECT_FALSE(store.savingEnabled());
    // The wins still count for this run: the next level opens.
    EXPECT_TRUE(store.progress().won("Morrowfen"));
    ASSERT_EQ(log.messages(spdlog::level::warn).size(), 1u);
    EXPECT_NE(log.messages(spdlog::level::warn)[0].find(folder.string()), std::string::npos);
    fs::remove(home);
}

} // namespace
} // namespace hm
