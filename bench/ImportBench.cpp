// Import time of every game model next to a bare parse of the same file with the same
// post-processing: the ratio is the importer's own cost (node tree, meshes and their GPU
// upload, skins, animations, materials) on top of the parser. Materials and textures are
// process-wide caches, so after the first round they are found rather than made; that is the
// cost the game pays for every model after the first that shares them.
#include "app/AssetLocations.h"
#include "app/Log.h"
#include "app/Window.h"
#include "import/ModelImporter.h"
#include "scene/Node3D.h"
#include "scene/Scene.h"

#include <GL/glew.h>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

hm::Window& window() {
    static auto* w = [] {
        hm::initLogging();
        spdlog::set_level(spdlog::level::err);
        return new hm::Window("Import benchmark", false, false, 64, 64, 1.0);
    }();
    return *w;
}

class BenchScene : public hm::Scene {
public:
    BenchScene() : Scene("import benchmark") {}
    void load() override {}
};

const char* const kModels[] = {"Vezaz.fbx",
                               "menu_main.fbx",
                               "tower_base.fbx",
                               "tower_arrow.fbx",
                               "tower_cannon.fbx",
                               "enemy_floating_stone_monster.fbx",
                               "enemy_walking_stone_monster.fbx",
                               "enemy_massive_stone_monster.fbx",
                               "projectile_arrow.fbx",
                               "projectile_cannonball.fbx"};

double seconds(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Each iteration parses the file once and imports it once, alternately, so both see the same
// machine load; the medians make the ratio robust against a busy neighbour.
void ImportModel(benchmark::State& state, const std::string& file) {
    window();
    const std::string path = hm::kModelsFolder + file;
    std::vector<double> parses, imports;
    for (auto _ : state) {
        auto start = Clock::now();
        if (!hm::ModelImporter::parseFile(path))
            state.SkipWithError("the file cannot be parsed");
        parses.push_back(seconds(start));

        // A fresh scene each time, so merged node animations do not pile up.
        auto scene = std::make_unique<BenchScene>();
        start = Clock::now();
        auto root = hm::importModel(scene.get(), 0, file);
        glFinish();
        imports.push_back(seconds(start));
        root.reset();
        scene.reset();
    }
    const double parse = median(parses), imported = median(imports);
    state.counters["parse_ms"] = parse * 1e3;
    state.counters["import_ms"] = imported * 1e3;
    state.counters["ratio"] = imported / parse;
}

const bool registered = [] {
    for (const char* model : kModels)
        benchmark::RegisterBenchmark(("ImportModel/" + std::string(model)).c_str(), ImportModel,
                                     std::string(model))
            ->Iterations(11)
            ->Unit(benchmark::kMillisecond);
    return true;
}();

} // namespace
