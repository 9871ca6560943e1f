#include "game/LevelChecker.h"

#include "animation/Animation.h"
#include "animation/NodeAnimator.h"
#include "app/AssetLocations.h"
#include "app/IniText.h"
#include "app/Log.h"
#include "app/Window.h"
#include "game/Tower.h"
#include "import/ModelImporter.h"
#include "import/ModelLimits.h"
#include "render/CameraNode.h"
#include "render/Mesh.h"
#include "render/MeshNode.h"
#include "scene/EmptyNode.h"
#include "scene/Scene.h"

#include <fmt/format.h>
#include <glm/geometric.hpp>
#include <spdlog/sinks/base_sink.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <sstream>

namespace hm {

namespace {

const std::string kPlotBaseName = TowerBase::kPlaceholderName;
const std::string kCameraName = "camera_main";
const std::string kCoreName = "PlayerCore";
const std::string kIntroName = "Intro";

void add(std::vector<Finding>& out, Severity severity, const std::string& file, int line, std::string where,
         std::string message) {
    out.push_back({severity, file, line, std::move(where), std::move(message)});
}

std::string nodeLabel(const Node3D& node) {
    return "node \"" + node.getName() + "\"";
}

std::string quoted(const std::string& text) {
    return "\"" + text + "\"";
}

// Positions with one decimal.
std::string figure(float value) {
    return fmt::format("{:.1f}", value);
}

// A measured figure that misses a limit, rounded towards the side it misses on, so that it never
// reads as the limit itself ("0.99 units ... (at least 1)", not "1.00"): distances with two
// decimals, lengths and pixels with one.
std::string below(float value, int decimals = 2) {
    const float scale = decimals == 1 ? 10.0f : 100.0f;
    return fmt::format("{:.{}f}", std::floor(value * scale + 1e-3f) / scale, decimals);
}
std::string above(float value, int decimals = 2) {
    const float scale = decimals == 1 ? 10.0f : 100.0f;
    return fmt::format("{:.{}f}", std::ceil(value * scale - 1e-3f) / scale, decimals);
}

// The figure of a rule as the docs give it: "1", "0.5", "10".
std::string limit(float value) {
    std::string text = fmt::format("{:.2f}", value);
    while (text.back() == '0')
        text.pop_back();
    if (text.back() == '.')
        text.pop_back();
    return text;
}

// Collects what the engine logs at warning level and above while it lives (the importer tells
// why a file cannot be read only through the log). The previous logger is back afterwards.
class LogCollector {
public:
    LogCollector() : previous_(spdlog::default_logger()) {
        auto sink = std::make_shared<Sink>(lines_);
        auto logger = std::make_shared<spdlog::logger>("hollowmere-check", sink);
        logger->set_level(spdlog::level::warn);
        spdlog::set_default_logger(logger);
    }
    ~LogCollector() { spdlog::set_default_logger(previous_); }
    LogCollector(const LogCollector&) = delete;
    LogCollector& operator=(const LogCollector&) = delete;

    struct Line {
        spdlog::level::level_enum level;
        std::string text;
    };
    const std::vector<Line>& lines() const { return lines_; }
    // The last error line, or empty.
    std::string lastError() const {
        for (auto it = lines_.rbegin(); it != lines_.rend(); ++it)
            if (it->level >= spdlog::level::err)
                return it->text;
        return {};
    }

private:
    class Sink : public spdlog::sinks::base_sink<std::mutex> {
    public:
        explicit Sink(std::vector<Line>& lines) : lines_(lines) {}

    protected:
        void sink_it_(const spdlog::details::log_msg& message) override {
            lines_.push_back({message.level, std::string(message.payload.data(), message.payload.size())});
        }
        void flush_() override {}

    private:
        std::vector<Line>& lines_;
    };

    std::shared_ptr<spdlog::logger> previous_;
    std::vector<Line> lines_;
};

// A scene holding nothing but one imported level model, as the level scene imports it (node
// animations, scene and node properties; the sky is left out, nothing here draws).
class CheckScene : public Scene {
public:
    explicit CheckScene(std::string path) : Scene("check"), path_(std::move(path)) {}

