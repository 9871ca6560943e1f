#include "render/Renderer.h"

#include "render/CameraNode.h"
#include "render/LightNode.h"
#include "render/Material.h"
#include "render/MeshNode.h"
#include "render/Primitives.h"
#include "render/ShaderLibrary.h"
#include "render/Solid2DTexture.h"
#include "scene/EmptyNode.h"
#include "support/GLTestWindow.h"
#include "support/ImageCompare.h"
#include "support/LogCapture.h"
#include "tools/reference/ReferenceScene.h"

#include <GL/glew.h>
#include <GLFW/glfw3.h>
#include <glm/gtc/matrix_transform.hpp>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <functional>
#include <regex>
#include <sstream>
#include <thread>

namespace hm {
namespace {

// A scene whose content is built by the test.
class BuiltScene : public Scene {
public:
    explicit BuiltScene(std::function<void(Node3D&)> build) : Scene("test"), build_(std::move(build)) {}
    void load() override {
        auto root = std::make_unique<EmptyNode>("root3D");
        if (build_)
            build_(*root);
        setRoot3D(std::move(root));
    }

private:
    std::function<void(Node3D&)> build_;
};

// Sets the renderer's quality level for one test and puts the default back afterwards.
class QualityLevel {
public:
    explicit QualityLevel(RenderQuality quality) { Renderer::instance().setQuality(quality); }
    ~QualityLevel() { Renderer::instance().setQuality(RenderQuality::High); }
    QualityLevel(const QualityLevel&) = delete;
    QualityLevel& operator=(const QualityLevel&) = delete;
};

void resize(Window& window, int width, int height) {
    glfwSetWindowSize(window.handle(), width, height);
    for (int i = 0; i < 200 && window.framebufferSize() != glm::ivec2(width, height); ++i)
        glfwWaitEventsTimeout(0.01);
    ASSERT_EQ(window.framebufferSize(), glm::ivec2(width, height));
    // The drawable's buffers follow the new size once the buffers have been swapped.
    glfwSwapBuffers(window.handle());
    glfwSwapBuffers(window.handle());
}

void start(Scene& scene, Window& window) {
    scene.start(window);
    const glm::ivec2 size = window.framebufferSize();
    scene.setAspectRatio(static_cast<float>(size.x) / static_cast<float>(size.y));
    scene.update(window, 0.0f);
}

CameraNode& lookFrom(Node3D& root, const glm::vec3& eye, const glm::vec3& target,
                     const glm::vec3& up = {0, 1, 0}) {
    auto& camera = root.createChild<CameraNode>("camera", glm::radians(60.0f), 0.1f, 100.0f, 1.0f);
    camera.setWorldMatrix(glm::inverse(glm::lookAt(eye, target, up)));
    return camera;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

GLuint compileProgram(const std::string& vertex, const std::string& fragment) {
    auto stage = [](GLenum type, const std::string& source) {
        GLuint shader = glCreateShader(type);
        const char* text = source.c_str();
        glShaderSource(shader, 1, &text, nullptr);
        glCompileShader(shader);
        GLint ok = 0;
        glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
        char log[2048] = {};
        glGetShaderInfoLog(shader, sizeof(log), nullptr, log);
        EXPECT_EQ(ok, GL_TRUE) << log;
        return shader;
    };
    GLuint program = glCreateProgram();
    glAttachShader(program, stage(GL_VERTEX_SHADER, vertex));
    glAttachShader(program, stage(GL_FRAGMENT_SHADER, fragment));
    glLinkProgram(program);
    GLint linked = 0;
    glGetProgramiv(program, GL_LINK_STATUS, &linked);
    EXPECT_EQ(linked, GL_TRUE);
    return program;
}

// The block as the game's lit shader declares it is read back field by field, one vec4 per
// pixel of a float framebuffer, and compared with what the renderer meant to write: any
// disagreement between the C++ layout and the GLSL layout shows up here.
TEST(Renderer, EveryFieldOfTheUniformBlockReachesTheShaders) {
    Window& window = test::glWindow();
    BuiltScene scene([](Node3D& root) {
        lookFrom(root, {3, 4, 5}, {0, 0, 0});
        root.createChild<SunLight>("Sun", glm::vec3(-0.3f, -1.0f, -0.2f), glm::vec3(1.0f, 0.9f, 0.8f), 2.0f,
                                   glm::vec3(0.1f, 0.2f, 0.3f));
        auto& a = root.createChild<PointLight>("a", glm::vec3(1.0f, 0.5f, 0.0f), 2.0f,
                                               glm::vec3(1.0f, 0.09f, 0.032f));
        a.translate({1, 2, 3});
        for (int i = 0; i < 48; ++i)
            root.createChild<PointLight>("p" + std::to_string(i), glm::vec3(0.1f * (i % 10)), 1.0f);
        root.createChild<DirectionalLight>("last", glm::vec3(0, 0, -2), glm::vec3(0.25f, 0.5f, 0.75f), 4.0f);
    });
    start(scene, window);
    Renderer& renderer = Renderer::instance();
    renderer.updateUniforms(scene);
    const SceneUniforms& u = renderer.uniforms();
    ASSERT_EQ(u.lightCount, 50);

    const std::string pbr = readFile("GAME_DATA/shaders/fragment/pbr.frag");
    std::smatch declaration;
    ASSERT_TRUE(std::regex_search(
        pbr, declaration, std::regex(R"(struct LightData[\s\S]*?\};[\s\S]*?uniform SceneBlock[\s\S]*?\};)")));
    const std::string header = "#version 430 core\nconst int LIGHT_COUNT = 50;\n" + declaration.str() + "\n";
    const std::string vertex =
        "#version 430 core\nvoid main() { vec2 p = vec2((gl_VertexID & 1) * 4.0 - 1.0, "
        "(gl_VertexID >> 1) * 4.0 - 1.0); gl_Position = vec4(p, 0.0, 1.0); }\n";
    const std::string fragment = header + R"(
out vec4 result;
vec4 field(int i) {
    if (i < 4) return view[i];
    if (i < 8) return projection[i - 4];
    if (i < 20) return lightView[(i - 8) / 4][(i - 8) % 4];
    if (i < 32) return lightProjection[(i - 20) / 4][(i - 20) % 4];
    if (i == 32) return cascadeEnds;
    if (i == 33) return sunDirection;
    if (i == 34) return sunColour;
    if (i == 35) return sunAmbient;
    if (i == 36) return vec4(float(lightCount));
    int light = i < 41 ? 0 : 49;
    int part = (i - 37) % 4;
    if (part == 0) return lights[light].position;
    if (part == 1) return lights[light].direction;
    if (part == 2) return lights[light].colour;
    return vec4(float(lights[light].type), lights[light].attConstant, lights[light].attLinear, lights[light].attQuadratic);
}
void main() { result = field(int(gl_FragCoord.x)); }
)";
    // Pixels 37..40 read light 0, 41..44 light 49 (the index arithmetic above wraps at 4).
    const GLuint program = compileProgram(vertex, fragment);
    GLuint fbo = 0, colour = 0, vao = 0;
    glGenFramebuffers(1, &fbo);
    glGenTextures(1, &colour);
    glGenVertexArrays(1, &vao);
    glBindTexture(GL_TEXTURE_2D, colour);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA32F, 45, 1, 0, GL_RGBA, GL_FLOAT, nullptr);
    glBindFramebuffer(GL_FRAMEBUFFER, fbo);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, colour, 0);
    glViewport(0, 0, 45, 1);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
    glUseProgram(program);
    glBindVertexArray(vao);
    glDrawArrays(GL_TRIANGLES, 0, 3);
    std::vector<glm::vec4> pixels(45);
    glReadPixels(0, 0, 45, 1, GL_RGBA, GL_FLOAT, pixels.data());
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glEnable(GL_DEPTH_TEST);

