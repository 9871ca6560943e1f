#include "game/LevelSimulator.h"

#include "animation/Animation.h"
#include "animation/NodeAnimator.h"
#include "app/Log.h"
#include "game/LevelCoordinator.h"
#include "game/LevelScene.h"
#include "game/PlayRecorder.h"
#include "game/Road.h"
#include "game/Tower.h"

#include <glm/geometric.hpp>
#include <glm/mat4x4.hpp>

#include <algorithm>
#include <cctype>
#include <numeric>
#include <random>

namespace hm {

std::optional<std::vector<PlannedTower>> parsePlan(const std::string& text, std::string& error) {
    std::vector<PlannedTower> plan;
    if (text == "none")
        return plan;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t comma = std::min(text.find(',', start), text.size());
        const std::string item = text.substr(start, comma - start);
        start = comma + 1;
        const bool digits =
            item.size() >= 2 && item.size() <= 4 &&
            std::all_of(item.begin() + 1, item.end(), [](unsigned char c) { return std::isdigit(c); });
        const char kind =
            item.empty() ? '\0' : static_cast<char>(std::toupper(static_cast<unsigned char>(item[0])));
        if (!digits || (kind != 'A' && kind != 'C') || std::stoi(item.substr(1)) < 1) {
            error = "a plan is 'none' or towers such as C2,A10 (A arrow, C cannon, then the plot's number); "
                    "not '" +
                    item + "'";
            return std::nullopt;
        }
        plan.push_back({kind == 'A' ? TowerType::ARROW : TowerType::CANNON, std::stoi(item.substr(1))});
    }
    return plan;
}

std::string formatPlan(const std::vector<PlannedTower>& plan) {
    if (plan.empty())
        return "none";
    std::string text;
    for (const PlannedTower& tower : plan) {
        if (!text.empty())
            text += ',';
        text += (tower.type == TowerType::ARROW ? 'A' : 'C') + std::to_string(tower.plot);
    }
    return text;
}

std::optional<PlayerPolicy> parsePolicy(const std::string& name) {
    for (PlayerPolicy policy :
         {PlayerPolicy::Random, PlayerPolicy::Greedy, PlayerPolicy::Arrows, PlayerPolicy::Cannons})
        if (name == policyName(policy))
            return policy;
    return std::nullopt;
}

const char* policyName(PlayerPolicy policy) {
    switch (policy) {
    case PlayerPolicy::Plan:
        return "plan";
    case PlayerPolicy::Random:
        return "random";
    case PlayerPolicy::Greedy:
        return "greedy";
    case PlayerPolicy::Arrows:
        return "arrows";
    case PlayerPolicy::Cannons:
        return "cannons";
    }
    return "plan";
}

LevelSimulator::LevelSimulator(Window& window, std::string levelName)
    : window_(window), levelName_(std::move(levelName)) {}

std::unique_ptr<LevelScene> LevelSimulator::loadLevel() {
    auto scene = std::make_unique<LevelScene>(levelName_);
    scene->start(window_);
    return scene;
}

bool LevelSimulator::canLoad(std::string& error) {
    auto scene = loadLevel();
    if (scene->coordinator().roads().empty()) {
        error =
            "the level '" + levelName_ + "' has no enemy path (EnemyPathNode and its EnemyPath animation)";
        return false;
    }
    if (scene->coordinator().towerBases().empty()) {
        error = "the level '" + levelName_ + "' has no tower plots";
        return false;
    }
    if (scene->coordinator().prototypeCount() < 8) {
        error = "the prototypes of towers, monsters and projectiles could not all be loaded";
        return false;
    }
    return true;
}

