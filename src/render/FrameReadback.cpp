#include "render/FrameReadback.h"

#include <GL/glew.h>

#include <cstddef>

namespace hm {

std::vector<std::uint8_t> readBackBuffer(int width, int height) {
    if (width <= 0 || height <= 0)
        return {};
    std::vector<std::uint8_t> rgba(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4);
    GLint alignment = 4;
    glGetIntegerv(GL_PACK_ALIGNMENT, &alignment);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    glPixelStorei(GL_PACK_ALIGNMENT, alignment);
    return rgba;
}

} // namespace hm
