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
#include <map>
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
        const char kind =
            item.empty() ? '\0' : static_cast<char>(std::toupper(static_cast<unsigned char>(item[0])));
        const std::size_t equals = std::min(item.find('='), item.size());
        const std::string number = item.substr(std::min<std::size_t>(1, item.size()), equals - 1);
        const bool digits =
            !number.empty() && number.size() <= 3 &&
            std::all_of(number.begin(), number.end(), [](unsigned char c) { return std::isdigit(c); });
        PlannedTower step;
        bool valid = digits && std::stoi(number) >= 1;
        switch (kind) {
        case 'A':
        case 'C':
            step.type = kind == 'A' ? TowerType::ARROW : TowerType::CANNON;
            valid = valid && equals == item.size();
            break;
        case 'U':
            step.action = PlanAction::Upgrade;
            valid = valid && equals == item.size();
            break;
        case 'S':
            step.action = PlanAction::Sell;
            valid = valid && equals == item.size();
            break;
        case 'T': {
            step.action = PlanAction::Target;
            const auto mode = equals < item.size() ? parseTargeting(item.substr(equals + 1)) : std::nullopt;
            valid = valid && mode;
            step.mode = mode.value_or(TargetingMode::First);
            break;
        }
        default:
            valid = false;
        }
        if (!valid) {
            error =
                "a plan is 'none' or steps such as C2,A10,U2,S10,T2=strongest (A arrow and C cannon built "
                "on the plot of that number, U upgrade, S sell, T aim by first, last, strongest or "
                "closest); not '" +
                item + "'";
            return std::nullopt;
        }
        step.plot = std::stoi(number);
        plan.push_back(step);
    }
    return plan;
}

