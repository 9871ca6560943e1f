#include "render/PassTimer.h"

#include <GL/glew.h>

namespace hm {

const char* PassTimer::name(int pass) {
    static const char* const names[] = {"shadow", "depth", "opaque",     "sky",    "particles",
                                        "flare",  "hud",   "brightness", "upscale"};
    return pass >= 0 && pass < kPassCount ? names[pass] : "?";
}

PassTimer::~PassTimer() {
    for (GLuint query : queries_)
        if (query != 0)
            glDeleteQueries(1, &query);
}

void PassTimer::begin(Pass pass) {
    if (!enabled_ || running_ >= 0)
        return;
    GLuint& query = queries_[static_cast<std::size_t>(pass)];
    if (query == 0)
        glGenQueries(1, &query);
    glFinish();
    started_ = std::chrono::steady_clock::now();
    glBeginQuery(GL_TIME_ELAPSED, query);
    running_ = pass;
}

void PassTimer::end() {
    if (running_ < 0)
        return;
    glEndQuery(GL_TIME_ELAPSED);
    glFinish();
    pendingSerialised_[static_cast<std::size_t>(running_)] +=
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started_).count();
    ran_[static_cast<std::size_t>(running_)] = true;
    running_ = -1;
}

void PassTimer::collect() {
    for (int pass = 0; pass < kPassCount; ++pass) {
        const auto i = static_cast<std::size_t>(pass);
        milliseconds_[i] = 0.0;
        serialised_[i] = pendingSerialised_[i];
        pendingSerialised_[i] = 0.0;
        if (!ran_[i])
            continue;
        GLuint64 nanoseconds = 0;
        glGetQueryObjectui64v(queries_[i], GL_QUERY_RESULT, &nanoseconds);
        milliseconds_[i] = static_cast<double>(nanoseconds) * 1e-6;
        ran_[i] = false;
    }
}

double PassTimer::totalMilliseconds() const {
    double total = 0.0;
    for (double ms : milliseconds_)
        total += ms;
    return total;
}

} // namespace hm
