#include "physics/PhysicsBody.h"

#include "app/MouseCursorObserver.h"
#include "physics/CookingCache.h"
#include "physics/PhysicsScene.h"
#include "render/CameraNode.h"
#include "scene/EmptyNode.h"
#include "scene/Scene.h"
#include "support/GLTestWindow.h"
#include "support/LogCapture.h"

#include <GLFW/glfw3.h>
#include <glm/gtc/matrix_transform.hpp>
#include <gtest/gtest.h>

#include <BulletCollision/BroadphaseCollision/btQuantizedBvh.h>

#include <climits>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>

namespace hm {
namespace {

class Recorder : public EmptyNode {
public:
    Recorder(std::string name, std::vector<std::string>& journal)
        : EmptyNode(std::move(name)), journal_(journal) {}
    void onContact(Node3D& other) override { journal_.push_back(getName() + " touches " + other.getName()); }
    void onMouseEnter(const glm::vec2&, const glm::vec3&, const glm::vec3&) override {
        journal_.push_back("enter " + getName());
    }
    void onMouseLeave(const glm::vec2&, const glm::vec3&, const glm::vec3&) override {
        journal_.push_back("leave " + getName());
    }
    void onMouseOver(const glm::vec2&, const glm::vec3&, const glm::vec3&) override {
        journal_.push_back("over " + getName());
    }
    void onClick(const glm::vec2&, const glm::vec3&, const glm::vec3&) override {
        journal_.push_back("click " + getName());
    }

private:
    std::vector<std::string>& journal_;
};

class WorldScene : public Scene {
public:
    explicit WorldScene(std::function<void(Node3D&)> build) : Scene("physics"), build_(std::move(build)) {}
    void load() override {
        auto root = std::make_unique<EmptyNode>("root3D");
        build_(*root);
        setRoot3D(std::move(root));
    }

private:
    std::function<void(Node3D&)> build_;
};

class PhysicsBodyTest : public testing::Test {
protected:
    Window& window = test::glWindow(200, 200);
    std::vector<std::string> journal;

