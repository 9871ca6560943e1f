#include "game/LevelDefinition.h"

#include "app/AssetLocations.h"
#include "app/IniText.h"
#include "app/Log.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

namespace hm {

namespace {

// A level file is a page of text; anything far larger is not one.
constexpr std::uintmax_t kMaxFileBytes = 1u << 20;
constexpr std::size_t kMaxScheduleEntries = 10000;
constexpr int kMaxRoad = 16;
constexpr float kMaxDelay = 3600.0f;

const char* const kMonsterKinds[] = {"floating", "walking", "massive"};

std::string lower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::optional<long> parseWhole(const std::string& text) {
    if (text.empty())
        return std::nullopt;
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (*end != '\0' || errno == ERANGE)
        return std::nullopt;
    return value;
}

std::optional<float> parseReal(const std::string& text) {
    if (text.empty())
        return std::nullopt;
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (*end != '\0' || !std::isfinite(value))
        return std::nullopt;
    return static_cast<float>(value);
}

std::string trimmed(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    return std::string(text);
}

// Collects the findings of one file.
class Reporter {
public:
    Reporter(const std::string& file, std::vector<Finding>& out) : file_(file), out_(out) {}
    void error(int line, std::string message) { add(Severity::Error, line, std::move(message)); }
    void warning(int line, std::string message) { add(Severity::Warning, line, std::move(message)); }
    bool anyError() const { return errors_ > 0; }

private:
    void add(Severity severity, int line, std::string message) {
        errors_ += severity == Severity::Error;
        out_.push_back({severity, file_, line, {}, std::move(message)});
    }
    const std::string& file_;
    std::vector<Finding>& out_;
    int errors_ = 0;
};

const char* const kLevelKeys[] = {"name",   "model",           "lives",     "resources",
                                  "income", "income_interval", "two_stars", "three_stars"};

} // namespace

std::string Finding::text() const {
    std::string out = file;
    if (line > 0) {
        out += ':';
        out += std::to_string(line);
    }
    if (!where.empty()) {
        out += ": ";
        out += where;
    }
    out += severity == Severity::Error ? ": error: " : ": warning: ";
    out += message;
    return out;
}

int LevelDefinition::starsFor(bool won, int livesLeft) const {
    if (!won)
        return 0;
    if (livesLeft >= threeStars)
        return 3;
    return livesLeft >= twoStars ? 2 : 1;
}

const std::vector<SpawnEntry>& standardSchedule() {
    using E = EnemyType;
    constexpr E F = E::FLOATING_STONE_MONSTER, W = E::WALKING_STONE_MONSTER, M = E::MASSIVE_STONE_MONSTER;
    static const std::vector<SpawnEntry> schedule = {
        {F, 1.0f},  {F, 0.5f}, {F, 10.0f}, {W, 5.0f},  {W, 10.0f}, {W, 12.0f},
        {F, 10.0f}, {F, 0.5f}, {F, 0.7f},  {F, 0.2f},  {F, 0.3f},  {F, 0.5f},
        {F, 1.0f},  {W, 3.0f}, {W, 0.8f},  {W, 0.95f}, {W, 0.72f}, {M, 23.0f},
    };
    return schedule;
}

LevelDefinition standardLevel(const std::string& name) {
    LevelDefinition level;
    level.name = name;
    level.displayName = name;
    level.modelFile = name + ".fbx";
    level.schedule = standardSchedule();
    level.path = levelFilePath(name);
    return level;
}

std::optional<EnemyType> monsterKindByName(std::string_view name) {
    const std::string key = lower(name);
    for (const auto& [type, prototype] : enemyPrototypes())
        if (key == kMonsterKinds[static_cast<int>(type)] || key == lower(prototype.typeName))
            return type;
    return std::nullopt;
}

const char* monsterKindName(EnemyType type) {
    return kMonsterKinds[static_cast<int>(type)];
}

LevelDefinition parseLevelDefinition(std::string_view text, const std::string& name,
                                     const std::string& fileLabel, std::vector<Finding>& findings) {
    Reporter report(fileLabel, findings);
    LevelDefinition level = standardLevel(name);
    level.path = fileLabel;
    const IniText ini = parseIniText(text);
    for (const IniProblem& problem : ini.problems)
        report.error(problem.line, problem.message);

    for (const auto& [section, line] : ini.sections)
        if (section != "level" && section != "schedule")
            report.warning(line,
                           "unknown section [" + section + "] (the sections are [level] and [schedule])");
    for (const IniEntry& entry : ini.entries)
        if (entry.section.empty())
            report.warning(entry.line, "\"" + entry.key + "\" stands before any section and is ignored");

    // [level]: every key once; an unknown key is most likely a typo of a known one.
    std::set<std::string> seen;
    for (const IniEntry* entry : ini.section("level")) {
        if (std::find(std::begin(kLevelKeys), std::end(kLevelKeys), entry->key) == std::end(kLevelKeys))
            report.warning(entry->line, "unknown key \"" + entry->key + "\" in [level]");
        else if (!seen.insert(entry->key).second)
            report.warning(entry->line, "\"" + entry->key + "\" is given again; the last value counts");
    }
    auto missing = [&](const char* key, const std::string& standard) {
        report.warning(0, "[level] " + std::string(key) + " is not set; using " + standard);
    };
    auto readWhole = [&](const char* key, int& into, long low, long high) {
        const IniEntry* entry = ini.find("level", key);
        if (!entry) {
            missing(key, std::to_string(into));
            return;
        }
        const auto value = parseWhole(entry->value);
        if (!value || *value < low || *value > high) {
            report.error(entry->line, std::string(key) + " \"" + entry->value +
                                          "\" is not a whole number from " + std::to_string(low) + " to " +
                                          std::to_string(high) + "; using " + std::to_string(into));
            return;
        }
        into = static_cast<int>(*value);
    };

    if (const IniEntry* entry = ini.find("level", "name"); entry && !entry->value.empty())
        level.displayName = entry->value;
    else
        missing("name", "\"" + level.displayName + "\"");
    if (const IniEntry* entry = ini.find("level", "model")) {
        const std::string& model = entry->value;
        // The model is a file of the models folder, never a path that leaves it.
        if (model.empty() || model.find('/') != std::string::npos || model.find('\\') != std::string::npos ||
            model == "." || model == "..")
            report.error(entry->line, "model \"" + model +
                                          "\" is not a file name in GAME_DATA/models; using " +
                                          level.modelFile);
        else
            level.modelFile = model;
    } else {
        missing("model", level.modelFile);
    }
    readWhole("lives", level.lives, 1, 1000);
    readWhole("resources", level.resources, 0, 1000000);
    readWhole("income", level.income, 0, 100000);
    if (const IniEntry* entry = ini.find("level", "income_interval")) {
        const auto value = parseReal(entry->value);
        if (!value || *value < 0.05f || *value > kMaxDelay)
            report.error(entry->line, "income_interval \"" + entry->value +
                                          "\" is not a number of seconds from 0.05 to 3600; using 2");
        else
            level.incomeInterval = *value;
    } else {
        missing("income_interval", "2");
    }
    // Without thresholds of its own, a level asks half its lives for two stars and all for three.
    level.twoStars = (level.lives + 1) / 2;
    level.threeStars = level.lives;
    readWhole("two_stars", level.twoStars, 1, level.lives);
    readWhole("three_stars", level.threeStars, 1, level.lives);
    if (level.threeStars < level.twoStars) {
        const IniEntry* entry = ini.find("level", "three_stars");
        report.error(entry ? entry->line : 0, "three_stars (" + std::to_string(level.threeStars) +
                                                  ") is below two_stars (" + std::to_string(level.twoStars) +
                                                  ")");
        level.threeStars = level.twoStars;
    }

    // [schedule]: "kind = seconds [, road]", one line per monster.
    const bool hasSchedule = std::any_of(ini.sections.begin(), ini.sections.end(),
                                         [](const auto& s) { return s.first == "schedule"; });
    if (!hasSchedule) {
        report.warning(0, "there is no [schedule]; using the standard eighteen monsters");
        return level;
    }
    std::vector<SpawnEntry> schedule;
    bool scheduleBroken = false;
    for (const IniEntry* entry : ini.section("schedule")) {
        if (schedule.size() >= kMaxScheduleEntries) {
            report.error(entry->line, "more than " + std::to_string(kMaxScheduleEntries) + " monsters");
            scheduleBroken = true;
            break;
        }
        SpawnEntry spawn;
        spawn.line = entry->line;
        const auto kind = monsterKindByName(entry->key);
        if (!kind) {
            report.error(entry->line,
                         "unknown monster kind \"" + entry->key + "\" (floating, walking, massive)");
            scheduleBroken = true;
            continue;
        }
        spawn.type = *kind;
        const std::size_t comma = entry->value.find(',');
        const std::string delayText = trimmed(entry->value.substr(0, comma));
        const auto delay = parseReal(delayText);
        if (!delay || *delay < 0.0f || *delay > kMaxDelay) {
            report.error(entry->line, "\"" + delayText + "\" is not a number of seconds from 0 to 3600");
            scheduleBroken = true;
            continue;
        }
        spawn.delay = *delay;
        if (comma != std::string::npos) {
            const std::string roadText = trimmed(entry->value.substr(comma + 1));
            const auto road = parseWhole(roadText);
            if (!road || *road < 1 || *road > kMaxRoad) {
                report.error(entry->line, "road \"" + roadText + "\" is not a road number from 1 to " +
                                              std::to_string(kMaxRoad));
                scheduleBroken = true;
                continue;
            }
            spawn.road = static_cast<int>(*road);
        }
        schedule.push_back(spawn);
    }
    if (schedule.empty() && !scheduleBroken) {
        const auto it = std::find_if(ini.sections.begin(), ini.sections.end(),
                                     [](const auto& s) { return s.first == "schedule"; });
        report.error(it->second, "the schedule has no monsters");
        scheduleBroken = true;
    }
    if (scheduleBroken)
        level.usable = false;
    else
        level.schedule = std::move(schedule);
    return level;
}

std::string levelFilePath(const std::string& name) {
    return kDataFolder + "levels/" + name + ".ini";
}

std::string campaignFilePath() {
    return kDataFolder + "levels/campaign.ini";
}

bool isLevelName(std::string_view name) {
    return !name.empty() && name.size() <= 64 && std::all_of(name.begin(), name.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-';
    });
}

