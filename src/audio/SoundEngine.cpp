#include "audio/SoundEngine.h"

#include "app/Log.h"

#include <AL/al.h>
#include <AL/alc.h>
#include <sndfile.h>

#include <glm/mat4x4.hpp>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <limits>
#include <optional>
#include <unordered_map>

namespace hm {

namespace {

// Used when the device does not say how many mono sources it mixes.
constexpr ALint kFallbackVoiceLimit = 255;
constexpr float kDopplerFactor = 1.0f;
// World units per metre; the speed of sound is given in world units per second.
constexpr float kUnitsPerMetre = 0.1f;
constexpr float kSpeedOfSoundMetres = 343.3f;

// A library call failed on a working device: that is a bug, and going on would only hide it.
[[noreturn]] void fatal(const std::string& context, const char* text) {
    spdlog::error("{0}: {1}", context, text ? text : "unknown error");
    spdlog::default_logger()->flush();
    std::_Exit(EXIT_FAILURE);
}

void checkAl(const char* context, const std::string& name = {}) {
    const ALenum error = alGetError();
    if (error != AL_NO_ERROR)
        fatal(context + name, alGetString(error));
}

void checkAlc(ALCdevice* device, const char* context) {
    const ALCenum error = alcGetError(device);
    if (error != ALC_NO_ERROR)
        fatal(context, alcGetString(device, error));
}

struct SndFileCloser {
    void operator()(SNDFILE* file) const { sf_close(file); }
};

std::uint32_t littleEndian32(const unsigned char* bytes) {
    return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
           static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

// The frame count a RIFF/WAVE file's own header promises (data chunk size over block size), or
// nothing for any other file. libsndfile quietly sizes a data chunk that runs past the end of
// the file by what is there, so only this count tells a file cut short from a short sound.
std::optional<std::uint64_t> promisedWavFrames(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    unsigned char riff[12];
    if (!in.read(reinterpret_cast<char*>(riff), sizeof riff) || std::memcmp(riff, "RIFF", 4) != 0 ||
        std::memcmp(riff + 8, "WAVE", 4) != 0)
        return std::nullopt;
    std::uint32_t blockAlign = 0;
    unsigned char chunk[16];
    // A header walks a handful of chunks; a damaged one must not keep the loop going for long.
    for (int i = 0; i < 64 && in.read(reinterpret_cast<char*>(chunk), 8); ++i) {
        const std::uint32_t size = littleEndian32(chunk + 4);
        if (std::memcmp(chunk, "fmt ", 4) == 0 && size >= 16) {
            if (!in.read(reinterpret_cast<char*>(chunk), 16))
                return std::nullopt;
            blockAlign = static_cast<std::uint32_t>(chunk[12]) | static_cast<std::uint32_t>(chunk[13]) << 8;
            in.seekg(static_cast<std::streamoff>(size - 16 + (size & 1)), std::ios::cur);
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (blockAlign == 0)
                return std::nullopt;
            return size / blockAlign;
        } else {
            in.seekg(static_cast<std::streamoff>(size) + (size & 1), std::ios::cur);
        }
    }
    return std::nullopt;
}

} // namespace

std::optional<DecodedSound> decodeSoundFile(const std::filesystem::path& path, const std::string& name) {
    SF_INFO info{};
    std::unique_ptr<SNDFILE, SndFileCloser> file(sf_open(path.c_str(), SFM_READ, &info));
    if (!file) {
        spdlog::error("Load sound: {0}: {1} ({2})", name, sf_strerror(nullptr), path.string());
        return std::nullopt;
    }
    if (info.frames <= 0 || info.channels <= 0 || info.samplerate <= 0) {
        spdlog::error("Load sound: {0}: the file holds no audio ({1})", name, path.string());
        return std::nullopt;
    }
    if (info.samplerate < kMinSampleRate || info.samplerate > kMaxSampleRate) {
        spdlog::error("Load sound: {0}: a sample rate of {1} Hz is outside {2} to {3} Hz ({4})", name,
                      info.samplerate, kMinSampleRate, kMaxSampleRate, path.string());
        return std::nullopt;
    }

    // Read in pieces: the frame count in a header is only a claim (a damaged file may promise
    // terabytes), and a truncated file simply ends early; keep what is there. A piece of 4096
    // samples costs nothing to set up, which matters for the many short effects.
    const auto channels = static_cast<std::size_t>(info.channels);
    const std::size_t chunkFrames = std::max<std::size_t>(1, 4096 / channels);
    const auto maxFrames = static_cast<std::size_t>(info.samplerate) * kMaxSoundSeconds;
    std::vector<float> chunk(chunkFrames * channels);
    DecodedSound sound;
    sound.sampleRate = info.samplerate;
    sf_count_t read = 0;
    while ((read = sf_readf_float(file.get(), chunk.data(), static_cast<sf_count_t>(chunkFrames))) > 0) {
        for (std::size_t frame = 0; frame < static_cast<std::size_t>(read); ++frame) {
            float sum = 0.0f;
            for (std::size_t c = 0; c < channels; ++c)
                sum += chunk[frame * channels + c];
            // Float files may exceed full scale (or hold NaN); integer files are already in [-1, 1].
            float value = sum / static_cast<float>(channels);
            value = std::isfinite(value) ? std::clamp(value, -1.0f, 1.0f) : 0.0f;
            sound.samples.push_back(static_cast<std::int16_t>(std::lrint(value * 32767.0f)));
        }
        if (sound.samples.size() >= maxFrames) {
            spdlog::warn("Load sound: {0}: longer than {1} seconds; the rest is left out ({2})", name,
                         kMaxSoundSeconds, path.string());
            sound.samples.resize(maxFrames);
            break;
        }
    }
    if (sound.samples.empty()) {
        spdlog::error("Load sound: {0}: {1} ({2})", name, sf_strerror(file.get()), path.string());
        return std::nullopt;
    }
    if (sound.samples.size() < maxFrames) {
        const std::uint64_t promised =
            std::max(static_cast<std::uint64_t>(info.frames), promisedWavFrames(path).value_or(0));
        if (sound.samples.size() < promised)
            spdlog::warn(
                "Load sound: {0}: the file is truncated: {1} of {2} frames; the sound is cut short ({3})",
                name, sound.samples.size(), promised, path.string());
    }
    return sound;
}

namespace {

bool finite(const glm::vec3& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

} // namespace

std::string soundNameOf(const std::string& fileName) {
    const std::size_t underscore = fileName.find('_');
    return underscore == std::string::npos ? fileName : fileName.substr(0, underscore);
}

struct SoundEngine::Impl {
    struct Sound {
        ALuint buffer = 0; // 0 when running silent
        float duration = 0.0f;
    };
    struct Voice {
        ALuint source = 0;
        std::uint32_t generation = 0;
        std::uint64_t startOrder = 0;
    };

