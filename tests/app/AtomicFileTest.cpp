#include "app/AtomicFile.h"

#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace hm {
namespace {

std::string read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

TEST(AtomicFile, ReplacesWholeFilesAndKeepsLinks) {
    const fs::path folder = fs::temp_directory_path() / ("hm_atomic_" + std::to_string(::getpid()));
    fs::create_directories(folder);
    const fs::path file = folder / "settings.ini";

    EXPECT_TRUE(writeFileAtomically(file, "first\n"));
    EXPECT_EQ(read(file), "first\n");
    EXPECT_TRUE(writeFileAtomically(file, "second\n"));
    EXPECT_EQ(read(file), "second\n");

    // A link stays a link; its target gets the new contents.
    const fs::path link = folder / "linked.ini";
    fs::create_symlink(file, link);
    EXPECT_TRUE(writeFileAtomically(link, "third\n"));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(read(file), "third\n");

    // A folder that is not there: an error line naming the file, and nothing left behind.
    {
        test::LogCapture log;
        EXPECT_FALSE(writeFileAtomically(folder / "missing/settings.ini", "x"));
        ASSERT_EQ(log.messages(spdlog::level::err).size(), 1u);
        EXPECT_NE(log.messages(spdlog::level::err)[0].find((folder / "missing/settings.ini").string()),
                  std::string::npos);
    }
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"linked.ini", "settings.ini"}));
    fs::remove_all(folder);
}

} // namespace
} // namespace hm
