// Captures the lines of the process-wide logger for the lifetime of the object, with the
// threshold lowered to trace so that debug lines can be asserted too.
#pragma once

#include <spdlog/sinks/base_sink.h>
#include <spdlog/spdlog.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace hm::test {

struct LogLine {
    spdlog::level::level_enum level;
    std::string message;
};

class LogCapture {
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    std::vector<LogLine> lines() const;
    // Messages at exactly this level, in order.
    std::vector<std::string> messages(spdlog::level::level_enum level) const;
    // How many lines carry exactly this message (at any level).
    std::size_t count(const std::string& message) const;
    bool contains(const std::string& message) const { return count(message) > 0; }
    void clear();

private:
    class Sink;
    std::shared_ptr<Sink> sink_;
    spdlog::level::level_enum previousLevel_;
};

} // namespace hm::test
