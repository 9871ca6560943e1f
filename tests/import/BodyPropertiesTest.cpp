// Body properties that need no OpenGL context, checked by simulation in a headless window.
#include "import/BodyProperties.h"

#include "app/Window.h"
#include "import/ModelImporter.h"
#include "scene/EmptyNode.h"
#include "scene/Scene.h"

#include <assimp/scene.h>
#include <gtest/gtest.h>

namespace hm {
namespace {

// A dynamic ball ten units up, its body read from file-node properties with the given lock of
// linear motion.
class DropScene : public Scene {
public:
    explicit DropScene(const aiVector3D& linearLock) : Scene("drop"), linearLock_(linearLock) {}

    void load() override {
        aiNode file("ball");
        file.mMetaData = aiMetadata::Alloc(4);
        file.mMetaData->Set(0, "Body", aiString("BoundingSphere"));
        file.mMetaData->Set(1, "BodyRadius", 0.5f);
        file.mMetaData->Set(2, "ActorType", std::int32_t(1)); // dynamic
        file.mMetaData->Set(3, "LockLinearAxis", linearLock_);
        aiScene fileScene;
        auto root = std::make_unique<EmptyNode>("root");
        auto ball = std::make_unique<EmptyNode>("ball");
        ball->translate(glm::vec3(0.0f, 10.0f, 0.0f));
        ModelImporter importer;
        readBodyProperties(importer, *ball, file, fileScene);
        ball_ = root->addChild(std::move(ball));
        setRoot3D(std::move(root));
    }

    Node3D* ball() const { return ball_; }

private:
    aiVector3D linearLock_;
    Node3D* ball_ = nullptr;
};

// Each component of a lock is truncated to an integer and locks when that is not zero, however
// large the value is.
TEST(BodyProperties, AxisLocksHoldForAnyNonZeroValue) {
    struct Case {
        float lockY;
        bool falls;
    };
    const Case cases[] = {{0.0f, true}, {1.0f, false},  {-2.5f, false},
                          {0.5f, true}, {3e10f, false}, {-1e30f, false}};
    for (const Case& c : cases) {
        auto window = Window::headless(64, 64);
        auto owned = std::make_unique<DropScene>(aiVector3D(0.0f, c.lockY, 0.0f));
        DropScene& scene = *owned;
        window->openScene(std::move(owned));
        for (int frame = 0; frame < 30; ++frame)
            window->advance(1.0f / 60.0f);
        ASSERT_NE(scene.ball(), nullptr);
        const float y = scene.ball()->getWorldPosition().y;
        EXPECT_EQ(y < 9.5f, c.falls) << "lock y = " << c.lockY << ", the ball is at y = " << y;
    }
}

} // namespace
} // namespace hm