    std::vector<glm::vec4> expected;
    for (int c = 0; c < 4; ++c)
        expected.push_back(u.view[c]);
    for (int c = 0; c < 4; ++c)
        expected.push_back(u.projection[c]);
    for (int k = 0; k < 3; ++k)
        for (int c = 0; c < 4; ++c)
            expected.push_back(u.lightView[k][c]);
    for (int k = 0; k < 3; ++k)
        for (int c = 0; c < 4; ++c)
            expected.push_back(u.lightProjection[k][c]);
    expected.insert(expected.end(),
                    {u.cascadeEnds, u.sunDirection, u.sunColour, u.sunAmbient, glm::vec4(50.0f)});
    for (int light : {0, 49}) {
        const LightData& l = u.lights[light];
        expected.insert(expected.end(),
                        {l.position, l.direction, l.colour,
                         glm::vec4(float(l.type), l.attenuation.x, l.attenuation.y, l.attenuation.z)});
    }
    ASSERT_EQ(expected.size(), pixels.size());
    for (std::size_t i = 0; i < pixels.size(); ++i)
        for (int c = 0; c < 4; ++c)
            EXPECT_NEAR(pixels[i][c], expected[i][c], 1e-4f * std::max(1.0f, std::abs(expected[i][c])))
                << "pixel " << i << " component " << c;

