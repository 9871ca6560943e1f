// Sound files for the audio tests, written and read by hand so that the tests depend on the
// engine's decoder only where they mean to.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <string>
#include <vector>

#include <unistd.h>

namespace hm::test {

// A folder below the system's temporary folder, removed with the object.
class TempFolder {
public:
    explicit TempFolder(const std::string& tag)
        : path_(std::filesystem::temp_directory_path() /
                ("hm_audio_" + tag + "_" + std::to_string(::getpid()))) {
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

inline void writeBytes(const std::filesystem::path& path, const std::string& bytes) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline void put16(std::string& out, std::uint32_t value) {
    out.push_back(static_cast<char>(value & 0xff));
    out.push_back(static_cast<char>((value >> 8) & 0xff));
}
inline void put32(std::string& out, std::uint32_t value) {
    put16(out, value & 0xffff);
    put16(out, value >> 16);
}

// A 16-bit PCM WAV file; samples are interleaved when channels > 1.
inline std::string wavBytes(const std::vector<std::int16_t>& samples, int channels, int sampleRate) {
    const auto dataSize = static_cast<std::uint32_t>(samples.size() * 2);
    std::string out = "RIFF";
    put32(out, 36 + dataSize);
    out += "WAVEfmt ";
    put32(out, 16);
    put16(out, 1);
    put16(out, static_cast<std::uint32_t>(channels));
    put32(out, static_cast<std::uint32_t>(sampleRate));
    put32(out, static_cast<std::uint32_t>(sampleRate * channels * 2));
    put16(out, static_cast<std::uint32_t>(channels * 2));
    put16(out, 16);
    out += "data";
    put32(out, dataSize);
    for (std::int16_t s : samples)
        put16(out, static_cast<std::uint16_t>(s));
    return out;
}

// A mono sine tone of the given length.
inline std::vector<std::int16_t> tone(float seconds, float frequency = 440.0f, int sampleRate = 22050,
                                      float amplitude = 0.8f) {
    std::vector<std::int16_t> samples(static_cast<std::size_t>(std::lround(seconds * sampleRate)));
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<std::int16_t>(
            std::lround(32767.0f * amplitude *
                        std::sin(2.0f * std::numbers::pi_v<float> * frequency * static_cast<float>(i) /
                                 static_cast<float>(sampleRate))));
    return samples;
}

inline void writeTone(const std::filesystem::path& path, float seconds, int sampleRate = 22050) {
    writeBytes(path, wavBytes(tone(seconds, 440.0f, sampleRate), 1, sampleRate));
}

struct WavData {
    int channels = 0;
    int sampleRate = 0;
    int bitsPerSample = 0;
    std::vector<std::int16_t> samples; // interleaved
};

// Reads a 16-bit PCM WAV file (plain or extensible format header); empty on anything else.
inline WavData readWav16(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    auto u16 = [&](std::size_t at) {
        return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at]) |
                                          (static_cast<unsigned char>(bytes[at + 1]) << 8));
    };
    auto u32 = [&](std::size_t at) { return u16(at) | (u16(at + 2) << 16); };
    WavData wav;
    if (bytes.size() < 12 || bytes.compare(0, 4, "RIFF") != 0 || bytes.compare(8, 4, "WAVE") != 0)
        return wav;
    for (std::size_t at = 12; at + 8 <= bytes.size();) {
        const std::string id = bytes.substr(at, 4);
        std::size_t size = u32(at + 4);
        const std::size_t body = at + 8;
        if (id == "fmt " && body + 16 <= bytes.size()) {
            wav.channels = static_cast<int>(u16(body + 2));
            wav.sampleRate = static_cast<int>(u32(body + 4));
            wav.bitsPerSample = static_cast<int>(u16(body + 14));
        } else if (id == "data") {
            // A capture cut short may leave the size unset: take what is there.
            size = std::min(size, bytes.size() - body);
            for (std::size_t i = 0; i + 1 < size; i += 2)
                wav.samples.push_back(static_cast<std::int16_t>(u16(body + i)));
        }
        at = body + size + (size & 1);
    }
    if (wav.bitsPerSample != 16)
        wav.samples.clear();
    return wav;
}

} // namespace hm::test
