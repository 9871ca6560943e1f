#include "game/Replay.h"

#include "app/AssetLocations.h"
#include "game/Prototypes.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace hm {

namespace {

constexpr std::string_view kVersionLine = "hollowmere replay ";
constexpr std::size_t kMaxLine = 1024;
constexpr std::size_t kMaxWord = 32;

bool isWordChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-' || c == '.' || c == '+';
}

// Printable ASCII without line breaks: what a free-text value (date, result line) may hold.
bool isPlainText(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= 0x20 && c < 0x7f; });
}

std::string_view trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

// A whole decimal number from low to high, nothing else.
std::optional<std::int64_t> wholeNumber(std::string_view text, std::int64_t low, std::int64_t high) {
    if (text.empty() || text.size() > 18 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    std::int64_t value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    if (value < low || value > high)
        return std::nullopt;
    return value;
}

std::vector<std::string_view> splitSpaces(std::string_view text) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t space = std::min(text.find(' ', start), text.size());
        parts.push_back(text.substr(start, space - start));
        start = space + 1;
    }
    return parts;
}

// The file's bytes; nullopt when it cannot be read. tooLarge: it is longer than a replay may be.
std::optional<std::string> readWhole(const std::string& path, bool& tooLarge) {
    std::ifstream in(path, std::ios::binary);
    tooLarge = false;
    if (!in)
        return std::nullopt;
    std::string text;
    char buffer[65536];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        text.append(buffer, static_cast<std::size_t>(in.gcount()));
        if (text.size() > Replay::kMaxFileBytes) {
            tooLarge = true;
            return std::nullopt;
        }
    }
    if (in.bad())
        return std::nullopt;
    return text;
}

std::string hex64(std::uint64_t value) {
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
    return text;
}

// The bytes of a file, or a marker that says it was absent; both enter the digest.
std::uint64_t digestFile(const std::string& path, std::uint64_t hash) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return fnv1a64("\x01missing " + path + "\n", hash);
    hash = fnv1a64("\x01file " + path + "\n", hash);
    char buffer[65536];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0)
        hash = fnv1a64(std::string_view(buffer, static_cast<std::size_t>(in.gcount())), hash);
    return hash;
}

} // namespace

bool isReplayVerb(std::string_view text) {
    return !text.empty() && text.size() <= kMaxWord &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= 'a' && c <= 'z'; });
}

bool isReplayArgument(std::string_view text) {
    return !text.empty() && text.size() <= kMaxWord && std::all_of(text.begin(), text.end(), isWordChar);
}

std::string formatReplay(const Replay& replay) {
    std::ostringstream out;
    out << kVersionLine << Replay::kVersion << "\n";
    out << "# Wardens of Hollowmere: a recorded play (hollowmere-sim --replay FILE plays it again)\n";
    out << "level = " << replay.level << "\n";
    if (!replay.digest.empty())
        out << "digest = " << replay.digest << "\n";
    out << "step = 1/" << replay.stepsPerSecond << "\n";
    if (!replay.recorded.empty())
        out << "recorded = " << replay.recorded << "\n";
    for (const ReplayAction& action : replay.actions)
        out << "action = " << action.step << ' ' << action.verb << ' ' << action.plot << ' '
            << (action.argument.empty() ? "-" : action.argument) << "\n";
    out << "steps = " << replay.steps << "\n";
    out << "result = " << replay.result << "\n";
    return out.str();
}