    // The values themselves: the point light and the directional one at the end of the list.
    EXPECT_EQ(u.lights[0].colour, glm::vec4(2.0f, 1.0f, 0.0f, 0.0f));
    EXPECT_EQ(u.lights[0].type, 0);
    EXPECT_EQ(u.lights[0].position, glm::vec4(1, 2, 3, 0));
    EXPECT_EQ(u.lights[49].type, 1);
    EXPECT_NEAR(u.lights[49].direction.z, -1.0f, 1e-6f);
    glDeleteProgram(program);
    glDeleteFramebuffers(1, &fbo);
    glDeleteTextures(1, &colour);
    glDeleteVertexArrays(1, &vao);
}

TEST(Renderer, FiftyLightsFitAndTheFiftyFirstIsDroppedWithOneWarning) {
    Window& window = test::glWindow();
    for (int count : {50, 51}) {
        SCOPED_TRACE(count);
        BuiltScene scene([count](Node3D& root) {
            for (int i = 0; i < count; ++i)
                root.createChild<PointLight>("p" + std::to_string(i), glm::vec3(1.0f), 1.0f);
        });
        test::LogCapture log;
        start(scene, window);
        Renderer::instance().updateUniforms(scene);
        EXPECT_EQ(Renderer::instance().uniforms().lightCount, 50);
        EXPECT_EQ(
            log.count(
                "There are more lights than 50 in the scene. Increase the LIGHT_COUNT if you really need "
                "that."),
            count == 51 ? 1u : 0u);
    }
}

TEST(Renderer, ASecondSunReplacesTheFirst) {
    Window& window = test::glWindow();
    SunLight* second = nullptr;
    BuiltScene scene([&](Node3D& root) {
        root.createChild<SunLight>("Sun", glm::vec3(0, -1, 0), glm::vec3(1.0f), 1.0f);
        second = &root.createChild<SunLight>("Sun2", glm::vec3(1, -1, 0), glm::vec3(1.0f), 1.0f);
    });
    start(scene, window);
    EXPECT_EQ(scene.sun(), second);
    EXPECT_TRUE(scene.lights().empty());
}

TEST(Renderer, BrightnessScalesTheFramebuffer) {
    Window& window = test::glWindow();
    resize(window, 64, 64);
    Renderer& renderer = Renderer::instance();
    struct Case {
        double brightness;
        int expected; // from a cleared value of 100
    };
    for (const Case& c : {Case{1.0, 100}, Case{1.5, 150}, Case{0.5, 50}}) {
        SCOPED_TRACE(c.brightness);
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        glViewport(0, 0, 64, 64);
        glClearColor(100.0f / 255.0f, 100.0f / 255.0f, 100.0f / 255.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        glEnable(GL_BLEND);
        renderer.brightness = c.brightness;
        GLint programBefore = -1;
        glUseProgram(0);
        renderer.brightnessPass();
        glGetIntegerv(GL_CURRENT_PROGRAM, &programBefore);
        EXPECT_EQ(programBefore, 0);
        const test::Image image = test::readFramebuffer(64, 64);
        EXPECT_NEAR(image.pixel(32, 32)[0], c.expected, 1);
        EXPECT_NEAR(image.pixel(0, 63)[1], c.expected, 1);
    }
    renderer.brightness = 1.0;
}

TEST(Renderer, MeshNodeKeepsTheCallersProgramOutsideTheColourPassAndSkyRestoresDepthTest) {
    Window& window = test::glWindow();
    auto material = MaterialRegistry::instance().createSolidMaterial("pass_test");
    MeshNode node("box", makeBoxMesh({1, 1, 1}), material);
    const GLuint shadow = ShaderLibrary::instance().getProgram("shadowmap");
    glUseProgram(shadow);
    node.render(0.0f, 0);
    GLint current = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &current);
    EXPECT_EQ(static_cast<GLuint>(current), shadow);
    node.render(0.0f, 1);
    glGetIntegerv(GL_CURRENT_PROGRAM, &current);
    EXPECT_EQ(static_cast<GLuint>(current), material->program());

    BuiltScene scene([](Node3D& root) { lookFrom(root, {0, 0, 0}, {0, 0, -1}); });
    start(scene, window);
    scene.setSkybox("skybox/hollowmere_sky");
    ASSERT_TRUE(scene.skyboxMaterial());
    scene.render(window, 0.0f);
    GLint depthFunction = 0;
    glGetIntegerv(GL_DEPTH_FUNC, &depthFunction);
    EXPECT_EQ(depthFunction, GL_LESS);
}

