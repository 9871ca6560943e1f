#include "app/Window.h"

#include "scene/Scene.h"
#include "support//LogCapture.h"
#include "support/GLTestWindow.h"

#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>

namespace hm {
namespace {

struct RecordingHandler : InputHandler {
    RecordingHandler(std::string tag, std::vector<std::string>& journal)
        : tag(std::move(tag)), journal(journal) {
        wantsKey = wantsMouseButton = true;
    }
    void onKey(Window& w, int key, int, int, int) override {
        journal.push_back(tag);
        if (onKeyAction)
            onKeyAction(w);
    }
    void onFramebufferSize(Window&, int width, int height) override {
        journal.push_back(tag + ":" + std::to_string(width) + "x" + std::to_string(height));
    }
    std::string tag;
    std::vector<std::string>& journal;
    std::function<void(Window&)> onKeyAction;
};

// A scene whose every frame runs a script; it records what it saw.
struct ScriptedScene : Scene {
    using Script = std::function<void(ScriptedScene&, Window&, int frame)>;
    ScriptedScene(std::string name, std::vector<std::string>& journal, Script script = {})
        : Scene(std::move(name)), journal(journal), script(std::move(script)) {}
    ~ScriptedScene() override { journal.push_back("destroy " + name()); }
    void load() override { journal.push_back("load " + name()); }
    void update(Window& window, float elapsed) override {
        Scene::update(window, elapsed);
        elapsedTimes.push_back(elapsed);
        if (frame == 0)
            journal.push_back("first elapsed " + name() + " " + std::to_string(elapsed));
        if (script)
            script(*this, window, frame);
        ++frame;
    }
    std::vector<std::string>& journal;
    Script script;
    std::vector<float> elapsedTimes;
    int frame = 0;
};

class WindowTest : public testing::Test {
protected:
    void SetUp() override { window = test::openWindow("Window test", 320, 240); }
    std::vector<std::string> journal;
    std::unique_ptr<Window> window;
};

TEST_F(WindowTest, DispatchGoesInRegistrationOrderAndTwiceForDoubleRegistration) {
    RecordingHandler a("a", journal), b("b", journal);
    window->registerInputHandler(a);
    window->registerInputHandler(b);
    window->registerInputHandler(a);
    window->dispatchKey(GLFW_KEY_A, 0, GLFW_PRESS, 0);
    EXPECT_EQ(journal, (std::vector<std::string>{"a", "b", "a"}));
    EXPECT_EQ(a.registeredWindow(), window.get());

    window->unregisterInputHandler(a);
    journal.clear();
    window->dispatchKey(GLFW_KEY_A, 0, GLFW_PRESS, 0);
    EXPECT_EQ(journal, (std::vector<std::string>{"b"}));
    EXPECT_EQ(a.registeredWindow(), nullptr);
}

TEST_F(WindowTest, FramebufferSizeHandlerHearsTheCurrentSizeAtOnce) {
    RecordingHandler a("a", journal);
    a.wantsFramebufferSize = true;
    window->registerInputHandler(a);
    EXPECT_EQ(journal, (std::vector<std::string>{"a:320x240"}));
}

TEST_F(WindowTest, UnregisteringDuringDispatchSkipsNoOneAndTouchesNoDeadHandler) {
    struct Case {
        const char* name;
        // What the first handler does to the others from inside its callback.
        std::function<void(Window&, RecordingHandler& self, std::unique_ptr<RecordingHandler>& victim)>
            action;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"unregisters itself",
         [](Window& w, RecordingHandler& self, auto&) { w.unregisterInputHandler(self); },
         {"first", "victim", "last"}},
        {"unregisters the next one",
         [](Window& w, RecordingHandler&, auto& victim) { w.unregisterInputHandler(*victim); },
         {"first", "last"}},
        {"destroys the next one",
         [](Window&, RecordingHandler&, auto& victim) { victim.reset(); },
         {"first", "last"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        journal.clear();
        RecordingHandler first("first", journal), last("last", journal);
        auto victim = std::make_unique<RecordingHandler>("victim", journal);
        first.onKeyAction = [&](Window& w) { c.action(w, first, victim); };
        window->registerInputHandler(first);
        window->registerInputHandler(*victim);
        window->registerInputHandler(last);
        window->dispatchKey(GLFW_KEY_B, 0, GLFW_PRESS, 0);
        EXPECT_EQ(journal, c.expected);
        journal.clear();
        first.onKeyAction = nullptr;
        window->dispatchKey(GLFW_KEY_B, 0, GLFW_PRESS, 0); // the lists are consistent afterwards
        EXPECT_EQ(journal.back(), "last");
        window->unregisterInputHandler(first);
        window->unregisterInputHandler(last);
    }
}

TEST_F(WindowTest, KeyLogLinesForPressAndReleaseButNotRepeat) {
    test::LogCapture log;
    window->dispatchKey(65, 0, GLFW_PRESS, 0);
    window->dispatchKey(65, 0, GLFW_REPEAT, 0);
    window->dispatchKey(65, 0, GLFW_RELEASE, 0);
    EXPECT_EQ(log.messages(spdlog::level::debug),
              (std::vector<std::string>{"Keyboard Key 65 pushed", "Keyboard Key 65 released"}));
}

TEST_F(WindowTest, EveryScenesFirstFrameReportsZeroAndTheSecondRequestWins) {
    test::LogCapture log;
    auto menu = std::make_unique<ScriptedScene>("menu", journal, [&](ScriptedScene&, Window& w, int frame) {
        if (frame == 2) {
            w.startGameLoop(std::make_unique<ScriptedScene>("level-a", journal));
            w.startGameLoop(std::make_unique<ScriptedScene>("level-b", journal, [](auto&, Window& w2, int f) {
                if (f == 1)
                    w2.exitGameLoop();
            }));
        }
    });
    window->startGameLoop(std::move(menu));
    EXPECT_EQ(journal, (std::vector<std::string>{"load menu", "first elapsed menu 0.000000",
                                                 "destroy level-a", "destroy menu", "load level-b",
                                                 "first elapsed level-b 0.000000", "destroy level-b"}));
    EXPECT_EQ(log.count("Starting gameloop of scene menu"), 1u);
    EXPECT_EQ(log.count("Starting gameloop of scene level-b"), 1u);
    EXPECT_EQ(window->currentScene(), nullptr);
}

TEST_F(WindowTest, RequestingTheRunningSceneLogsOneErrorAndChangesNothing) {
    test::LogCapture log;
    window->startGameLoop(
        std::make_unique<ScriptedScene>("menu", journal, [](ScriptedScene& self, Window& w, int f) {
            if (f == 0)
                w.startGameLoop(std::unique_ptr<Scene>(&self));
            if (f == 2)
                w.exitGameLoop();
        }));
    EXPECT_EQ(
        log.messages(spdlog::level::err),
        (std::vector<std::string>{"The given scene menu is currently running. I will ignore your bidding of "
                                  "starting it as a new scene."}));
    EXPECT_EQ(journal.back(), "destroy menu");
}

TEST_F(WindowTest, ClosingTheWindowWithASwitchPendingStillStartsThePendingScene) {
    window->startGameLoop(std::make_unique<ScriptedScene>("menu", journal, [&](auto&, Window& w, int f) {
        w.startGameLoop(std::make_unique<ScriptedScene>("level", journal,
                                                        [](auto&, Window& w2, int) { w2.exitGameLoop(); }));
        glfwSetWindowShouldClose(w.handle(), GLFW_TRUE);
        w.exitGameLoop(); // what the window-close callback does
    }));
    EXPECT_NE(std::find(journal.begin(), journal.end(), "load level"), journal.end());
}

TEST_F(WindowTest, OnlyGeneralHandlersSurviveASceneSwitch) {
    std::vector<std::string> handlerJournal;
    auto general = std::make_unique<RecordingHandler>("general", handlerJournal);
    window->addGeneralInputHandler(std::move(general));
    RecordingHandler sceneHandler("scene", handlerJournal); // never unregisters
    std::size_t keyHandlersInLevel = 0;
    window->startGameLoop(std::make_unique<ScriptedScene>("menu", journal, [&](auto&, Window& w, int f) {
        if (f == 0)
            w.registerInputHandler(sceneHandler);
        if (f == 1)
            w.startGameLoop(std::make_unique<ScriptedScene>("level", journal, [&](auto&, Window& w2, int) {
                keyHandlersInLevel = w2.input().count(InputEvent::Key);
                w2.dispatchKey(GLFW_KEY_C, 0, GLFW_PRESS, 0);
                w2.exitGameLoop();
            }));
    }));
    EXPECT_EQ(keyHandlersInLevel, 1u);
    EXPECT_EQ(handlerJournal, (std::vector<std::string>{"general"}));
    EXPECT_EQ(sceneHandler.registeredWindow(), nullptr);
}

TEST_F(WindowTest, AHandlerWithoutEventsForgetsAWindowThatCloses) {
    std::vector<std::string> handlerJournal;
    RecordingHandler quiet("quiet", handlerJournal);
    quiet.wantsKey = quiet.wantsMouseButton = false; // subscribes to nothing
    RecordingHandler keys("keys", handlerJournal);
    window->registerInputHandler(quiet);
    window->registerInputHandler(keys);
    EXPECT_EQ(quiet.registeredWindow(), window.get());
    window.reset();
    // Both would otherwise unregister from the closed window when they are destroyed.
    EXPECT_EQ(quiet.registeredWindow(), nullptr);
    EXPECT_EQ(keys.registeredWindow(), nullptr);

    // A scene switch clears the link as well.
    window = test::openWindow("Window test", 320, 240);
    window->registerInputHandler(quiet);
    window->startGameLoop(std::make_unique<ScriptedScene>("menu", journal, [&](auto&, Window& w, int f) {
        if (f == 0)
            w.startGameLoop(std::make_unique<ScriptedScene>(
                "level", journal, [&](auto&, Window& w2, int) { w2.exitGameLoop(); }));
    }));
    EXPECT_EQ(quiet.registeredWindow(), nullptr);
}

TEST_F(WindowTest, ZeroHeightFramebufferKeepsTheLastAspectRatio) {
    float seen = 0.0f;
    window->startGameLoop(
        std::make_unique<ScriptedScene>("menu", journal, [&](ScriptedScene& self, Window& w, int) {
            w.dispatchFramebufferSize(400, 200);
            w.dispatchFramebufferSize(400, 0);
            seen = self.aspectRatio();
            w.exitGameLoop();
        }));
    EXPECT_FLOAT_EQ(seen, 2.0f);
}

TEST_F(WindowTest, FailuresThatAreLoggedAndIgnored) {
    test::LogCapture log;
    window->startGameLoop(nullptr);
    window->exitGameLoop();
    window->registerCursor("missing", "hud/cursor/does_not_exist.png");
    window->setCursor("missing");
    EXPECT_EQ(
        log.messages(spdlog::level::err),
        (std::vector<std::string>{
            "No scene specified to render in this opengl window.",
            "Failed to load custom cursor file with stbi GAME_DATA/textures/hud/cursor/does_not_exist.png",
            "The requested cursor by the name missing is not stored in the stash."}));
    EXPECT_EQ(log.messages(spdlog::level::warn),
              (std::vector<std::string>{
                  "An attempt of exiting the game loop was done even though none is currently "
                  "running."}));
    EXPECT_EQ(window->getCursor("missing"), nullptr);
}

} // namespace
} // namespace hm