    ALCdevice* device = nullptr;
    ALCcontext* context = nullptr;
    std::unordered_map<std::string, Sound> stash;
    std::vector<Voice> voices;
    std::size_t voiceLimit = kFallbackVoiceLimit;
    std::uint64_t playCount = 0;
    glm::vec3 listenerPosition{0.0f};
    glm::vec3 listenerVelocity{0.0f};
    bool listenerLost = false; // the camera gave no usable pose last time
    float volume = 1.0f;
    bool muted = false;

    void openDevice();
    void loadStash(const std::filesystem::path& folder);
    void loadSound(const std::filesystem::path& path);
    // Several engines may live at once (tests); each call works on its own context.
    void makeCurrent() const;
    std::size_t acquireVoice();
    const Voice* voiceOf(const SoundChannel& channel) const;
    void release();
    // Hands volume and mute to the listener's gain, which scales every voice.
    void applyGain() const;
};

void SoundEngine::Impl::openDevice() {
    device = alcOpenDevice(nullptr);
    if (!device) {
        spdlog::error("Failed to open the audio device: {0}", alcGetString(nullptr, alcGetError(nullptr)));
        spdlog::warn("No audio output: sound effects stay silent.");
        return;
    }
    context = alcCreateContext(device, nullptr);
    if (!context || !alcMakeContextCurrent(context)) {
        spdlog::error("Failed to create the audio context: {0}", alcGetString(device, alcGetError(device)));
        spdlog::warn("No audio output: sound effects stay silent.");
        if (context)
            alcDestroyContext(context);
        alcCloseDevice(device);
        context = nullptr;
        device = nullptr;
        return;
    }
    alGetError();

    ALCint monoSources = 0;
    alcGetIntegerv(device, ALC_MONO_SOURCES, 1, &monoSources);
    checkAlc(device, "Failed to query the audio device");
    voiceLimit = static_cast<std::size_t>(monoSources > 0 ? monoSources : kFallbackVoiceLimit);

    alDistanceModel(AL_INVERSE_DISTANCE_CLAMPED);
    alDopplerFactor(kDopplerFactor);
    alSpeedOfSound(kSpeedOfSoundMetres * kUnitsPerMetre);
    checkAl("Failed to set up the 3D settings");
}

void SoundEngine::Impl::loadStash(const std::filesystem::path& folder) {
    spdlog::info("loading all sfxStash");
    stash.max_load_factor(1.0f);
    stash.rehash(8);

    std::error_code error;
    std::vector<std::filesystem::path> files;
    std::filesystem::recursive_directory_iterator it(folder, error), end;
    if (error) {
        spdlog::error("Failed to read the sounds folder {0}: {1}", folder.string(), error.message());
        return;
    }
    for (; it != end; it.increment(error)) {
        if (error) {
            spdlog::error("Failed to read the sounds folder {0}: {1}", folder.string(), error.message());
            break;
        }
        const std::filesystem::path& path = it->path();
        const std::string extension = path.extension().string();
        if ((extension == ".wav" || extension == ".ogg") && it->is_regular_file(error))
            files.push_back(path);
    }
    // Directory order differs between file systems; path order decides which of two files of
    // the same short name wins.
    std::sort(files.begin(), files.end());
    for (const std::filesystem::path& path : files)
        loadSound(path);
}

void SoundEngine::Impl::loadSound(const std::filesystem::path& path) {
    const std::string name = soundNameOf(path.filename().string());
    std::optional<DecodedSound> decoded = decodeSoundFile(path, name);
    if (!decoded)
        return;

    Sound sound;
    sound.duration = static_cast<float>(decoded->samples.size()) / static_cast<float>(decoded->sampleRate);
    if (device) {
        alGenBuffers(1, &sound.buffer);
        checkAl("Load sound: ", name);
        alBufferData(sound.buffer, AL_FORMAT_MONO16, decoded->samples.data(),
                     static_cast<ALsizei>(decoded->samples.size() * sizeof(std::int16_t)),
                     decoded->sampleRate);
        checkAl("Load sound: ", name);
    }
    auto [entry, inserted] = stash.try_emplace(name, sound);
    if (!inserted) {
        if (entry->second.buffer != 0) {
            alDeleteBuffers(1, &entry->second.buffer);
            checkAl("Failed to release a sound: ", name);
        }
        entry->second = sound;
    }
}

void SoundEngine::Impl::makeCurrent() const {
    if (context && alcGetCurrentContext() != context) {
        alcMakeContextCurrent(context);
        checkAlc(device, "Failed to select the audio context");
    }
}

std::size_t SoundEngine::Impl::acquireVoice() {
    for (std::size_t i = 0; i < voices.size(); ++i) {
        ALint state = AL_STOPPED;
        alGetSourcei(voices[i].source, AL_SOURCE_STATE, &state);
        checkAl("Failed to query a voice");
        if (state != AL_PLAYING && state != AL_PAUSED)
            return i;
    }
    if (voices.size() < voiceLimit) {
        ALuint source = 0;
        alGenSources(1, &source);
        const ALenum error = alGetError();
        if (error == AL_NO_ERROR) {
            voices.push_back({source, 0, 0});
            return voices.size() - 1;
        }
        // The device offers fewer voices than it claimed: live with those.
        if (voices.empty())
            fatal("Failed to create a voice", alGetString(error));
        voiceLimit = voices.size();
    }
    const auto oldest = std::min_element(voices.begin(), voices.end(), [](const Voice& a, const Voice& b) {
        return a.startOrder < b.startOrder;
    });
    alSourceStop(oldest->source);
    checkAl("Failed to stop a voice");
    return static_cast<std::size_t>(oldest - voices.begin());
}

const SoundEngine::Impl::Voice* SoundEngine::Impl::voiceOf(const SoundChannel& channel) const {
    if (!context || channel.voice == 0 || channel.voice > voices.size())
        return nullptr;
    const Voice& voice = voices[channel.voice - 1];
    return voice.generation == channel.generation ? &voice : nullptr;
}

void SoundEngine::Impl::release() {
    if (!device)
        return;
    makeCurrent();
    for (Voice& voice : voices) {
        alSourceStop(voice.source);
        alDeleteSources(1, &voice.source);
        checkAl("Failed to release a voice");
    }
    voices.clear();
    for (auto& [name, sound] : stash) {
        alDeleteBuffers(1, &sound.buffer);
        checkAl("Failed to release a sound: ", name);
    }
    stash.clear();
    alcMakeContextCurrent(nullptr);
    alcDestroyContext(context);
    checkAlc(device, "Failed to release the audio context");
    if (!alcCloseDevice(device))
        fatal("Failed to close the audio device", alcGetString(device, alcGetError(device)));
    context = nullptr;
    device = nullptr;
}

SoundEngine::SoundEngine(const std::filesystem::path& folder) : impl_(std::make_unique<Impl>()) {
    impl_->openDevice();
    impl_->loadStash(folder);
}

SoundEngine::~SoundEngine() {
    impl_->release();
}

void SoundEngine::play(const std::string& name, glm::vec3 position, SoundChannel* channelOut) {
    if (channelOut)
        *channelOut = {};
    const auto entry = impl_->stash.find(name);
    if (entry == impl_->stash.end()) {
        spdlog::warn("No sound effect stashed away by the name {0}", name);
        return;
    }
    // OpenAL refuses such a position; a stray game object must not end the game.
    if (!finite(position)) {
        spdlog::error("Sound {0} cannot play at the position ({1}, {2}, {3})", name, position.x, position.y,
                      position.z);
        return;
    }
    if (!impl_->context)
        return;
    impl_->makeCurrent();

    const std::size_t index = impl_->acquireVoice();
    Impl::Voice& voice = impl_->voices[index];
    const ALuint source = voice.source;
    alSourcei(source, AL_BUFFER, static_cast<ALint>(entry->second.buffer));
    alSourcei(source, AL_LOOPING, AL_FALSE);
    alSourcef(source, AL_GAIN, 1.0f);
    alSourcef(source, AL_PITCH, 1.0f);
    checkAl("Failed to play sound: ", name);
    alSourcei(source, AL_SOURCE_RELATIVE, AL_FALSE);
    alSource3f(source, AL_POSITION, position.x, position.y, position.z);
    alSource3f(source, AL_VELOCITY, 0.0f, 0.0f, 0.0f);
    checkAl("Failed to set 3D Attributes for sound: ", name);
    alSourcef(source, AL_REFERENCE_DISTANCE, kMinDistance);
    alSourcef(source, AL_MAX_DISTANCE, kMaxDistance);
    alSourcef(source, AL_ROLLOFF_FACTOR, 1.0f);
    checkAl("Set sound distances: ", name);
    // Everything is set before the voice starts, so no sample is mixed from an old place.
    alSourcePlay(source);
    checkAl("Failed to start sound: ", name);

    voice.generation =
        voice.generation == std::numeric_limits<std::uint32_t>::max() ? 1 : voice.generation + 1;
    voice.startOrder = ++impl_->playCount;
    if (channelOut)
        *channelOut = {static_cast<std::uint32_t>(index + 1), voice.generation};
}

void SoundEngine::updateListener(const ListenerPose& pose) {
    const glm::vec3& position = pose.position;
    const glm::vec3& forward = pose.forward;
    const glm::vec3& up = pose.up;
    if (!finite(position) || !finite(forward) || !finite(up)) {
        // Once per spell, not once per frame.
        if (!impl_->listenerLost)
            spdlog::error("The listener cannot follow camera {0}: its position or view is not finite",
                          pose.name);
        impl_->listenerLost = true;
        return;
    }
    impl_->listenerLost = false;
    impl_->listenerVelocity = position - impl_->listenerPosition;
    impl_->listenerPosition = position;
    if (!impl_->context)
        return;
    impl_->makeCurrent();

    // OpenAL's "at" vector is the viewing direction (both right-handed).
    const ALfloat orientation[6] = {forward.x, forward.y, forward.z, up.x, up.y, up.z};
    const glm::vec3& velocity = impl_->listenerVelocity;
    alListener3f(AL_POSITION, position.x, position.y, position.z);
    alListener3f(AL_VELOCITY, velocity.x, velocity.y, velocity.z);
    alListenerfv(AL_ORIENTATION, orientation);
    checkAl("Failed to update the listener attributes");
}

void SoundEngine::Impl::applyGain() const {
    if (!context)
        return;
    makeCurrent();
    alListenerf(AL_GAIN, muted ? 0.0f : volume);
    checkAl("Failed to set the volume");
}

void SoundEngine::setVolume(float volume) {
    if (!std::isfinite(volume))
        return;
    impl_->volume = std::clamp(volume, 0.0f, 1.0f);
    impl_->applyGain();
}

void SoundEngine::setMuted(bool muted) {
    impl_->muted = muted;
    impl_->applyGain();
}

float SoundEngine::volume() const {
    return impl_->volume;
}

bool SoundEngine::muted() const {
    return impl_->muted;
}

bool SoundEngine::isPlaying(const SoundChannel& channel) const {
    const Impl::Voice* voice = impl_->voiceOf(channel);
    if (!voice)
        return false;
    impl_->makeCurrent();
    ALint state = AL_STOPPED;
    alGetSourcei(voice->source, AL_SOURCE_STATE, &state);
    checkAl("Failed to query a voice");
    return state == AL_PLAYING;
}

void SoundEngine::stop(const SoundChannel& channel) {
    const Impl::Voice* voice = impl_->voiceOf(channel);
    if (!voice)
        return;
    impl_->makeCurrent();
    alSourceStop(voice->source);
    checkAl("Failed to stop a voice");
}

bool SoundEngine::hasDevice() const {
    return impl_->context != nullptr;
}

bool SoundEngine::contains(const std::string& name) const {
    return impl_->stash.count(name) > 0;
}

std::vector<std::string> SoundEngine::soundNames() const {
    std::vector<std::string> names;
    names.reserve(impl_->stash.size());
    for (const auto& [name, sound] : impl_->stash)
        names.push_back(name);
    std::sort(names.begin(), names.end());
    return names;
}

float SoundEngine::duration(const std::string& name) const {
    const auto entry = impl_->stash.find(name);
    return entry == impl_->stash.end() ? 0.0f : entry->second.duration;
}

std::size_t SoundEngine::voiceCount() const {
    return impl_->voices.size();
}

const glm::vec3& SoundEngine::listenerPosition() const {
    return impl_->listenerPosition;
}

const glm::vec3& SoundEngine::listenerVelocity() const {
    return impl_->listenerVelocity;
}

} // namespace hm
