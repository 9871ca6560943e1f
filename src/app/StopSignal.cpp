#include "app/StopSignal.h"

#include <csignal>

namespace hm {

namespace {
volatile std::sig_atomic_t stopRequested = 0;

extern "C" void onStopSignal(int) {
    stopRequested = 1;
}
} // namespace

void installStopSignalHandlers() {
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

bool stopSignalReceived() {
    return stopRequested != 0;
}

} // namespace hm
