// The orbit camera's mouse control, zoom and centre tracking. Needs a window: the camera
// registers with it as an input handler.
#include "render/OrbitCameraNode.h"

#include "app/Window.h"
#include "scene/SceneTestNodes.h"
#include "support//LogCapture.h"
#include "support/GLTestWindow.h"

#include <gtest/gtest.h>

#include <cmath>

namespace hm {
namespace {

constexpr int kLeft = 0, kRight = 1, kPress = 1, kRelease = 0;

void expectNear(const glm::vec3& actual, const glm::vec3& expected, float tolerance = 1e-3f) {
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
    EXPECT_NEAR(actual.z, expected.z, tolerance);
}

// A started scene with a centre node "cam1_orbitCenter" at (1, 0, 0) and the orbit camera
// "cam1" ten units in front of it (+z), active.
class OrbitCamera : public testing::Test {
protected:
    static void SetUpTestSuite() { window = test::openWindow("orbit test", 64, 64).release(); }
    static void TearDownTestSuite() {
        delete window;
        window = nullptr;
    }

    void SetUp() override {
        scene.onLoad = [this](test::TestScene& self) {
            auto root = std::make_unique<EmptyNode>("root");
            centre = &root->createChild<EmptyNode>("cam1_orbitCenter");
            centre->translate({1, 0, 0});
            camera = &root->createChild<OrbitCameraNode>("cam1", 1.0f, 0.1f, 100.0f, 1.0f);
            camera->translate({1, 0, 10});
            self.setRoot3D(std::move(root));
            self.setActiveCamera("cam1");
        };
        scene.start(*window);
    }

    void drag(int button, float fromX, float fromY, float toX, float toY) {
        window->dispatchMouseButton(button, kPress, 0);
        window->dispatchCursorPosition(fromX, fromY);
        window->dispatchCursorPosition(toX, toY);
    }