namespace {

// The whole file, or nullopt with a finding.
std::optional<std::string> readSmallText(const std::string& path, Reporter& report) {
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    if (error) {
        report.error(0, "cannot be read: " + error.message());
        return std::nullopt;
    }
    if (size > kMaxFileBytes) {
        report.error(0, "is " + std::to_string(size) + " bytes, more than a level file can be (1 MB)");
        return std::nullopt;
    }
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    if (!in && !in.eof()) {
        report.error(0, "cannot be read");
        return std::nullopt;
    }
    return text.str();
}

void logFindings(const std::vector<Finding>& findings) {
    for (const Finding& finding : findings) {
        if (finding.severity == Severity::Error)
            spdlog::error("{0}", finding.text());
        else
            spdlog::warn("{0}", finding.text());
    }
}

} // namespace

LevelDefinition readLevelFile(const std::string& path, const std::string& name,
                              std::vector<Finding>& findings) {
    Reporter report(path, findings);
    const auto text = readSmallText(path, report);
    if (!text) {
        LevelDefinition level = standardLevel(name);
        level.path = path;
        level.usable = false;
        return level;
    }
    return parseLevelDefinition(*text, name, path, findings);
}

LevelDefinition loadLevelDefinition(const std::string& name) {
    std::vector<Finding> findings;
    if (!isLevelName(name)) {
        spdlog::error(
            "\"{0}\" is not a level name (letters, digits, '_' and '-'); playing the standard level", name);
        LevelDefinition level = standardLevel("level");
        level.usable = false;
        return level;
    }
    LevelDefinition level = readLevelFile(levelFilePath(name), name, findings);
    logFindings(findings);
    if (!level.usable) {
        const auto campaign = campaignLevels();
        if (!campaign.empty() && campaign.front() == name) {
            spdlog::warn("{0}: the level is played with the standard values", level.path);
            LevelDefinition fallback = standardLevel(name);
            fallback.displayName = level.displayName;
            fallback.modelFile = level.modelFile;
            return fallback;
        }
    }
    return level;
}

