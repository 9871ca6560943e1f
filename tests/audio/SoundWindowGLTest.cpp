// The window's sound engine and the game loop moving its listener.
#include "app/Window.h"

#include "audio/SoundEngine.h"
#include "render/CameraNode.h"
#include "scene/EmptyNode.h"
#include "scene/Scene.h"

#include <glm/gtc/matrix_transform.hpp>
#include <gtest/gtest.h>

namespace hm {
namespace {

// Looks through a camera held at (1, 5, 9); plays a sound on its first frame, ends after the second.
struct ListeningScene : Scene {
    explicit ListeningScene(bool& playing) : Scene("listening"), playing(playing) {}
    void load() override {
        auto root = std::make_unique<EmptyNode>("root");
        auto camera = std::make_unique<CameraNode>("ear", 1.0f, 0.1f, 100.0f, 1.0f);
        camera->setLocalMatrix(glm::translate(glm::mat4(1.0f), glm::vec3(1.0f, 5.0f, 9.0f)));
        root->addChild(std::move(camera));
        setRoot3D(std::move(root));
        setActiveCamera("ear");
    }
    void update(Window& window, float elapsed) override {
        Scene::update(window, elapsed);
        if (frame == 0)
            window.soundEngine().play("construction", {0.0f, 0.0f, 0.0f}, &channel);
        if (++frame == 2) {
            playing = window.soundEngine().isPlaying(channel);
            window.exitGameLoop();
        }
    }
    bool& playing;
    int frame = 0;
    SoundChannel channel;
};

TEST(SoundWindow, TheWindowLoadsTheGameSoundsAndTheLoopPutsTheListenerAtTheActiveCamera) {
    Window window("Sound test", false, false, 160, 120, 1.0);
    ASSERT_TRUE(window.soundEngine().contains("construction"));
    bool playing = false;
    window.startGameLoop(std::make_unique<ListeningScene>(playing));
    EXPECT_TRUE(playing);
    EXPECT_EQ(window.soundEngine().listenerPosition(), glm::vec3(1.0f, 5.0f, 9.0f));
    // Standing still on the second frame.
    EXPECT_EQ(window.soundEngine().listenerVelocity(), glm::vec3(0.0f));
    window.shutdown();
}

} // namespace
} // namespace hm
