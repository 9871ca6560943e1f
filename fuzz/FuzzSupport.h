// Helpers shared by the fuzz harnesses (header only: every .cpp in this folder is a harness).
//
// The loaders under test read files by path, so each input is written to a scratch file first,
// in /dev/shm when it exists to keep the disk out of the loop. Log lines go to a sink that
// formats and drops them: formatting still runs (a bad format argument is a finding), the
// console stays quiet and the fuzzer stays fast. HM_FUZZ_LOG=1 keeps the console log, to see
// what the loaders say about one input (build/fuzz/fuzz_NAME FILE).
#pragma once

#include <spdlog/sinks/null_sink.h>
#include <spdlog/spdlog.h>

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace hm::fuzz {

inline void quietLogging() {
    if (const char* keep = std::getenv("HM_FUZZ_LOG"); keep && *keep && *keep != '0')
        return;
    auto logger = std::make_shared<spdlog::logger>("fuzz", std::make_shared<spdlog::sinks::null_sink_mt>());
    logger->set_level(spdlog::level::trace);
    spdlog::set_default_logger(logger);
}

// A per-process scratch file with the given extension, rewritten for every input.
class ScratchFile {
public:
    explicit ScratchFile(const std::string& extension) {
        std::filesystem::path folder = "/dev/shm";
        std::error_code error;
        if (!std::filesystem::is_directory(folder, error))
            folder = std::filesystem::temp_directory_path();
        path_ = (folder / ("hm_fuzz_" + std::to_string(::getpid()) + extension)).string();
    }
    ~ScratchFile() {
        std::error_code error;
        std::filesystem::remove(path_, error);
    }
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;

    const std::string& write(const std::uint8_t* data, std::size_t size) {
        std::ofstream(path_, std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
        return path_;
    }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

} // namespace hm::fuzz
