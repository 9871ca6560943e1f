#include "game/StartupScene.h"

#include "app/Log.h"
#include "render/CameraNode.h"
#include "scene/Node3D.h"

#include <GL/glew.h>
#include <glm/gtc/type_ptr.hpp>

#include <vector>

namespace hm {

namespace {

// The line shader is private to this scene; the shader library serves the real ones.
const char* const kVertexSource = R"(#version 430 core
layout(location = 0) in vec3 position;
layout(location = 1) in vec3 colour;
layout(location = 0) uniform mat4 viewProjection;
out vec3 lineColour;
void main() {
    lineColour = colour;
    gl_Position = viewProjection * vec4(position, 1.0);
})";

const char* const kFragmentSource = R"(#version 430 core
in vec3 lineColour;
out vec4 fragColour;
void main() { fragColour = vec4(lineColour, 1.0); })";

GLuint compile(GLenum type, const char* source) {
    GLuint shader = glCreateShader(type);
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    GLint ok = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (!ok) {
        char info[512] = {};
        glGetShaderInfoLog(shader, sizeof info, nullptr, info);
        spdlog::error("Startup scene line shader: {0}", info);
    }
    return shader;
}

// Ground grid from -10 to 10 in steps of 1, and the axes in red (x), green (y) and blue (z).
std::vector<float> gridVertices() {
    std::vector<float> v;
    auto line = [&](glm::vec3 a, glm::vec3 b, glm::vec3 c) {
        v.insert(v.end(), {a.x, a.y, a.z, c.r, c.g, c.b, b.x, b.y, b.z, c.r, c.g, c.b});
    };
    const glm::vec3 grey(0.35f, 0.38f, 0.42f);
    for (int i = -10; i <= 10; ++i) {
        const float f = static_cast<float>(i);
        line({f, 0.0f, -10.0f}, {f, 0.0f, 10.0f}, grey);
        line({-10.0f, 0.0f, f}, {10.0f, 0.0f, f}, grey);
    }
    line({0.0f, 0.01f, 0.0f}, {2.0f, 0.01f, 0.0f}, {1.0f, 0.2f, 0.2f});
    line({0.0f, 0.0f, 0.0f}, {0.0f, 2.0f, 0.0f}, {0.2f, 1.0f, 0.2f});
    line({0.0f, 0.01f, 0.0f}, {0.0f, 0.01f, 2.0f}, {0.3f, 0.5f, 1.0f});
    return v;
}

} // namespace

StartupScene::~StartupScene() {
    if (program_)
        glDeleteProgram(program_);
    if (vertexBuffer_)
        glDeleteBuffers(1, &vertexBuffer_);
    if (vertexArray_)
        glDeleteVertexArrays(1, &vertexArray_);
}

void StartupScene::start(Window& window) {
    Scene::start(window);
    setClearColour({0.08f, 0.10f, 0.14f});

    const GLuint vertexShader = compile(GL_VERTEX_SHADER, kVertexSource);
    const GLuint fragmentShader = compile(GL_FRAGMENT_SHADER, kFragmentSource);
    program_ = glCreateProgram();
    glAttachShader(program_, vertexShader);
    glAttachShader(program_, fragmentShader);
    glLinkProgram(program_);
    glDeleteShader(vertexShader);
    glDeleteShader(fragmentShader);

    const std::vector<float> vertices = gridVertices();
    vertexCount_ = static_cast<int>(vertices.size() / 6);
    glGenVertexArrays(1, &vertexArray_);
    glGenBuffers(1, &vertexBuffer_);
    glBindVertexArray(vertexArray_);
    glBindBuffer(GL_ARRAY_BUFFER, vertexBuffer_);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(vertices.size() * sizeof(float)), vertices.data(),
                 GL_STATIC_DRAW);
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, 6 * sizeof(float), nullptr);
    glEnableVertexAttribArray(1);
    glVertexAttribPointer(1, 3, GL_FLOAT, GL_FALSE, 6 * sizeof(float),
                          reinterpret_cast<void*>(3 * sizeof(float)));
    glBindVertexArray(0);
}

void StartupScene::update(Window& window, float elapsed) {
    Scene::update(window, elapsed);
    if (Node3D* root = root3D())
        root->rotate({0.0f, 1.0f, 0.0f}, kTurnRate * elapsed);
}

void StartupScene::render(Window& window, float elapsed) {
    Scene::render(window, elapsed);
    const CameraNode* camera = activeCamera();
    if (!camera || !program_)
        return;
    const glm::mat4 viewProjection = camera->getProjection() * camera->getView();
    glUseProgram(program_);
    glUniformMatrix4fv(0, 1, GL_FALSE, glm::value_ptr(viewProjection));
    glBindVertexArray(vertexArray_);
    glDrawArrays(GL_LINES, 0, vertexCount_);
    glBindVertexArray(0);
}

} // namespace hm