    void load() override {
        auto root = std::make_unique<EmptyNode>("3D Root");
        std::unique_ptr<Node3D> model;
        {
            LogCollector log;
            ModelImporter importer;
            model = importer.importFile(this, LoadNodeAnimations | LoadSceneProperties | LoadNodeProperties,
                                        path_, "root");
            importLog_ = log.lines();
            lastError_ = log.lastError();
        }
        imported_ = model != nullptr;
        if (model)
            root->addChild(std::move(model));
        setRoot3D(std::move(root));
        if (findCamera(kCameraName))
            setActiveCamera(kCameraName);
    }
    bool imported() const { return imported_; }
    // What the importer logged at warning level and above, and its last error line.
    const std::vector<LogCollector::Line>& importLog() const { return importLog_; }
    const std::string& lastError() const { return lastError_; }

private:
    std::string path_;
    bool imported_ = false;
    std::vector<LogCollector::Line> importLog_;
    std::string lastError_;
};

void collectTree(Node3D& node, const std::function<void(Node3D&)>& visit) {
    visit(node);
    for (const auto& child : node.getChildren())
        collectTree(*child, visit);
}

// Distance on the ground plane (x, z) from a point to a triangle; 0 inside.
float flatDistanceToTriangle(const glm::vec2& p, const glm::vec2& a, const glm::vec2& b, const glm::vec2& c) {
    auto cross = [](const glm::vec2& u, const glm::vec2& v) { return u.x * v.y - u.y * v.x; };
    const float d1 = cross(b - a, p - a), d2 = cross(c - b, p - b), d3 = cross(a - c, p - c);
    const bool negative = d1 < 0 || d2 < 0 || d3 < 0;
    const bool positive = d1 > 0 || d2 > 0 || d3 > 0;
    if (!(negative && positive))
        return 0.0f;
    auto toSegment = [](const glm::vec2& q, const glm::vec2& s, const glm::vec2& e) {
        const glm::vec2 d = e - s;
        const float length = glm::dot(d, d);
        const float t = length > 0.0f ? std::clamp(glm::dot(q - s, d) / length, 0.0f, 1.0f) : 0.0f;
        return glm::length(q - (s + t * d));
    };
    return std::min({toSegment(p, a, b), toSegment(p, b, c), toSegment(p, c, a)});
}

// The distance on the ground plane from a point to the footprint of every mesh in the subtree.
float flatDistanceToMeshes(const Node3D& node, const glm::vec3& point) {
    float best = std::numeric_limits<float>::max();
    const glm::vec2 p(point.x, point.z);
    collectTree(const_cast<Node3D&>(node), [&](Node3D& part) {
        const auto* meshNode = dynamic_cast<const MeshNode*>(&part);
        if (!meshNode || !meshNode->mesh())
            return;
        const Mesh& mesh = *meshNode->mesh();
        const glm::mat4 m = part.getWorldMatrix() * mesh.localTransform;
        std::vector<glm::vec2> flat;
        flat.reserve(mesh.vertices().size());
        for (const Vertex& v : mesh.vertices()) {
            const glm::vec3 w(m * glm::vec4(v.position, 1.0f));
            flat.emplace_back(w.x, w.z);
        }
        const auto& indices = mesh.indices();
        for (std::size_t i = 0; i + 2 < indices.size(); i += 3) {
            if (indices[i] >= flat.size() || indices[i + 1] >= flat.size() || indices[i + 2] >= flat.size())
                continue;
            best = std::min(best, flatDistanceToTriangle(p, flat[indices[i]], flat[indices[i + 1]],
                                                         flat[indices[i + 2]]));
        }
    });
    return best;
}

// The smallest distance on the ground plane from a point to a road's samples, and where.
struct RoadDistance {
    float distance = std::numeric_limits<float>::max();
    glm::vec3 at{0.0f};
};
RoadDistance flatDistanceToRoad(const Road& road, const glm::vec3& p) {
    RoadDistance best;
    const auto& samples = road.samples();
    for (std::size_t k = 0; k + 1 < samples.size(); ++k) {
        const glm::vec2 s(samples[k].x, samples[k].z), e(samples[k + 1].x, samples[k + 1].z), q(p.x, p.z);
        const glm::vec2 d = e - s;
        const float length = glm::dot(d, d);
        const float t = length > 0.0f ? std::clamp(glm::dot(q - s, d) / length, 0.0f, 1.0f) : 0.0f;
        const float distance = glm::length(q - (s + t * d));
        if (distance < best.distance)
            best = {distance, samples[k] + t * (samples[k + 1] - samples[k])};
    }
    if (samples.size() == 1)
        best = {glm::length(glm::vec2(samples[0].x - p.x, samples[0].z - p.z)), samples[0]};
    return best;
}

std::string roadLabel(int number) {
    return "road " + std::to_string(number);
}

std::string roadNames(int number) {
    return quoted(Road::carrierName(number)) + " with its animation " + quoted(Road::animationName(number));
}

bool readText(const std::string& path, std::string& text) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::ostringstream buffer;
    buffer << in.rdbuf();
    text = buffer.str();
    return !in.bad();
}

// The road of every [schedule] line whose road can be read, whatever else is wrong with the line.
std::vector<SpawnEntry> readableSchedule(const std::string& path) {
    std::vector<SpawnEntry> schedule;
    std::string text;
    if (!readText(path, text))
        return schedule;
    const IniText ini = parseIniText(text);
    for (const IniEntry* entry : ini.section("schedule")) {
        SpawnEntry spawn;
        spawn.line = entry->line;
        const std::size_t comma = entry->value.find(',');
        if (comma != std::string::npos) {
            std::string road = entry->value.substr(comma + 1);
            road.erase(0, road.find_first_not_of(" \t"));
            road.erase(road.find_last_not_of(" \t") + 1);
            const auto [end, problem] = std::from_chars(road.data(), road.data() + road.size(), spawn.road);
            if (problem != std::errc() || end != road.data() + road.size() || spawn.road < 1)
                continue;
        }
        schedule.push_back(spawn);
    }
    return schedule;
}

} // namespace