TEST(Renderer, SkyFillsTheBackgroundAndAMissingSkyIsLogged) {
    Window& window = test::glWindow();
    resize(window, 96, 96);
    BuiltScene scene([](Node3D& root) { lookFrom(root, {0, 0, 0}, {0, 0.3f, -1}); });
    start(scene, window);
    {
        test::LogCapture log;
        scene.setSkybox("skybox/no_such_sky");
        EXPECT_EQ(log.count("Couldn't load skybox with the filename: skybox/no_such_sky."), 1u);
        EXPECT_FALSE(scene.skyboxMaterial());
    }
    scene.setClearColour({1.0f, 0.0f, 1.0f});
    scene.setSkybox("skybox/hollowmere_sky");
    scene.render(window, 0.0f);
    const test::Image image = test::readFramebuffer(96, 96);
    std::size_t magenta = 0;
    for (int y = 0; y < 96; ++y)
        for (int x = 0; x < 96; ++x) {
            const auto* p = image.pixel(x, y);
            magenta += p[0] > 250 && p[1] < 5 && p[2] > 250;
        }
    EXPECT_EQ(magenta, 0u) << "the clear colour shows through the sky";
}

// A box floats two units above the ground and the sun shines at 45 degrees along +x: seen from
// straight above, the ground two units to the right of the box is in shadow, the ground two
// units to the left is lit.
void checkShadowFallsAwayFromTheSun() {
    Window& window = test::glWindow();
    resize(window, 128, 128);
    BuiltScene scene([](Node3D& root) {
        auto ground = MaterialRegistry::instance().createPBRMaterial("shadow_ground");
        root.createChild<MeshNode>("ground", makePlaneMesh(20.0f), ground);
        auto& box = root.createChild<MeshNode>("box", makeBoxMesh({1, 1, 1}), ground);
        box.translate({0, 2, 0});
        root.createChild<SunLight>("Sun", glm::normalize(glm::vec3(1, -1, 0)), glm::vec3(1.0f), 3.0f,
                                   glm::vec3(0.05f));
        lookFrom(root, {0, 8, 0}, {0, 0, 0}, {0, 0, -1});
    });
    start(scene, window);
    scene.render(window, 0.0f);
    const test::Image image = test::readFramebuffer(128, 128);
    const CameraNode& camera = *scene.activeCamera();
    auto screen = [&](const glm::vec3& world) {
        const glm::vec4 clip = camera.getProjection() * camera.getView() * glm::vec4(world, 1.0f);
        const glm::vec2 ndc = glm::vec2(clip) / clip.w;
        return glm::ivec2((ndc.x * 0.5f + 0.5f) * 128.0f, (0.5f - ndc.y * 0.5f) * 128.0f);
    };
    const glm::ivec2 shadowed = screen({2.0f, 0.0f, 0.0f});
    const glm::ivec2 lit = screen({-2.0f, 0.0f, 0.0f});
    EXPECT_LT(image.luminance(shadowed.x, shadowed.y), 0.5f * image.luminance(lit.x, lit.y));
    // No acne: lit ground away from the shadow is evenly lit.
    EXPECT_NEAR(image.luminance(lit.x, lit.y + 10), image.luminance(lit.x, lit.y), 4.0f);
}

