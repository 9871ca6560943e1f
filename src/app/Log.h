// Process-wide logging.
//
// Every part of the game logs through spdlog's default logger, which initLogging() configures
// once at start-up: coloured console lines with date, time with milliseconds, level and
// message, threshold info. Messages use fmt's positional placeholders ("{0}", "{1}"), so call
// sites write spdlog::info("Starting gameloop of scene {0}", name) directly.
#pragma once

#include <spdlog/spdlog.h>

namespace hm {

// Installs the console logger as spdlog's default logger. Safe to call more than once.
void initLogging();

} // namespace hm