std::optional<Replay> parseReplay(std::string_view text, ReplayError& error) {
    auto refuse = [&](int line, std::string message) -> std::optional<Replay> {
        error = {line, std::move(message)};
        return std::nullopt;
    };
    if (text.size() > Replay::kMaxFileBytes)
        return refuse(0, "more than " + std::to_string(Replay::kMaxFileBytes >> 20) + " MB: not a replay");
    if (text.find('\0') != std::string_view::npos)
        return refuse(0, "binary bytes: not a replay");

    Replay replay;
    bool sawLevel = false, sawDigest = false, sawStep = false, sawRecorded = false, sawSteps = false,
         sawResult = false;
    int lineNumber = 0;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        const std::string_view raw = text.substr(start, end - start);
        start = end + 1;
        ++lineNumber;
        if (raw.size() > kMaxLine)
            return refuse(lineNumber, "a line longer than " + std::to_string(kMaxLine) + " characters");
        const std::string_view line = trim(raw);

        if (lineNumber == 1) {
            if (line.substr(0, kVersionLine.size()) != kVersionLine)
                return refuse(1, "the first line is not \"hollowmere replay " +
                                     std::to_string(Replay::kVersion) + "\": not a replay");
            const auto version = wholeNumber(line.substr(kVersionLine.size()), 0, 1000000);
            if (!version)
                return refuse(1, "the version is not a number");
            if (*version != Replay::kVersion)
                return refuse(1, "version " + std::to_string(*version) +
                                     " is not known (this game reads version " +
                                     std::to_string(Replay::kVersion) + ")");
            continue;
        }
        if (line.empty() || line.front() == '#')
            continue;
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos)
            return refuse(lineNumber, "expected \"key = value\"");
        const std::string_view key = trim(line.substr(0, equals));
        const std::string_view value = trim(line.substr(equals + 1));
        if (!isPlainText(value))
            return refuse(lineNumber, "control or non-ASCII characters in the value of " + std::string(key));

        auto once = [&](bool& seen) {
            if (seen)
                return false;
            seen = true;
            return true;
        };
        if (key == "level") {
            if (!once(sawLevel))
                return refuse(lineNumber, "a second level");
            if (value.empty() || value.size() > 64 || !std::all_of(value.begin(), value.end(), [](char c) {
                    return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-';
                }))
                return refuse(lineNumber, "a level name is letters, digits, '_' and '-' (at most 64)");
            replay.level = value;
        } else if (key == "digest") {
            if (!once(sawDigest))
                return refuse(lineNumber, "a second digest");
            if (value.size() != 16 || !std::all_of(value.begin(), value.end(), [](char c) {
                    return std::isxdigit(static_cast<unsigned char>(c));
                }))
                return refuse(lineNumber, "a digest is 16 hexadecimal digits");
            replay.digest = value;
        } else if (key == "step") {
            if (!once(sawStep))
                return refuse(lineNumber, "a second step");
            const auto rate =
                value.substr(0, 2) == "1/" ? wholeNumber(value.substr(2), 1, 10000) : std::nullopt;
            if (!rate)
                return refuse(lineNumber, "a step is 1/N seconds, N from 1 to 10000");
            replay.stepsPerSecond = static_cast<int>(*rate);
        } else if (key == "recorded") {
            if (!once(sawRecorded))
                return refuse(lineNumber, "a second recording date");
            if (value.size() > 64)
                return refuse(lineNumber, "a recording date longer than 64 characters");
            replay.recorded = value;
        } else if (key == "action") {
            if (sawSteps)
                return refuse(lineNumber, "an action after the steps line");
            if (replay.actions.size() >= Replay::kMaxActions)
                return refuse(lineNumber, "more than " + std::to_string(Replay::kMaxActions) + " actions");
            const std::vector<std::string_view> parts = splitSpaces(value);
            if (parts.size() != 4)
                return refuse(lineNumber, "an action is \"STEP VERB PLOT ARGUMENT\"");
            ReplayAction action;
            action.line = lineNumber;
            const auto step = wholeNumber(parts[0], 0, Replay::kMaxSteps);
            if (!step)
                return refuse(lineNumber, "an action's step is a whole number from 0 to " +
                                              std::to_string(Replay::kMaxSteps));
            if (!replay.actions.empty() && *step < replay.actions.back().step)
                return refuse(lineNumber, "an action's step is before the step of the action above it");
            action.step = *step;
            if (!isReplayVerb(parts[1]))
                return refuse(lineNumber, "an action's verb is a lower-case word");
            action.verb = parts[1];
            const auto plot = wholeNumber(parts[2], 0, 9999);
            if (!plot)
                return refuse(lineNumber, "an action's plot is a whole number from 0 to 9999");
            action.plot = static_cast<int>(*plot);
            if (!isReplayArgument(parts[3]))
                return refuse(lineNumber, "an action's argument is one word (\"-\" for none)");
            action.argument = parts[3] == "-" ? std::string() : std::string(parts[3]);
            replay.actions.push_back(std::move(action));
        } else if (key == "steps") {
            if (!once(sawSteps))
                return refuse(lineNumber, "a second steps line");
            const auto steps = wholeNumber(value, 0, Replay::kMaxSteps);
            if (!steps)
                return refuse(lineNumber,
                              "steps is a whole number from 0 to " + std::to_string(Replay::kMaxSteps));
            if (!replay.actions.empty() && *steps < replay.actions.back().step)
                return refuse(lineNumber, "fewer steps than the last action's step");
            replay.steps = *steps;
        } else if (key == "result") {
            if (!once(sawResult))
                return refuse(lineNumber, "a second result");
            if (value.empty() || value.size() > 512)
                return refuse(lineNumber, "a result is one line of at most 512 characters");
            replay.result = value;
        } else {
            return refuse(lineNumber, "unknown key \"" + std::string(key.substr(0, 32)) + "\"");
        }
    }
    if (lineNumber == 0)
        return refuse(0, "an empty file: not a replay");
    if (!sawLevel)
        return refuse(0, "no level line");
    if (!sawSteps)
        return refuse(0, "no steps line (the file is cut short)");
    if (!sawResult)
        return refuse(0, "no result line (the file is cut short)");
    return replay;
}

