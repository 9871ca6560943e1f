// The check of a model file's counts against its size, before the parser sees it.
#include "import/ModelLimits.h"

#include "import/ModelImporter.h"
#include "render/Mesh.h"
#include "render/MeshNode.h"
#include "render/RenderDevice.h"
#include "scene/Scene.h"
#include "support/LogCapture.h"

#include <glm/geometric.hpp>
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

template <typename T> void putValue(Bytes& out, T value) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(&value);
    out.insert(out.end(), bytes, bytes + sizeof value);
}

// One property of a binary FBX record: its type code and the bytes that follow the code.
struct Property {
    char type;
    Bytes bytes;
};

template <typename T> Property scalar(char type, T value) {
    Property p{type, {}};
    putValue(p.bytes, value);
    return p;
}

// S and R: a 32-bit length, then the bytes.
Property text(char type, const std::string& value) {
    Property p{type, Bytes(4 + value.size())};
    const auto length = static_cast<std::uint32_t>(value.size());
    std::memcpy(p.bytes.data(), &length, 4);
    std::memcpy(p.bytes.data() + 4, value.data(), value.size());
    return p;
}

// An array: element count, encoding (0 plain, 1 zlib), stored byte count, then the stored bytes.
Property array(char type, std::uint32_t count, std::uint32_t encoding, const Bytes& stored) {
    Property p{type, {}};
    put32(p.bytes, count);
    put32(p.bytes, encoding);
    put32(p.bytes, static_cast<std::uint32_t>(stored.size()));
    p.bytes.insert(p.bytes.end(), stored.begin(), stored.end());
    return p;
}

template <typename T> Property array(char type, const std::vector<T>& values) {
    Bytes stored;
    for (const T value : values)
        putValue(stored, value);
    return array(type, static_cast<std::uint32_t>(values.size()), 0, stored);
}

struct Record {
    std::string name;
    std::vector<Property> properties;
    std::vector<Record> children;
};

// A binary FBX: the header, the records, the empty record that ends the top level. Versions from
// 7500 on write 64-bit offsets and counts.
class BinaryWriter {
public:
    explicit BinaryWriter(std::uint32_t version) : wide_(version >= 7500) {
        out_.assign(std::begin("Kaydara FBX Binary  "), std::end("Kaydara FBX Binary  ")); // ends with \0
        out_.push_back(0x1a);
        out_.push_back(0);
        put32(out_, version);
    }

