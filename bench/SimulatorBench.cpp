// Speed of the level simulator: one whole play of the real level by the greedy player, from
// loading to the end. Reported as seconds of play simulated per second of wall time
// ("realtime_ratio"); designers need it well above 100 to run hundreds of plays.
#include "app/Log.h"
#include "app/Window.h"
#include "game/LevelSimulator.h"

#include <benchmark/benchmark.h>

#include <cstdlib>

namespace {

hm::Window& window() {
    static auto* w = [] {
        setenv("ALSOFT_DRIVERS", "null", 1);
        hm::initLogging();
        spdlog::set_level(spdlog::level::warn);
        return hm::Window::headless(800, 800).release();
    }();
    return *w;
}

void WholePlay(benchmark::State& state, hm::PlayerPolicy policy) {
    hm::LevelSimulator simulator(window(), "Vezaz");
    double played = 0.0;
    for (auto _ : state) {
        hm::PlayOptions options;
        options.policy = policy;
        const hm::PlayResult result = simulator.play(options);
        played += result.time;
        benchmark::DoNotOptimize(result.lives);
    }
    state.counters["play_seconds"] = benchmark::Counter(played / static_cast<double>(state.iterations()));
    state.counters["realtime_ratio"] = benchmark::Counter(played, benchmark::Counter::kIsRate);
}
BENCHMARK_CAPTURE(WholePlay, Greedy, hm::PlayerPolicy::Greedy)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(WholePlay, NoTowers, hm::PlayerPolicy::Plan)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
