#include "render/Mesh.h"

#include "app/Window.h"
#include "render/ShaderLibrary.h"
#include "support/GLTestWindow.h"
#include "support/LogCapture.h"

#include <GL/glew.h>
#include <gtest/gtest.h>

namespace hm {
namespace {

class MeshTest : public testing::Test {
protected:
    Window& window = test::glWindow();
};

TEST_F(MeshTest, UploadsFiftySixBytesPerVertexAndDrawsEveryIndex) {
    std::vector<Vertex> vertices(3);
    vertices[0].position = {-1, -1, 0};
    vertices[1].position = {3, -1, 0};
    vertices[2].position = {-1, 3, 0};
    Mesh mesh(vertices, {0, 1, 2});
    EXPECT_FALSE(mesh.uploaded()); // the upload waits for the first draw
    mesh.ensureUploaded();

    glBindVertexArray(mesh.vertexArray());
    GLint vertexBuffer = 0, size = 0;
    glGetVertexAttribiv(0, GL_VERTEX_ATTRIB_ARRAY_BUFFER_BINDING, &vertexBuffer);
    glBindBuffer(GL_ARRAY_BUFFER, static_cast<GLuint>(vertexBuffer));
    glGetBufferParameteriv(GL_ARRAY_BUFFER, GL_BUFFER_SIZE, &size);
    EXPECT_EQ(size, 168);
    GLint stride = 0;
    glGetVertexAttribiv(4, GL_VERTEX_ATTRIB_ARRAY_STRIDE, &stride);
    EXPECT_EQ(stride, 56);
    glBindVertexArray(0);

    // The triangle covers the whole viewport; counting the primitives proves one draw of 3 indices.
    GLuint query = 0;
    glGenQueries(1, &query);
    glUseProgram(ShaderLibrary::instance().getProgram("solid"));
    glBeginQuery(GL_PRIMITIVES_GENERATED, query);
    mesh.draw(1, true);
    glEndQuery(GL_PRIMITIVES_GENERATED);
    GLuint primitives = 0;
    glGetQueryObjectuiv(query, GL_QUERY_RESULT, &primitives);
    glDeleteQueries(1, &query);
    EXPECT_EQ(primitives, 1u);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(MeshTest, BoundsFromTheVertexCopy) {
    std::vector<Vertex> vertices(2);
    vertices[0].position = {-1, 0, 2};
    vertices[1].position = {3, 4, 0};
    Mesh mesh(vertices, {0, 1, 1});
    EXPECT_FLOAT_EQ(mesh.boundingRadius(), 5.0f);
    EXPECT_EQ(mesh.boundingBoxSize(), glm::vec3(4, 4, 2));
}

TEST_F(MeshTest, EveryGameShaderCompilesAndLinks) {
    test::LogCapture log;
    ShaderLibrary library("./GAME_DATA/shaders/");
    EXPECT_TRUE(log.messages(spdlog::level::critical).empty());
    EXPECT_TRUE(log.messages(spdlog::level::err).empty());
    for (const char* name :
         {"default", "pbr", "solid", "canvas", "particle", "skybox", "shadowmap", "brightness", "text"}) {
        SCOPED_TRACE(name);
        const auto program = library.findProgram(name);
        ASSERT_TRUE(program);
        GLint linked = 0;
        glGetProgramiv(*program, GL_LINK_STATUS, &linked);
        EXPECT_EQ(linked, GL_TRUE);
    }
}

} // namespace
} // namespace hm