    template <typename T>
    T& withBody(Node3D& parent, const std::string& name, std::unique_ptr<PhysicsBody> body,
                const glm::vec3& position = glm::vec3(0.0f)) {
        auto& node = parent.createChild<T>(name, journal);
        node.translate(position);
        node.setBody(std::move(body));
        return node;
    }
    void run(Scene& scene, float seconds, float step = 1.0f / 60.0f) {
        for (float t = 0.0f; t < seconds; t += step)
            scene.update(window, step);
    }
    static PhysicsBody& bodyOf(Node3D& node) { return *static_cast<PhysicsBody*>(node.getBody()); }
};

TEST_F(PhysicsBodyTest, ShapesFollowTheNodeScale) {
    struct Case {
        const char* name;
        std::function<std::unique_ptr<PhysicsBody>()> body;
        glm::vec3 scale;
        glm::vec3 expected;
    };
    const Case cases[] = {
        {"box",
         [] { return std::make_unique<BoxBody>(ActorType::Static, nullptr, true, glm::vec3(2, 1, 4)); },
         {1, 2, 0.5f},
         {1, 1, 1}},
        {"sphere",
         [] { return std::make_unique<SphereBody>(ActorType::Static, nullptr, true, 0.5f); },
         {1, 3, 2},
         glm::vec3(1.5f)},
        {"capsule, uniform scale",
         [] { return std::make_unique<CapsuleBody>(ActorType::Static, nullptr, true, 0, 2.0f, 0.5f); },
         glm::vec3(2.0f),
         {1, 2, 0}},
        {"capsule, stretched along its axis",
         [] { return std::make_unique<CapsuleBody>(ActorType::Static, nullptr, true, 0, 2.0f, 0.5f); },
         {3, 1, 1},
         {0.5f, 4, 0}},
        {"capsule along y",
         [] { return std::make_unique<CapsuleBody>(ActorType::Static, nullptr, true, 1, 2.0f, 0.5f); },
         {1, 3, 1},
         {0.5f, 4, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WorldScene scene([&](Node3D& root) {
            auto& node = root.createChild<EmptyNode>("shape");
            node.scale(c.scale.x, c.scale.y, c.scale.z);
            node.setBody(c.body());
        });
        scene.load();
        auto& body = bodyOf(*scene.root3D()->findByName("shape"));
        ASSERT_TRUE(body.inScene());
        const glm::vec3 d = body.shapeDimensions();
        for (int i = 0; i < 3; ++i)
            EXPECT_NEAR(d[i], c.expected[i], 1e-5f);
    }
}

TEST_F(PhysicsBodyTest, DynamicKinematicAndWeightlessBodies) {
    Node3D* falling = nullptr;
    Node3D* floating = nullptr;
    Node3D* carried = nullptr;
    WorldScene scene([&](Node3D& root) {
        withBody<Recorder>(root, "ground",
                           std::make_unique<BoxBody>(ActorType::Static, nullptr, true, glm::vec3(20, 1, 20)),
                           {0, -0.5f, 0});
        // Dropped from low enough that it lands without bouncing off again.
        falling = &withBody<Recorder>(root, "ball",
                                      std::make_unique<SphereBody>(ActorType::Dynamic, nullptr, true, 0.5f),
                                      {0, 0.55f, 0});
        floating = &withBody<Recorder>(root, "balloon",
                                       std::make_unique<SphereBody>(ActorType::Dynamic, nullptr, false, 0.5f),
                                       {3, 3, 0});
        carried = &withBody<Recorder>(
            root, "lift", std::make_unique<BoxBody>(ActorType::Kinematic, nullptr, true, glm::vec3(1)),
            {-3, 3, 0});
    });
    scene.load();
    EXPECT_NEAR(bodyOf(*falling).mass(), 4.0f / 3.0f * 3.14159265f * 0.125f, 1e-4f); // density 1
    run(scene, 2.0f);
    EXPECT_NEAR(falling->getWorldPosition().y, 0.5f, 0.05f); // came to rest on the ground
    EXPECT_NEAR(floating->getWorldPosition().y, 3.0f, 1e-4f);
    EXPECT_NEAR(carried->getWorldPosition().y, 3.0f, 1e-4f);

    // The kinematic body follows its node, and rays see it at once.
    carried->translate({0, 2, 0});
    run(scene, 0.1f);
    EXPECT_NEAR(carried->getWorldPosition().y, 5.0f, 1e-4f);
    EXPECT_NEAR(bodyOf(*carried).simulatedPose()[3][1], 5.0f, 1e-4f);
    auto hit = scene.physicsScene().rayCast({-3, 10, 0}, {-3, -10, 0});
    ASSERT_TRUE(hit);
    EXPECT_EQ(hit->body->owner(), carried);
    EXPECT_EQ(journal, (std::vector<std::string>{"ground touches ball", "ball touches ground"}));
}

TEST_F(PhysicsBodyTest, ContactsOfDestroyedBodiesAreNotDelivered) {
    WorldScene scene([&](Node3D& root) {
        withBody<Recorder>(root, "ground",
                           std::make_unique<BoxBody>(ActorType::Static, nullptr, true, glm::vec3(20, 1, 20)),
                           {0, -0.5f, 0});
        // Both balls start touching the ground.
        withBody<Recorder>(root, "a", std::make_unique<SphereBody>(ActorType::Dynamic, nullptr, true, 0.25f),
                           {0, 0.24f, 0});
        withBody<Recorder>(root, "b", std::make_unique<SphereBody>(ActorType::Dynamic, nullptr, true, 0.25f),
                           {2, 0.24f, 0});
    });
    scene.load();
    scene.physicsScene().step(1.0f / 60.0f); // both contacts start here and wait for delivery
    scene.root3D()->findByName("b")->destroy(false);
    scene.update(window, 1.0f / 60.0f);
    EXPECT_EQ(journal, (std::vector<std::string>{"ground touches a", "a touches ground"}));
}

TEST_F(PhysicsBodyTest, MeshBodiesAreNeverDynamic) {
    test::LogCapture log;
    MeshBody body(ActorType::Dynamic, nullptr, true, "", {{0, 0, 0}, {1, 0, 0}, {0, 0, 1}}, {0, 1, 2},
                  "terrain");
    EXPECT_EQ(body.actorType(), ActorType::Static);
    EXPECT_EQ(
        log.messages(spdlog::level::warn),
        (std::vector<std::string>{"Mesh-Bodies like the one for the node terrain can't be dynamic actors. An "
                                  "attempt was made but i changed it to a static actor instead :P."}));
    MeshBody kinematic(ActorType::Kinematic, nullptr, true, "", {{0, 0, 0}, {1, 0, 0}, {0, 0, 1}}, {0, 1, 2});
    EXPECT_EQ(kinematic.actorType(), ActorType::Kinematic);
}

TEST_F(PhysicsBodyTest, HullsAreCookedOnceAndReadFromTheCacheAfterwards) {
    namespace fs = std::filesystem;
    const std::string name = "test_rock_" + std::to_string(::getpid());
    const fs::path file = fs::path("GAME_DATA/physx_buffer/convex_hulls") / (name + ".dat");
    std::vector<glm::vec3> points;
    for (int i = 0; i < 200; ++i)
        points.emplace_back(std::sin(i * 1.3f), std::cos(i * 0.7f), std::sin(i * 0.31f));
    auto build = [&](const std::string& buffer) {
        return WorldScene([&, buffer](Node3D& root) {
            auto& rock = root.createChild<EmptyNode>("rock1");
            rock.setBody(
                std::make_unique<ConvexHullBody>(ActorType::Static, nullptr, true, buffer, points, 16));
        });
    };
    {
        test::LogCapture log;
        auto scene = build(name);
        scene.load();
        EXPECT_EQ(
            log.messages(spdlog::level::info),
            (std::vector<std::string>{"PhysX-Buffer file for node rock1 @'" + file.string() + "' updated!"}));
        EXPECT_TRUE(fs::exists(file));
    }
    {
        test::LogCapture log;
        auto scene = build(name);
        scene.load();
        EXPECT_TRUE(log.messages(spdlog::level::info).empty());
        EXPECT_TRUE(bodyOf(*scene.root3D()->findByName("rock1")).inScene());
    }
    {
        // The model changed: the old file is recognised as stale and cooked again.
        points.push_back({3.0f, 0.0f, 0.0f});
        test::LogCapture log;
        auto scene = build(name);
        scene.load();
        EXPECT_EQ(log.messages(spdlog::level::warn).size(), 1u);
        EXPECT_EQ(log.messages(spdlog::level::info).size(), 1u);
    }
    fs::remove(file);
    {
        test::LogCapture log;
        auto scene = build("");
        scene.load();
        EXPECT_TRUE(log.messages(spdlog::level::info).empty());
    }
}

TEST_F(PhysicsBodyTest, CursorHoverAndClick) {
    Recorder* near = nullptr;
    WorldScene scene([&](Node3D& root) {
        near = &withBody<Recorder>(root, "near",
                                   std::make_unique<BoxBody>(ActorType::Static, nullptr, true, glm::vec3(1)),
                                   {-1, 0, -5});
        withBody<Recorder>(root, "other",
                           std::make_unique<BoxBody>(ActorType::Static, nullptr, true, glm::vec3(1)),
                           {1, 0, -5});
        withBody<Recorder>(root, "far",
                           std::make_unique<BoxBody>(ActorType::Static, nullptr, true, glm::vec3(20, 20, 1)),
                           {0, 0, -150});
        root.createChild<CameraNode>("camera", glm::radians(90.0f), 0.1f, 500.0f, 1.0f);
    });
    scene.load();
    scene.setAspectRatio(1.0f);
    scene.setActiveCamera("camera");
    MouseCursorObserver& observer = scene.cursorObserver();
    observer.onFramebufferSize(window, 200, 200);
    auto point = [&](double x, double y) {
        observer.onCursorPosition(window, x, y);
        observer.update(0.0f);
    };
    point(80, 100);  // onto "near" (x -1 at depth 5 is 20 pixels left of the centre)
    point(120, 100); // onto "other"
    point(100, 20);  // nothing within 100 units (the far wall is 150 away)
    point(100, 20);
    EXPECT_EQ(journal, (std::vector<std::string>{"enter near", "over near", "leave near", "enter other",
                                                 "over other", "leave other"}));
    journal.clear();
    point(80, 100);
    observer.onMouseButton(window, 1, 0, 0); // right button
    observer.onMouseButton(window, 0, 1, 0); // left press
    observer.onMouseButton(window, 0, 0, 0); // left release
    EXPECT_EQ(journal, (std::vector<std::string>{"enter near", "over near", "click near"}));
    EXPECT_EQ(observer.hoveredNode(), near);

    // A hovered node that is destroyed is simply forgotten.
    near->destroy(false);
    point(80, 100);
    EXPECT_EQ(observer.hoveredNode(), nullptr);
}

// A platform moved by its node carries what rests on it, whatever the frame length.
TEST_F(PhysicsBodyTest, KinematicPlatformsCarryWhatRestsOnThem) {
    for (const float frame : {1.0f / 60.0f, 0.05f}) {
        SCOPED_TRACE(frame);
        Node3D* platform = nullptr;
        Node3D* crate = nullptr;
        WorldScene scene([&](Node3D& root) {
            platform = &withBody<Recorder>(
                root, "platform",
                std::make_unique<BoxBody>(ActorType::Kinematic, nullptr, true, glm::vec3(6, 0.2f, 6)));
            crate = &withBody<Recorder>(
                root, "crate", std::make_unique<BoxBody>(ActorType::Dynamic, nullptr, true, glm::vec3(0.5f)),
                {0, 0.35f, 0});
        });
        scene.load();
        run(scene, 0.5f, frame);
        const glm::vec3 before = crate->getWorldPosition();
        const int frames = static_cast<int>(std::round(1.0f / frame));
        for (int i = 0; i < frames; ++i) {
            platform->translate({1.0f / frames, 0, 0});
            scene.update(window, frame);
        }
        EXPECT_NEAR(platform->getWorldPosition().x, 1.0f, 1e-4f);
        EXPECT_NEAR(crate->getWorldPosition().x - before.x, 1.0f, 0.1f);
        EXPECT_NEAR(crate->getWorldPosition().y, before.y, 0.05f);
    }
}

TEST_F(PhysicsBodyTest, LiveBodiesSwitchBetweenKinematicAndDynamic) {
    Node3D* lift = nullptr;
    Node3D* ball = nullptr;
    WorldScene scene([&](Node3D& root) {
        withBody<Recorder>(root, "ground",
                           std::make_unique<BoxBody>(ActorType::Static, nullptr, true, glm::vec3(20, 1, 20)),
                           {0, -0.5f, 0});
        lift = &withBody<Recorder>(
            root, "lift", std::make_unique<BoxBody>(ActorType::Kinematic, nullptr, true, glm::vec3(1, 1, 2)),
            {0, 3, 0});
        ball = &withBody<Recorder>(root, "ball",
                                   std::make_unique<SphereBody>(ActorType::Dynamic, nullptr, true, 0.5f),
                                   {4, 0.5f, 0});
    });
    scene.load();
    run(scene, 0.2f);
    EXPECT_NEAR(lift->getWorldPosition().y, 3.0f, 1e-4f);

    // Kinematic to dynamic: it weighs what its density says, falls and lands on the ground.
    bodyOf(*lift).setActorType(ActorType::Dynamic);
    EXPECT_NEAR(bodyOf(*lift).mass(), 2.0f, 1e-4f);
    run(scene, 2.0f);
    EXPECT_NEAR(lift->getWorldPosition().y, 0.5f, 0.05f);

    // Dynamic to kinematic: it stays where its node puts it.
    bodyOf(*ball).setActorType(ActorType::Kinematic);
    ball->translate({0, 2, 0});
    run(scene, 1.0f);
    EXPECT_NEAR(ball->getWorldPosition().y, 2.5f, 1e-4f);
    EXPECT_EQ(bodyOf(*ball).mass(), 0.0f);
}

// A plank lying with one end on a post stays there when its centre of mass is above the post
// (it would tip off with the centre of mass in its middle); its shape stays where its node is.
TEST_F(PhysicsBodyTest, CentreOfMassIsWhereTheBodyBalances) {
    Node3D* plank = nullptr;
    WorldScene scene([&](Node3D& root) {
        withBody<Recorder>(root, "ground",
                           std::make_unique<BoxBody>(ActorType::Static, nullptr, true, glm::vec3(20, 1, 20)),
                           {0, -0.5f, 0});
        withBody<Recorder>(
            root, "post",
            std::make_unique<BoxBody>(ActorType::Static, nullptr, true, glm::vec3(0.4f, 1, 0.4f)),
            {0.6f, 0.5f, 0});
        auto body = std::make_unique<BoxBody>(ActorType::Dynamic, nullptr, true, glm::vec3(2, 0.2f, 0.4f));
        body->setCentreOfMass({0.6f, 0, 0});
        plank = &withBody<Recorder>(root, "plank", std::move(body), {0, 1.1f, 0});
    });
    scene.load();
    run(scene, 2.0f);
    EXPECT_GT(glm::normalize(glm::vec3(plank->getWorldMatrix()[1])).y, 0.999f);
    EXPECT_NEAR(plank->getWorldPosition().x, 0.0f, 0.01f);
    EXPECT_NEAR(plank->getWorldPosition().y, 1.1f, 0.01f);
    const auto hit = scene.physicsScene().rayCast({-0.9f, 5, 0}, {-0.9f, -5, 0});
    ASSERT_TRUE(hit);
    EXPECT_EQ(hit->body->owner(), plank);
    EXPECT_NEAR(hit->position.y, 1.2f, 0.01f);
}

TEST_F(PhysicsBodyTest, HullMassComesFromTheHullVolume) {
    std::vector<glm::vec3> cube;
    for (int i = 0; i < 8; ++i)
        cube.emplace_back(i & 1 ? 0.5f : -0.5f, i & 2 ? 0.5f : -0.5f, i & 4 ? 0.5f : -0.5f);
    Node3D* rock = nullptr;
    WorldScene scene([&](Node3D& root) {
        rock = &withBody<Recorder>(
            root, "rock", std::make_unique<ConvexHullBody>(ActorType::Dynamic, nullptr, true, "", cube, 20));
        rock->scale(2.0f, 1.0f, 1.0f);
    });
    scene.load();
    EXPECT_NEAR(bodyOf(*rock).mass(), 2.0f, 1e-3f);
}

// A node taken out of its scene takes its body along: nothing collides with it, rays pass, and
// it can outlive the scene.
TEST_F(PhysicsBodyTest, DetachedNodesLeaveTheSimulation) {
    std::unique_ptr<Node3D> detached;
    {
        Node3D* wall = nullptr;
        Node3D* ball = nullptr;
        WorldScene scene([&](Node3D& root) {
            withBody<Recorder>(
                root, "ground",
                std::make_unique<BoxBody>(ActorType::Static, nullptr, true, glm::vec3(20, 1, 20)),
                {0, -0.5f, 0});
            wall = &withBody<Recorder>(
                root, "shelf",
                std::make_unique<BoxBody>(ActorType::Static, nullptr, true, glm::vec3(2, 0.2f, 2)),
                {0, 2, 0});
            ball = &withBody<Recorder>(root, "ball",
                                       std::make_unique<SphereBody>(ActorType::Dynamic, nullptr, true, 0.25f),
                                       {0, 4, 0});
        });
        scene.load();
        detached = wall->detach();
        ASSERT_TRUE(detached);
        EXPECT_FALSE(bodyOf(*detached).inScene());
        const auto hit = scene.physicsScene().rayCast({0, 10, 0}, {0, -10, 0});
        ASSERT_TRUE(hit);
        EXPECT_EQ(hit->body->owner(), ball);
        run(scene, 2.0f);
        EXPECT_NEAR(ball->getWorldPosition().y, 0.25f, 0.05f); // fell past where the shelf was
        ASSERT_FALSE(journal.empty());
        EXPECT_EQ(journal.front(), "ground touches ball");
        for (const auto& line : journal)
            EXPECT_EQ(line.find("shelf"), std::string::npos) << line;
    }
    detached.reset(); // after its scene is gone
}

// A cache file with a valid header and checksum whose saved hierarchy is damaged (edited, or
// from another build) is refused with a line naming it, and the mesh is cooked again.
TEST_F(PhysicsBodyTest, DamagedMeshCacheFilesAreCookedAgain) {
    namespace fs = std::filesystem;
    const std::string name = "test_terrain_" + std::to_string(::getpid());
    const fs::path file = fs::path("GAME_DATA/physx_buffer/mesh_hulls") / (name + ".dat");
    std::vector<glm::vec3> vertices;
    std::vector<std::uint32_t> indices;
    for (int z = 0; z <= 8; ++z)
        for (int x = 0; x <= 8; ++x)
            vertices.emplace_back(x - 4.0f, 0.0f, z - 4.0f);
    for (std::uint32_t z = 0; z < 8; ++z)
        for (std::uint32_t x = 0; x < 8; ++x) {
            const std::uint32_t i = z * 9 + x;
            indices.insert(indices.end(), {i, i + 9, i + 1, i + 1, i + 9, i + 10});
        }
    auto load = [&] {
        auto scene = std::make_unique<WorldScene>([&](Node3D& root) {
            root.createChild<EmptyNode>("terrain").setBody(
                std::make_unique<MeshBody>(ActorType::Static, nullptr, true, name, vertices, indices));
        });
        scene->load();
        return scene;
    };
    load(); // cooks and writes the file

    // Damage the root of the saved hierarchy (the last bytes are the tree's nodes and subtree
    // headers; the root node's escape index sits 12 bytes into the first node) and seal the
    // file again with a matching checksum.
    std::vector<std::uint8_t> bytes(fs::file_size(file));
    std::ifstream(file, std::ios::binary).read(reinterpret_cast<char*>(bytes.data()), bytes.size());
    constexpr std::size_t kHeader = 48;
    std::uint32_t vertexFloats = 0, indexCount = 0;
    std::memcpy(&vertexFloats, bytes.data() + kHeader, 4);
    std::memcpy(&indexCount, bytes.data() + kHeader + 4, 4);
    const std::size_t tree = kHeader + 16 + std::size_t(vertexFloats) * 4 + std::size_t(indexCount) * 4;
    const std::size_t root = tree + sizeof(btQuantizedBvh) + 12;
    const std::int32_t escape = INT_MIN;
    std::memcpy(bytes.data() + root, &escape, 4);
    std::memset(bytes.data() + tree, 0xA5, sizeof(void*));
    const std::uint64_t checksum = cookedChecksum(bytes.data() + kHeader, bytes.size() - kHeader);
    std::memcpy(bytes.data() + 40, &checksum, 8);
    std::ofstream(file, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<char*>(bytes.data()), bytes.size());
    {
        test::LogCapture log;
        auto scene = load();
        EXPECT_TRUE(bodyOf(*scene->root3D()->findByName("terrain")).inScene());
        EXPECT_EQ(
            log.messages(spdlog::level::err),
            (std::vector<std::string>{"Physics cache file " + file.string() +
                                      " is unusable (damaged shape data); the shape will be cooked again."}));
        EXPECT_EQ(log.messages(spdlog::level::info).size(), 1u); // written again
        const auto hit = scene->physicsScene().rayCast({1.5f, 5, 1.5f}, {1.5f, -5, 1.5f});
        ASSERT_TRUE(hit);
        EXPECT_NEAR(hit->position.y, 0.0f, 1e-4f);
    }
    {
        test::LogCapture log;
        load();
        EXPECT_TRUE(log.messages(spdlog::level::err).empty());
    }
    fs::remove(file);
}

} // namespace
} // namespace hm