// --- Prototypes and the loaded model -----------------------------------------------------------

CheckPrototypes CheckPrototypes::load(std::vector<Finding>& findings) {
    CheckPrototypes prototypes;
    LogCollector log;
    auto importNode = [&](const std::string& file, const std::string& nodeName) -> std::unique_ptr<Node3D> {
        auto root = importModel(nullptr, 0, file);
        Node3D* found = root ? root->findByName(nodeName) : nullptr;
        if (!found) {
            add(findings, Severity::Error, kModelsFolder + file, 0, {},
                root ? "has no node " + quoted(nodeName) + "; the checks that need it are skipped"
                     : "cannot be read (" + log.lastError() + "); the checks that need it are skipped");
            return nullptr;
        }
        if (found == root.get())
            return root;
        return found->detach();
    };
    const auto& [baseFile, baseNode] = buildingBasePrototypes().front();
    prototypes.towerBase = importNode(baseFile, baseNode);
    for (const auto& [type, prototype] : enemyPrototypes()) {
        auto node = importNode(prototype.modelFile, prototype.nodeName);
        if (!node)
            continue;
        const Bounds box = meshBounds(*node, glm::inverse(node->getWorldMatrix()));
        if (!box.empty())
            prototypes.monsters.push_back({type, box, prototype.scale});
    }
    return prototypes;
}

LevelModel::LevelModel(Window& window, std::string file, std::unique_ptr<Scene> scene)
    : window_(window), file_(std::move(file)), scene_(std::move(scene)) {}

LevelModel::~LevelModel() = default;

Node3D& LevelModel::root() const {
    return *scene_->root3D();
}

std::unique_ptr<LevelModel> LevelModel::load(Window& window, const std::string& path,
                                             std::vector<Finding>& findings) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) {
        add(findings, Severity::Error, path, 0, {}, "the model file does not exist");
        return nullptr;
    }
    {
        LogCollector log;
        if (!checkModelLimits(path)) {
            add(findings, Severity::Error, path, 0, {},
                "refused by the importer's pre-check: " + log.lastError());
            return nullptr;
        }
    }
    auto scene = std::make_unique<CheckScene>(path);
    scene->start(window);
    scene->setAspectRatio(1.0f);
    if (!scene->imported()) {
        add(findings, Severity::Error, path, 0, {}, "cannot be read: " + scene->lastError());
        return nullptr;
    }
    // What the importer says about a file it still reads (a bone without a node, a missing
    // material) shows in the game's log too: the designer sees it here first. The level plays,
    // so these are warnings.
    for (const auto& line : scene->importLog())
        add(findings, Severity::Warning, path, 0, {}, "the importer reports: " + line.text);
    return std::unique_ptr<LevelModel>(new LevelModel(window, path, std::move(scene)));
}

