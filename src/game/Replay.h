// A recorded play of a level: what the player did, at which step, on which data, and how it ended.
//
// The level's rules advance in fixed steps from a fixed start, so the player's actions with the
// step each took effect at are enough to play the level again exactly (hollowmere-sim --replay).
// An action is a generic record {step, verb, plot, argument} ("build" on plot 5 with "CANNON",
// "speed" with "2"); the game decides what verbs mean, this file only keeps them.
//
// The file is plain text, one item per line (format in docs/level-design.md, "Replays"):
//
//     hollowmere replay 1
//     level = Vezaz
//     digest = 5c1e0a9d3b7f2e41
//     step = 1/60
//     recorded = 2025-03-02 18:04:11
//     action = 0 speed 0 2
//     action = 412 build 5 CANNON
//     steps = 8592
//     result = won lives=9 kills=18 time=143.2 resources=450 plan=C5
//
// Reading is strict: a damaged file is refused with the line that is wrong, never half-read.
// Writing is atomic (a temporary file in the same folder, flushed, then renamed into place).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace hm {

struct ReplayAction {
    std::int64_t step = 0; // simulation steps taken before it took effect
    std::string verb;      // a lower-case word
    int plot = 0;          // 1-based plot number, 0 when the action has none
    std::string argument;  // one word; "-" when the action has none
    int line = 0;          // where it was read (0 when made in memory)
    bool operator==(const ReplayAction& other) const {
        return step == other.step && verb == other.verb && plot == other.plot && argument == other.argument;
    }
};

struct Replay {
    static constexpr int kVersion = 1;
    static constexpr std::int64_t kMaxSteps = 24LL * 3600 * 60; // a day of play at 60 steps a second
    static constexpr std::size_t kMaxActions = 100000;
    static constexpr std::size_t kMaxFileBytes = 8u << 20;

    std::string level;
    std::string digest;      // levelDataDigest of the data it was played on
    int stepsPerSecond = 60; // the simulation step is 1/stepsPerSecond s
    std::string recorded;    // local date and time, for people
    std::vector<ReplayAction> actions;
    std::int64_t steps = 0; // steps played until the level ended or was left
    std::string result;     // the result line, as hollowmere-sim prints it
};

struct ReplayError {
    int line = 0; // 0 for the whole file
    std::string message;
};

std::string formatReplay(const Replay& replay);
// nullopt, with the line and the reason, for anything that is not a whole replay of this version.
std::optional<Replay> parseReplay(std::string_view text, ReplayError& error);
// Reads a file; a file that cannot be read, is too large or is refused gives nullopt and a message
// "FILE:LINE: reason" (or "FILE: reason").
std::optional<Replay> readReplayFile(const std::string& path, std::string& message);
// Writes the file atomically; false with a reason when it could not be written (nothing is left
// behind then, and a file of that name is kept as it was).
bool writeReplayFile(const std::string& path, const Replay& replay, std::string& reason);

// True for the words a verb or an argument may be: 1 to 32 characters of letters, digits, '_',
// '-', '.' or '+' ("-" alone means no argument); verbs are lower-case letters only.
bool isReplayVerb(std::string_view text);
bool isReplayArgument(std::string_view text);

// FNV-1a, 64 bits, continued from a previous value.
std::uint64_t fnv1a64(std::string_view bytes, std::uint64_t hash = 0xcbf29ce484222325ULL);
// A digest of everything a level's play depends on besides the program: the level file, its
// model file, the prototype tables and the prototypes' model files, as 16 hex digits. A file that
// cannot be read counts as absent, so the digest still says whether the data changed.
std::string levelDataDigest(const std::string& levelFile, const std::string& modelFile);

} // namespace hm
