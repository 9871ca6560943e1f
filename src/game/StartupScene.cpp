#include "game/StartupScene.h"

#include <GL/glew.h>

namespace hm {

void StartupScene::render(Window& window, float elapsed) {
    glClearColor(0.08f, 0.10f, 0.14f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

} // namespace hm