LevelFigures LevelSimulator::measure(LevelScene& scene) {
    LevelFigures figures;
    const std::vector<Road>& roads = scene.coordinator().roads();
    if (roads.empty())
        return figures;
    if (auto intro = scene.nodeAnimator().stashed("Intro"))
        figures.introSeconds = intro->durationSeconds();

    const int lastStretchFrom = static_cast<int>(Road::kSamples * (1.0f - kLastStretchShare));
    for (const Road& road : roads) {
        RoadFigures figure;
        figure.number = road.number();
        figure.length = road.length();
        figure.seconds = road.seconds();
        figure.samples = road.samples();
        for (int k = lastStretchFrom; k < Road::kSamples; ++k)
            figure.lastStretch += glm::length(figure.samples[k + 1] - figure.samples[k]);
        for (const auto& [type, prototype] : enemyPrototypes())
            figure.travelTimes.emplace_back(type, figure.seconds / prototype.speed);
        figures.roads.push_back(std::move(figure));
    }
    const RoadFigures& first = figures.roads.front();
    figures.pathLength = first.length;
    figures.pathSeconds = first.seconds;
    figures.travelTimes = first.travelTimes;
    figures.lastStretch = first.lastStretch;
    figures.road = first.samples;

    const float arrowRange = towerPrototype(TowerType::ARROW).range;
    const float cannonRange = towerPrototype(TowerType::CANNON).range;
    for (TowerBase* base : scene.coordinator().towerBases()) {
        PlotFigures plot;
        plot.index = base->index();
        plot.position = base->getWorldPosition();
        int arrow = 0, cannon = 0, samples = 0;
        for (const RoadFigures& road : figures.roads) {
            for (int k = 0; k <= Road::kSamples; ++k) {
                const float distance = glm::length(road.samples[k] - plot.position);
                arrow += distance <= arrowRange;
                cannon += distance <= cannonRange;
                if (k >= lastStretchFrom && distance <= arrowRange)
                    plot.seesLastStretch = true;
            }
            samples += Road::kSamples + 1;
        }
        plot.arrowShare = static_cast<float>(arrow) / static_cast<float>(samples);
        plot.cannonShare = static_cast<float>(cannon) / static_cast<float>(samples);
        figures.plots.push_back(plot);
    }
    return figures;
}

LevelFigures LevelSimulator::figures() {
    auto scene = loadLevel();
    return measure(*scene);
}