std::vector<std::string> parseCampaign(std::string_view text, const std::string& fileLabel,
                                       std::vector<Finding>& findings) {
    Reporter report(fileLabel, findings);
    const IniText ini = parseIniText(text);
    for (const IniProblem& problem : ini.problems)
        report.error(problem.line, problem.message);
    std::vector<std::string> names;
    for (const IniEntry& entry : ini.entries) {
        if (entry.section != "campaign" || entry.key != "level") {
            report.warning(entry.line, "the campaign lists levels as \"level = NAME\" in [campaign]");
            continue;
        }
        if (!isLevelName(entry.value))
            report.error(entry.line,
                         "\"" + entry.value + "\" is not a level name (letters, digits, '_' and '-')");
        else if (std::find(names.begin(), names.end(), entry.value) != names.end())
            report.warning(entry.line, "level \"" + entry.value + "\" is listed twice");
        else
            names.push_back(entry.value);
    }
    return names;
}

std::vector<std::string> campaignLevels() {
    std::vector<Finding> findings;
    const std::string path = campaignFilePath();
    Reporter report(path, findings);
    std::vector<std::string> names;
    if (const auto text = readSmallText(path, report))
        names = parseCampaign(*text, path, findings);
    if (names.empty()) {
        // Without a list, every level file of the folder is a level, in the order of their names.
        std::error_code error;
        for (const auto& item : std::filesystem::directory_iterator(kDataFolder + "levels", error)) {
            const auto file = item.path();
            if (file.extension() == ".ini" && file.stem() != "campaign" && isLevelName(file.stem().string()))
                names.push_back(file.stem().string());
        }
        std::sort(names.begin(), names.end());
        if (!names.empty())
            report.warning(0, "lists no level; playing the level files of the folder by name");
    }
    static bool logged = false; // the campaign is read often; its problems are worth one report
    if (!logged) {
        logFindings(findings);
        logged = true;
    }
    return names;
}

} // namespace hm
