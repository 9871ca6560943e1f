// Cost of one frame of the real level: the rules, physics, animation and node updates
// (LevelUpdate) and the drawing (LevelRender), with a tower on every plot and monsters on the
// road. Times depend on the machine (and on the software rasteriser under Xvfb); compare runs
// on the same machine.
#include "app/Log.h"
#include "app/Window.h"
#include "game/LevelCoordinator.h"
#include "game/LevelScene.h"
#include "game/Tower.h"

#include <GLFW/glfw3.h>
#include <benchmark/benchmark.h>

namespace {

hm::Window& window() {
    static auto* w = [] {
        hm::initLogging();
        spdlog::set_level(spdlog::level::warn);
        return new hm::Window("Level benchmark", false, false, 800, 800, 1.0);
    }();
    return *w;
}

// A level 20 s into play, defended on every plot, with the first monsters on the road.
std::unique_ptr<hm::LevelScene> busyLevel() {
    auto scene = std::make_unique<hm::LevelScene>("Vezaz");
    scene->start(window());
    scene->setAspectRatio(1.0f);
    auto& rules = scene->coordinator();
    rules.setResources(100000);
    for (hm::TowerBase* base : rules.towerBases())
        base->build(base->index() % 2 ? hm::TowerType::ARROW : hm::TowerType::CANNON);
    for (int i = 0; i < 20 * 30; ++i)
        scene->update(window(), 1.0f / 30.0f);
    return scene;
}

void LevelUpdate(benchmark::State& state) {
    auto scene = busyLevel();
    for (auto _ : state)
        scene->update(window(), 1.0f / 60.0f);
    state.counters["enemies"] = static_cast<double>(scene->coordinator().enemies().size());
}
BENCHMARK(LevelUpdate)->Iterations(600)->Unit(benchmark::kMicrosecond); // ten seconds of play

void LevelRender(benchmark::State& state) {
    auto scene = busyLevel();
    for (auto _ : state) {
        scene->render(window(), 1.0f / 60.0f);
        glfwSwapBuffers(window().handle());
    }
}
BENCHMARK(LevelRender)->Iterations(20)->Unit(benchmark::kMillisecond);

} // namespace
