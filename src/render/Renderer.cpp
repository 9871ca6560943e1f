#include "render/Renderer.h"

#include "app/Log.h"
#include "app/Window.h"
#include "effects/LensFlare.h"
#include "effects/ParticleSystem.h"
#include "render/CameraNode.h"
#include "render/LightNode.h"
#include "render/Material.h"
#include "render/RenderDevice.h"
#include "render/ShaderLibrary.h"
#include "render/ShaderLocations.h"
#include "scene/Node3D.h"
#include "scene/Scene.h"
#include "ui/Node2D.h"

#include <glm/gtc/matrix_transform.hpp>
#include <glm/gtc/type_ptr.hpp>

#include <cstdlib>

namespace hm {

namespace {

std::unique_ptr<Mesh> makeScreenQuad() {
    std::vector<Vertex> corners(4);
    corners[0].position = {0, 0, 0};
    corners[1].position = {1, 0, 0};
    corners[2].position = {1, 1, 0};
    corners[3].position = {0, 1, 0};
    for (auto& c : corners)
        c.texCoord = glm::vec2(c.position);
    return std::make_unique<Mesh>(corners, std::vector<std::uint32_t>{0, 1, 2, 0, 2, 3});
}

} // namespace

Renderer& Renderer::instance() {
    Renderer* renderer = RenderDevice::current().renderer();
    if (!renderer) {
        spdlog::critical("The renderer was asked for where there is no OpenGL context.");
        spdlog::default_logger()->flush();
        std::abort();
    }
    return *renderer;
}

Renderer::Renderer() {
    GLuint buffer = 0;
    glGenBuffers(1, &buffer);
    uniformBuffer_.reset(buffer);
    glBindBuffer(GL_UNIFORM_BUFFER, buffer);
    glBufferData(GL_UNIFORM_BUFFER, sizeof(SceneUniforms), nullptr, GL_STREAM_DRAW);
    glBindBufferBase(GL_UNIFORM_BUFFER, shader::kSceneBlockBinding, buffer);
    glBindBuffer(GL_UNIFORM_BUFFER, 0);

    GLuint framebuffer = 0;
    glGenFramebuffers(1, &framebuffer);
    shadowFramebuffer_.reset(framebuffer);
    for (auto& depth : depthTextures_) {
        GLuint texture = 0;
        glGenTextures(1, &texture);
        depth.reset(texture);
        glBindTexture(GL_TEXTURE_2D, texture);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_DEPTH_COMPONENT32, ShadowCascades::kMapSize,
                     ShadowCascades::kMapSize, 0, GL_DEPTH_COMPONENT, GL_FLOAT, nullptr);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_COMPARE_FUNC, GL_LEQUAL);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_COMPARE_MODE, GL_COMPARE_REF_TO_TEXTURE);
    }
    glBindTexture(GL_TEXTURE_2D, 0);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_TEXTURE_2D, depthTextures_[0].get(), 0);
    glDrawBuffer(GL_NONE);
    glReadBuffer(GL_NONE);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);

    shadowProgram_ = ShaderLibrary::instance().getProgram("shadowmap");
    brightnessMaterial_ = MaterialRegistry::instance().createMaterial("brightness");
    brightnessMaterial_->setShader("brightness");
    screenQuad_ = makeScreenQuad();
}

Renderer::~Renderer() = default;

void Renderer::prepareContext(const glm::vec3& clearColour) {
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    glClearColor(clearColour.r, clearColour.g, clearColour.b, 1.0f);
}

void Renderer::upload() {
    glBindBuffer(GL_UNIFORM_BUFFER, uniformBuffer_.get());
    glBufferSubData(GL_UNIFORM_BUFFER, 0, sizeof(SceneUniforms), &uniforms_);
    glBindBuffer(GL_UNIFORM_BUFFER, 0);
    // Another renderer user (a test, a tool) may have bound its own buffer in between.
    glBindBufferBase(GL_UNIFORM_BUFFER, shader::kSceneBlockBinding, uniformBuffer_.get());
}

