// hollowmere-sim: plays a level without drawing it, for level designers.
//
//   hollowmere-sim [LEVEL] [--plan C2,A10,U2,...|none] [--policy random|greedy|arrows|cannons]
//                  [--plays N] [--seed S] [--step SECONDS|1/N] [--frames MS,MS,...] [--speed 1|2|4]
//                  [--pace SECONDS] [--figures] [--csv FILE] [--svg FILE] [--record FILE]
//   hollowmere-sim --replay FILE
//
// Run from the repository root. LEVEL is a level name (GAME_DATA/levels/LEVEL.ini; default the
// campaign's first level). A plan takes its steps in order (A arrow or C cannon built on the plot of
// that number, U upgrade, S sell, T3=strongest aim), each as soon as it is affordable and the
// player's pace allows (--pace, default 3 s a action after the intro; 0 is a perfect player); a
// policy is a built-in player (see
// docs/level-design.md). Every play prints
//   won|lost lives=N kills=N time=SECONDS resources=N plan=...
// and several plays end with "win rate: P% (W of N)". --figures prints the level's measurements
// first, with every tower level's figures. --frames gives uneven frame times in milliseconds, taken in turn
// over and over (instead of
// --step). --csv writes one row per play, --svg a chart of lives and resources over time.
// --record FILE keeps the (one) play as a replay file.
//
// --replay FILE plays a recorded play again (from the game's replays folder, or --record), prints
// its line and then "replay: same" or "replay: differs: recorded LINE, replayed LINE".
//
// Exit status: 0 whether the plays are won or lost, 1 when the level cannot be loaded or a file
// cannot be read or written (a replay that is refused), 2 for a usage error, 3 when a replay
// differs from its recording.
// An installed copy runs from anywhere and finds the installed data (see useGameData).
#include "app/AssetLocations.h"
#include "app/Log.h"
#include "app/Window.h"
#include "game/LevelDefinition.h"
#include "game/LevelSimulator.h"
#include "game/PlayRecorder.h"
#include "game/Replay.h"
#include "game/ReplayPlayer.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace {

using namespace hm;

int usage(const std::string& message) {
    std::fprintf(
        stderr,
        "hollowmere-sim: %s\n"
        "usage: hollowmere-sim [LEVEL] [--plan C2,A10,U2,...|none] [--policy random|greedy|arrows|cannons]\n"
        "                      [--plays N] [--seed S] [--step SECONDS|1/N] [--frames MS,MS,...]\n"
        "                      [--speed 1|2|4] [--pace SECONDS] [--figures] [--csv FILE] [--svg FILE]\n"
        "                      [--record FILE]\n"
        "       hollowmere-sim --replay FILE\n",
        message.c_str());
    return 2;
}

// "0.25" or "1/4"; nullopt for anything else.
std::optional<double> parseSeconds(const std::string& text) {
    char* end = nullptr;
    const std::size_t slash = text.find('/');
    if (slash != std::string::npos) {
        const double top = std::strtod(text.substr(0, slash).c_str(), &end);
        if (*end != '\0' || slash == 0)
            return std::nullopt;
        const double bottom = std::strtod(text.substr(slash + 1).c_str(), &end);
        if (*end != '\0' || slash + 1 == text.size() || bottom == 0.0)
            return std::nullopt;
        return top / bottom;
    }
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0')
        return std::nullopt;
    return value;
}

// "9,25,16" (milliseconds, each above 0 and at most 500) as seconds; nullopt for anything else.
std::optional<std::vector<double>> parseFrameTimes(const std::string& text) {
    std::vector<double> times;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t comma = std::min(text.find(',', start), text.size());
        const std::string item = text.substr(start, comma - start);
        start = comma + 1;
        char* end = nullptr;
        const double ms = std::strtod(item.c_str(), &end);
        if (item.empty() || *end != '\0' || !(ms > 0.0 && ms <= 500.0) || times.size() >= 10000)
            return std::nullopt;
        times.push_back(ms / 1000.0);
    }
    return times;
}

std::optional<long> parseCount(const std::string& text, long low, long high) {
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || value < low || value > high)
        return std::nullopt;
    return value;
}

