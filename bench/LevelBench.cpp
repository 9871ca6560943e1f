// Cost of one frame of the real level: the rules, physics, animation and node updates
// (LevelUpdate) and the drawing (LevelRender), with a tower on every plot and monsters on the
// road. Times depend on the machine (and on the software rasteriser under Xvfb); compare runs
// on the same machine.
//
// LevelRender warms up first (the software rasteriser compiles its shaders on the first frames),
// lets the level play on between frames without timing that, then reports in one run: the frame in
// milliseconds and frames per second, the GPU time of each pass (timer queries, and serialised: the GPU
// drained around each pass), the same geometry drawn by a flat-colour renderer as a share of the frame (the
// floor a lit frame could reach), and the OpenGL calls of one frame. One entry per level of the
// campaign and quality level (LevelRender/LEVEL/QUALITY).
#include "GLCallCounter.h"
#include "app/Log.h"
#include "app/Window.h"
#include "game/LevelCoordinator.h"
#include "game/LevelDefinition.h"
#include "game/LevelScene.h"
#include "game/Tower.h"
#include "render/Renderer.h"

#include <GL/glew.h>
#include <GLFW/glfw3.h>
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>

namespace {

hm::Window& window() {
    static auto* w = [] {
        hm::initLogging();
        spdlog::set_level(spdlog::level::warn);
        auto* created = new hm::Window("Level benchmark", false, false, 800, 800, 1.0);
        hm::bench::installGLCallCounter();
        return created;
    }();
    return *w;
}

// A level 20 s into play, defended on every plot, with the first monsters on the road.
std::unique_ptr<hm::LevelScene> busyLevel(const std::string& level) {
    auto scene = std::make_unique<hm::LevelScene>(level);
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
    const auto levels = hm::campaignLevels();
    auto scene = busyLevel(levels.empty() ? std::string("Vezaz") : levels.front());
    for (auto _ : state)
        scene->update(window(), 1.0f / 60.0f);
    state.counters["enemies"] = static_cast<double>(scene->coordinator().enemies().size());
}
BENCHMARK(LevelUpdate)->Iterations(600)->Unit(benchmark::kMicrosecond); // ten seconds of play

template <typename Draw> double millisecondsPerFrame(int frames, Draw draw) {
    glFinish();
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < frames; ++i) {
        draw();
        glfwSwapBuffers(window().handle());
    }
    glFinish();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count() /
           frames;
}

void LevelRender(benchmark::State& state, hm::RenderQuality quality, const std::string& level) {
    hm::Window& w = window();
    auto scene = busyLevel(level);
    hm::Renderer& renderer = hm::Renderer::instance();
    renderer.setQuality(quality);
    const char* label = hm::qualityName(quality);
    // The level plays on between frames (monsters ride, towers turn and shoot), as in the game;
    // only the drawing is timed.
    auto frame = [&] {
        scene->update(w, 1.0f / 60.0f);
        glFinish();
        const auto start = std::chrono::steady_clock::now();
        scene->render(w, 1.0f / 60.0f);
        glfwSwapBuffers(w.handle());
        glFinish();
        return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    };
    // Shader compiles and first uploads; and the shadow cache takes a few frames to see which
    // casters keep still.
    for (int i = 0; i < hm::ShadowCasterCache::kStillFrames + 4; ++i)
        frame();

    hm::bench::resetGLCallCount();
    scene->render(w, 1.0f / 60.0f);
    const auto calls = static_cast<double>(hm::bench::glCallCount());
    glfwSwapBuffers(w.handle());

    std::int64_t frames = 0;
    double totalMs = 0.0;
    for (auto _ : state) {
        totalMs += frame();
        ++frames;
    }
    const double frameMs = totalMs / static_cast<double>(frames);

    // Per pass: averaged over a few timed frames.
    constexpr int kTimedFrames = 5;
    std::array<double, hm::PassTimer::kPassCount> passMs{};
    std::array<double, hm::PassTimer::kPassCount> serialMs{};
    renderer.passTimer().setEnabled(true);
    for (int i = 0; i < kTimedFrames; ++i) {
        frame();
        for (int p = 0; p < hm::PassTimer::kPassCount; ++p) {
            passMs[static_cast<std::size_t>(p)] += renderer.passTimer().milliseconds(p) / kTimedFrames;
            serialMs[static_cast<std::size_t>(p)] +=
                renderer.passTimer().serialisedMilliseconds(p) / kTimedFrames;
        }
    }
    renderer.passTimer().setEnabled(false);

    auto flat = [&] { renderer.renderFlat(w, *scene); };
    millisecondsPerFrame(2, flat);
    const double flatMs = millisecondsPerFrame(10, flat);

    double passSum = 0.0, serialSum = 0.0;
    for (int p = 0; p < hm::PassTimer::kPassCount; ++p) {
        passSum += passMs[static_cast<std::size_t>(p)];
        serialSum += serialMs[static_cast<std::size_t>(p)];
    }
    std::printf("\nLevelRender/%s/%s at 800x800: %.1f ms per frame (%.1f fps), %.0f GL calls per frame\n",
                level.c_str(), label, frameMs, 1000.0 / frameMs, calls);
    std::printf("  %-11s %9s %7s %13s %7s\n", "pass", "GPU ms", "share", "serialised ms", "share");
    for (int p = 0; p < hm::PassTimer::kPassCount; ++p) {
        const double ms = passMs[static_cast<std::size_t>(p)];
        const double serial = serialMs[static_cast<std::size_t>(p)];
        if (ms > 0.0 || serial > 0.0)
            std::printf("  %-11s %9.2f %6.1f%% %13.2f %6.1f%%\n", hm::PassTimer::name(p), ms,
                        100.0 * ms / frameMs, serial, 100.0 * serial / serialSum);
    }
    std::printf("  %-11s %9.2f %6.1f%% %13.2f\n", "all passes", passSum, 100.0 * passSum / frameMs,
                serialSum);
    std::printf("  %-11s %9.2f %6.2fx of the frame\n", "flat colour", flatMs, flatMs / frameMs);
    std::fflush(stdout);
    renderer.setQuality(hm::RenderQuality::High);

    state.counters["frame_ms"] = frameMs;
    state.counters["fps"] = 1000.0 / frameMs;
    state.counters["gl_calls"] = calls;
    state.counters["flat_ms"] = flatMs;
    state.counters["flat_x"] = flatMs / frameMs;
    for (int p = 0; p < hm::PassTimer::kPassCount; ++p)
        if (passMs[static_cast<std::size_t>(p)] > 0.0)
            state.counters[std::string(hm::PassTimer::name(p)) + "_ms"] = passMs[static_cast<std::size_t>(p)];
}
// Every level of the campaign at every quality; the game's levels are data, so is this list.
const bool kLevelRenderRegistered = [] {
    for (const std::string& level : hm::campaignLevels())
        for (hm::RenderQuality quality :
             {hm::RenderQuality::High, hm::RenderQuality::Medium, hm::RenderQuality::Low})
            benchmark::RegisterBenchmark(
                ("LevelRender/" + level + "/" + hm::qualityName(quality)).c_str(),
                [quality, level](benchmark::State& state) { LevelRender(state, quality, level); })
                ->Iterations(quality == hm::RenderQuality::Low ? 30 : 15)
                ->Unit(benchmark::kMillisecond);
    return true;
}();

} // namespace
