#include "support/GLTestWindow.h"

namespace hm::test {

Window& glWindow(int width, int height) {
    static Window* window = new Window("GL test", false, false, width, height, 1.0);
    return *window;
}

} // namespace hm::test
