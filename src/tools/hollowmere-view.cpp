// hollowmere-view: opens one model file in the engine, for checking models without the game.
//
//   hollowmere-view MODEL [--anim NAME] [--file-lights] [--screenshot FILE.png --frames N]
//
// Run from the repository root. MODEL is a path (GAME_DATA/models/tower_arrow.fbx) or a file
// name inside the models folder. The viewer frames the model with an orbit camera (left drag
// turns, right drag pans, the wheel zooms), lights it with its own sun (with --file-lights: with
// the file's lights, if it has any; the log says which), lists its nodes, materials and
// animations in the log, and plays the named skeletal or node animation. With --screenshot it writes frame N
// (default 1) to FILE.png and exits; animation time then advances by 1/24 s per frame. Exit status: 0 on
// success, 1 when the model cannot be opened or the picture not written, 2 for a usage error.
// An installed copy runs from anywhere and finds the installed data (see useGameData).
#include "app/AssetLocations.h"
#include "app/Log.h"
#include "app/StopSignal.h"
#include "app/Window.h"
#include "tools/viewer/ModelViewerScene.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>

namespace {

int usage(const char* message) {
    std::fprintf(stderr,
                 "hollowmere-view: %s\nusage: hollowmere-view MODEL [--anim NAME] [--file-lights] "
                 "[--screenshot FILE.png --frames N]\n",
                 message);
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    hm::ModelViewerScene::Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        if (argument == "--anim") {
            const char* name = value();
            if (!name)
                return usage("--anim needs an animation name");
            options.animation = name;
        } else if (argument == "--file-lights") {
            options.fileLights = true;
        } else if (argument == "--screenshot") {
            const char* file = value();
            if (!file)
                return usage("--screenshot needs a file name");
            options.screenshot = file;
        } else if (argument == "--frames") {
            const char* count = value();
            char* end = nullptr;
            const long frames = count ? std::strtol(count, &end, 10) : 0;
            if (!count || *end != '\0' || frames < 1 || frames > 100000)
                return usage("--frames needs a number from 1 to 100000");
            options.frames = static_cast<int>(frames);
        } else if (!argument.empty() && argument[0] == '-') {
            return usage(("unknown option " + argument).c_str());
        } else if (options.model.empty()) {
            options.model = argument;
        } else {
            return usage("only one model can be opened");
        }
    }
    if (options.model.empty())
        return usage("no model given");

    hm::initLogging();
    hm::installStopSignalHandlers();
    // A model file and the picture are named relative to where the viewer was started; the data
    // may move the working directory.
    std::error_code error;
    if (std::filesystem::is_regular_file(options.model, error))
        options.model = std::filesystem::absolute(options.model).string();
    if (!options.screenshot.empty())
        options.screenshot = std::filesystem::absolute(options.screenshot).string();
    if (hm::useGameData().origin == hm::DataOrigin::NotFound)
        return 1; // the error line says where the data was looked for
    const bool screenshot = !options.screenshot.empty();
    auto outcome = std::make_shared<hm::ModelViewerScene::Outcome>();
    try {
        hm::Window window("Hollowmere model viewer", false, false, 800, 800, 1.0);
        window.startGameLoop(std::make_unique<hm::ModelViewerScene>(options, outcome));
        window.shutdown();
    } catch (const std::runtime_error& error) {
        spdlog::critical("Critical failure in the model viewer: {0}", error.what());
        return 1;
    }
    if (!outcome->modelLoaded || (screenshot && !outcome->screenshotWritten))
        return 1;
    return 0;
}