void Renderer::updateUniforms(Scene& scene) {
    const CameraNode* camera = scene.activeCamera();
    SunLight* sun = scene.sun();
    const glm::vec3 sunDirection = sun ? sun->worldDirection() : glm::vec3(0.0f);

    CameraFrustum frustum;
    if (camera) {
        frustum.view = camera->getView();
        frustum.fieldOfView = camera->getFieldOfView();
        frustum.aspect = camera->getAspect();
        frustum.nearPlane = camera->getNear();
    }
    cascades_.update(frustum, sunDirection);

    uniforms_.view = camera ? camera->getView() : glm::mat4(1.0f);
    uniforms_.projection = camera ? camera->getProjection() : glm::mat4(1.0f);
    for (int k = 0; k < ShadowCascades::kCount; ++k) {
        uniforms_.lightView[k] = cascades_.lightView[static_cast<std::size_t>(k)];
        uniforms_.lightProjection[k] = cascades_.lightProjection[static_cast<std::size_t>(k)];
    }
    uniforms_.cascadeEnds =
        glm::vec4(cascades_.splits[0], cascades_.splits[1], cascades_.splits[2], 99999.0f);
    if (sun) {
        uniforms_.sunDirection = glm::vec4(sunDirection, 1.0f);
        uniforms_.sunColour = glm::vec4(sun->colour * sun->intensity, 1.0f);
        uniforms_.sunAmbient = glm::vec4(sun->ambient, 1.0f);
    } else {
        uniforms_.sunDirection = glm::vec4(0.0f, 0.0f, 0.0f, 1.0f);
        uniforms_.sunColour = glm::vec4(0.0f);
        uniforms_.sunAmbient = glm::vec4(0.0f);
    }

    const auto& lights = scene.lights();
    if (lights.size() > static_cast<std::size_t>(kLightCount))
        spdlog::warn(
            "There are more lights than {0} in the scene. Increase the LIGHT_COUNT if you really need that.",
            kLightCount);
    const std::size_t count = std::min(lights.size(), static_cast<std::size_t>(kLightCount));
    for (std::size_t i = 0; i < count; ++i)
        uniforms_.lights[i] = lights[i]->getLightData();
    uniforms_.lightCount = static_cast<std::int32_t>(count);
    upload();
}

void Renderer::render(Window& window, Scene& scene, float value) {
    const glm::ivec2 size = window.framebufferSize();
    if (size.x <= 0 || size.y <= 0)
        return;
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    updateUniforms(scene);
    shadowPass(scene, value);
    mainPass(scene, value, size.x, size.y);

    // Particles: blended over the opaque scene, tested against its depth but not writing it.
    glDepthMask(GL_FALSE);
    glEnable(GL_BLEND);
    for (ParticleSystem* system : std::vector<ParticleSystem*>(scene.particleSystems()))
        system->draw();
    glDepthMask(GL_TRUE);

    // The 2D layer works in the unit square: x and y from 0 to 1.
    uniforms_.projection = glm::ortho(0.0f, 1.0f, 0.0f, 1.0f, -10.0f, 999.0f);
    upload();
    if (!lensFlare_)
        lensFlare_ = std::make_unique<LensFlare>();
    if (scene.sun())
        lensFlare_->run(window, scene);
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glBlendFuncSeparate(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_ONE, GL_ONE);
    if (Node2D* root = scene.root2D())
        root->renderPass(4);

    brightnessPass();
    glEnable(GL_DEPTH_TEST);
}

void Renderer::shadowPass(Scene& scene, float value) {
    Node3D* root = scene.root3D();
    glViewport(0, 0, ShadowCascades::kMapSize, ShadowCascades::kMapSize);
    glUseProgram(shadowProgram_);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, shadowFramebuffer_.get());
    for (int k = 0; k < ShadowCascades::kCount; ++k) {
        glEnable(GL_DEPTH_TEST);
        glFramebufferTexture2D(GL_DRAW_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_TEXTURE_2D,
                               depthTextures_[static_cast<std::size_t>(k)].get(), 0);
        glClear(GL_DEPTH_BUFFER_BIT);
        glUniform1i(shader::kShadowCascade, k);
        if (root && scene.sun())
            root->renderTree(0, value);
    }
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
}

void Renderer::mainPass(Scene& scene, float value, int width, int height) {
    glViewport(0, 0, width, height);
    glUseProgram(0);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    const glm::vec3& clear = scene.clearColour();
    glClearColor(clear.r, clear.g, clear.b, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    drawSkybox(scene);
    for (int k = 0; k < ShadowCascades::kCount; ++k) {
        glActiveTexture(GL_TEXTURE0 + shader::kFirstShadowCascadeUnit + k);
        glBindTexture(GL_TEXTURE_2D, depthTextures_[static_cast<std::size_t>(k)].get());
    }
    glActiveTexture(GL_TEXTURE0);
    if (Node3D* root = scene.root3D())
        root->renderTree(1, value);
}

void Renderer::drawSkybox(Scene& scene) {
    const auto& material = scene.skyboxMaterial();
    const CameraNode* camera = scene.activeCamera();
    if (!material || !camera)
        return;
    glDepthFunc(GL_LEQUAL);
    material->use();
    const glm::mat4 sky = camera->getProjection() * glm::mat4(glm::mat3(camera->getView()));
    glUniformMatrix4fv(shader::kSkyboxMatrix, 1, GL_FALSE, glm::value_ptr(sky));
    RenderDevice::current().skybox()->draw(1, false);
    glDepthFunc(GL_LESS);
}

void Renderer::brightnessPass() {
    if (brightness == 1.0)
        return;
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);
    brightnessMaterial_->use();
    float factor;
    if (brightness > 1.0) {
        glBlendFunc(GL_DST_COLOR, GL_ONE);
        factor = static_cast<float>(brightness - 1.0);
    } else {
        glBlendFunc(GL_ZERO, GL_SRC_COLOR);
        factor = static_cast<float>(std::max(0.0, brightness));
    }
    const glm::vec4 factors(factor);
    glUniform4fv(shader::kBrightness, 1, glm::value_ptr(factors));
    screenQuad_->draw(1, false);
    glUseProgram(0);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_DEPTH_TEST);
}

} // namespace hm
