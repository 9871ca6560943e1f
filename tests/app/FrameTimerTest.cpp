#include "app/FrameTimer.h"

#include <gtest/gtest.h>

namespace hm {
namespace {

// A clock that advances only when the test or the timer's sleep moves it.
struct FakeClock {
    double now = 100.0;
    std::vector<std::chrono::microseconds> sleeps;

    FrameTimer timer() {
        return FrameTimer([this] { return now; },
                          [this](std::chrono::microseconds d) {
                              sleeps.push_back(d);
                              now += static_cast<double>(d.count()) * 1e-6;
                          });
    }
};

TEST(FrameTimer, ElapsedTimePerFrame) {
    struct Case {
        const char* name;
        double frameSeconds;
        float expectedElapsed;
        bool sleeps;
    };
    const Case cases[] = {
        {"a 2 s frame reports the maximum of 0.5 s", 2.0, 0.5f, false},
        {"a 5 ms frame sleeps to about 1/60 s", 0.005, 1.0f / 60.0f, true},
        {"a 30 ms frame reports itself", 0.030, 0.030f, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeClock clock;
        FrameTimer timer = clock.timer();
        timer.reset();
        clock.now += c.frameSeconds;
        EXPECT_NEAR(timer.tick(), c.expectedElapsed, 1e-4f);
        EXPECT_EQ(!clock.sleeps.empty(), c.sleeps);
    }
}

TEST(FrameTimer, ShortFrameSleepsTheRestInWholeMicroseconds) {
    FakeClock clock;
    FrameTimer timer = clock.timer();
    timer.reset();
    clock.now += 0.005;
    timer.tick();
    ASSERT_EQ(clock.sleeps.size(), 1u);
    EXPECT_NEAR(static_cast<double>(clock.sleeps[0].count()), 11667.0, 2.0);
}

TEST(FrameTimer, ResetStartsTheNextSequenceAtZero) {
    FakeClock clock;
    FrameTimer timer = clock.timer();
    timer.reset();
    clock.now += 0.1;
    timer.tick();
    clock.now += 7.0; // a long pause between two scenes
    timer.reset();
    clock.now += 0.02;
    EXPECT_NEAR(timer.tick(), 0.02f, 1e-4f);
}

TEST(FrameTimer, KeepsResolutionAfterHoursOfPlay) {
    FakeClock clock;
    clock.now = 6.0 * 3600.0;
    FrameTimer timer = clock.timer();
    timer.reset();
    clock.now += 0.020;
    EXPECT_NEAR(timer.tick(), 0.020f, 1e-5f);
}

} // namespace
} // namespace hm
