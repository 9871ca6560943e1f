// Windows for GL tests.
//
// glWindow(): one window, and so one OpenGL context, shared by the GL tests of the process, so
// that the shader library and the other objects of its render device are made once per run. It
// is destroyed at exit. Tests that need windows of their own (the game loop, input) open them
// with openWindow; while such a window lives its render device is current, and closing it hands
// the context back to the shared window. Any mix of tests can run in one process.
#pragma once

#include "app/Window.h"

#include <memory>
#include <string>

namespace hm::test {

Window& glWindow(int width = 64, int height = 64);

// A new window; a display that is briefly unreachable (a loaded machine running several GL
// tests at once) is retried a few times before the failure is passed on.
std::unique_ptr<Window> openWindow(const std::string& title, int width, int height);

} // namespace hm::test