void printFigures(const std::string& level, const LevelFigures& figures) {
    for (const RoadFigures& road : figures.roads) {
        std::printf("level %s road %d: path %.1f units, %.2f s at speed 1\n", level.c_str(), road.number,
                    road.length, road.seconds);
        for (const auto& [type, seconds] : road.travelTimes)
            std::printf("  travel time %-24s %6.1f s\n", enemyPrototype(type).typeName.c_str(), seconds);
    }
    std::printf("  intro flight %.1f s\n", figures.introSeconds);
    std::printf("  plot   x      z      arrow  cannon  last stretch\n");
    std::string lastStretch;
    for (const PlotFigures& plot : figures.plots) {
        std::printf("  %4d %6.1f %6.1f  %5.1f%%  %5.1f%%  %s\n", plot.index, plot.position.x, plot.position.z,
                    100.0f * plot.arrowShare, 100.0f * plot.cannonShare, plot.seesLastStretch ? "yes" : "-");
        if (plot.seesLastStretch)
            lastStretch += (lastStretch.empty() ? "" : ", ") + std::to_string(plot.index);
    }
    std::printf("  the last tenth of each road before the core is within arrow range of plots: %s\n",
                lastStretch.empty() ? "none" : lastStretch.c_str());
    std::printf("  tower   level  price  damage  range  every  splash  damage/s\n");
    for (const auto& [type, tower] : towerPrototypes())
        for (int level = 1; level <= kTowerLevels; ++level) {
            const TowerLevel& l = towerLevel(type, level);
            std::printf("  %-7s %5d %6d %7g %6g %6g %7g %9.1f\n", tower.typeName.c_str(), level, l.price,
                        l.damage, l.range, l.fireInterval, l.splashRadius, l.damage / l.fireInterval);
        }
}

// Plays a replay file again: 0 when its result is the recorded one, 3 when not, 1 when refused.
int replayFile(const std::string& file) {
    std::string message;
    const std::optional<Replay> replay = readReplayFile(file, message);
    if (!replay) {
        std::fprintf(stderr, "hollowmere-sim: %s\n", message.c_str());
        return 1;
    }
    std::unique_ptr<Window> window = Window::headless(800, 800);
    std::string refusal;
    const std::optional<ReplayOutcome> outcome = playReplay(*window, *replay, file, refusal);
    if (!outcome) {
        std::fprintf(stderr, "hollowmere-sim: %s\n", refusal.c_str());
        return 1;
    }
    for (const std::string& warning : outcome->warnings)
        std::fprintf(stderr, "hollowmere-sim: warning: %s\n", warning.c_str());
    std::printf("%s\n", outcome->line.c_str());
    if (outcome->same) {
        std::printf("replay: same\n");
        return 0;
    }
    std::printf("replay: differs: recorded %s, replayed %s\n", replay->result.c_str(), outcome->line.c_str());
    return 3;
}

bool writeCsv(const std::string& file, const std::vector<PlayResult>& plays,
              const std::vector<unsigned>& seeds, const std::string& policy) {
    std::ofstream out(file);
    out << "play,policy,seed,outcome,lives,kills,time,resources,plan\n";
    for (std::size_t i = 0; i < plays.size(); ++i) {
        const PlayResult& p = plays[i];
        out << i + 1 << ',' << policy << ',' << seeds[i] << ',' << (p.won ? "won" : "lost") << ',' << p.lives
            << ',' << p.kills << ',' << p.time << ',' << p.resources << ",\"" << formatPlan(p.built)
            << "\"\n";
    }
    return static_cast<bool>(out.flush());
}