TEST(Renderer, TheShadowFallsAwayFromTheSunAtEveryQualityLevel) {
    test::glWindow(); // the renderer needs the context
    for (RenderQuality quality : {RenderQuality::High, RenderQuality::Medium, RenderQuality::Low}) {
        SCOPED_TRACE(qualityName(quality));
        QualityLevel level(quality);
        checkShadowFallsAwayFromTheSun();
    }
}

// Markers: the box of the shadow test, told to cast no shadow, leaves the ground beside it lit
// (a health bar or a range ring); a red box below the ground, drawn on top, shows through it.
TEST(Renderer, AMeshThatCastsNoShadowLeavesTheGroundLitAndAMeshOnTopShowsThroughTheGround) {
    Window& window = test::glWindow();
    resize(window, 128, 128);
    MeshNode* box = nullptr;
    MeshNode* buried = nullptr;
    BuiltScene scene([&](Node3D& root) {
        auto ground = MaterialRegistry::instance().createPBRMaterial("marker_ground");
        root.createChild<MeshNode>("ground", makePlaneMesh(20.0f), ground);
        box = &root.createChild<MeshNode>("box", makeBoxMesh({1, 1, 1}), ground);
        box->translate({0, 2, 0});
        auto red = MaterialRegistry::instance().createSolidMaterial("marker_red");
        red->colour = {1.0f, 0.0f, 0.0f};
        buried = &root.createChild<MeshNode>("buried", makeBoxMesh({0.5f, 0.5f, 0.5f}), red);
        buried->translate({-2, -1, -2});
        root.createChild<SunLight>("Sun", glm::normalize(glm::vec3(1, -1, 0)), glm::vec3(1.0f), 3.0f,
                                   glm::vec3(0.05f));
        lookFrom(root, {0, 8, 0}, {0, 0, 0}, {0, 0, -1});
    });
    start(scene, window);
    const CameraNode& camera = *scene.activeCamera();
    auto screen = [&](const glm::vec3& world) {
        const glm::vec4 clip = camera.getProjection() * camera.getView() * glm::vec4(world, 1.0f);
        const glm::vec2 ndc = glm::vec2(clip) / clip.w;
        return glm::ivec2((ndc.x * 0.5f + 0.5f) * 128.0f, (0.5f - ndc.y * 0.5f) * 128.0f);
    };
    const glm::ivec2 shadowed = screen({2.0f, 0.0f, 0.0f});
    const glm::ivec2 lit = screen({-2.0f, 0.0f, 0.0f});
    const glm::ivec2 under = screen({-2.0f, 0.0f, -2.0f});

    scene.render(window, 0.0f);
    test::Image image = test::readFramebuffer(128, 128);
    ASSERT_LT(image.luminance(shadowed.x, shadowed.y), 0.5f * image.luminance(lit.x, lit.y))
        << "the box casts its shadow";
    const std::uint8_t* hidden = image.pixel(under.x, under.y);
    EXPECT_FALSE(hidden[0] > 200 && hidden[1] < 40) << "the buried box is hidden by the ground";

    box->setCastsShadow(false);
    buried->setDrawnOnTop(true);
    scene.render(window, 0.0f);
    image = test::readFramebuffer(128, 128);
    EXPECT_NEAR(image.luminance(shadowed.x, shadowed.y), image.luminance(lit.x, lit.y), 4.0f);
    const std::uint8_t* shown = image.pixel(under.x, under.y);
    EXPECT_GT(shown[0], 200);
    EXPECT_LT(shown[1], 40);
    EXPECT_LT(shown[2], 40);
}

