// Windows for GL tests.
//
// glWindow(): one window, and so one OpenGL context, for every GL test of the process that uses
// the engine's process-wide GL caches (shader programs, default textures, the renderer): those
// caches outlive any single test, so the context must too. It is never destroyed. Tests that
// need windows of their own (the game loop, input) open them with openWindow; CTest runs every
// test in a process of its own, so the two kinds never meet.
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