    static inline Window* window = nullptr;
    test::TestScene scene{"orbit"};
    Node3D* centre = nullptr;
    OrbitCameraNode* camera = nullptr;
};

TEST_F(OrbitCamera, ActivationDerivesTheOrbitFromWhereTheCameraIs) {
    EXPECT_EQ(camera->orbitCentreNode(), centre);
    EXPECT_FLOAT_EQ(camera->radius(), 10.0f);
    EXPECT_FLOAT_EQ(camera->targetRadius(), 10.0f);
    EXPECT_NEAR(camera->yaw(), 0.0f, 1e-6f);
    EXPECT_NEAR(camera->pitch(), std::acos(0.0f), 1e-6f);
    expectNear(camera->viewDirection(), {0, 0, -1});
    // It stays put until it is told to move.
    camera->update(0.1f);
    expectNear(camera->getWorldPosition(), {1, 0, 10});
}

TEST_F(OrbitCamera, ACameraBehindTheCentreStaysBehindIt) {
    camera->deactivate();
    camera->translateGlobal({0, 0, -20}); // now at (1, 0, -10)
    camera->activate();
    drag(kLeft, 50, 50, 50, 50); // a drag of nothing repositions on the spot
    expectNear(camera->getWorldPosition(), {1, 0, -10});
}

TEST_F(OrbitCamera, ALeftDragRotatesByTheTotalMovementSinceThePress) {
    const float yawAtPress = camera->yaw();
    drag(kLeft, 100, 100, 150, 100);
    window->dispatchCursorPosition(200, 100);
    EXPECT_NEAR(camera->yaw() - yawAtPress, -0.5f, 1e-5f);
    EXPECT_NEAR(glm::distance(camera->getWorldPosition(), glm::vec3(1, 0, 0)), 10.0f, 1e-3f);
    expectNear(camera->viewDirection(), glm::normalize(glm::vec3(1, 0, 0) - camera->getWorldPosition()));
    window->dispatchMouseButton(kLeft, kRelease, 0);
    window->dispatchCursorPosition(400, 100);
    EXPECT_NEAR(camera->yaw() - yawAtPress, -0.5f, 1e-5f) << "released: no more rotation";
}

TEST_F(OrbitCamera, PitchStaysWithinItsLimitsWhateverTheDrag) {
    for (float dy : {-100000.0f, -300.0f, 0.0f, 300.0f, 100000.0f}) {
        drag(kLeft, 100, 100, 100, 100 + dy);
        EXPECT_GE(camera->pitch(), OrbitCameraNode::kMinimumPitch) << dy;
        EXPECT_LE(camera->pitch(), OrbitCameraNode::kMaximumPitch) << dy;
        EXPECT_NEAR(glm::distance(camera->getWorldPosition(), glm::vec3(1, 0, 0)), 10.0f, 1e-3f) << dy;
        window->dispatchMouseButton(kLeft, kRelease, 0);
        window->dispatchCursorPosition(0, 0);
    }
}

TEST_F(OrbitCamera, ScrollingZoomsSmoothlyAndSettlesWithinATenth) {
    window->dispatchScroll(0, 1);
    EXPECT_FLOAT_EQ(camera->targetRadius(), 9.0f);
    // 4 x difference per second, at least 0.1 per update, never past the target.
    const float expected[] = {9.6f, 9.36f, 9.216f, 9.116f, 9.016f, 9.016f};
    for (float radius : expected) {
        camera->update(0.1f);
        EXPECT_NEAR(camera->radius(), radius, 1e-4f);
    }
    EXPECT_FLOAT_EQ(camera->targetRadius(), camera->radius());
    EXPECT_NEAR(glm::distance(camera->getWorldPosition(), glm::vec3(1, 0, 0)), 9.016f, 1e-3f);

    // A long frame does not overshoot the target.
    window->dispatchScroll(0, -1);
    const float target = camera->targetRadius();
    camera->update(0.5f);
    EXPECT_NEAR(camera->radius(), target, 1e-4f);

    // However far the wheel turns, the camera stays in front of the centre.
    window->dispatchScroll(0, 50);
    EXPECT_GE(camera->targetRadius(), OrbitCameraNode::kMinimumRadius);
}

TEST_F(OrbitCamera, ZoomingOutStopsWhileTheCentreIsWellInsideTheFarPlane) {
    EXPECT_FLOAT_EQ(camera->maximumRadius(), 50.0f); // half the far plane of 100
    for (int notch = 0; notch < 100; ++notch)
        window->dispatchScroll(0, -1);
    EXPECT_FLOAT_EQ(camera->targetRadius(), camera->maximumRadius());
    for (int i = 0; i < 200; ++i)
        camera->update(0.1f);
    EXPECT_LE(glm::distance(camera->getWorldPosition(), camera->orbitCentre()), 50.01f);
    // Zooming in still works from there (the zoom settles within a tenth of its target).
    window->dispatchScroll(0, 1);
    EXPECT_NEAR(camera->targetRadius(), 45.0f, 0.1f);
}

TEST_F(OrbitCamera, ReleasingTheLeftButtonDuringAPanDoesNotJump) {
    window->dispatchMouseButton(kRight, kPress, 0);
    window->dispatchCursorPosition(100, 100);
    window->dispatchCursorPosition(100, 100); // panning, at rest
    drag(kLeft, 100, 100, 300, 100);          // an orbit while the right button stays down
    window->dispatchMouseButton(kLeft, kRelease, 0);
    const glm::vec3 centreBefore = camera->orbitCentre();
    window->dispatchCursorPosition(301, 100); // one pixel
    window->dispatchCursorPosition(302, 100); // and another
    // Two pixels at 0.01 units each at most; not the 200 pixels of the orbit drag.
    EXPECT_LE(glm::distance(camera->orbitCentre(), centreBefore), 0.0201f);
    window->dispatchMouseButton(kRight, kRelease, 0);
}

TEST_F(OrbitCamera, ARightDragPansCameraAndCentreTogether) {
    const glm::vec3 before = camera->getWorldPosition();
    drag(kRight, 100, 100, 130, 120);
    const glm::vec3 moved = camera->getWorldPosition() - before;
    EXPECT_GT(glm::length(moved), 0.1f);
    expectNear(camera->orbitCentre(), glm::vec3(1, 0, 0) + moved);
    expectNear(camera->viewDirection(), {0, 0, -1});
}

TEST_F(OrbitCamera, PanningFollowsThePointer) {
    // The camera looks down -z: its right is +x and its up +y.
    struct Case {
        const char* name;
        float dx, dy;
        glm::vec3 direction; // of the camera's movement
    };
    for (const Case& c : {Case{"drag right", 30, 0, {-1, 0, 0}}, Case{"drag down", 0, 30, {0, 1, 0}}}) {
        SCOPED_TRACE(c.name);
        const glm::vec3 before = camera->getWorldPosition();
        drag(kRight, 100, 100, 100 + c.dx, 100 + c.dy);
        window->dispatchMouseButton(kRight, 0, 0); // release, and the pointer moves back
        window->dispatchCursorPosition(100, 100);
        const glm::vec3 moved = camera->getWorldPosition() - before;
        ASSERT_GT(glm::length(moved), 0.1f);
        expectNear(glm::normalize(moved), c.direction);
    }
}

TEST_F(OrbitCamera, TheCameraTracksAMovingCentre) {
    centre->translate({0, 0, -5}); // the centre is now 15 away
    camera->update(0.0f);
    expectNear(camera->orbitCentre(), {1, 0, -5});
    expectNear(camera->viewDirection(), {0, 0, -1});
    EXPECT_GT(camera->radius(), 14.8f) << "one zoom step from 15 towards the kept distance of 10";
    for (int i = 0; i < 100; ++i)
        camera->update(0.1f);
    EXPECT_NEAR(glm::distance(camera->getWorldPosition(), glm::vec3(1, 0, -5)), 10.0f, 0.11f);

    // A centre that is destroyed leaves the orbit where it was.
    scene.root3D()->removeChild(centre);
    camera->update(0.1f);
    expectNear(camera->orbitCentre(), {1, 0, -5});
}

TEST_F(OrbitCamera, AnInactiveCameraIgnoresInputAndUpdates) {
    scene.root3D()->addChild(std::make_unique<CameraNode>("other", 1.0f, 0.1f, 100.0f, 1.0f));
    scene.setActiveCamera("other");
    const glm::vec3 before = camera->getWorldPosition();
    drag(kLeft, 0, 0, 300, 300);
    window->dispatchScroll(0, 3);
    camera->update(1.0f);
    expectNear(camera->getWorldPosition(), before);
    EXPECT_FLOAT_EQ(camera->targetRadius(), 10.0f);
}

TEST_F(OrbitCamera, WithoutANamedCentreTheRootIsUsedWithAWarning) {
    test::LogCapture log;
    Node3D* lone =
        scene.root3D()->addChild(std::make_unique<OrbitCameraNode>("cam2", 1.0f, 0.1f, 100.0f, 1.0f));
    EXPECT_EQ(static_cast<OrbitCameraNode*>(lone)->orbitCentreNode(), scene.root3D());
    EXPECT_EQ(log.messages(spdlog::level::warn),
              (std::vector<std::string>{
                  "OrbitCamera cam2 couldn't find a default orbit center and will now use the "
                  "scenes root node!"}));
    EXPECT_EQ(static_cast<OrbitCameraNode*>(lone)->registeredWindow(), window);
}

} // namespace
} // namespace hm
