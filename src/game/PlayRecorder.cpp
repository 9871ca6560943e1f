#include "game/PlayRecorder.h"

#include "app/AssetLocations.h"
#include "app/Log.h"
#include "game/LevelCoordinator.h"
#include "game/LevelScene.h"
#include "game/LevelSimulator.h"
#include "game/PlayerAction.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <regex>
#include <tuple>

namespace hm {

namespace {

bool gameRecords_ = false;
bool writeWarned_ = false;

std::string localTime(const char* format) {
    const std::time_t now = std::time(nullptr);
    std::tm parts{};
    localtime_r(&now, &parts);
    char text[64];
    std::strftime(text, sizeof text, format, &parts);
    return text;
}

// Our replay files in a folder, oldest first: NAME-YYYYMMDD-HHMMSS[-N].txt by time, then N.
std::vector<std::filesystem::path> replaysOldestFirst(const std::filesystem::path& folder) {
    static const std::regex name(R"(^.+-(\d{8}-\d{6})(?:-(\d{1,6}))?\.txt$)");
    struct Entry {
        std::string stamp;
        int number;
        std::filesystem::path path;
    };
    std::vector<Entry> entries;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::smatch match;
        const std::string file = it->path().filename().string();
        if (!std::regex_match(file, match, name) || !it->is_regular_file(ec))
            continue;
        entries.push_back({match[1].str(), match[2].matched ? std::stoi(match[2].str()) : 1, it->path()});
    }
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        return std::tie(a.stamp, a.number, a.path) < std::tie(b.stamp, b.number, b.path);
    });
    std::vector<std::filesystem::path> paths;
    for (Entry& entry : entries)
        paths.push_back(std::move(entry.path));
    return paths;
}

} // namespace

std::string resultLine(const PlayResult& result) {
    char numbers[160];
    std::snprintf(numbers, sizeof numbers, "%s lives=%d kills=%d time=%.1f resources=%d plan=",
                  result.left  ? "left"
                  : result.won ? "won"
                               : "lost",
                  result.lives, result.kills, result.time, result.resources);
    return numbers + formatPlan(result.built);
}

void PlayRecorder::enableForGame(bool on) {
    gameRecords_ = on;
}

bool PlayRecorder::gameRecords() {
    return gameRecords_;
}

std::unique_ptr<PlayRecorder> PlayRecorder::forGame(LevelScene& scene) {
    if (!gameRecords_)
        return nullptr;
    return std::make_unique<PlayRecorder>(scene, true);
}

PlayRecorder::PlayRecorder(LevelScene& scene, bool saveToFolder)
    : scene_(scene), saveToFolder_(saveToFolder) {
    LevelCoordinator& rules = scene.coordinator();
    replay_.level = scene.name();
    replay_.digest = levelDataDigest(rules.level().path, rules.level().modelFile);
    replay_.stepsPerSecond = static_cast<int>(std::lround(1.0 / LevelScene::kSimulationStep));
    replay_.recorded = localTime("%Y-%m-%d %H:%M:%S");
    rules.setActionListener([this](const PlayerAction& action) { record(action); });
}

PlayRecorder::~PlayRecorder() {
    scene_.coordinator().setActionListener(nullptr);
}

void PlayRecorder::record(const PlayerAction& action) {
    if (ended_)
        return;
    replay_.actions.push_back({scene_.stepCount(), action.verb, action.plot, action.argument, 0});
}

void PlayRecorder::stepTaken() {
    const GameState state = scene_.coordinator().state();
    if (!ended_ && (state == GameState::Won || state == GameState::Lost))
        finish(false);
}

void PlayRecorder::levelLeft() {
    if (!ended_)
        finish(true);
}

void PlayRecorder::finish(bool left) {
    ended_ = true;
    const LevelCoordinator& rules = scene_.coordinator();
    PlayResult result;
    result.won = rules.state() == GameState::Won;
    result.left = left;
    result.lives = std::max(rules.lives(), 0);
    result.kills = rules.killedCount();
    result.time = rules.elapsed();
    result.resources = rules.resources();
    // The plan as the simulator writes it: builds, upgrades, sales and targets in order.
    for (const ReplayAction& action : replay_.actions) {
        if (action.verb == "build") {
            for (const auto& [type, prototype] : towerPrototypes())
                if (prototype.typeName == action.argument)
                    result.built.push_back({type, action.plot});
        } else if (action.verb == "upgrade") {
            result.built.push_back({TowerType::ARROW, action.plot, PlanAction::Upgrade});
        } else if (action.verb == "sell") {
            result.built.push_back({TowerType::ARROW, action.plot, PlanAction::Sell});
        } else if (action.verb == "target") {
            result.built.push_back({TowerType::ARROW, action.plot, PlanAction::Target,
                                    parseTargeting(action.argument).value_or(TargetingMode::First)});
        }
    }
    replay_.steps = scene_.stepCount();
    replay_.result = resultLine(result);
    if (saveToFolder_)
        savedAs_ = saveToFolder(replay_);
}

std::filesystem::path PlayRecorder::folder() {
    const std::filesystem::path data = userDataFolder();
    return data.empty() ? data : data / "replays";
}

std::string PlayRecorder::saveToFolder(const Replay& replay) {
    namespace fs = std::filesystem;
    const fs::path where = folder();
    if (!prepareWritableFolder(where, "plays are not recorded"))
        return {};
    std::error_code ec;
    // The level's start in the name; a second play in the same second gets -2, -3, ...
    std::string stamp = replay.recorded;
    stamp.erase(std::remove_if(stamp.begin(), stamp.end(), [](char c) { return c == '-' || c == ':'; }),
                stamp.end());
    std::replace(stamp.begin(), stamp.end(), ' ', '-');
    if (!std::regex_match(stamp, std::regex(R"(\d{8}-\d{6})")))
        stamp = localTime("%Y%m%d-%H%M%S");
    const std::string stem = replay.level + "-" + stamp;
    fs::path path = where / (stem + ".txt");
    for (int n = 2; fs::exists(path, ec) && n < 100000; ++n)
        path = where / (stem + "-" + std::to_string(n) + ".txt");
    std::string reason;
    if (!writeReplayFile(path.string(), replay, reason)) {
        if (!writeWarned_)
            spdlog::warn("The replay {0} cannot be written ({1}); plays are not recorded.", path.string(),
                         reason);
        writeWarned_ = true;
        return {};
    }
    spdlog::info("The play was recorded in {0}", path.string());

    // The newest ones stay; so do files of other names, and what another game is writing.
    std::vector<fs::path> replays = replaysOldestFirst(where);
    for (std::size_t i = 0; i + kKeptReplays < replays.size(); ++i)
        fs::remove(replays[i], ec);
    return path.string();
}

} // namespace hm
