#include "app/Application.h"

#include "app/AssetLocations.h"
#include "app/InputCodes.h"
#include "app/Log.h"
#include "app/Settings.h"
#include "app/StopSignal.h"
#include "app/Window.h"
#include "audio/SoundEngine.h"
#include "render/RenderDevice.h"
#include "render/Renderer.h"
#include "scene/Scene.h"

#include <stdexcept>

namespace hm {

namespace {

// F shows or hides the frame-time readout, in every scene.
class FrameTimeKey : public InputHandler {
public:
    FrameTimeKey() { wantsKey = true; }
    void onKey(Window&, int key, int, int action, int) override {
        if (key != Key::F || action != InputAction::Press)
            return;
        Renderer& renderer = Renderer::instance();
        renderer.setFrameTimeReadout(!renderer.frameTimeReadout());
    }
};

} // namespace

int runGame(const SceneFactory& firstScene) {
    initLogging();
    installStopSignalHandlers();

    const GamePlaces& places = useGameData();
    if (places.origin == DataOrigin::NotFound) {
        // Nothing could load; the line before says where the data was looked for.
        spdlog::critical("The game cannot start without its data.");
        return 1;
    }
    auto settings = std::make_unique<Settings>(loadSettings(places.settingsFile.string()));

    std::unique_ptr<Window> window;
    try {
        window = std::make_unique<Window>(settings->title, settings->fullscreen, settings->borderless,
                                          settings->width, settings->height, settings->brightness);
    } catch (const std::runtime_error& error) {
        spdlog::critical("Critical failure while starting game loop: {0}", error.what());
        return 1;
    }

    window->soundEngine().setVolume(settings->volume);
    window->registerCursor("default", "hud/cursor/default.png");
    window->registerCursor("no", "hud/cursor/no.png");
    window->setCursor("default");
    Renderer::instance().setQuality(startQuality(*settings, window->renderDevice().rendererName(), places));
    window->addGeneralInputHandler(std::make_unique<FrameTimeKey>());

    try {
        window->startGameLoop(firstScene("Unnamed Scene"));
    } catch (const std::runtime_error& error) {
        spdlog::critical("Critical failure while starting game loop: {0}", error.what());
        return 1;
    }

    window->shutdown();
    window.reset();
    return 0;
}

} // namespace hm
