// The check of a model file's counts against its size, before the parser sees it.
#include "import/ModelLimits.h"

#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>

namespace hm {
namespace {

namespace fs = std::filesystem;

using Bytes = std::vector<std::uint8_t>;

void put32(Bytes& out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

// A binary FBX (version 7400, 32-bit offsets) with one record "Vertices" holding one array
// property of type 'd': count elements, the encoding (1 = zlib) and stored bytes that follow.
Bytes binaryFbx(std::uint32_t count, std::uint32_t encoding, std::uint32_t stored) {
    Bytes out(std::begin("Kaydara FBX Binary  "), std::end("Kaydara FBX Binary  ")); // ends with \0
    out.push_back(0x1a);
    out.push_back(0);
    put32(out, 7400);
    const std::string name = "Vertices";
    const std::uint32_t propertyBytes = 1 + 12 + stored;
    const std::uint32_t recordEnd = static_cast<std::uint32_t>(out.size()) + 13 + name.size() + propertyBytes;
    put32(out, recordEnd);
    put32(out, 1);
    put32(out, propertyBytes);
    out.push_back(static_cast<std::uint8_t>(name.size()));
    out.insert(out.end(), name.begin(), name.end());
    out.push_back('d');
    put32(out, count);
    put32(out, encoding);
    put32(out, stored);
    out.insert(out.end(), stored, 0);
    out.insert(out.end(), 13, 0); // end of the top-level list
    return out;
}

class ScratchModel {
public:
    explicit ScratchModel(const Bytes& bytes)
        : path_(fs::temp_directory_path() / ("hm_limits_" + std::to_string(::getpid()) + ".fbx")) {
        std::ofstream(path_, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    ~ScratchModel() { fs::remove(path_); }
    std::string path() const { return path_.string(); }

private:
    fs::path path_;
};

TEST(ModelLimits, CountsMustFitTheFile) {
    const std::string ascii = "; FBX 7.4.0 project file\nVertices: *12 {\n a: 0,0,0,1,1,1,2,2,2,3,3,3\n}\n";
    const std::string asciiHuge = "; FBX 7.4.0 project file\nVertices: *999999999 {\n a: 0\n}\n";
    Bytes truncated = binaryFbx(4, 0, 32);
    truncated.resize(truncated.size() - 30);
    const struct {
        const char* name;
        Bytes bytes;
        bool accepted;
        const char* reason;
    } cases[] = {
        {"plain array", binaryFbx(4, 0, 32), true, ""},
        {"compressed array within zlib's ratio", binaryFbx(1000, 1, 16), true, ""},
        {"plain array with a wrong count", binaryFbx(5, 0, 32), false, "does not match its element count"},
        {"compressed array claiming a billion elements", binaryFbx(1000000000, 1, 16), false,
         "claims 1000000000 elements"},
        {"record cut off", truncated, false, "outside its parent"},
        {"ASCII array", Bytes(ascii.begin(), ascii.end()), true, ""},
        {"ASCII array count beyond the file", Bytes(asciiHuge.begin(), asciiHuge.end()), false,
         "array count of 999999999"},
        {"not a model at all", Bytes{1, 2, 3}, true, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchModel file(c.bytes);
        test::LogCapture log;
        EXPECT_EQ(checkModelLimits(file.path()), c.accepted);
        const auto errors = log.messages(spdlog::level::err);
        if (c.accepted) {
            EXPECT_TRUE(errors.empty());
        } else {
            ASSERT_EQ(errors.size(), 1u);
            EXPECT_NE(errors[0].find(file.path()), std::string::npos) << errors[0];
            EXPECT_NE(errors[0].find(c.reason), std::string::npos) << errors[0];
        }
    }
}

TEST(ModelLimits, EveryShippedModelAndFixturePasses) {
    test::LogCapture log;
    for (const char* folder : {"GAME_DATA/models", "tests/fixtures"}) {
        for (const auto& entry : fs::directory_iterator(folder)) {
            if (entry.path().extension() == ".fbx") {
                EXPECT_TRUE(checkModelLimits(entry.path().string())) << entry.path();
            }
        }
    }
    EXPECT_TRUE(log.messages(spdlog::level::err).empty());
}

TEST(ModelLimits, OversizedFilesAreRefusedWithoutBeingRead) {
    const fs::path path =
        fs::temp_directory_path() / ("hm_limits_big_" + std::to_string(::getpid()) + ".fbx");
    { std::ofstream(path, std::ios::binary) << "Kaydara"; }
    fs::resize_file(path, kMaxModelFileBytes + 1); // sparse: costs no disk
    test::LogCapture log;
    EXPECT_FALSE(checkModelLimits(path.string()));
    EXPECT_EQ(log.messages(spdlog::level::err).size(), 1u);
    fs::remove(path);
}

} // namespace
} // namespace hm
