#include "app/FrameTimer.h"

#include <algorithm>

namespace hm {

FrameTimer::FrameTimer(Clock clock, Sleep sleep) : clock_(std::move(clock)), sleep_(std::move(sleep)) {}

void FrameTimer::reset() {
    lastTime_ = clock_();
}

float FrameTimer::tick() {
    double now = clock_();
    const double frameTime = now - lastTime_;
    if (frameTime < kTargetFrameTime) {
        const auto rest =
            std::chrono::microseconds(static_cast<long long>((kTargetFrameTime - frameTime) * 1e6));
        sleep_(rest);
        now = clock_();
    }
    const float elapsed = std::min(kMaximumDelta, static_cast<float>(now - lastTime_));
    lastTime_ = now;
    return std::max(0.0f, elapsed);
}

} // namespace hm