// Two charts over play time: lives above, resources below; one line per play, green when it was
// won and red when lost.
bool writeSvg(const std::string& file, const std::vector<PlayResult>& plays) {
    float maxTime = 1.0f;
    int maxResources = 1, maxLives = 1;
    for (const PlayResult& p : plays)
        for (const PlaySample& s : p.trace) {
            maxTime = std::max(maxTime, s.time);
            maxResources = std::max(maxResources, s.resources);
            maxLives = std::max(maxLives, s.lives);
        }
    const float left = 60, width = 720, top = 30, height = 160, gap = 50;
    std::ofstream out(file);
    out << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"800\" height=\"" << top + 2 * height + gap + 40
        << "\" font-family=\"sans-serif\" font-size=\"12\">\n<rect width=\"100%\" height=\"100%\" "
           "fill=\"white\"/>\n";
    auto chart = [&](float y0, const char* title, int maximum, auto value) {
        out << "<text x=\"" << left << "\" y=\"" << y0 - 8 << "\">" << title << " (0 to " << maximum
            << ")</text>\n<rect x=\"" << left << "\" y=\"" << y0 << "\" width=\"" << width << "\" height=\""
            << height << "\" fill=\"none\" stroke=\"#888\"/>\n";
        for (const PlayResult& p : plays) {
            out << "<polyline fill=\"none\" stroke-opacity=\"0.5\" stroke=\""
                << (p.won ? "#1a8f3a" : "#c0392b") << "\" points=\"";
            for (const PlaySample& s : p.trace)
                out << left + width * s.time / maxTime << ','
                    << y0 + height - height * static_cast<float>(value(s)) / static_cast<float>(maximum)
                    << ' ';
            out << "\"/>\n";
        }
    };
    chart(top, "lives", maxLives, [](const PlaySample& s) { return s.lives; });
    chart(top + height + gap, "resources", maxResources, [](const PlaySample& s) { return s.resources; });
    out << "<text x=\"" << left << "\" y=\"" << top + 2 * height + gap + 25 << "\">time 0 to " << maxTime
        << " s of play; green: won, red: lost</text>\n</svg>\n";
    return static_cast<bool>(out.flush());
}

} // namespace

