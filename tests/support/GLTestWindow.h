// One window, and so one OpenGL context, for every GL test of the process that uses the
// engine's process-wide GL caches (shader programs, default textures, the renderer): those
// caches outlive any single test, so the context must too. It is never destroyed.
//
// Tests that need windows of their own (the game loop, input) create and destroy them; CTest
// runs every test in a process of its own, so the two kinds never meet.
#pragma once

#include "app/Window.h"

namespace hm::test {

Window& glWindow(int width = 64, int height = 64);

} // namespace hm::test
