#include "support/LogCapture.h"

#include "app/Log.h"

#include <algorithm>

namespace hm::test {

class LogCapture::Sink : public spdlog::sinks::base_sink<std::mutex> {
public:
    std::vector<LogLine> lines;

protected:
    void sink_it_(const spdlog::details::log_msg& msg) override {
        lines.push_back({msg.level, std::string(msg.payload.begin(), msg.payload.end())});
    }
    void flush_() override {}
};

LogCapture::LogCapture() : sink_(std::make_shared<Sink>()) {
    initLogging();
    auto logger = spdlog::default_logger();
    previousLevel_ = logger->level();
    logger->sinks().push_back(sink_);
    logger->set_level(spdlog::level::trace);
}

LogCapture::~LogCapture() {
    auto logger = spdlog::default_logger();
    auto& sinks = logger->sinks();
    sinks.erase(std::remove(sinks.begin(), sinks.end(), sink_), sinks.end());
    logger->set_level(previousLevel_);
}

std::vector<LogLine> LogCapture::lines() const {
    return sink_->lines;
}

std::vector<std::string> LogCapture::messages(spdlog::level::level_enum level) const {
    std::vector<std::string> out;
    for (const auto& line : sink_->lines)
        if (line.level == level)
            out.push_back(line.message);
    return out;
}

std::size_t LogCapture::count(const std::string& message) const {
    return static_cast<std::size_t>(std::count_if(sink_->lines.begin(), sink_->lines.end(),
                                                  [&](const LogLine& l) { return l.message == message; }));
}

void LogCapture::clear() {
    sink_->lines.clear();
}

} // namespace hm::test