    Bytes file(const std::vector<Record>& records) && {
        for (const Record& record : records)
            write(record);
        out_.insert(out_.end(), wide_ ? 25 : 13, 0);
        return std::move(out_);
    }

private:
    void putOffset(std::size_t at, std::uint64_t value) {
        for (std::size_t i = 0; i < (wide_ ? 8u : 4u); ++i)
            out_[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }

    void write(const Record& record) {
        const std::size_t start = out_.size(), word = wide_ ? 8 : 4;
        out_.insert(out_.end(), 3 * word, 0); // end, property count, property bytes: filled in below
        out_.push_back(static_cast<std::uint8_t>(record.name.size()));
        out_.insert(out_.end(), record.name.begin(), record.name.end());
        const std::size_t propertiesAt = out_.size();
        for (const Property& property : record.properties) {
            out_.push_back(static_cast<std::uint8_t>(property.type));
            out_.insert(out_.end(), property.bytes.begin(), property.bytes.end());
        }
        putOffset(start + word, record.properties.size());
        putOffset(start + 2 * word, out_.size() - propertiesAt);
        if (!record.children.empty()) {
            for (const Record& child : record.children)
                write(child);
            out_.insert(out_.end(), 3 * word + 1, 0);
        }
        putOffset(start, out_.size());
    }

    bool wide_;
    Bytes out_;
};

Bytes binaryFbx(const std::vector<Record>& records, std::uint32_t version = 7400) {
    return BinaryWriter(version).file(records);
}

// A binary FBX (version 7400, 32-bit offsets) with one record "Vertices" holding one array
// property of type 'd': count elements, the encoding (1 = zlib) and stored bytes that follow.
Bytes binaryFbx(std::uint32_t count, std::uint32_t encoding, std::uint32_t stored) {
    return binaryFbx({{"Vertices", {array('d', count, encoding, Bytes(stored, 0))}, {}}});
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
    std::vector<Record> records;
    for (const auto& [child, parent] : links)
        records.push_back(
            {"C",
             {text('S', "OO"), scalar('L', std::int64_t(child)), scalar('L', std::int64_t(parent))},
             {}});
    return binaryFbx(records);
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

// One property of every type the binary format has, as other modelling tools write them.
std::vector<std::pair<const char*, Property>> everyPropertyType() {
    using namespace std::string_literals;
    return {
        {"Y int16", scalar('Y', std::int16_t(-3))},
        {"C bool", scalar('C', std::uint8_t('T'))},
        {"I int32", scalar('I', std::int32_t(7400))},
        {"F float32", scalar('F', 0.5f)},
        {"D float64", scalar('D', 0.25)},
        {"L int64", scalar('L', std::int64_t(1) << 40)},
        {"f float32 array", array('f', std::vector<float>{1.0f, 2.0f, 3.0f})},
        {"d float64 array", array('d', std::vector<double>{1.0, 2.0})},
        {"l int64 array", array('l', std::vector<std::int64_t>{5, -6})},
        {"i int32 array", array('i', std::vector<std::int32_t>{0, 1, -3})},
        {"b bool array", array('b', std::vector<std::uint8_t>{1, 0, 1})},
        {"c byte array", array('c', std::vector<std::uint8_t>{'x', 'y', 'z', 0})},
        {"c byte array, compressed",
         array('c', 4096, 1, Bytes{0x78, 0x9c, 0x63, 0x18, 0x05, 0, 0, 0x10, 0, 1})},
        {"S string", text('S', "Cube\0\1Model"s)},
        {"R raw data", text('R', "\x89PNG\r\n\x1a\n"s)},
    };
}

// Files from other modelling tools use property types that Blender's exporter never writes.
// Each passes in a record of its own, followed by another property and a child record, in both
// the 32-bit (7400) and 64-bit (7500) layout; and the scan really reads past it: a damaged array
// after it is still found.
TEST(ModelLimits, EveryPropertyTypeOfTheBinaryFormatPasses) {
    const Property damaged = array('d', 1000000000, 1, Bytes(16, 0));
    for (const std::uint32_t version : {7400u, 7500u}) {
        for (const auto& [name, property] : everyPropertyType()) {
            SCOPED_TRACE(std::string(name) + ", version " + std::to_string(version));
            const Record inner{"Inner", {property}, {}};
            {
                ScratchModel file(binaryFbx(
                    {{"Probe", {property, array('i', std::vector<std::int32_t>{1, 2})}, {inner}}}, version));
                test::LogCapture log;
                EXPECT_TRUE(checkModelLimits(file.path()));
                EXPECT_TRUE(log.messages(spdlog::level::err).empty());
            }
            ScratchModel file(binaryFbx({{"Probe", {property, damaged}, {inner}}}, version));
            test::LogCapture log;
            EXPECT_FALSE(checkModelLimits(file.path()));
            const auto errors = log.messages(spdlog::level::err);
            ASSERT_EQ(errors.size(), 1u);
            EXPECT_NE(errors[0].find("claims 1000000000 elements"), std::string::npos) << errors[0];
        }
    }
}

// What the check cannot judge it leaves to the parser; what cannot be true it still refuses.
TEST(ModelLimits, UnknownRecordsAreLeftToTheParser) {
    Property unknown{'Z', {1, 2, 3, 4, 5}};
    // An array of an unknown encoding whose stored bytes reach past its record.
    Property pastRecord{'c', {}};
    for (const std::uint32_t word : {4u, 2u, 1000u})
        put32(pastRecord.bytes, word);
    pastRecord.bytes.insert(pastRecord.bytes.end(), 4, 0);
    const Record badChild{"Inner", {array('d', 1000000000, 1, Bytes(16, 0))}, {}};
    const struct {
        const char* name;
        Record record;
        const char* refusal; // empty: accepted
    } cases[] = {
        {"an unknown type code, then bytes of any kind", {"Probe", {unknown, unknown}, {}}, ""},
        {"an array of an unknown encoding",
         {"Probe", {array('f', 3, 2, Bytes(5, 0)), scalar('I', 1)}, {}},
         ""},
        {"an unknown type code before a damaged child",
         {"Probe", {unknown}, {badChild}},
         "claims 1000000000"},
        {"an array of an unknown encoding past its record",
         {"Probe", {pastRecord}, {}},
         "reaches past its record"},
        {"a byte array with a wrong count", {"Probe", {array('c', 5, 0, Bytes(4, 0))}, {}}, "does not match"},
        {"a compressed byte array claiming a billion elements",
         {"Probe", {array('c', 1000000000, 1, Bytes(16, 0))}, {}},
         "claims 1000000000"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchModel file(binaryFbx({c.record}));
        test::LogCapture log;
        const bool accepted = *c.refusal == '\0';
        EXPECT_EQ(checkModelLimits(file.path()), accepted);
        const auto errors = log.messages(spdlog::level::err);
        ASSERT_EQ(errors.size(), accepted ? 0u : 1u);
        if (!accepted) {
            EXPECT_NE(errors[0].find(c.refusal), std::string::npos) << errors[0];
        }
    }
}

class ImportScene : public Scene {
public:
    ImportScene() : Scene("import") {}
    void load() override {}
};

// A cube (8 corners, 6 quads) as another tool writes it: a binary file whose geometry carries a
// byte array and no normals, beside a record with a property of every type. It passes the check
// and the importer reads it: 6 quads make 12 triangles, with normals of its own making (unit
// length, so light reaches every face).
TEST(ModelLimits, AnotherToolsCubePassesAndImports) {
    const std::vector<double> corners{-1, -1, -1, 1, -1, -1, 1, 1, -1, -1, 1, -1,
                                      -1, -1, 1,  1, -1, 1,  1, 1, 1,  -1, 1, 1};
    // Each quad's last index is stored as its complement.
    const std::vector<std::int32_t> quads{0, 3, 2, ~1, 4, 5, 6, ~7, 0, 1, 5, ~4,
                                          2, 3, 7, ~6, 1, 2, 6, ~5, 3, 0, 4, ~7};
    std::vector<Property> everything;
    for (const auto& [name, property] : everyPropertyType())
        if (property.type != 'b') // the parser takes a bool array as the end of its record
            everything.push_back(property);
    everything.push_back(array('b', std::vector<std::uint8_t>{1, 1}));
    using namespace std::string_literals;
    const Bytes bytes = binaryFbx({
        {"FBXHeaderExtension",
         {},
         {{"FBXHeaderVersion", {scalar('I', std::int32_t(1003))}, {}},
          {"FBXVersion", {scalar('I', std::int32_t(7400))}, {}}}},
        {"Extras", everything, {}},
        {"Objects",
         {},
         {{"Geometry",
           {scalar('L', std::int64_t(100)), text('S', "Cube\0\1Geometry"s), text('S', "Mesh")},
           {{"Vertices", {array('d', corners)}, {}},
            {"PolygonVertexIndex", {array('i', quads)}, {}},
            {"EdgeFlags", {array('c', std::vector<std::uint8_t>(12, 1))}, {}}}},
          {"Model",
           {scalar('L', std::int64_t(200)), text('S', "Cube\0\1Model"s), text('S', "Mesh")},
           {{"Version", {scalar('I', std::int32_t(232))}, {}}}}}},
        {"Connections",
         {},
         {{"C", {text('S', "OO"), scalar('L', std::int64_t(100)), scalar('L', std::int64_t(200))}, {}},
          {"C", {text('S', "OO"), scalar('L', std::int64_t(200)), scalar('L', std::int64_t(0))}, {}}}},
    });
    ScratchModel file(bytes);
    {
        test::LogCapture log;
        EXPECT_TRUE(checkModelLimits(file.path()));
        EXPECT_TRUE(log.messages(spdlog::level::err).empty());
    }
    RenderDevice device(RenderDevice::Kind::Null);
    ImportScene scene;
    ModelImporter importer;
    const std::unique_ptr<Node3D> root = importer.importFile(&scene, 0, file.path());
    ASSERT_NE(root, nullptr);
    const auto* cube = dynamic_cast<const MeshNode*>(root->findByName("Cube"));
    ASSERT_NE(cube, nullptr);
    ASSERT_NE(cube->mesh(), nullptr);
    EXPECT_EQ(cube->mesh()->indices().size(), 36u);
    for (const Vertex& v : cube->mesh()->vertices())
        ASSERT_NEAR(glm::length(v.normal), 1.0f, 1e-4f) << v.position.x << " " << v.position.y;
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
