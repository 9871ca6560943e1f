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

// An ASCII FBX holding only the given object links ("C" lines: child, then parent).
Bytes asciiLinks(const std::vector<std::pair<long, long>>& links) {
    std::string text = "; FBX 7.4.0 project file\nConnections:  {\n";
    for (const auto& [child, parent] : links)
        text += "\tC: \"OO\"," + std::to_string(child) + "," + std::to_string(parent) + "\n";
    text += "}\n";
    return Bytes(text.begin(), text.end());
}

// The binary form: one "C" record per link (kind "OO", 64-bit child and parent ids).
Bytes binaryLinks(const std::vector<std::pair<long, long>>& links) {
    Bytes out(std::begin("Kaydara FBX Binary  "), std::end("Kaydara FBX Binary  "));
    out.push_back(0x1a);
    out.push_back(0);
    put32(out, 7400);
    for (const auto& [child, parent] : links) {
        const std::uint32_t propertyBytes = (1 + 4 + 2) + 2 * (1 + 8);
        put32(out, static_cast<std::uint32_t>(out.size()) + 13 + 1 + propertyBytes);
        put32(out, 3);
        put32(out, propertyBytes);
        out.push_back(1);
        out.push_back('C');
        out.push_back('S');
        put32(out, 2);
        out.push_back('O');
        out.push_back('O');
        for (const long id : {child, parent}) {
            out.push_back('L');
            put32(out, static_cast<std::uint32_t>(id));
            put32(out, 0);
        }
    }
    out.insert(out.end(), 13, 0);
    return out;
}

// The parser follows object links recursively: a loop (an object its own ancestor) or a very
// deep chain would overflow its stack, so such files are refused before it sees them.
TEST(ModelLimits, ObjectLinksMustNotLoopOrNestTooDeep) {
    std::vector<std::pair<long, long>> deep, deepEnough;
    for (long id = 1; id <= static_cast<long>(kMaxModelHierarchyDepth) + 1; ++id)
        deep.emplace_back(id + 1, id);
    deepEnough.assign(deep.begin(), deep.end() - 1);
    struct Case {
        const char* what;
        std::vector<std::pair<long, long>> links;
        bool passes;
    };
    const Case cases[] = {
        {"a tree", {{20, 0}, {21, 20}, {11, 21}, {22, 0}}, true},
        {"one mesh and material shared by two nodes",
         {{20, 0}, {22, 0}, {10, 20}, {10, 22}, {50, 20}, {50, 22}},
         true},
        {"an object its own parent", {{30, 0}, {30, 30}}, false},
        {"two objects each the other's parent", {{20, 0}, {21, 20}, {20, 21}}, false},
        {"a loop of three below the root", {{1, 0}, {2, 1}, {3, 2}, {4, 3}, {2, 4}}, false},
        {"a chain as deep as allowed", deepEnough, true},
        {"a chain one link deeper", deep, false},
    };
    for (const Case& c : cases) {
        for (const bool binary : {false, true}) {
            ScratchModel model(binary ? binaryLinks(c.links) : asciiLinks(c.links));
            test::LogCapture log;
            EXPECT_EQ(checkModelLimits(model.path()), c.passes)
                << c.what << (binary ? " (binary)" : " (ASCII)");
            EXPECT_EQ(log.messages(spdlog::level::err).size(), c.passes ? 0u : 1u) << c.what;
        }
    }
}

// The parser reads tokens, not lines: a link anywhere in the text counts, and an id too large
// for 64 bits reads as 0.
TEST(ModelLimits, ObjectLoopsAreFoundWhereverTheParserFindsThem) {
    for (const std::string text :
         {"; FBX\n\tC: \"OO\",30,0*\tC: \"OO\",40,40\n", "; FBX\nC:\n\"OO\",\n7,\n7\n",
          "; FBX\nC: \"OO\",0,99999999999999999999\n"}) {
        ScratchModel model(Bytes(text.begin(), text.end()));
        test::LogCapture log;
        EXPECT_FALSE(checkModelLimits(model.path())) << text;
        EXPECT_EQ(log.messages(spdlog::level::err).size(), 1u) << text;
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
