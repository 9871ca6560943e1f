#include "support/GLTestWindow.h"

#include <chrono>
#include <stdexcept>
#include <thread>

namespace hm::test {

std::unique_ptr<Window> openWindow(const std::string& title, int width, int height) {
    for (int attempt = 1;; ++attempt) {
        try {
            return std::make_unique<Window>(title, false, false, width, height, 1.0);
        } catch (const std::runtime_error&) {
            if (attempt == 5)
                throw;
            std::this_thread::sleep_for(std::chrono::milliseconds(200 * attempt));
        }
    }
}

Window& glWindow(int width, int height) {
    static std::unique_ptr<Window> window = openWindow("GL test", width, height);
    return *window;
}

} // namespace hm::test
