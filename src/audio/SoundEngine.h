// Positional sound effects.
//
// At construction the engine opens the default audio device and loads every sound file below
// the sounds folder (extensions ".wav" and ".ogg", case-sensitive, subfolders included) into
// memory, filed under a short name: the file name up to its first underscore (shoot_02.wav is
// "shoot"), or the whole file name when it has none (click.ogg is "click.ogg"). Files load in
// path order, so of two files with the same short name the later one in that order wins.
//
// Game objects play a sound by name at a world position; the sound is set up completely before
// it starts, so its first samples are already heard from there. Sounds are one-shot and mono:
// inverse-distance attenuation at full volume within 0.5 units, no further attenuation beyond
// 1000 units. Once per frame the running scene moves the listener to its active camera; the
// listener velocity is the camera's movement since the last frame (units per frame).
//
// The mixer has a few hundred voices. Finished voices are reused; when every voice is busy the
// one that started first is cut for the new sound.
//
// Failures: without a usable audio device (none installed, or the driver refuses) the engine
// logs why and runs silent; sounds are still decoded and named, so unknown names are reported
// as usual, but nothing is heard. A sound file that cannot be decoded, or holds no audio, is
// logged and skipped; a missing sounds folder is logged and leaves the stash empty. A failing
// library call on a working device is a programming error: the engine logs
// "context: library error text" and ends the process at once.
//
// Built on OpenAL Soft (mixing, 3D) and libsndfile (decoding); neither is visible outside
// this folder. Only the main thread calls the engine.
#pragma once

#include <glm/vec3.hpp>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace hm {

// Where the listener stands and looks: a world position, the viewing direction and the up
// vector. `name` (the camera's) only labels log lines.
struct ListenerPose {
    glm::vec3 position{0.0f};
    glm::vec3 forward{0.0f, 0.0f, -1.0f};
    glm::vec3 up{0.0f, 1.0f, 0.0f};
    std::string name;
};

// One playback started by SoundEngine::play. Voices are reused, so a handle goes stale when its
// sound ends or is cut; a stale or default handle refers to nothing.
struct SoundChannel {
    std::uint32_t voice = 0; // 1-based voice number, 0 for none
    std::uint32_t generation = 0;

    bool valid() const { return voice != 0; }
};

// The short name a sound file is filed under (see above); fileName is the last path component.
std::string soundNameOf(const std::string& fileName);

// A sound effect decoded to 16-bit mono; several channels are averaged, since only mono sounds
// can be placed in 3D.
struct DecodedSound {
    std::vector<std::int16_t> samples;
    int sampleRate = 0;
};

// Sound files are short effects: longer ones are cut here, with a line.
inline constexpr std::size_t kMaxSoundSeconds = 600;
inline constexpr int kMinSampleRate = 1000;
inline constexpr int kMaxSampleRate = 384000;

// Decodes a whole WAV or Ogg Vorbis file (name is the stash name, for the log). Logs and gives
// nothing for a file that cannot be decoded, holds no audio or has an unusable sample rate; a
// truncated file gives what it holds.
std::optional<DecodedSound> decodeSoundFile(const std::filesystem::path& path, const std::string& name);

class SoundEngine {
public:
    static constexpr const char* kDefaultFolder = "./GAME_DATA/sounds";
    static constexpr float kMinDistance = 0.5f;
    static constexpr float kMaxDistance = 1000.0f;

    explicit SoundEngine(const std::filesystem::path& folder = kDefaultFolder);
    ~SoundEngine();
    SoundEngine(const SoundEngine&) = delete;
    SoundEngine& operator=(const SoundEngine&) = delete;

    // Starts the named sound at a world position. An unknown name is logged and nothing plays.
    // channelOut, when given, receives the playback (an invalid handle when nothing started).
    void play(const std::string& name, glm::vec3 position, SoundChannel* channelOut = nullptr);
    // Moves the listener to the pose: its position, the movement since the previous call as
    // velocity, and its viewing direction and up vector as orientation.
    void updateListener(const ListenerPose& pose);

    // Master volume of everything the engine plays, from 0 to 1 (clamped; not a number keeps the
    // current volume). Muting silences the engine without forgetting the volume.
    void setVolume(float volume);
    void setMuted(bool muted);
    float volume() const;
    bool muted() const;

    bool isPlaying(const SoundChannel& channel) const;
    // Cuts the playback short; a stale handle is ignored.
    void stop(const SoundChannel& channel);

    // False when no audio device could be opened and the engine runs silent.
    bool hasDevice() const;
    bool contains(const std::string& name) const;
    // Sorted short names of the stash.
    std::vector<std::string> soundNames() const;
    // Length of the named sound in seconds; 0 for an unknown name.
    float duration(const std::string& name) const;
    // Voices created so far; never more than the device offers.
    std::size_t voiceCount() const;

    const glm::vec3& listenerPosition() const;
    const glm::vec3& listenerVelocity() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace hm