// The caster hangs high up towards the sun, out of the camera's sight, and its shadow falls in
// the middle of the picture: a mesh the camera cannot see still casts into the cascades.
TEST(Renderer, ACasterOutOfSightStillCastsItsShadowIntoView) {
    Window& window = test::glWindow();
    resize(window, 128, 128);
    for (RenderQuality quality : {RenderQuality::High, RenderQuality::Medium, RenderQuality::Low}) {
        SCOPED_TRACE(qualityName(quality));
        QualityLevel level(quality);
        BuiltScene scene([](Node3D& root) {
            auto ground = MaterialRegistry::instance().createPBRMaterial("unseen_caster_ground");
            root.createChild<MeshNode>("ground", makePlaneMesh(20.0f), ground);
            auto& box = root.createChild<MeshNode>("box", makeBoxMesh({2, 2, 2}), ground);
            box.translate({-7, 7, 0});
            // Placed where it shines from, out of sight, so that no lens flare covers the picture.
            auto& sun = root.createChild<SunLight>("Sun", glm::normalize(glm::vec3(1, -1, 0)),
                                                   glm::vec3(1.0f), 3.0f, glm::vec3(0.05f));
            sun.translate({-100, 100, 0});
            lookFrom(root, {0, 8, 0}, {0, 0, 0}, {0, 0, -1});
        });
        start(scene, window);
        scene.render(window, 0.0f);
        const test::Image image = test::readFramebuffer(128, 128);
        const CameraNode& camera = *scene.activeCamera();
        const glm::vec4 clip = camera.getProjection() * camera.getView() * glm::vec4(-7, 7, 0, 1);
        ASSERT_GT(std::abs(clip.x), clip.w) << "the caster is in sight";
        EXPECT_LT(image.luminance(64, 64), 0.5f * image.luminance(110, 64));
    }
}

std::vector<float> shadowDepth() {
    const int size = Renderer::instance().shadowMapSize();
    std::vector<float> depth(std::size_t(size) * std::size_t(size) * ShadowCascades::kCount);
    glBindTexture(GL_TEXTURE_2D_ARRAY, Renderer::instance().shadowMaps());
    glGetTexImage(GL_TEXTURE_2D_ARRAY, 0, GL_DEPTH_COMPONENT, GL_FLOAT, depth.data());
    glBindTexture(GL_TEXTURE_2D_ARRAY, 0);
    return depth;
}

// The still casters come from the shadow cache while another caster moves every frame: after
// every frame the cascades hold exactly what drawing every caster gives, and a still caster that
// is moved shows at its new place at once.
TEST(Renderer, CachedShadowsMatchShadowsDrawnInFull) {
    Window& window = test::glWindow();
    resize(window, 64, 64);
    QualityLevel level(RenderQuality::Medium); // smaller maps to read back; the cache is the same
    MeshNode* mover = nullptr;
    MeshNode* rock = nullptr;
    BuiltScene scene([&](Node3D& root) {
        auto material = MaterialRegistry::instance().createPBRMaterial("cached_shadow_ground");
        root.createChild<MeshNode>("ground", makePlaneMesh(20.0f), material);
        rock = &root.createChild<MeshNode>("rock", makeBoxMesh({2, 2, 2}), material);
        rock->translate({-3, 1, 0});
        mover = &root.createChild<MeshNode>("mover", makeBoxMesh({1, 1, 1}), material);
        mover->translate({3, 1, 0});
        root.createChild<SunLight>("Sun", glm::normalize(glm::vec3(1, -2, 0.5f)), glm::vec3(1.0f), 3.0f,
                                   glm::vec3(0.05f));
        lookFrom(root, {0, 12, 10}, {0, 0, 0});
    });
    start(scene, window);
    Renderer& renderer = Renderer::instance();
    using Use = ShadowCasterCache::Use;
    std::vector<Use> uses;
    std::vector<float> previous;
    const int frames = ShadowCasterCache::kStillFrames + 8;
    for (int frame = 0; frame < frames; ++frame) {
        SCOPED_TRACE(frame);
        mover->translate({0, 0, 0.2f});
        if (frame == frames - 3)
            rock->translate({0, 0, -2});
        scene.update(window, 0.0f);
        scene.render(window, 0.0f);
        uses.push_back(renderer.lastShadowCacheUse());
        const std::vector<float> cached = shadowDepth();
        renderer.setShadowCaching(false);
        scene.render(window, 0.0f);
        renderer.setShadowCaching(true);
        EXPECT_EQ(renderer.lastShadowCacheUse(), Use::DrawAll);
        EXPECT_TRUE(cached == shadowDepth());
        EXPECT_FALSE(cached == previous) << "the moving caster is missing";
        previous = cached;
    }
    // Drawn in full until the ground and the rock have kept still for a while; the cache is drawn
    // on the second frame of the same still set and used from then on. The rock's move changes
    // the set: in full once, then the cache is drawn again.
    const int still = ShadowCasterCache::kStillFrames;
    std::vector<Use> expected(std::size_t(frames), Use::Reuse);
    std::fill_n(expected.begin(), still + 1, Use::DrawAll);
    expected[std::size_t(still + 1)] = Use::Rebuild;
    expected[std::size_t(frames - 3)] = Use::DrawAll;
    expected[std::size_t(frames - 2)] = Use::Rebuild;
    EXPECT_EQ(uses, expected);
}

