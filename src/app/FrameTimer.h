// Caps the frame rate at 60 frames per second and reports the elapsed time of each frame,
// never more than half a second. The clock and the sleep are injectable for tests.
#pragma once

#include <chrono>
#include <functional>

namespace hm {

class FrameTimer {
public:
    using Clock = std::function<double()>;
    using Sleep = std::function<void(std::chrono::microseconds)>;

    static constexpr float kTargetFrameTime = 1.0f / 60.0f;
    static constexpr float kMaximumDelta = 0.5f;

    FrameTimer(Clock clock, Sleep sleep);

    // Starts a new sequence of frames: the next tick measures from now.
    void reset();
    // Sleeps out the rest of the frame if it was short and returns the elapsed time since the
    // previous tick, capped at kMaximumDelta.
    float tick();

private:
    Clock clock_;
    Sleep sleep_;
    // Kept in double: a float clock loses millisecond resolution after a few hours of play.
    double lastTime_ = 0.0;
};

} // namespace hm