std::string formatPlan(const std::vector<PlannedTower>& plan) {
    if (plan.empty())
        return "none";
    std::string text;
    for (const PlannedTower& step : plan) {
        if (!text.empty())
            text += ',';
        switch (step.action) {
        case PlanAction::Build:
            text += step.type == TowerType::ARROW ? 'A' : 'C';
            break;
        case PlanAction::Upgrade:
            text += 'U';
            break;
        case PlanAction::Sell:
            text += 'S';
            break;
        case PlanAction::Target:
            text += 'T';
            break;
        }
        text += std::to_string(step.plot);
        if (step.action == PlanAction::Target)
            text += std::string("=") + targetingName(step.mode);
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

    auto towerOn = [&](int plot) -> Tower* {
        return plot >= 1 && plot <= static_cast<int>(bases.size())
                   ? bases[static_cast<std::size_t>(plot) - 1]->tower()
                   : nullptr;
    };
    // The share of all roads (by walking time) within a range of a plot, as the figures count it.
    std::map<std::pair<int, float>, float> shares;
    auto share = [&](int plot, float range) {
        auto [it, added] = shares.try_emplace({plot, range}, 0.0f);
        if (added && plot >= 1 && plot <= static_cast<int>(figures.plots.size())) {
            const glm::vec3 at = figures.plots[static_cast<std::size_t>(plot) - 1].position;
            int inside = 0, all = 0;
            for (const RoadFigures& road : figures.roads)
                for (const glm::vec3& sample : road.samples) {
                    inside += glm::length(sample - at) <= range;
                    ++all;
                }
            it->second = all > 0 ? static_cast<float>(inside) / static_cast<float>(all) : 0.0f;
        }
        return it->second;
    };
    // What a tower at a level does to the monsters on the road it sees, for the greedy player: its
    // damage per second (a splash counts half again) times its share of the road.
    auto worth = [&](int plot, TowerType type, int level) {
        const TowerLevel& l = towerLevel(type, level);
        return share(plot, l.range) * l.damage * (l.splashRadius > 0.0f ? 1.5f : 1.0f) / l.fireInterval;
    };

    std::mt19937 rng(options.seed);
    std::size_t planIndex = 0;
    std::optional<PlannedTower> wish; // the random player's next step
    // Whether a step of a plan can still be done on this level now (else it is skipped).
    auto possible = [&](const PlannedTower& step) {
        Tower* tower = towerOn(step.plot);
        switch (step.action) {
        case PlanAction::Build:
            return isFree(step.plot);
        case PlanAction::Upgrade:
            return tower && tower->level() < kTowerLevels;
        case PlanAction::Sell:
        case PlanAction::Target:
            return tower != nullptr;
        }
        return false;
    };
    // The next step the player wants, whether or not it can be paid yet.
    auto nextStep = [&]() -> std::optional<PlannedTower> {
        switch (options.policy) {
        case PlayerPolicy::Plan:
            while (planIndex < options.plan.size() && !possible(options.plan[planIndex])) {
                spdlog::warn("The plan's step {0} ({1}) is skipped: plot {2} {3}.", planIndex + 1,
                             formatPlan({options.plan[planIndex]}), options.plan[planIndex].plot,
                             options.plan[planIndex].action == PlanAction::Build
                                 ? "is not a free plot of this level"
                                 : "has no tower that could do it");
                ++planIndex;
            }
            if (planIndex < options.plan.size())
                return options.plan[planIndex];
            return std::nullopt;
        case PlayerPolicy::Random: {
            if (wish && possible(*wish))
                return wish;
            std::vector<int> free, upgradable;
            for (int plot = 1; plot <= static_cast<int>(bases.size()); ++plot) {
                if (isFree(plot))
                    free.push_back(plot);
                else if (Tower* tower = towerOn(plot); tower && tower->level() < kTowerLevels)
                    upgradable.push_back(plot);
            }
            if (free.empty() && upgradable.empty())
                return std::nullopt;
            // One time in four (or when no plot is left) an upgrade of a random tower.
            if (!upgradable.empty() && (free.empty() || rng() % 4 == 0)) {
                wish = PlannedTower{TowerType::ARROW, upgradable[rng() % upgradable.size()],
                                    PlanAction::Upgrade};
                return wish;
            }
            const int plot = free[rng() % free.size()];
            wish = PlannedTower{rng() % 2 == 0 ? TowerType::ARROW : TowerType::CANNON, plot};
            return wish;
        }
        case PlayerPolicy::Greedy: {
            // A new tower on the best free plot for its type, or the upgrade that adds the most
            // worth per coin, whichever is worth more per coin.
            std::optional<PlannedTower> best;
            float bestValue = -1.0f;
            const TowerType type = rules.canAfford(TowerType::CANNON) ? TowerType::CANNON : TowerType::ARROW;
            if (auto plot = firstFree(type == TowerType::CANNON ? byCannon : byArrow)) {
                best = PlannedTower{type, *plot};
                bestValue = worth(*plot, type, 1) / static_cast<float>(towerLevel(type, 1).price);
            }
            for (int plot = 1; plot <= static_cast<int>(bases.size()); ++plot) {
                Tower* tower = towerOn(plot);
                if (!tower || tower->level() >= kTowerLevels)
                    continue;
                const int level = tower->level();
                const float gain = worth(plot, tower->type(), level + 1) - worth(plot, tower->type(), level);
                const float value = gain / static_cast<float>(towerLevel(tower->type(), level + 1).price);
                if (value > bestValue) {
                    bestValue = value;
                    best = PlannedTower{tower->type(), plot, PlanAction::Upgrade};
                }
            }
            return best;
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
    // The step can be paid now (selling and aiming cost nothing).
    auto payable = [&](const PlannedTower& step) {
        Tower* tower = towerOn(step.plot);
        switch (step.action) {
        case PlanAction::Build:
            return rules.canAfford(step.type);
        case PlanAction::Upgrade:
            return tower && rules.canUpgrade(*tower);
        case PlanAction::Sell:
        case PlanAction::Target:
            return tower != nullptr;
        }
        return false;
    };
    auto doStep = [&](const PlannedTower& step) {
        Tower* tower = towerOn(step.plot);
        switch (step.action) {
        case PlanAction::Build:
            bases[static_cast<std::size_t>(step.plot) - 1]->build(step.type);
            break;
        case PlanAction::Upgrade:
            rules.upgradeTower(*tower);
            break;
        case PlanAction::Sell:
            rules.sellTower(*tower);
            break;
        case PlanAction::Target:
            rules.setTargeting(*tower, step.mode);
            break;
        }
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
        while (auto step = nextStep()) {
            if (!payable(*step)) {
                waitingFor.reset();
                break;
            }
            // The player sees that it can act (not before the camera has come to rest), then needs
            // its pace to do it.
            if (waitingFor != step) {
                waitingFor = step;
                affordableSince = std::max(now, firstAction);
            }
            if (now < firstAction || now < lastAction + pace || now < affordableSince + pace)
                break;
            doStep(*step);
            result.built.push_back(*step);
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
