// Cameras, lights and hull data built from file nodes, flag settling and metadata copying:
// everything of the importer that needs no OpenGL context.
#include "import/NodeProperties.h"
#include "import/ModelImporter.h"
#include "render/CameraNode.h"
#include "render/LightNode.h"
#include "render/OrbitCameraNode.h"
#include "scene/PropertyHolder.h"
#include "scene/Scene.h"

#include "support/LogCapture.h"

#include <assimp/Importer.hpp>
#include <assimp/scene.h>
#include <glm/geometric.hpp>
#include <gtest/gtest.h>

#include <cmath>
#include <variant>

namespace hm {
namespace {

using MetaValue = std::variant<int, float, std::string, glm::vec3>;

// A file node carrying the given user properties.
std::unique_ptr<aiNode> fileNode(const std::string& name,
                                 const std::vector<std::pair<std::string, MetaValue>>& meta) {
    auto node = std::make_unique<aiNode>(name);
    if (!meta.empty()) {
        node->mMetaData = aiMetadata::Alloc(static_cast<unsigned>(meta.size()));
        for (unsigned i = 0; i < meta.size(); ++i) {
            const auto& [key, value] = meta[i];
            if (auto* v = std::get_if<int>(&value))
                node->mMetaData->Set(i, key, static_cast<int32_t>(*v));
            else if (auto* f = std::get_if<float>(&value))
                node->mMetaData->Set(i, key, *f);
            else if (auto* s = std::get_if<std::string>(&value))
                node->mMetaData->Set(i, key, aiString(*s));
            else if (auto* v3 = std::get_if<glm::vec3>(&value))
                node->mMetaData->Set(i, key, aiVector3D(v3->x, v3->y, v3->z));
        }
    }
    return node;
}

aiLight light(aiLightSourceType type, const aiColor3D& diffuse) {
    aiLight l;
    l.mType = type;
    l.mColorDiffuse = diffuse;
    l.mDirection = aiVector3D(0.0f, -1.0f, 0.0f);
    return l;
}

void expectVec3(const glm::vec3& actual, const glm::vec3& expected, float tolerance = 1e-5f) {
    for (int i = 0; i < 3; ++i)
        EXPECT_NEAR(actual[i], expected[i], tolerance) << "component " << i;
}

TEST(LightAttenuation, FromRange) {
    struct Case {
        float range;
        glm::vec3 expected;
    };
    for (const Case& c :
         {Case{50.0f, {1, 0.09f, 0.032f}}, Case{57.5f, {1, 0.08f, 0.0245f}}, Case{5000.0f, {0, 0, 0}},
          Case{3250.0f, {0, 0, 0}}, Case{-1.0f, {0, 0, 0}}, Case{0.5f, {0.5f, 25.0f, 125.0f}},
          Case{0.0f, {0, 40, 200}}, Case{std::nanf(""), {0, 0, 0}}}) {
        SCOPED_TRACE(c.range);
        const glm::vec3 a = attenuationForRange(c.range);
        for (int i = 0; i < 3; ++i)
            EXPECT_NEAR(a[i], c.expected[i], 1e-5f);
    }
}

TEST(CreateLight, PointLightAttenuationFromRangeOrVector) {
    struct Case {
        const char* what;
        std::vector<std::pair<std::string, MetaValue>> meta;
        glm::vec3 expected;
    };
    const Case cases[] = {
        {"absent", {}, {0, 0, 1}},
        {"range on a row", {{"Attenuation", 50.0f}}, {1, 0.09f, 0.032f}},
        {"range between rows", {{"Attenuation", 57.5f}}, {1, 0.08f, 0.0245f}},
        {"range beyond the table", {{"Attenuation", 5000.0f}}, {0, 0, 0}},
        {"vector", {{"Attenuation", glm::vec3(1, 2, 3)}}, {1, 2, 3}},
        {"wrong type", {{"Attenuation", std::string("far")}}, {0, 0, 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto node = fileNode("Torch", c.meta);
        auto made = createLight(light(aiLightSource_POINT, aiColor3D(1, 1, 1)), *node);
        auto* point = dynamic_cast<PointLight*>(made.get());
        ASSERT_NE(point, nullptr);
        expectVec3(point->attenuation, c.expected);
    }
}

TEST(CreateLight, ColourSplitsIntoNormalisedColourAndIntensity) {
    struct Case {
        aiColor3D diffuse;
        glm::vec3 colour;
        float intensity;
    };
    const Case cases[] = {
        {{2.0f, 1.0f, 0.0f}, {1.0f, 0.5f, 0.0f}, 2.0f},
        {{0.5f, 0.25f, 0.5f}, {1.0f, 0.5f, 1.0f}, 0.5f},
        {{0.005f, 0.0f, 0.0f}, {1.0f, 1.0f, 1.0f}, 0.0f},  // too dark to be a colour
        {{-1.0f, -2.0f, -1.0f}, {1.0f, 1.0f, 1.0f}, 0.0f}, // no positive light at all: switched off
    };
    for (const Case& c : cases) {
        auto node = fileNode("Lamp", {});
        auto made = createLight(light(aiLightSource_POINT, c.diffuse), *node);
        ASSERT_NE(made, nullptr);
        expectVec3(made->colour, c.colour);
        EXPECT_FLOAT_EQ(made->intensity, c.intensity);
    }
}

TEST(CreateLight, DirectionalLightsAndTheSun) {
    auto plain = fileNode("Moon", {{"AmbientLight", 0.5f}});
    auto moon = createLight(light(aiLightSource_DIRECTIONAL, aiColor3D(1, 1, 1)), *plain);
    ASSERT_NE(dynamic_cast<DirectionalLight*>(moon.get()), nullptr);
    EXPECT_EQ(moon->getTypeName(), "DirectionalLight");
    expectVec3(dynamic_cast<DirectionalLight&>(*moon).direction, {0, -1, 0});

    auto factor = fileNode("Sun", {{"AmbientLight", 0.35f}});
    auto sun = createLight(light(aiLightSource_DIRECTIONAL, aiColor3D(2.0f, 1.0f, 1.0f)), *factor);
    auto* sunLight = dynamic_cast<SunLight*>(sun.get());
    ASSERT_NE(sunLight, nullptr);
    expectVec3(sunLight->ambient, glm::vec3(1.0f, 0.5f, 0.5f) * 2.0f * 0.35f);

    auto vector = fileNode("Sun", {{"AmbientLight", glm::vec3(0.1f, 0.2f, 0.3f)}});
    auto sun2 = createLight(light(aiLightSource_DIRECTIONAL, aiColor3D(1, 1, 1)), *vector);
    expectVec3(dynamic_cast<SunLight&>(*sun2).ambient, {0.1f, 0.2f, 0.3f});

    auto none = fileNode("Sun", {});
    auto sun3 = createLight(light(aiLightSource_DIRECTIONAL, aiColor3D(1, 1, 1)), *none);
    expectVec3(dynamic_cast<SunLight&>(*sun3).ambient, {0, 0, 0});
}

TEST(CreateLight, UnsupportedTypesAreRefusedWithAWarning) {
    test::LogCapture log;
    auto node = fileNode("Spot", {});
    EXPECT_EQ(createLight(light(aiLightSource_SPOT, aiColor3D(1, 1, 1)), *node), nullptr);
    EXPECT_TRUE(
        log.contains("Sadly the engine just supports Point- and Directional-Lights so far. Therefore I have "
                     "to ignore light: Spot"));
}

TEST(CreateCamera, GeneralAndOrbitalCamerasWithTheVerticalFieldOfView) {
    aiCamera fileCamera;
    fileCamera.mHorizontalFOV = 1.2f;
    fileCamera.mAspect = 2.0f;
    fileCamera.mClipPlaneNear = 0.5f;
    fileCamera.mClipPlaneFar = 300.0f;
    const float vertical = 2.0f * std::atan(std::tan(0.6f) / 2.0f);

    struct Case {
        std::vector<std::pair<std::string, MetaValue>> meta;
        const char* type;
        bool warns;
    };
    const Case cases[] = {
        {{}, "CameraNode", false},
        {{{"CameraType", std::string("General")}}, "CameraNode", false},
        {{{"CameraType", std::string("Orbital")}, {"OrbitCenter", std::string("Middle")}},
         "OrbitCameraNode",
         false},
        {{{"CameraType", std::string("Fisheye")}}, "CameraNode", true},
    };
    for (const Case& c : cases) {
        test::LogCapture log;
        ModelImporter importer;
        auto node = fileNode("cam", c.meta);
        auto camera = createCamera(importer, fileCamera, *node);
        ASSERT_NE(camera, nullptr);
        EXPECT_EQ(camera->getTypeName(), c.type);
        EXPECT_EQ(camera->getName(), "cam");
        EXPECT_NEAR(camera->getFieldOfView(), vertical, 1e-5f);
        EXPECT_NEAR(camera->getHorizontalFieldOfView(), 1.2f, 1e-5f);
        EXPECT_FLOAT_EQ(camera->getNear(), 0.5f);
        EXPECT_FLOAT_EQ(camera->getFar(), 300.0f);
        EXPECT_EQ(log.messages(spdlog::level::warn).size(), c.warns ? 1u : 0u);
    }
}

class HullFixture : public ::testing::Test {
protected:
    void SetUp() override {
        file_ = importer_.ReadFile("tests/fixtures/hull_children.fbx", ModelImporter::kPostProcessFlags);
        ASSERT_NE(file_, nullptr) << importer_.GetErrorString();
    }
    const aiNode& node(const char* name) const { return *file_->mRootNode->FindNode(name); }
    bool read(const char* name, std::vector<glm::vec3>& positions, std::vector<std::uint32_t>* indices) {
        return readHullData(modelImporter_, node(name), *file_, positions, indices);
    }

    Assimp::Importer importer_;
    const aiScene* file_ = nullptr;
    ModelImporter modelImporter_;
};

TEST_F(HullFixture, HullChildIsWeldedAndFacesReferToTheSurvivingPositions) {
    const aiNode& hull = node("Rock_hull");
    const aiMesh& mesh = *file_->mMeshes[hull.mMeshes[0]];
    std::vector<glm::vec3> positions;
    std::vector<std::uint32_t> indices;
    ASSERT_TRUE(read("Rock", positions, &indices));

    // Flat shading repeats each corner once per face; welding keeps one per place.
    EXPECT_LT(positions.size(), mesh.mNumVertices);
    for (std::size_t i = 0; i < positions.size(); ++i)
        for (std::size_t j = i + 1; j < positions.size(); ++j)
            EXPECT_GE(glm::distance(positions[i], positions[j]), 0.001f);
    ASSERT_EQ(indices.size(), static_cast<std::size_t>(mesh.mNumFaces) * 3);
    for (unsigned f = 0; f < mesh.mNumFaces; ++f)
        for (unsigned k = 0; k < 3; ++k) {
            const aiVector3D& v = mesh.mVertices[mesh.mFaces[f].mIndices[k]];
            ASSERT_LT(indices[f * 3 + k], positions.size());
            EXPECT_LT(glm::distance(positions[indices[f * 3 + k]], glm::vec3(v.x, v.y, v.z)), 0.001f);
        }
}

TEST_F(HullFixture, OwnMeshWithoutHullChildAndTheTwoFailures) {
    std::vector<glm::vec3> positions;
    EXPECT_TRUE(read("Ground", positions, nullptr));
    EXPECT_EQ(positions.size(), 8u); // a box

    test::LogCapture log;
    positions.clear();
    EXPECT_FALSE(read("Broken", positions, nullptr));
    EXPECT_TRUE(log.contains("The hull node Broken_hull does not contain any mesh data. Please fix it..."));
    EXPECT_FALSE(read("Lonely", positions, nullptr));
    EXPECT_TRUE(
        log.contains("The node Lonely neither does have a hull-child node nor a mesh on its own. I need mesh "
                     "data somewhere!"));
}

// The hull node is kept out of the walk of the import it was read for, and of no other.
TEST_F(HullFixture, AUsedHullNodeIsSkippedByItsOwnImportOnly) {
    ModelImporter other;
    std::vector<glm::vec3> positions;
    ASSERT_TRUE(read("Rock", positions, nullptr));
    const ModelImporter::SpecialNode* skipped = modelImporter_.special(&node("Rock_hull"));
    ASSERT_NE(skipped, nullptr);
    EXPECT_EQ(skipped->kind, ModelImporter::SpecialKind::Ignored);
    EXPECT_EQ(other.special(&node("Rock_hull")), nullptr);
}

class NamedScene : public Scene {
public:
    NamedScene() : Scene("flags") {}
    void load() override {}
};

TEST(ModelImporter, SettlingFlags) {
    NamedScene scene;
    struct Case {
        bool withScene;
        int flags;
        int settled;
        bool complains;
    };
    const Case cases[] = {
        {true, 0, 31, false}, {false, 0, 20, false},  {true, 4, 4, false},
        {false, 4, 4, false}, {false, 1, 20, true},   {false, 2, 20, true},
        {false, 8, 20, true}, {false, 16, 16, false}, {true, 15, 15, false},
    };
    for (const Case& c : cases) {
        test::LogCapture log;
        EXPECT_EQ(ModelImporter::settleFlags(c.withScene ? &scene : nullptr, c.flags), c.settled)
            << "flags " << c.flags << (c.withScene ? " with" : " without") << " a scene";
        EXPECT_EQ(log.contains(
                      "If I'm supposed to load scene specific stuff you have to give me a scene... I'm just "
                      "gonna load the model now."),
                  c.complains);
    }
}

TEST(ModelImporter, MetadataBecomesPropertiesExceptReservedKeys) {
    auto node = fileNode("n", {{"Health", 12},
                               {"Speed", 0.5f},
                               {"Kind", std::string("golem")},
                               {"Offset", glm::vec3(1, 2, 3)},
                               {"Body", std::string("BoundingBox")},
                               {"Attenuation", 7.0f},
                               {"UpAxis", 1},
                               {"CameraType", std::string("Orbital")}});
    PropertyHolder holder;
    copyMetadata(*node->mMetaData, holder);
    EXPECT_EQ(holder.propertyCount(), 5u);
    ASSERT_NE(holder.getProperty("Health"), nullptr);
    EXPECT_EQ(*holder.getProperty("Health")->asInt(), 12);
    EXPECT_FLOAT_EQ(*holder.getProperty("Speed")->asFloat(), 0.5f);
    EXPECT_EQ(*holder.getProperty("Kind")->asString(), "golem");
    EXPECT_EQ(*holder.getProperty("Offset")->asVec3(), glm::vec3(1, 2, 3));
    EXPECT_EQ(*holder.getProperty("CameraType")->asString(), "Orbital");
    for (const char* reserved : {"Body", "Attenuation", "UpAxis"})
        EXPECT_EQ(holder.getProperty(reserved), nullptr) << reserved;

    auto odd = std::make_unique<aiNode>("odd");
    odd->mMetaData = aiMetadata::Alloc(3);
    odd->mMetaData->Set(0, "Flag", true);
    odd->mMetaData->Set(1, "Big", static_cast<uint64_t>(5));
    odd->mMetaData->Set(2, "Precise", 2.5);
    PropertyHolder none;
    copyMetadata(*odd->mMetaData, none);
    EXPECT_EQ(none.propertyCount(), 0u);
}

} // namespace
} // namespace hm
