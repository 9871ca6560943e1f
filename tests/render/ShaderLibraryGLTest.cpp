#include "render/ShaderLibrary.h"

#include "app/Window.h"
#include "support//LogCapture.h"
#include "support/GLTestWindow.h"

#include <GL/glew.h>
#include <gtest/gtest.h>
#include <spdlog/sinks/stdout_sinks.h>

#include <filesystem>
#include <memory>

namespace hm {
namespace {

// fragment/: a.frag, b.shader, m.frag, n.frag, broken.frag, notes.txt, a (no extension)
// vertex/:   a.vert, b.shader, m.vert, m.shader (does not compile), broken.vert, notes.vert
const std::string kFixture = "tests/fixtures/shaders/library";

class ShaderLibraryTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        // The unknown-name test exits the process: run death tests in a fresh process that
        // builds its own window instead of forking one that owns a GL context.
        GTEST_FLAG_SET(death_test_style, "threadsafe");
    }
    void SetUp() override { window = test::openWindow("t", 64, 64); }

    bool linked(GLuint program) {
        GLint status = GL_FALSE;
        glGetProgramiv(program, GL_LINK_STATUS, &status);
        return status == GL_TRUE;
    }

    std::unique_ptr<Window> window;
};

TEST_F(ShaderLibraryTest, LoadsEveryFragmentShaderWithAVertexShader) {
    test::LogCapture log;
    ShaderLibrary library(kFixture);

    // a, b, m and broken; n has no vertex shader, notes.txt and "a" are not fragment shaders.
    EXPECT_EQ(library.programCount(), 4u);
    for (const std::string name : {"a", "b", "m"}) {
        const auto program = library.findProgram(name);
        ASSERT_TRUE(program) << name;
        EXPECT_TRUE(glIsProgram(*program)) << name;
        EXPECT_TRUE(linked(*program)) << name; // m links only with m.vert: m.shader is broken
        EXPECT_EQ(library.getProgram(name), *program);
    }
    EXPECT_FALSE(library.findProgram("n"));
    EXPECT_FALSE(library.findProgram("notes"));
    EXPECT_EQ(log.count("No matching vertex shader was found for the fragment shader n. Skipping..."), 1u);
    EXPECT_EQ(log.messages(spdlog::level::warn).size(), 1u);
    EXPECT_TRUE(log.contains("Reading shader file " + kFixture + "/vertex/m.vert"));
    EXPECT_FALSE(log.contains("Reading shader file " + kFixture + "/vertex/m.shader"));
}

TEST_F(ShaderLibraryTest, ShaderThatFailsToCompileIsStillRegistered) {
    test::LogCapture log;
    ShaderLibrary library(kFixture);

    const auto broken = library.findProgram("broken");
    ASSERT_TRUE(broken);
    EXPECT_TRUE(glIsProgram(*broken));
    EXPECT_FALSE(linked(*broken));

    // One compile failure (broken.frag), then the link failure of its program.
    EXPECT_EQ(log.messages(spdlog::level::critical),
              (std::vector<std::string>{"Failed to compile shader " + kFixture + "/fragment/broken.frag",
                                        "Failed to link shader program broken"}));
    const auto errors = log.messages(spdlog::level::err);
    ASSERT_EQ(errors.size(), 3u);
    EXPECT_EQ(errors[0].rfind("Shader Log:\n", 0), 0u);
    EXPECT_NE(errors[0].find("undeclaredColour"), std::string::npos) << errors[0];
    EXPECT_EQ(errors[1], "Shader Program Log:\n");
    EXPECT_FALSE(errors[2].empty());
    EXPECT_EQ(log.count("Linked shader program successfully!"), 3u);
}

TEST_F(ShaderLibraryTest, MissingFragmentFolderThrows) {
    EXPECT_THROW(ShaderLibrary("tests/fixtures/shaders/missing"), std::filesystem::filesystem_error);
}

TEST_F(ShaderLibraryTest, UnknownNameEndsTheProcess) {
    ShaderLibrary library(kFixture);
    EXPECT_EXIT(
        {
            // The console sink writes to stdout; death tests match what reaches stderr.
            spdlog::default_logger()->sinks().push_back(std::make_shared<spdlog::sinks::stderr_sink_mt>());
            library.getProgram("n");
        },
        testing::ExitedWithCode(1), "No shader was found with the name n");
}

// Quality levels compile the game's shaders again with defines: each variant links, is built
// once, and no defines means the plain program.
TEST_F(ShaderLibraryTest, VariantsWithDefinesAreBuiltOnceAndLink) {
    ShaderLibrary library("GAME_DATA/shaders/");
    test::LogCapture log;
    const GLuint plain = library.getProgram("pbr");
    EXPECT_EQ(library.getVariant("pbr", ""), plain);
    for (const char* defines : {"#define POINT_LIGHTS\n", "#define SHADOW_ONE_TAP\n",
                                "#define SHADOW_ONE_TAP\n#define VERTEX_LIGHTING\n#define POINT_LIGHTS\n"}) {
        SCOPED_TRACE(defines);
        const GLuint variant = library.getVariant("pbr", defines);
        EXPECT_NE(variant, plain);
        EXPECT_TRUE(linked(variant));
        EXPECT_EQ(library.getVariant("pbr", defines), variant);
    }
    EXPECT_TRUE(linked(library.getVariant("default", "#define POINT_LIGHTS\n")));
    EXPECT_TRUE(log.messages(spdlog::level::err).empty());
    EXPECT_TRUE(log.messages(spdlog::level::critical).empty());
}

} // namespace
} // namespace hm
