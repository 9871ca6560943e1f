// The size and mode a new window asks for; the monitor query is stood in for, so no display is needed.
#include "app/Window.h"

#include "support/LogCapture.h"

#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

namespace hm {
namespace {

TEST(WindowRequest, BorderlessTakesTheMonitorModeAndFallsBackWhenItCannotBeRead) {
    const GLFWvidmode monitor{1920, 1080, 8, 8, 8, 75};
    const struct {
        const char* name;
        bool fullscreen;
        bool borderless;
        const GLFWvidmode* queried; // what the monitor query answers
        int width, height;
        bool usesMode;
        bool warned;
    } cases[] = {
        {"windowed", false, false, &monitor, 800, 600, false, false},
        {"windowed with borderless set", false, true, &monitor, 800, 600, false, false},
        {"full screen at the configured size", true, false, &monitor, 800, 600, false, false},
        {"borderless", true, true, &monitor, 1920, 1080, true, false},
        {"borderless without a readable mode", true, true, nullptr, 800, 600, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::LogCapture log;
        int queries = 0;
        const WindowRequest request = chooseWindowRequest(c.fullscreen, c.borderless, 800, 600, [&] {
            ++queries;
            return c.queried;
        });
        EXPECT_EQ(request.width, c.width);
        EXPECT_EQ(request.height, c.height);
        EXPECT_EQ(request.mode, c.usesMode ? &monitor : nullptr);
        EXPECT_EQ(queries, c.fullscreen && c.borderless ? 1 : 0);
        EXPECT_EQ(
            log.count("The monitor's video mode cannot be read; the borderless window opens at 800x600."),
            c.warned ? 1u : 0u);
    }
}

} // namespace
} // namespace hm