int main(int argc, char** argv) {
    std::string level;
    std::optional<std::vector<PlannedTower>> plan;
    std::optional<PlayerPolicy> policy;
    long plays = 1;
    unsigned seed = 1;
    double step = 1.0 / 60.0;
    std::vector<double> frameTimes;
    int speed = 1;
    double pace = PlayOptions::kPersonPace;
    bool figures = false;
    std::string csv, svg, record, replay;
    bool levelGiven = false;
    int options = 0; // given besides --replay

    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        auto value = [&]() -> std::optional<std::string> {
            if (i + 1 < argc)
                return std::string(argv[++i]);
            return std::nullopt;
        };
        if (argument != "--replay")
            ++options;
        if (argument == "--replay") {
            auto text = value();
            if (!text || text->empty())
                return usage("--replay needs a replay file");
            replay = *text;
        } else if (argument == "--record") {
            auto text = value();
            if (!text || text->empty())
                return usage("--record needs a file name");
            record = *text;
        } else if (argument == "--plan") {
            auto text = value();
            if (!text)
                return usage("--plan needs a plan such as C2,A10,U2,T2=last or none");
            std::string error;
            plan = parsePlan(*text, error);
            if (!plan)
                return usage(error);
        } else if (argument == "--policy") {
            auto text = value();
            policy = text ? parsePolicy(*text) : std::nullopt;
            if (!policy)
                return usage("--policy is one of random, greedy, arrows, cannons");
        } else if (argument == "--plays") {
            auto text = value();
            auto count = text ? parseCount(*text, 1, 100000) : std::nullopt;
            if (!count)
                return usage("--plays needs a number from 1 to 100000");
            plays = *count;
        } else if (argument == "--seed") {
            auto text = value();
            auto number = text ? parseCount(*text, 0, 4000000000L) : std::nullopt;
            if (!number)
                return usage("--seed needs a whole number from 0");
            seed = static_cast<unsigned>(*number);
        } else if (argument == "--step") {
            auto text = value();
            auto seconds = text ? parseSeconds(*text) : std::nullopt;
            if (!seconds || *seconds <= 0.0 || *seconds > 0.5)
                return usage("--step needs seconds above 0 and at most 0.5, such as 0.25 or 1/4");
            step = *seconds;
        } else if (argument == "--frames") {
            auto text = value();
            auto times = text ? parseFrameTimes(*text) : std::nullopt;
            if (!times)
                return usage("--frames needs milliseconds above 0 and at most 500, such as 9,25,16,3,40");
            frameTimes = *times;
        } else if (argument == "--speed") {
            auto text = value();
            if (!text || (*text != "1" && *text != "2" && *text != "4"))
                return usage("--speed is 1, 2 or 4");
            speed = std::stoi(*text);
        } else if (argument == "--pace") {
            auto text = value();
            auto seconds = text ? parseSeconds(*text) : std::nullopt;
            if (!seconds || *seconds < 0.0 || *seconds > 60.0)
                return usage("--pace needs seconds from 0 to 60 per action");
            pace = *seconds;
        } else if (argument == "--figures") {
            figures = true;
        } else if (argument == "--csv" || argument == "--svg") {
            auto text = value();
            if (!text || text->empty())
                return usage(argument + " needs a file name");
            (argument == "--csv" ? csv : svg) = *text;
        } else if (argument == "--help" || argument == "-h") {
            usage("plays a level without drawing it");
            return 0;
        } else if (!argument.empty() && argument[0] == '-') {
            return usage("unknown option " + argument);
        } else if (!levelGiven) {
            level = argument;
            levelGiven = true;
        } else {
            return usage("only one level at a time");
        }
    }
    if (!replay.empty() && options > 0)
        return usage("--replay plays the recorded file alone, with no other option or level");
    if (plan && policy)
        return usage("--plan and --policy exclude each other");
    if (!record.empty() && plays > 1)
        return usage("--record keeps one play; leave out --plays");
    if (!plan && !policy)
        policy = PlayerPolicy::Greedy;

    // Quiet, silent and without a frame cap: only warnings and errors reach the console.
    setenv("ALSOFT_DRIVERS", "null", 1);
    hm::initLogging();
    spdlog::set_level(spdlog::level::warn);
    // Files are named relative to where the tool was started; the data may move the working directory.
    for (std::string* file : {&csv, &svg, &record, &replay})
        if (!file->empty())
            *file = std::filesystem::absolute(*file).string();
    if (useGameData().origin == DataOrigin::NotFound)
        return 1; // the error line says where the data was looked for
    if (!replay.empty())
        return replayFile(replay);

    if (!levelGiven) {
        const std::vector<std::string> campaign = campaignLevels();
        if (campaign.empty()) {
            std::fprintf(stderr, "hollowmere-sim: the game has no levels (%s)\n", campaignFilePath().c_str());
            return 1;
        }
        level = campaign.front();
    }
    if (!isLevelName(level))
        return usage("'" + level + "' is not a level name (a file GAME_DATA/levels/NAME.ini)");
    if (!std::filesystem::exists(levelFilePath(level))) {
        std::fprintf(stderr, "hollowmere-sim: there is no level %s (%s)\n", level.c_str(),
                     levelFilePath(level).c_str());
        return 1;
    }

    // No display and no GL context: the level loads and plays as in the game, and draws nothing.
    std::unique_ptr<Window> window = Window::headless(800, 800);
    LevelSimulator simulator(*window, level);
    std::string error;
    if (!simulator.canLoad(error)) {
        std::fprintf(stderr, "hollowmere-sim: %s\n", error.c_str());
        return 1;
    }
    if (figures)
        printFigures(level, simulator.figures());
    if (plan)
        for (const PlannedTower& tower : *plan)
            if (tower.plot > static_cast<int>(simulator.figures().plots.size()))
                return usage("plot " + std::to_string(tower.plot) + " does not exist in " + level);

    std::vector<PlayResult> results;
    std::vector<unsigned> seeds;
    int won = 0;
    for (long i = 0; i < plays; ++i) {
        PlayOptions options;
        options.policy = plan ? PlayerPolicy::Plan : *policy;
        if (plan)
            options.plan = *plan;
        options.seed = seed + static_cast<unsigned>(i);
        options.frameStep = step;
        options.frameTimes = frameTimes;
        options.speed = speed;
        options.pace = pace;
        Replay recorded;
        if (!record.empty())
            options.record = &recorded;
        PlayResult result = simulator.play(options);
        std::printf("%s\n", resultLine(result).c_str());
        std::fflush(stdout);
        std::string reason;
        if (!record.empty() && !writeReplayFile(record, recorded, reason)) {
            std::fprintf(stderr, "hollowmere-sim: cannot write %s: %s\n", record.c_str(), reason.c_str());
            return 1;
        }
        won += result.won;
        seeds.push_back(options.seed);
        results.push_back(std::move(result));
    }
    if (plays > 1)
        std::printf("win rate: %.0f%% (%d of %ld)\n", 100.0 * won / static_cast<double>(plays), won, plays);

    const std::string policyText = plan ? "plan" : policyName(*policy);
    if (!csv.empty() && !writeCsv(csv, results, seeds, policyText)) {
        std::fprintf(stderr, "hollowmere-sim: cannot write %s\n", csv.c_str());
        return 1;
    }
    if (!svg.empty() && !writeSvg(svg, results)) {
        std::fprintf(stderr, "hollowmere-sim: cannot write %s\n", svg.c_str());
        return 1;
    }
    return 0;
}
