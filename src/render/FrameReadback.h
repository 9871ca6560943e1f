// Reads the finished frame back from the GPU: viewer screenshots and test pictures.
#pragma once

#include <cstdint>
#include <vector>

namespace hm {

// The RGBA bytes of the width x height corner of the back buffer at the origin, bottom row first
// (OpenGL's order), four bytes per pixel with no row padding. Needs the current GL context.
std::vector<std::uint8_t> readBackBuffer(int width, int height);

} // namespace hm
