// Records a level as it is played: every action of the player with the step it took effect at,
// the level's name and data digest, and at the end the result line. The game keeps the record as
// a replay file in the user's data folder (replays/LEVEL-YYYYMMDD-HHMMSS.txt) when the level ends,
// or when it is left before (restart, quit, Ctrl+C); the newest 50 replays are kept. A folder that
// cannot be written costs one warning and the game plays on.
//
// The game turns recording on for itself (enableForGame); tools and tests record only when they
// make a recorder of their own.
#pragma once

#include "game/Replay.h"

#include <filesystem>
#include <memory>
#include <string>

namespace hm {

class LevelScene;
struct PlayerAction;
struct PlayResult;

class PlayRecorder {
public:
    static constexpr std::size_t kKeptReplays = 50;

    // The game records its levels from now on.
    static void enableForGame(bool on = true);
    static bool gameRecords();
    // A recorder that saves into the replays folder, when the game records; else null.
    static std::unique_ptr<PlayRecorder> forGame(LevelScene& scene);

    // Listens to the scene's rules from now on (the scene's level must have begun).
    explicit PlayRecorder(LevelScene& scene, bool saveToFolder = false);
    ~PlayRecorder();
    PlayRecorder(const PlayRecorder&) = delete;
    PlayRecorder& operator=(const PlayRecorder&) = delete;

    // After every step: notes the end of the level (and saves, when it saves).
    void stepTaken();
    // The level is being left: a level that has not ended is recorded as left (and saved).
    void levelLeft();

    const Replay& replay() const { return replay_; }
    bool ended() const { return ended_; }
    // Where the replay was saved; empty until then or when it could not be.
    const std::string& savedAs() const { return savedAs_; }

    // The folder replays go to: the user's data folder + "replays".
    static std::filesystem::path folder();
    // Saves into the folder under a fresh name and keeps the newest kKeptReplays; the path, or
    // empty after a warning (once per run) when it could not be saved.
    static std::string saveToFolder(const Replay& replay);

private:
    void record(const PlayerAction& action);
    void finish(bool left);

    LevelScene& scene_;
    bool saveToFolder_;
    Replay replay_;
    bool ended_ = false;
    std::string savedAs_;
};

// The line of a play, as hollowmere-sim prints it and a replay keeps it.
std::string resultLine(const PlayResult& result);

} // namespace hm