TEST(Renderer, ReferenceSceneMatchesItsGoldenImage) {
    Window& window = test::glWindow();
    resize(window, 320, 240);
    ReferenceScene scene;
    start(scene, window);
    scene.render(window, 0.0f);
    const test::Image image = test::readFramebuffer(320, 240);
    const std::string mismatch = test::matchGolden("tests/golden/reference_scene.png", image);
    EXPECT_TRUE(mismatch.empty()) << mismatch;
}

// The cheaper levels keep the look (lit, textured, shadowed), each against a picture of its own.
TEST(Renderer, ReferenceSceneAtTheCheaperLevelsMatchesTheirGoldenImages) {
    Window& window = test::glWindow();
    resize(window, 320, 240);
    for (RenderQuality quality : {RenderQuality::Medium, RenderQuality::Low}) {
        SCOPED_TRACE(qualityName(quality));
        QualityLevel level(quality);
        ReferenceScene scene;
        start(scene, window);
        scene.render(window, 0.0f);
        const test::Image image = test::readFramebuffer(320, 240);
        const std::string mismatch = test::matchGolden(
            std::string("tests/golden/reference_scene_") + qualityName(quality) + ".png", image);
        EXPECT_TRUE(mismatch.empty()) << mismatch;
    }
}

// A half-transparent mesh that comes first in the tree still shows the opaque one behind it:
// translucent materials are drawn after the opaque ones, blended, whatever the tree order.
TEST(Renderer, TranslucentMeshesAreBlendedOverTheOpaqueOnesBehindThem) {
    Window& window = test::glWindow();
    resize(window, 64, 64);
    BuiltScene scene([](Node3D& root) {
        auto glass = MaterialRegistry::instance().createMaterial("blend_test_glass");
        auto texture =
            std::make_shared<Solid2DTexture>("blend_test_half", glm::vec4(0.0f, 0.0f, 0.0f, 0.5f),
                                             Solid2DTexture::defaultParameters(TextureFormat::RGBA8));
        ASSERT_TRUE(texture->load());
        glass->setTexture(0, texture);
        auto& pane = root.createChild<MeshNode>("pane", makePlaneMesh(20.0f), glass);
        pane.translate({0, 3, 0});
        auto red = MaterialRegistry::instance().createSolidMaterial("blend_test_red");
        red->colour = {1.0f, 0.0f, 0.0f};
        root.createChild<MeshNode>("box", makeBoxMesh({4, 1, 4}), red);
        lookFrom(root, {0, 8, 0}, {0, 0, 0}, {0, 0, -1});
    });
    start(scene, window);
    scene.setClearColour({0.0f, 0.0f, 1.0f});
    scene.render(window, 0.0f);
    const test::Image image = test::readFramebuffer(64, 64);
    const auto* centre = image.pixel(32, 32);
    EXPECT_NEAR(centre[0], 128, 8) << "the red box behind the pane";
    EXPECT_LT(centre[2], 8) << "the clear colour instead of the box";
}

// F in the game: the readout shows the time between frames in the top left corner.
TEST(Renderer, FrameTimeReadoutShowsInTheCorner) {
    Window& window = test::glWindow();
    resize(window, 200, 200);
    BuiltScene scene([](Node3D& root) { lookFrom(root, {0, 8, 0}, {0, 0, 0}, {0, 0, -1}); });
    start(scene, window);
    Renderer& renderer = Renderer::instance();
    auto corner = [&] {
        scene.render(window, 0.0f);
        const test::Image image = test::readFramebuffer(200, 200);
        std::size_t bright = 0;
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 100; ++x)
                bright += image.luminance(x, y) > 128.0f;
        return bright;
    };
    EXPECT_EQ(corner(), 0u);
    renderer.setFrameTimeReadout(true);
    scene.render(window, 0.0f);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_GT(corner(), 20u);
    EXPECT_NE(renderer.frameTimeText().find(" ms"), std::string::npos) << renderer.frameTimeText();
    renderer.setFrameTimeReadout(false);
    EXPECT_EQ(corner(), 0u);
}

} // namespace
} // namespace hm
