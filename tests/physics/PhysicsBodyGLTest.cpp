#include "physics/PhysicsBody.h"

#include "app/MouseCursorObserver.h"
#include "physics/PhysicsScene.h"
#include "render/CameraNode.h"
#include "scene/EmptyNode.h"
#include "scene/Scene.h"
#include "support/GLTestWindow.h"
#include "support/LogCapture.h"

#include <GLFW/glfw3.h>
#include <glm/gtc/matrix_transform.hpp>
#include <gtest/gtest.h>

#include <filesystem>
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
        falling = &withBody<Recorder>(
            root, "ball", std::make_unique<SphereBody>(ActorType::Dynamic, nullptr, true, 0.5f), {0, 3, 0});
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
        withBody<Recorder>(root, "a", std::make_unique<SphereBody>(ActorType::Dynamic, nullptr, true, 0.25f),
                           {0, 0.5f, 0});
        withBody<Recorder>(root, "b", std::make_unique<SphereBody>(ActorType::Dynamic, nullptr, true, 0.25f),
                           {2, 0.5f, 0});
    });
    scene.load();
    scene.physicsScene().step(0.2f); // both land in this step
    scene.root3D()->findByName("b")->destroy(false);
    scene.update(window, 1.0f / 60.0f);
    for (const auto& line : journal)
        EXPECT_EQ(line.find(" b"), std::string::npos) << line;
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
        EXPECT_LE(bodyOf(*scene.root3D()->findByName("rock1")).inScene(), true);
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
    point(100, 100); // the centre: only the far wall, beyond reach
    point(100, 100);
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

TEST_F(PhysicsBodyTest, PickingReachesOneHundredUnitsAndNoFurther) {
    struct Case {
        float wallDistance;
        bool picked;
    };
    // The wall is 0.2 thick: its face is 0.1 nearer than its centre.
    for (const Case& c : {Case{99.0f, true}, Case{101.0f, false}}) {
        SCOPED_TRACE(c.wallDistance);
        journal.clear();
        WorldScene scene([&](Node3D& root) {
            withBody<Recorder>(
                root, "wall",
                std::make_unique<BoxBody>(ActorType::Static, nullptr, true, glm::vec3(40, 40, 0.2f)),
                {0, 0, -c.wallDistance});
            root.createChild<CameraNode>("camera", glm::radians(90.0f), 0.1f, 500.0f, 1.0f);
        });
        scene.load();
        scene.setAspectRatio(1.0f);
        scene.setActiveCamera("camera");
        MouseCursorObserver& observer = scene.cursorObserver();
        observer.onFramebufferSize(window, 200, 200);
        observer.onCursorPosition(window, 100, 100);
        observer.update(0.0f);
        EXPECT_EQ(observer.hoveredNode() != nullptr, c.picked);
        EXPECT_EQ(journal, c.picked ? (std::vector<std::string>{"enter wall", "over wall"})
                                    : std::vector<std::string>{});
    }
}

TEST_F(PhysicsBodyTest, PickingCastsFromTheCamerasPlaceAndHeading) {
    // The camera stands at (50, 0, 0) turned a quarter to the left: it looks down -x, with +z
    // on its left. Decoys sit where an unmoved or unturned camera would look.
    WorldScene scene([&](Node3D& root) {
        auto box = [&](const std::string& name, const glm::vec3& at) {
            withBody<Recorder>(
                root, name, std::make_unique<BoxBody>(ActorType::Static, nullptr, true, glm::vec3(0.8f)), at);
        };
        box("ahead", {45, 0, 0});
        box("left", {45, 0, 1.5f});
        box("right", {45, 0, -1.5f});
        box("decoy at the origin", {0, 0, -5});
        box("decoy unturned", {50, 0, -5});
        auto& camera = root.createChild<CameraNode>("camera", glm::radians(90.0f), 0.1f, 500.0f, 1.0f);
        camera.translate({50, 0, 0});
        camera.rotate({0, 1, 0}, glm::radians(90.0f));
    });
    scene.load();
    scene.setAspectRatio(1.0f);
    scene.setActiveCamera("camera");
    MouseCursorObserver& observer = scene.cursorObserver();
    observer.onFramebufferSize(window, 200, 200);
    struct Probe {
        double x;
        const char* expected; // 1.5 units at depth 5 is 30 pixels off the centre
    };
    for (const Probe& p : {Probe{100, "ahead"}, Probe{70, "left"}, Probe{130, "right"}}) {
        SCOPED_TRACE(p.expected);
        observer.onCursorPosition(window, p.x, 100);
        observer.update(0.0f);
        ASSERT_NE(observer.hoveredNode(), nullptr);
        EXPECT_EQ(observer.hoveredNode()->getName(), p.expected);
    }
}

} // namespace
} // namespace hm
