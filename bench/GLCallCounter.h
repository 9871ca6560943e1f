// Counts the OpenGL calls the process makes, for the benchmarks.
//
// OpenGL 1.1 entry points (glBindTexture, glDrawElements, glEnable, ...) are defined again in this
// file, count themselves and forward to the driver's; the later ones, which GLEW reaches through
// function pointers, get counting trampolines when install() runs (after glewInit). Linked into
// the benchmarks only: the game calls the driver directly.
#pragma once

#include <cstdint>

namespace hm::bench {

// Puts the trampolines in place; call once the context exists. Safe to call again.
void installGLCallCounter();
// Calls since the process started (or since the last reset).
std::uint64_t glCallCount();
void resetGLCallCount();

} // namespace hm::bench