const std::string& LevelModelFacts::file() const {
    return model->file();
}

LevelModelFacts gatherFacts(LevelModel& model, const CheckPrototypes& prototypes) {
    LevelModelFacts facts;
    facts.model = &model;
    facts.prototypes = &prototypes;
    Node3D& root = model.root();
    Scene& scene = model.scene();

    collectTree(root, [&](Node3D& node) {
        if (Node3D::baseName(node.getName()) == kPlotBaseName || node.getName() == kPlotBaseName)
            facts.plots.push_back({&node, TowerBase::placeholderNumber(node.getName())});
    });
    facts.core = root.findByName(kCoreName);
    facts.camera = dynamic_cast<CameraNode*>(root.findByName(kCameraName));
    facts.roads = Road::findAll(root, scene.nodeAnimator());

    // Every plot becomes the game's tower base, so that click rays meet it as in play.
    if (prototypes.towerBase)
        for (const PlotNode& plot : facts.plots)
            plot.node->addChild(prototypes.towerBase->copy());

    std::set<const Node3D*> notScenery;
    for (const PlotNode& plot : facts.plots)
        notScenery.insert(plot.node);
    collectTree(root, [&](Node3D& node) {
        if (!node.getBody() || node.getName() == "Terrain" || node.getName() == "Road")
            return;
        for (const Node3D* n = &node; n; n = n->getParent())
            if (notScenery.count(n) || n == facts.core)
                return;
        facts.scenery.push_back(&node);
    });

    if (facts.camera) {
        facts.hasIntro = scene.nodeAnimator().stashed(kIntroName) != nullptr;
        if (facts.hasIntro) {
            LogCollector quiet; // the animator's lines about nodes the fixture took away
            if (auto intro = scene.nodeAnimator().createAnimation(kIntroName, 0, 0))
                scene.nodeAnimator().play(intro);
            playUntilIntroEnds(scene, model.window());
        }
        facts.view.emplace(*facts.camera);
    }
    return facts;
}

// --- Rules --------------------------------------------------------------------------------------

