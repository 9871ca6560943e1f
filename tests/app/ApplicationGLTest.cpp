#include "app/Application.h"

#include "scene/Scene.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace hm {
namespace {

struct FailingScene : Scene {
    using Scene::Scene;
    void load() override {}
    void update(Window& window, float elapsed) override {
        Scene::update(window, elapsed);
        if (sceneTime() > 0.0f || ++frames > 2)
            throw std::runtime_error("the level fell apart");
    }
    int frames = 0;
};

TEST(Application, RuntimeErrorInTheGameLoopLogsOneCriticalLineAndExitsWithOne) {
    test::LogCapture log;
    const int status = runGame([](const std::string& name) { return std::make_unique<FailingScene>(name); });
    EXPECT_EQ(status, 1);
    EXPECT_EQ(log.messages(spdlog::level::critical),
              (std::vector<std::string>{"Critical failure while starting game loop: the level fell apart"}));
    EXPECT_EQ(log.count("Starting gameloop of scene Unnamed Scene"), 1u);
}

} // namespace
} // namespace hm
