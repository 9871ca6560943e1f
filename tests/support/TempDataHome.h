// A fresh, empty user data home for one test: a folder under the system's temporary folder that
// XDG_DATA_HOME points at while the object lives (the previous value is put back afterwards, and
// the folder removed). Whatever the game saves for the player goes there, never into the real
// home.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

namespace hm::test {

// Sets (or, given nullopt, unsets) an environment variable for the lifetime of the object.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::optional<std::string>& value) : name_(name) {
        if (const char* old = std::getenv(name))
            old_ = old;
        if (value)
            ::setenv(name, value->c_str(), 1);
        else
            ::unsetenv(name);
    }
    ~ScopedEnv() {
        if (old_)
            ::setenv(name_, old_->c_str(), 1);
        else
            ::unsetenv(name_);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* name_;
    std::optional<std::string> old_;
};

class TempDataHome {
public:
    TempDataHome()
        : home_(std::filesystem::temp_directory_path() /
                ("hm_data_home_" + std::to_string(::getpid()) + "_" + std::to_string(counter_++))),
          env_("XDG_DATA_HOME", home_.string()) {
        std::filesystem::create_directories(home_);
    }
    ~TempDataHome() {
        std::error_code ignored;
        std::filesystem::remove_all(home_, ignored);
    }
    TempDataHome(const TempDataHome&) = delete;
    TempDataHome& operator=(const TempDataHome&) = delete;

    const std::filesystem::path& home() const { return home_; }
    // The game's own folder in it.
    std::filesystem::path gameFolder() const { return home_ / "hollowmere"; }

private:
    static inline int counter_ = 0;
    std::filesystem::path home_;
    ScopedEnv env_;
};

} // namespace hm::test