namespace rules {

LevelDefinition levelFile(const std::string& path, const std::string& name, std::vector<Finding>& out) {
    if (!isLevelName(name))
        add(out, Severity::Error, path, 0, {},
            quoted(name) + " is not a level name (letters, digits, '_' and '-'): the game cannot load it");
    return readLevelFile(path, name, out);
}

void campaign(const std::string& path, std::vector<Finding>& out) {
    std::string text;
    if (!readText(path, text)) {
        add(out, Severity::Error, path, 0, {}, "cannot be read");
        return;
    }
    const std::vector<std::string> names = parseCampaign(text, path, out);
    if (names.empty())
        add(out, Severity::Error, path, 0, {}, "lists no level (\"level = NAME\" in [campaign])");
    const IniText ini = parseIniText(text);
    const std::string folder = std::filesystem::path(path).parent_path().string();
    for (const IniEntry& entry : ini.entries) {
        if (entry.section != "campaign" || entry.key != "level" || !isLevelName(entry.value))
            continue;
        const std::string file = (folder.empty() ? "" : folder + "/") + entry.value + ".ini";
        std::error_code error;
        if (!std::filesystem::is_regular_file(file, error))
            add(out, Severity::Error, path, entry.line, {},
                "level " + quoted(entry.value) + " has no level file " + file);
    }
}

void modelFileNamed(const LevelDefinition& level, std::vector<Finding>& out) {
    const std::string model = kModelsFolder + level.modelFile;
    std::error_code error;
    if (std::filesystem::is_regular_file(model, error))
        return;
    int line = 0;
    std::string text;
    if (readText(level.path, text)) {
        const IniText ini = parseIniText(text);
        if (const IniEntry* entry = ini.find("level", "model"))
            line = entry->line;
    }
    add(out, Severity::Error, level.path, line, {}, "the model " + model + " does not exist");
}

void cameraMain(const LevelModelFacts& facts, std::vector<Finding>& out) {
    if (!facts.camera) {
        add(out, Severity::Error, facts.file(), 0, {},
            "there is no camera " + quoted(kCameraName) +
                " (the player's view; plots and legibility are "
                "not checked)");
        return;
    }
    if (!facts.hasIntro)
        add(out, Severity::Warning, facts.file(), 0, {},
            "there is no " + quoted(kIntroName) + " animation of " + quoted(kCameraName) +
                " (the flight into the level); its own pose is the play view");
}

void core(const LevelModelFacts& facts, std::vector<Finding>& out) {
    if (!facts.core)
        add(out, Severity::Error, facts.file(), 0, {},
            "there is no core " + quoted(kCoreName) + " (what the monsters attack)");
}

void roadsPresent(const LevelModelFacts& facts, std::vector<Finding>& out) {
    Node3D& root = facts.model->root();
    const NodeAnimator& animator = facts.model->scene().nodeAnimator();
    if (facts.roads.empty()) {
        Node3D* carrier = root.findByName(Road::carrierName(1));
        const auto path = animator.stashed(Road::animationName(1));
        std::string why;
        if (!carrier)
            why = "there is no node " + quoted(Road::carrierName(1));
        else if (!carrier->getParent() || carrier == &root)
            why = quoted(Road::carrierName(1)) +
                  " has no parent (the carriers of spawned monsters become its siblings)";
        else if (!path)
            why = "there is no animation " + quoted(Road::animationName(1));
        else
            why = "the animation " + quoted(Road::animationName(1)) + " moves nothing";
        add(out, Severity::Error, facts.file(), 0, {}, "there is no road 1: " + why);
    }
    for (const Road& road : facts.roads) {
        if (!road.spawnPoint()) {
            add(out, Severity::Error, facts.file(), 0, {},
                roadLabel(road.number()) + " has no spawn point " +
                    quoted(Road::spawnPointName(road.number())));
            continue;
        }
        const glm::vec3 start = road.samples().front();
        const float away = glm::length(road.spawnPoint()->getWorldPosition() - start);
        if (away > checks::kSpawnPointReach)
            add(out, Severity::Warning, facts.file(), 0, nodeLabel(*road.spawnPoint()),
                "spawn point " + above(away) + " units from the start of " + roadLabel(road.number()) +
                    " (at most " + limit(checks::kSpawnPointReach) + ")");
    }
    // A road after a missing number is never used: the game counts roads up to the first gap.
    const int next = static_cast<int>(facts.roads.size()) + 1;
    for (int number = next + 1; number <= next + 8; ++number) {
        const bool carrier = root.findByName(Road::carrierName(number)) != nullptr;
        const bool path = animator.stashed(Road::animationName(number)) != nullptr;
        if (carrier || path) {
            add(out, Severity::Error, facts.file(), 0, {},
                roadLabel(number) + " is never used: " + roadLabel(next) + " (" + roadNames(next) +
                    ") is missing or incomplete");
            break;
        }
    }
    // Half a road: a carrier without its animation or the other way round.
    const bool carrier = root.findByName(Road::carrierName(next)) != nullptr;
    const bool path = animator.stashed(Road::animationName(next)) != nullptr;
    if (next > 1 && carrier != path)
        add(out, Severity::Error, facts.file(), 0, {},
            roadLabel(next) + " is incomplete: " +
                (carrier ? "there is no animation " + quoted(Road::animationName(next))
                         : "there is no node " + quoted(Road::carrierName(next))));
}

void roadsLongEnough(const LevelModelFacts& facts, std::vector<Finding>& out) {
    for (const Road& road : facts.roads) {
        if (road.length() < checks::kMinimumRoadLength)
            add(out, Severity::Error, facts.file(), 0, {},
                roadLabel(road.number()) + " (" + quoted(road.animation()) + ") is " +
                    below(road.length(), 1) + " units long (at least " + limit(checks::kMinimumRoadLength) +
                    ")");
        if (!(road.seconds() > 0.0f))
            add(out, Severity::Error, facts.file(), 0, {},
                roadLabel(road.number()) + " (" + quoted(road.animation()) + ") takes no time");
    }
}

void roadsEndAtCore(const LevelModelFacts& facts, std::vector<Finding>& out) {
    if (!facts.core)
        return;
    const glm::vec3 core = facts.core->getWorldPosition();
    for (const Road& road : facts.roads) {
        const glm::vec3 end = road.samples().back();
        const float away = glm::length(glm::vec2(end.x - core.x, end.z - core.z));
        if (away > checks::kRoadEndReach)
            add(out, Severity::Warning, facts.file(), 0, {},
                roadLabel(road.number()) + " ends " + above(away) + " units from the core (at most " +
                    limit(checks::kRoadEndReach) + ")");
    }
}

void scheduleRoads(const LevelDefinition& level, const LevelModelFacts& facts, std::vector<Finding>& out) {
    const int roads = static_cast<int>(facts.roads.size());
    for (const SpawnEntry& entry : level.schedule)
        if (entry.road > roads)
            add(out, Severity::Error, level.path, entry.line, {},
                "road " + std::to_string(entry.road) + " is not in the model " + level.modelFile + " (" +
                    std::to_string(roads) + (roads == 1 ? " road)" : " roads)"));
}

void plotNumbers(const LevelModelFacts& facts, std::vector<Finding>& out) {
    if (facts.plots.empty()) {
        add(out, Severity::Error, facts.file(), 0, {},
            "there are no plots (\"TowerBase[1]\", \"TowerBase[2]\", ...)");
        return;
    }
    // Blender names a copy "TowerBase[3].001": the game does not take it for a plot.
    collectTree(facts.model->root(), [&](Node3D& node) {
        const std::string& name = node.getName();
        if (name.rfind(kPlotBaseName, 0) == 0 && Node3D::baseName(name) != kPlotBaseName)
            add(out, Severity::Warning, facts.file(), 0, nodeLabel(node),
                "not a plot: the game takes only nodes named \"TowerBase[N]\" for plots");
    });
    std::map<int, const Node3D*> byNumber;
    for (const PlotNode& plot : facts.plots) {
        if (plot.number == 0) {
            add(out, Severity::Error, facts.file(), 0, nodeLabel(*plot.node),
                "a plot is named \"TowerBase[N]\" with N from 1");
            continue;
        }
        const auto [it, fresh] = byNumber.emplace(plot.number, plot.node);
        if (!fresh)
            add(out, Severity::Error, facts.file(), 0, nodeLabel(*plot.node),
                "plot " + std::to_string(plot.number) + " is there twice");
    }
    int expected = 1;
    for (const auto& [number, node] : byNumber) {
        if (number > expected)
            add(out, Severity::Error, facts.file(), 0, {},
                expected + 1 == number
                    ? "plot " + std::to_string(expected) +
                          " is missing (the plots are numbered from 1 without gaps)"
                    : "plots " + std::to_string(expected) + " to " + std::to_string(number - 1) +
                          " are missing (the plots are numbered from 1 without gaps)");
        expected = number + 1;
    }
}

void plotsBesideRoads(const LevelModelFacts& facts, std::vector<Finding>& out) {
    if (facts.roads.empty())
        return;
    for (const PlotNode& plot : facts.plots) {
        const glm::vec3 p = plot.node->getWorldPosition();
        float nearest = std::numeric_limits<float>::max();
        for (const Road& road : facts.roads) {
            const RoadDistance d = flatDistanceToRoad(road, p);
            nearest = std::min(nearest, d.distance);
            if (d.distance < checks::kPlotRoadClearance)
                add(out, Severity::Warning, facts.file(), 0, nodeLabel(*plot.node),
                    "plot " + below(d.distance) + " units from " +
                        (facts.roads.size() > 1 ? roadLabel(road.number()) : "the road") + " (at least " +
                        limit(checks::kPlotRoadClearance) + ")");
        }
        if (nearest > checks::kPlotRoadReach)
            add(out, Severity::Warning, facts.file(), 0, nodeLabel(*plot.node),
                "plot " + above(nearest) + " units from the nearest road: no tower reaches it (at most " +
                    limit(checks::kPlotRoadReach) + ", a cannon's range)");
    }
}

void plotsClearOfCore(const LevelModelFacts& facts, std::vector<Finding>& out) {
    if (!facts.core)
        return;
    for (const PlotNode& plot : facts.plots) {
        const float away = flatDistanceToMeshes(*facts.core, plot.node->getWorldPosition());
        if (away < checks::kPlotCoreClearance)
            add(out, Severity::Warning, facts.file(), 0, nodeLabel(*plot.node),
                "plot " + below(away) + " units from the core (at least " +
                    limit(checks::kPlotCoreClearance) + ")");
    }
}

void sceneryClear(const LevelModelFacts& facts, std::vector<Finding>& out) {
    for (const Node3D* node : facts.scenery) {
        const Bounds box = meshBounds(*node);
        if (box.empty())
            continue;
        for (const PlotNode& plot : facts.plots) {
            const float away = box.flatDistance(plot.node->getWorldPosition());
            if (away < legibility::kSceneryPlotClearance)
                add(out, Severity::Warning, facts.file(), 0, nodeLabel(*plot.node),
                    "plot " + below(away) + " units from the body of " + quoted(node->getName()) +
                        " (at least " + limit(legibility::kSceneryPlotClearance) + ")");
        }
        for (const Road& road : facts.roads) {
            for (const glm::vec3& at : road.samples()) {
                if (box.flatDistance(at) < legibility::kSceneryRoadClearance) {
                    add(out, Severity::Warning, facts.file(), 0, nodeLabel(*node),
                        "its collision body stands on " + roadLabel(road.number()) + " at (" + figure(at.x) +
                            ", " + figure(at.z) + ") (at least " + limit(legibility::kSceneryRoadClearance) +
                            " units away)");
                    break;
                }
            }
        }
    }
}

namespace {

// The world box of a plot's tower base.
Bounds plotBox(const PlotNode& plot) {
    return meshBounds(*plot.node);
}

} // namespace

void plotsInFrame(const LevelModelFacts& facts, std::vector<Finding>& out) {
    if (!facts.view || !facts.prototypes->towerBase)
        return;
    for (const PlotNode& plot : facts.plots) {
        const PlotPicture picture = plotOnScreen(*facts.view, plotBox(plot));
        if (!picture.inFrame)
            add(out, Severity::Error, facts.file(), 0, nodeLabel(*plot.node),
                "plot outside the picture of " + quoted(kCameraName) + " at the end of " +
                    quoted(kIntroName));
    }
}

void plotsInSight(const LevelModelFacts& facts, std::vector<Finding>& out) {
    if (!facts.view || !facts.prototypes->towerBase)
        return;
    for (const PlotNode& plot : facts.plots) {
        const PlotSightLine sight =
            plotSightLine(facts.model->scene().physicsScene(), facts.view->eye(), plotBox(plot), *plot.node);
        if (sight.hiddenBy) {
            const Node3D* in = sight.hiddenBy;
            // A part of another plot is named by that plot.
            for (const Node3D* n = in; n; n = n->getParent())
                if (Node3D::baseName(n->getName()) == kPlotBaseName)
                    in = n;
            add(out, Severity::Error, facts.file(), 0, nodeLabel(*plot.node),
                "plot hidden behind " + quoted(in->getName()) + " from " + quoted(kCameraName));
        } else if (sight.reachesNothing) {
            add(out, Severity::Error, facts.file(), 0, nodeLabel(*plot.node),
                "a click aimed at the plot from " + quoted(kCameraName) + " meets nothing");
        }
    }
}

void monstersLegible(const LevelModelFacts& facts, std::vector<Finding>& out) {
    if (!facts.view)
        return;
    for (const Road& road : facts.roads) {
        bool leavesReported = false;
        for (const CheckPrototypes::Monster& monster : facts.prototypes->monsters) {
            const MonsterSight sight = monsterOnRoad(*facts.view, road.samples(), monster.box, monster.scale);
            if (sight.offScreenAt && !leavesReported) {
                add(out, Severity::Warning, facts.file(), 0, {},
                    roadLabel(road.number()) + " leaves the picture of " + quoted(kCameraName) + " at (" +
                        figure(sight.offScreenAt->x) + ", " + figure(sight.offScreenAt->z) + ")");
                leavesReported = true;
            }
            const float minimum = legibility::minimumMonsterPixels(monster.type);
            if (sight.smallestPixels < minimum)
                add(out, Severity::Warning, facts.file(), 0, {},
                    std::string(monsterKindName(monster.type)) + " monster " +
                        below(sight.smallestPixels, 1) + " pixels tall on " + roadLabel(road.number()) +
                        " (at least " + limit(minimum) + " at 800x800)");
        }
    }
}

void plotsLegible(const LevelModelFacts& facts, std::vector<Finding>& out) {
    if (!facts.view || !facts.prototypes->towerBase)
        return;
    for (const PlotNode& plot : facts.plots) {
        const PlotPicture picture = plotOnScreen(*facts.view, plotBox(plot));
        if (picture.acrossPixels < legibility::kMinimumPlotPixels)
            add(out, Severity::Warning, facts.file(), 0, nodeLabel(*plot.node),
                "plot " + below(picture.acrossPixels, 1) + " pixels across (at least " +
                    limit(legibility::kMinimumPlotPixels) + " at 800x800)");
    }
}

} // namespace rules

