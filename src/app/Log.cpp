#include "app/Log.h"

#include <spdlog/sinks/stdout_color_sinks.h>

namespace hm {

void initLogging() {
    static bool initialised = false;
    if (initialised)
        return;
    initialised = true;

    auto console = std::make_shared<spdlog::sinks::stdout_color_sink_mt>();
    console->set_level(spdlog::level::info);
    auto logger = std::make_shared<spdlog::logger>("hollowmere", console);
    logger->set_pattern("[%Y-%m-%d %H:%M:%S.%e] [%^%l%$] %v");
    logger->set_level(spdlog::level::info);
    logger->flush_on(spdlog::level::warn);
    spdlog::set_default_logger(logger);
}

} // namespace hm
