// Frame cost of the reference scene (three shadow cascades, sky, PBR pass) next to an empty
// frame (clear and swap only) on the same window. The ratio is what to watch: absolute times
// depend on the machine and, under Xvfb, on the software rasteriser.
#include "app/Log.h"
#include "app/Window.h"
#include "tools/reference/ReferenceScene.h"

#include <GL/glew.h>
#include <GLFW/glfw3.h>
#include <benchmark/benchmark.h>

#include <chrono>

namespace {

hm::Window& window() {
    static auto* w = [] {
        hm::initLogging();
        spdlog::set_level(spdlog::level::warn);
        return new hm::Window("Renderer benchmark", false, false, 800, 800, 1.0);
    }();
    return *w;
}

double emptyFrameSeconds(int frames) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < frames; ++i) {
        glClearColor(0.1f, 0.1f, 0.1f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glfwSwapBuffers(window().handle());
    }
    glFinish();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / frames;
}

void ReferenceSceneFrame(benchmark::State& state) {
    hm::Window& w = window();
    hm::ReferenceScene scene;
    scene.start(w);
    scene.setAspectRatio(1.0f);
    scene.update(w, 0.0f);
    const double empty = emptyFrameSeconds(20);
    std::int64_t frames = 0;
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        scene.update(w, 1.0f / 60.0f);
        scene.render(w, 1.0f / 60.0f);
        glfwSwapBuffers(w.handle());
        ++frames;
    }
    glFinish();
    const double perFrame =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / frames;
    state.counters["empty_ms"] = empty * 1e3;
    state.counters["scene_ms"] = perFrame * 1e3;
    state.counters["ratio"] = perFrame / empty;
}
BENCHMARK(ReferenceSceneFrame)->Iterations(30)->Unit(benchmark::kMillisecond);

} // namespace