void checkLevelModel(const LevelModelFacts& facts, const LevelDefinition* level, std::vector<Finding>& out) {
    rules::cameraMain(facts, out);
    rules::core(facts, out);
    rules::roadsPresent(facts, out);
    rules::roadsLongEnough(facts, out);
    rules::roadsEndAtCore(facts, out);
    if (level)
        rules::scheduleRoads(*level, facts, out);
    rules::plotNumbers(facts, out);
    rules::plotsBesideRoads(facts, out);
    rules::plotsClearOfCore(facts, out);
    rules::sceneryClear(facts, out);
    rules::plotsInFrame(facts, out);
    rules::plotsInSight(facts, out);
    rules::monstersLegible(facts, out);
    rules::plotsLegible(facts, out);
}

// --- The checker --------------------------------------------------------------------------------

struct LevelChecker::LoadedModel {
    std::string path;
    std::unique_ptr<LevelModel> model; // null when it cannot be read
    LevelModelFacts facts;
};

LevelChecker::LevelChecker(Window& window) : window_(window) {}

LevelChecker::~LevelChecker() = default;

int LevelChecker::errorCount() const {
    return static_cast<int>(std::count_if(findings_.begin(), findings_.end(),
                                          [](const Finding& f) { return f.severity == Severity::Error; }));
}

