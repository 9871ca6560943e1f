// Time of each pass of a frame, two ways: GPU timer queries (GL_TIME_ELAPSED), and the wall
// clock around the pass with the GPU drained before and after it (serialised), which is what a
// software rasteriser's deferred work needs to be attributed to the right pass. Off by default:
// the level benchmark switches it on. While on, the renderer brackets each pass with
// begin()/end(); collect() after the frame waits for the results, so a timed frame costs more
// than an untimed one.
#pragma once

#include "render/GLHandle.h"

#include <array>
#include <chrono>

namespace hm {

class PassTimer {
public:
    enum Pass : int {
        Shadow,
        DepthPrepass,
        Opaque,
        Sky,
        Particles,
        Flare,
        Hud,
        Brightness,
        Upscale,
        kPassCount
    };

    static const char* name(int pass);

    PassTimer() = default;
    ~PassTimer();
    PassTimer(const PassTimer&) = delete;
    PassTimer& operator=(const PassTimer&) = delete;

    void setEnabled(bool enabled) { enabled_ = enabled; }
    bool enabled() const { return enabled_; }

    // Queries cannot nest: one pass at a time.
    void begin(Pass pass);
    void end();
    // Reads the queries of the passes run since the last collect (waiting for them); passes that
    // did not run this frame read 0.
    void collect();
    // Milliseconds of the pass in the last collected frame, by timer query and serialised.
    double milliseconds(int pass) const { return milliseconds_[static_cast<std::size_t>(pass)]; }
    double serialisedMilliseconds(int pass) const { return serialised_[static_cast<std::size_t>(pass)]; }
    double totalMilliseconds() const;

private:
    bool enabled_ = false;
    int running_ = -1;
    std::array<GLName, kPassCount> queries_{};
    std::array<bool, kPassCount> ran_{};
    std::array<double, kPassCount> milliseconds_{};
    std::array<double, kPassCount> serialised_{};
    std::array<double, kPassCount> pendingSerialised_{};
    std::chrono::steady_clock::time_point started_{};
};

// Brackets one pass for the lifetime of the guard.
class PassScope {
public:
    PassScope(PassTimer& timer, PassTimer::Pass pass) : timer_(timer) { timer_.begin(pass); }
    ~PassScope() { timer_.end(); }
    PassScope(const PassScope&) = delete;
    PassScope& operator=(const PassScope&) = delete;

private:
    PassTimer& timer_;
};

} // namespace hm