PlayResult LevelSimulator::play(const PlayOptions& options) {
    auto scene = loadLevel();
    LevelCoordinator& rules = scene->coordinator();
    const std::vector<TowerBase*> bases = rules.towerBases();
    const LevelFigures figures = measure(*scene);

    // Plots by their share of road in range, best first; equal shares by number.
    auto plotsBy = [&](float PlotFigures::*share) {
        std::vector<PlotFigures> plots = figures.plots;
        std::stable_sort(plots.begin(), plots.end(),
                         [&](const PlotFigures& a, const PlotFigures& b) { return a.*share > b.*share; });
        std::vector<int> order;
        for (const PlotFigures& plot : plots)
            order.push_back(plot.index);
        return order;
    };
    const std::vector<int> byArrow = plotsBy(&PlotFigures::arrowShare);
    const std::vector<int> byCannon = plotsBy(&PlotFigures::cannonShare);
    auto isFree = [&](int plot) {
        return plot >= 1 && plot <= static_cast<int>(bases.size()) &&
               bases[static_cast<std::size_t>(plot) - 1]->tower() == nullptr;
    };
    auto firstFree = [&](const std::vector<int>& order) -> std::optional<int> {
        for (int plot : order)
            if (isFree(plot))
                return plot;
        return std::nullopt;
    };

    std::mt19937 rng(options.seed);
    std::size_t planIndex = 0;
    std::optional<PlannedTower> wish; // the random player's next tower
    // The next tower the player wants, whether or not it is affordable yet.
    auto nextTower = [&]() -> std::optional<PlannedTower> {
        switch (options.policy) {
        case PlayerPolicy::Plan:
            while (planIndex < options.plan.size() && !isFree(options.plan[planIndex].plot)) {
                spdlog::warn("The plan's tower {0} is skipped: plot {1} is not a free plot of this level.",
                             planIndex + 1, options.plan[planIndex].plot);
                ++planIndex;
            }
            if (planIndex < options.plan.size())
                return options.plan[planIndex];
            return std::nullopt;
        case PlayerPolicy::Random: {
            if (wish && isFree(wish->plot))
                return wish;
            std::vector<int> free;
            for (int plot = 1; plot <= static_cast<int>(bases.size()); ++plot)
                if (isFree(plot))
                    free.push_back(plot);
            if (free.empty())
                return std::nullopt;
            const int plot = free[rng() % free.size()];
            wish = PlannedTower{rng() % 2 == 0 ? TowerType::ARROW : TowerType::CANNON, plot};
            return wish;
        }
        case PlayerPolicy::Greedy: {
            const TowerType type = rules.canAfford(TowerType::CANNON) ? TowerType::CANNON : TowerType::ARROW;
            if (auto plot = firstFree(type == TowerType::CANNON ? byCannon : byArrow))
                return PlannedTower{type, *plot};
            return std::nullopt;
        }
        case PlayerPolicy::Arrows:
            if (auto plot = firstFree(byArrow))
                return PlannedTower{TowerType::ARROW, *plot};
            return std::nullopt;
        case PlayerPolicy::Cannons:
            if (auto plot = firstFree(byCannon))
                return PlannedTower{TowerType::CANNON, *plot};
            return std::nullopt;
        }
        return std::nullopt;
    };

    PlayResult result;
    float nextSample = 0.0f;
    // A person's pace in game time: at double speed the same seconds of thought pass twice the play.
    const float pace = static_cast<float>(options.pace) * static_cast<float>(options.speed);
    const float firstAction = options.pace > 0.0 ? figures.introSeconds : 0.0f;
    float lastAction = -1e9f;
    std::optional<PlannedTower> waitingFor; // the action the player is about to take
    float affordableSince = 0.0f;
    auto act = [&] {
        if (rules.state() != GameState::Playing)
            return;
        const float now = rules.elapsed();
        while (auto tower = nextTower()) {
            if (!rules.canAfford(tower->type)) {
                waitingFor.reset();
                break;
            }
            // The player sees that it can act (not before the camera has come to rest), then needs
            // its pace to do it.
            if (waitingFor != tower) {
                waitingFor = tower;
                affordableSince = std::max(now, firstAction);
            }
            if (now < firstAction || now < lastAction + pace || now < affordableSince + pace)
                break;
            bases[static_cast<std::size_t>(tower->plot) - 1]->build(tower->type);
            result.built.push_back(*tower);
            if (options.policy == PlayerPolicy::Plan)
                ++planIndex;
            wish.reset();
            waitingFor.reset();
            lastAction = now;
        }
        if (now >= nextSample) {
            result.trace.push_back({now, std::max(rules.lives(), 0), rules.resources()});
            nextSample += options.sampleInterval;
        }
    };
    std::optional<PlayRecorder> recorder;
    if (options.record)
        recorder.emplace(*scene);
    scene->setAfterStep([&] {
        if (recorder)
            recorder->stepTaken();
        act();
    });
    act();
    rules.setGameSpeed(static_cast<float>(options.speed));
    std::size_t frame = 0;
    while (rules.state() == GameState::Playing && rules.elapsed() < options.timeLimit) {
        const double seconds = options.frameTimes.empty()
                                   ? options.frameStep
                                   : options.frameTimes[frame++ % options.frameTimes.size()];
        scene->update(window_, static_cast<float>(seconds));
    }
    if (rules.state() == GameState::Playing)
        spdlog::warn("The play was stopped after {0} seconds with the level still running.", rules.elapsed());

    result.won = rules.state() == GameState::Won;
    result.lives = std::max(rules.lives(), 0);
    result.kills = rules.killedCount();
    result.time = rules.elapsed();
    result.resources = rules.resources();
    result.trace.push_back({result.time, result.lives, result.resources});
    if (recorder) {
        recorder->levelLeft();
        *options.record = recorder->replay();
    }
    scene->setAfterStep(nullptr);
    return result;
}

} // namespace hm