LevelChecker::LoadedModel* LevelChecker::loadModel(const std::string& path) {
    for (const auto& loaded : models_)
        if (loaded->path == path)
            return loaded.get();
    if (!prototypes_)
        prototypes_ = CheckPrototypes::load(findings_);
    auto loaded = std::make_unique<LoadedModel>();
    loaded->path = path;
    loaded->model = LevelModel::load(window_, path, findings_);
    if (loaded->model) {
        loaded->facts = gatherFacts(*loaded->model, *prototypes_);
        checkLevelModel(loaded->facts, nullptr, findings_);
    }
    checkedFiles_.push_back(path);
    models_.push_back(std::move(loaded));
    return models_.back().get();
}

void LevelChecker::checkModelFile(const std::string& path, const LevelDefinition* level) {
    LoadedModel* loaded = loadModel(path);
    if (level && loaded->model)
        rules::scheduleRoads(*level, loaded->facts, findings_);
}

void LevelChecker::checkLevelFile(const std::string& path, bool withModel) {
    const std::string name = std::filesystem::path(path).stem().string();
    checkedFiles_.push_back(path);
    LevelDefinition level = rules::levelFile(path, name, findings_);
    std::error_code error;
    if (!withModel || !std::filesystem::is_regular_file(path, error))
        return;
    // A schedule the game refuses is still worth checking against the model's roads, so that one
    // run shows every problem.
    if (!level.usable)
        level.schedule = readableSchedule(path);
    const std::size_t before = findings_.size();
    rules::modelFileNamed(level, findings_);
    if (findings_.size() == before)
        checkModelFile(kModelsFolder + level.modelFile, &level);
}

void LevelChecker::checkFile(const std::string& path) {
    const std::filesystem::path file(path);
    if (file.extension() == ".fbx")
        checkModelFile(path, nullptr);
    else if (file.filename() == "campaign.ini") {
        checkedFiles_.push_back(path);
        rules::campaign(path, findings_);
    } else
        checkLevelFile(path, true);
}

void LevelChecker::checkGame() {
    const std::string campaignPath = campaignFilePath();
    checkedFiles_.push_back(campaignPath);
    rules::campaign(campaignPath, findings_);
    std::vector<Finding> ignored; // the campaign's own findings are reported above
    std::string text;
    std::vector<std::string> names;
    if (readText(campaignPath, text))
        names = parseCampaign(text, campaignPath, ignored);
    if (names.empty())
        names = campaignLevels();
    for (const std::string& name : names) {
        std::error_code error;
        if (std::filesystem::is_regular_file(levelFilePath(name), error))
            checkLevelFile(levelFilePath(name), true);
    }
}

} // namespace hm
