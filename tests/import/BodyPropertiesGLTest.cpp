#include "import/BodyProperties.h"
#include "import/ModelImporter.h"

#include "physics/PhysicsBody.h"
#include "physics/PhysicsWorld.h"
#include "render/Material.h"
#include "render/MeshNode.h"
#include "render/Primitives.h"
#include "scene/EmptyNode.h"
#include "scene/Scene.h"
#include "support/GLTestWindow.h"
#include "support/LogCapture.h"

#include <assimp/scene.h>
#include <gtest/gtest.h>

#include <variant>

namespace hm {
namespace {

using Value = std::variant<std::string, std::int32_t, float, aiVector3D, bool>;

// A file node carrying the given user properties.
std::unique_ptr<aiNode> fileNode(const std::vector<std::pair<std::string, Value>>& properties) {
    auto node = std::make_unique<aiNode>("node");
    node->mMetaData = aiMetadata::Alloc(static_cast<unsigned>(properties.size()));
    for (unsigned i = 0; i < properties.size(); ++i) {
        const auto& [key, value] = properties[i];
        std::visit(
            [&](const auto& v) {
                using T = std::decay_t<decltype(v)>;
                if constexpr (std::is_same_v<T, std::string>)
                    node->mMetaData->Set(i, key, aiString(v));
                else
                    node->mMetaData->Set(i, key, v);
            },
            value);
    }
    return node;
}

class BareScene : public Scene {
public:
    BareScene() : Scene("bodies") {}
    void load() override {}
};

class BodyPropertiesTest : public testing::Test {
protected:
    Window& window = test::glWindow();
    ModelImporter importer;
    aiScene scene;

    PhysicsBody* read(Node3D& node, const std::vector<std::pair<std::string, Value>>& properties) {
        auto file = fileNode(properties);
        readBodyProperties(importer, node, *file, scene);
        return static_cast<PhysicsBody*>(node.getBody());
    }
    std::unique_ptr<MeshNode> meshNode(const glm::vec3& size) {
        return std::make_unique<MeshNode>("mesh", makeBoxMesh(size),
                                          MaterialRegistry::instance().createMaterial("m"));
    }
};

TEST_F(BodyPropertiesTest, ShapesWithoutSizesComeFromTheMesh) {
    {
        test::LogCapture log;
        EmptyNode empty("lonely");
        EXPECT_EQ(read(empty, {{"Body", std::string("BoundingSphere")}}), nullptr);
        EXPECT_EQ(log.messages(spdlog::level::warn),
                  (std::vector<std::string>{
                      "No BodyRadius-data or Mesh available to create BoundingSphere-Collider for "
                      "node lonely"}));
    }
    {
        test::LogCapture log;
        auto cube = meshNode(glm::vec3(1.0f));
        auto* body = read(*cube, {{"Body", std::string("BoundingCapsule")}});
        ASSERT_NE(dynamic_cast<SphereBody*>(body), nullptr);
        EXPECT_EQ(log.messages(spdlog::level::info).size(), 1u);
    }
    {
        // A 2 x 6 x 2 mesh: radius 1 around y, a straight part of 4 between the caps, as the
        // shape the body builds when its node joins a scene.
        BareScene bare;
        auto tall = meshNode({2, 6, 2});
        auto* capsule = dynamic_cast<CapsuleBody*>(read(*tall, {{"Body", std::string("BoundingCapsule")}}));
        ASSERT_NE(capsule, nullptr);
        EXPECT_EQ(capsule->orientationMode(), 1);
        capsule->addToScene(bare);
        ASSERT_TRUE(capsule->inScene());
        const glm::vec3 d = capsule->shapeDimensions();
        EXPECT_FLOAT_EQ(d.x, 1.0f);
        EXPECT_FLOAT_EQ(d.y, 2.0f);
    }
}

TEST_F(BodyPropertiesTest, ValueTypesAndDefaults) {
    struct Case {
        const char* name;
        std::vector<std::pair<std::string, Value>> properties;
        bool gravity;
        ActorType actor;
    };
    const Case cases[] = {
        {"defaults",
         {{"Body", std::string("BoundingBox")}, {"BodyBoxSize", aiVector3D(1, 1, 1)}},
         true,
         ActorType::Static},
        {"gravity as a string is on",
         {{"Body", std::string("BoundingBox")},
          {"BodyBoxSize", aiVector3D(1, 1, 1)},
          {"Gravity", std::string("no")}},
         true,
         ActorType::Static},
        {"gravity 0 is off",
         {{"Body", std::string("BoundingBox")},
          {"BodyBoxSize", aiVector3D(1, 1, 1)},
          {"Gravity", std::int32_t(0)}},
         false,
         ActorType::Static},
        {"gravity false is off",
         {{"Body", std::string("BoundingBox")}, {"BodyBoxSize", aiVector3D(1, 1, 1)}, {"Gravity", false}},
         false,
         ActorType::Static},
        {"kinematic",
         {{"Body", std::string("BoundingSphere")}, {"BodyRadius", 0.5f}, {"ActorType", std::int32_t(2)}},
         true,
         ActorType::Kinematic},
        {"actor type out of range is static",
         {{"Body", std::string("BoundingSphere")}, {"BodyRadius", 0.5f}, {"ActorType", std::int32_t(9)}},
         true,
         ActorType::Static},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EmptyNode node("n");
        auto* body = read(node, c.properties);
        ASSERT_NE(body, nullptr);
        EXPECT_EQ(body->gravity(), c.gravity);
        EXPECT_EQ(body->actorType(), c.actor);
    }
}

TEST_F(BodyPropertiesTest, MaterialsAndBadValues) {
    EmptyNode a("a"), b("b"), c("c"), d("d");
    auto* ice = read(a, {{"Body", std::string("BoundingSphere")},
                         {"BodyRadius", 1.0f},
                         {"BodyMaterial", std::string("Ice")}});
    EXPECT_EQ(ice->material().name, "Ice");
    auto* custom = read(b, {{"Body", std::string("BoundingSphere")},
                            {"BodyRadius", 1.0f},
                            {"BodyMaterial", aiVector3D(0.7f, 0.6f, 0.3f)}});
    EXPECT_FLOAT_EQ(custom->material().restitution, 0.3f);
    test::LogCapture log;
    EXPECT_EQ(read(c, {{"Body", std::string("Teapot")}}), nullptr);
    EXPECT_EQ(log.count("Unknown body-property (Teapot) set for node c."), 1u);
    EXPECT_EQ(read(d, {{"Body", std::int32_t(3)}}), nullptr); // not a string: no body, no message
}

} // namespace
} // namespace hm