std::optional<Replay> readReplayFile(const std::string& path, std::string& message) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        message = path + ": no such replay file";
        return std::nullopt;
    }
    bool tooLarge = false;
    const std::optional<std::string> text = readWhole(path, tooLarge);
    if (!text) {
        message = tooLarge ? path + ": more than " + std::to_string(Replay::kMaxFileBytes >> 20) +
                                 " MB: not a replay"
                           : path + ": cannot be read";
        return std::nullopt;
    }
    ReplayError error;
    auto replay = parseReplay(*text, error);
    if (!replay)
        message = error.line > 0 ? path + ":" + std::to_string(error.line) + ": " + error.message
                                 : path + ": " + error.message;
    return replay;
}

bool writeReplayFile(const std::string& path, const Replay& replay, std::string& reason) {
    namespace fs = std::filesystem;
    const std::string temporary = path + ".tmp" + std::to_string(::getpid());
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out) {
            reason = std::strerror(errno);
            return false;
        }
        const std::string text = formatReplay(replay);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
        out.flush();
        if (!out) {
            reason = "the disk refused the text";
            std::error_code ignored;
            fs::remove(temporary, ignored);
            return false;
        }
    }
    std::error_code ec;
    fs::rename(temporary, path, ec);
    if (ec) {
        reason = ec.message();
        fs::remove(temporary, ec);
        return false;
    }
    return true;
}

std::uint64_t fnv1a64(std::string_view bytes, std::uint64_t hash) {
    for (unsigned char c : bytes) {
        hash ^= c;
        hash *= 0x100000001b3ULL;
    }
    return hash;
}

std::string levelDataDigest(const std::string& levelFile, const std::string& modelFile) {
    std::uint64_t hash = fnv1a64("hollowmere level data 1\n");
    hash = digestFile(levelFile, hash);
    hash = digestFile(kModelsFolder + modelFile, hash);

    // The prototype tables as text, every number exact, then the models they name.
    std::ostringstream tables;
    tables.precision(9);
    std::vector<std::string> models;
    for (const auto& [file, node] : buildingBasePrototypes()) {
        tables << "base " << file << ' ' << node << '\n';
        models.push_back(file);
    }
    for (const auto& [type, p] : towerPrototypes()) {
        tables << "tower " << p.typeName << ' ' << p.modelFile << ' ' << p.nodeName << ' ' << p.cost << ' '
               << p.range << ' ' << p.fireInterval << ' ' << p.constructionSpeed << ' '
               << static_cast<int>(p.projectileType) << '\n';
        models.push_back(p.modelFile);
    }
    for (const auto& [type, p] : towerPrototypes())
        for (int level = 2; level <= kTowerLevels; ++level) {
            const TowerLevel& l = towerLevel(type, level);
            tables << "tower level " << p.typeName << ' ' << level << ' ' << l.price << ' ' << l.damage << ' '
                   << l.range << ' ' << l.fireInterval << ' ' << l.splashRadius << '\n';
        }
    for (const auto& [type, p] : enemyPrototypes()) {
        tables << "enemy " << p.typeName << ' ' << p.modelFile << ' ' << p.nodeName << ' ' << p.reward << ' '
               << p.health << ' ' << p.speed << ' ' << p.scale << ' ' << p.damage << '\n';
        models.push_back(p.modelFile);
    }
    for (const auto& [type, p] : projectilePrototypes()) {
        tables << "projectile " << p.typeName << ' ' << p.modelFile << ' ' << p.nodeName << ' ' << p.scale
               << ' ' << p.damage << ' ' << p.splashRadius << ' ' << p.speed << ' '
               << static_cast<int>(p.impact) << '\n';
        models.push_back(p.modelFile);
    }
    hash = fnv1a64(tables.str(), hash);
    for (const std::string& model : models)
        hash = digestFile(kModelsFolder + model, hash);
    return hex64(hash);
}

} // namespace hm
