#include "render/Renderer.h"

#include "app/Log.h"
#include "app/Window.h"
#include "effects/LensFlare.h"
#include "effects/ParticleSystem.h"
#include "render/CameraNode.h"
#include "render/LightNode.h"
#include "render/Material.h"
#include "render/MeshNode.h"
#include "render/RenderDevice.h"
#include "render/ShaderLibrary.h"
#include "render/ShaderLocations.h"
#include "render/Texture.h"
#include "scene/Node3D.h"
#include "scene/Scene.h"
#include "ui/Font.h"
#include "ui/Node2D.h"

#include <GL/glew.h>

#include <fmt/format.h>

#include <glm/gtc/matrix_transform.hpp>
#include <glm/gtc/type_ptr.hpp>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <tuple>
#include <utility>

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

// The 2D layer works in the unit square: x and y from 0 to 1. Its block holds a view and a
// projection, which is all the 2D shaders declare.
constexpr GLsizeiptr kTwoDBlockSize = 2 * sizeof(glm::mat4);

GLsizeiptr alignedUp(GLsizeiptr value, GLsizeiptr alignment) {
    return (value + alignment - 1) / alignment * alignment;
}

void collectMeshNodes(Node3D& node, std::vector<MeshNode*>& out) {
    if (node.hasMesh())
        if (auto* mesh = dynamic_cast<MeshNode*>(&node); mesh && mesh->shown())
            out.push_back(mesh);
    for (const auto& child : node.getChildren())
        collectMeshNodes(*child, out);
}

// The six planes of the box a view-projection matrix maps onto clip space, pointing inwards.
using ViewPlanes = std::array<glm::vec4, 6>;

ViewPlanes viewPlanes(const glm::mat4& m) {
    const glm::vec4 x(m[0][0], m[1][0], m[2][0], m[3][0]);
    const glm::vec4 y(m[0][1], m[1][1], m[2][1], m[3][1]);
    const glm::vec4 z(m[0][2], m[1][2], m[2][2], m[3][2]);
    const glm::vec4 w(m[0][3], m[1][3], m[2][3], m[3][3]);
    ViewPlanes planes{w + x, w - x, w + y, w - y, w + z, w - z};
    for (auto& plane : planes) {
        const float length = glm::length(glm::vec3(plane));
        if (length > 0.0f)
            plane /= length;
    }
    return planes;
}

// False only when the sphere lies wholly outside one of the planes (a NaN keeps it in view).
bool mayBeSeen(const ViewPlanes& planes, const glm::vec3& centre, float radius) {
    for (const auto& plane : planes)
        if (glm::dot(glm::vec3(plane), centre) + plane.w < -radius)
            return false;
    return true;
}

// The mesh's bounding sphere where the node draws it; a skinned mesh's bones may carry its
// vertices anywhere, so it has none (radius below zero).
std::pair<glm::vec3, float> worldBound(const MeshNode& node) {
    const Mesh& mesh = *node.mesh();
    if (mesh.flag != 0)
        return {glm::vec3(0.0f), -1.0f};
    const glm::mat4 world = node.getWorldMatrix();
    const float scale = std::max({glm::length(glm::vec3(world[0])), glm::length(glm::vec3(world[1])),
                                  glm::length(glm::vec3(world[2]))});
    return {glm::vec3(world * glm::vec4(mesh.boundCentre(), 1.0f)), mesh.boundRadius() * scale};
}

// Generic and canvas materials may write an alpha below 1 and are drawn blended; the lit and
// solid ones write 1 and need no blending.
bool mayBeTranslucent(const Material& material) {
    return material.typeId() == Material::Generic || material.typeId() == Material::Canvas;
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
    GLint alignment = 256;
    glGetIntegerv(GL_UNIFORM_BUFFER_OFFSET_ALIGNMENT, &alignment);
    twoDOffset_ = alignedUp(static_cast<GLsizeiptr>(sizeof(SceneUniforms)), std::max(alignment, 1));
    blockBytes_.assign(static_cast<std::size_t>(twoDOffset_ + kTwoDBlockSize), 0);
    const glm::mat4 twoD[2] = {glm::mat4(1.0f), glm::ortho(0.0f, 1.0f, 0.0f, 1.0f, -10.0f, 999.0f)};
    std::memcpy(blockBytes_.data() + twoDOffset_, twoD, sizeof(twoD));

    GLuint buffer = 0;
    glGenBuffers(1, &buffer);
    uniformBuffer_.reset(buffer);
    glBindBuffer(GL_UNIFORM_BUFFER, buffer);
    glBufferData(GL_UNIFORM_BUFFER, static_cast<GLsizeiptr>(blockBytes_.size()), blockBytes_.data(),
                 GL_STREAM_DRAW);
    glBindBuffer(GL_UNIFORM_BUFFER, 0);
    bindBlock(false);

    GLuint framebuffer = 0;
    glGenFramebuffers(1, &framebuffer);
    shadowFramebuffer_.reset(framebuffer);
    ensureShadowMaps(qualityProfile(quality_).shadowMapSize);

    auto& shaders = ShaderLibrary::instance();
    shadowProgram_ = shaders.getProgram("shadowmap");
    depthProgram_ = shaders.getProgram("depth");
    pbrProgram_ = shaders.getProgram("pbr");
    defaultProgram_ = shaders.getProgram("default");
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

void Renderer::setQuality(RenderQuality quality) {
    quality_ = quality;
    shadowFrame_ = 0;
}

TextureHandle Renderer::makeShadowMapArray(int size) {
    GLuint texture = 0;
    glGenTextures(1, &texture);
    TextureHandle handle(texture);
    glBindTexture(GL_TEXTURE_2D_ARRAY, texture);
    glTexImage3D(GL_TEXTURE_2D_ARRAY, 0, GL_DEPTH_COMPONENT32, size, size, ShadowCascades::kCount, 0,
                 GL_DEPTH_COMPONENT, GL_FLOAT, nullptr);
    glTexParameteri(GL_TEXTURE_2D_ARRAY, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D_ARRAY, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D_ARRAY, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D_ARRAY, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D_ARRAY, GL_TEXTURE_COMPARE_FUNC, GL_LEQUAL);
    glTexParameteri(GL_TEXTURE_2D_ARRAY, GL_TEXTURE_COMPARE_MODE, GL_COMPARE_REF_TO_TEXTURE);
    glBindTexture(GL_TEXTURE_2D_ARRAY, 0);
    return handle;
}

void Renderer::ensureShadowMaps(int size) {
    if (shadowMaps_ && shadowMapSize_ == size)
        return;
    shadowMaps_ = makeShadowMapArray(size);
    stillShadowMaps_.reset();
    casterCache_.invalidate();
    shadowMapSize_ = size;
    glBindFramebuffer(GL_FRAMEBUFFER, shadowFramebuffer_.get());
    glFramebufferTextureLayer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, shadowMaps_.get(), 0, 0);
    glDrawBuffer(GL_NONE);
    glReadBuffer(GL_NONE);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    shadowFrame_ = 0;
}

void Renderer::setShadowCaching(bool enabled) {
    // The cache's key holds all its content depends on, so it stays valid across a pause.
    shadowCaching_ = enabled;
}

void Renderer::ensureSceneTarget(int width, int height) {
    if (sceneFramebuffer_ && sceneSize_ == glm::ivec2(width, height))
        return;
    GLuint names[1] = {0};
    glGenFramebuffers(1, names);
    sceneFramebuffer_.reset(names[0]);
    glGenTextures(1, names);
    sceneColour_.reset(names[0]);
    glGenRenderbuffers(1, names);
    sceneDepth_.reset(names[0]);
    sceneSize_ = {width, height};

    glBindTexture(GL_TEXTURE_2D, sceneColour_.get());
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glBindTexture(GL_TEXTURE_2D, 0);
    glBindRenderbuffer(GL_RENDERBUFFER, sceneDepth_.get());
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, width, height);
    glBindRenderbuffer(GL_RENDERBUFFER, 0);
    glBindFramebuffer(GL_FRAMEBUFFER, sceneFramebuffer_.get());
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, sceneColour_.get(), 0);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, sceneDepth_.get());
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE)
        spdlog::error("The {0}x{1} scene framebuffer is incomplete; drawing at full size.", width, height);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
}

void Renderer::bindBlock(bool twoD) {
    if (twoD)
        glBindBufferRange(GL_UNIFORM_BUFFER, shader::kSceneBlockBinding, uniformBuffer_.get(), twoDOffset_,
                          kTwoDBlockSize);
    else
        glBindBufferRange(GL_UNIFORM_BUFFER, shader::kSceneBlockBinding, uniformBuffer_.get(), 0,
                          static_cast<GLsizeiptr>(sizeof(SceneUniforms)));
}

void Renderer::updateUniforms(Scene& scene) {
    const QualityProfile& profile = qualityProfile(quality_);
    const CameraNode* camera = scene.activeCamera();
    SunLight* sun = scene.sun();
    const glm::vec3 sunDirection = sun ? sun->worldDirection() : glm::vec3(0.0f);

    // A shadow map drawn only every few frames keeps the light matrices it was drawn with.
    const bool shadowsDue = shadowFrame_ == 0;
    if (shadowsDue) {
        CameraFrustum frustum;
        if (camera) {
            frustum.view = camera->getView();
            frustum.fieldOfView = camera->getFieldOfView();
            frustum.aspect = camera->getAspect();
            frustum.nearPlane = camera->getNear();
        }
        cascades_.update(frustum, sunDirection, profile.shadowCascades, profile.shadowMapSize);
    }

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

    // One write per frame. Re-specifying the store lets the driver hand out fresh memory
    // instead of waiting for the draws of the last frame that still read the old contents.
    std::memcpy(blockBytes_.data(), &uniforms_, sizeof(SceneUniforms));
    glBindBuffer(GL_UNIFORM_BUFFER, uniformBuffer_.get());
    glBufferData(GL_UNIFORM_BUFFER, static_cast<GLsizeiptr>(blockBytes_.size()), blockBytes_.data(),
                 GL_STREAM_DRAW);
    glBindBuffer(GL_UNIFORM_BUFFER, 0);
    // Another renderer user (a test, a tool) may have bound its own buffer in between.
    bindBlock(false);
}

GLuint Renderer::litProgram(const Material& material, bool hasLights) {
    const GLuint program = material.program();
    auto& shaders = ShaderLibrary::instance();
    if (program == pbrProgram_) {
        // Slots that hold the shared default maps are read as constants: no texture fetch.
        static const char* const kDefaultSlotDefines[kPbrSlotCount] = {
            "", "#define DEFAULT_NORMAL\n", "#define DEFAULT_METALLIC\n", "#define DEFAULT_ROUGHNESS\n",
            "#define DEFAULT_OCCLUSION\n"};
        const auto& defaults = PBRMaterial::defaultTextures();
        unsigned key = (static_cast<unsigned>(quality_) << 8) | (hasLights ? 1u : 0u);
        for (int slot = 1; slot < kPbrSlotCount; ++slot) {
            const auto& fallback = defaults[static_cast<std::size_t>(slot)];
            const auto it = material.textures().find(slot);
            if (fallback && it != material.textures().end() && it->second == fallback)
                key |= 2u << slot;
        }
        if (const auto it = pbrVariants_.find(key); it != pbrVariants_.end())
            return it->second;
        std::string defines = qualityProfile(quality_).litDefines;
        if (hasLights)
            defines += "#define POINT_LIGHTS\n";
        for (int slot = 1; slot < kPbrSlotCount; ++slot)
            if (key & (2u << slot))
                defines += kDefaultSlotDefines[slot];
        const GLuint variant = shaders.getVariant("pbr", defines);
        pbrVariants_.emplace(key, variant);
        return variant;
    }
    if (program == defaultProgram_ && hasLights)
        return shaders.getVariant("default", "#define POINT_LIGHTS\n");
    return program;
}

void Renderer::collectDraws(Scene& scene) {
    draws_.clear();
    opaqueCount_ = 0;
    onTopStart_ = 0;
    Node3D* root = scene.root3D();
    if (!root)
        return;
    static std::vector<MeshNode*> nodes;
    nodes.clear();
    collectMeshNodes(*root, nodes);
    const bool hasLights = !scene.lights().empty();
    const glm::vec3 eye = glm::vec3(glm::inverse(uniforms_.view)[3]);
    const ViewPlanes camera = viewPlanes(uniforms_.projection * uniforms_.view);
    for (MeshNode* node : nodes) {
        if (!node->mesh())
            continue;
        const Material* material = node->material().get();
        const GLuint program = material ? litProgram(*material, hasLights) : 0u;
        const bool translucent = material && mayBeTranslucent(*material);
        const float distance = glm::distance(eye, glm::vec3(node->getWorldMatrix()[3]));
        const auto [centre, radius] = worldBound(*node);
        std::uint8_t seenBy =
            radius >= 0.0f && !mayBeSeen(camera, centre, radius) ? kEveryView & ~kCameraView : kEveryView;
        if (!node->castsShadow())
            seenBy &= kCameraView;
        draws_.push_back({node, material, program, translucent, distance, seenBy, node->drawnOnTop()});
    }
    // Opaque first, grouped by program, then material, then mesh, near to far; translucent
    // ones after them, far to near; the ones drawn on top last of all, far to near.
    std::stable_sort(draws_.begin(), draws_.end(), [](const Draw& a, const Draw& b) {
        if (a.onTop != b.onTop)
            return b.onTop;
        if (a.onTop)
            return a.distance > b.distance;
        if (a.translucent != b.translucent)
            return b.translucent;
        if (a.translucent)
            return a.distance > b.distance;
        return std::make_tuple(a.program, a.material, a.node->mesh().get(), a.distance) <
               std::make_tuple(b.program, b.material, b.node->mesh().get(), b.distance);
    });
    opaqueCount_ = static_cast<std::size_t>(
        std::find_if(draws_.begin(), draws_.end(), [](const Draw& d) { return d.translucent || d.onTop; }) -
        draws_.begin());
    onTopStart_ = static_cast<std::size_t>(
        std::find_if(draws_.begin(), draws_.end(), [](const Draw& d) { return d.onTop; }) - draws_.begin());
}

void Renderer::cullShadowCasters(int cascades) {
    std::array<ViewPlanes, ShadowCascades::kCount> boxes;
    for (int k = 0; k < cascades; ++k)
        boxes[static_cast<std::size_t>(k)] =
            viewPlanes(cascades_.lightProjection[static_cast<std::size_t>(k)] *
                       cascades_.lightView[static_cast<std::size_t>(k)]);
    for (Draw& draw : draws_) {
        const auto [centre, radius] = worldBound(*draw.node);
        if (radius < 0.0f)
            continue;
        for (int k = 0; k < cascades; ++k)
            if (!mayBeSeen(boxes[static_cast<std::size_t>(k)], centre, radius))
                draw.seenBy &= static_cast<std::uint8_t>(~(1u << k));
    }
}

void Renderer::drawList(std::size_t first, std::size_t last, bool withMaterials, GLuint program,
                        std::uint8_t view, Casters casters) {
    bound_ = Bound{};
    GLenum activeUnit = GL_TEXTURE0;
    for (std::size_t i = first; i < last; ++i) {
        const Draw& draw = draws_[i];
        if ((withMaterials && !draw.material) || !(draw.seenBy & view))
            continue;
        if (casters != Casters::All && draw.stillCaster != (casters == Casters::Still))
            continue;
        const GLuint wanted = withMaterials ? draw.program : program;
        const bool programChanged = wanted != bound_.program;
        if (programChanged) {
            glUseProgram(wanted);
            bound_.program = wanted;
            bound_.meshFlag = -1;
        }
        if (withMaterials && (programChanged || draw.material != bound_.material)) {
            for (const auto& [slot, texture] : draw.material->textures()) {
                if (!texture || slot < 0 || slot >= static_cast<int>(bound_.textures.size()))
                    continue;
                auto& boundName = bound_.textures[static_cast<std::size_t>(slot)];
                if (texture->id() != 0 && texture->id() == boundName)
                    continue;
                const GLenum unit = GL_TEXTURE0 + static_cast<GLenum>(slot);
                if (unit != activeUnit) {
                    glActiveTexture(unit);
                    activeUnit = unit;
                }
                texture->bind();
                boundName = texture->id();
            }
            draw.material->applyUniforms();
            bound_.material = draw.material;
        }
        const Mesh& mesh = *draw.node->mesh();
        mesh.ensureUploaded();
        if (bound_.meshFlag != mesh.flag) {
            glUniform1i(shader::kMeshFlag, mesh.flag);
            bound_.meshFlag = mesh.flag;
        }
        draw.node->applyDrawUniforms();
        if (mesh.vertexArray() != bound_.vertexArray) {
            glBindVertexArray(mesh.vertexArray());
            bound_.vertexArray = mesh.vertexArray();
        }
        glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(mesh.indices().size()), GL_UNSIGNED_INT, nullptr);
    }
    if (activeUnit != GL_TEXTURE0)
        glActiveTexture(GL_TEXTURE0);
    if (bound_.vertexArray != ~0u)
        glBindVertexArray(0);
}

void Renderer::render(Window& window, Scene& scene, float value) {
    const glm::ivec2 size = window.framebufferSize();
    if (size.x <= 0 || size.y <= 0)
        return;
    const QualityProfile& profile = qualityProfile(quality_);
    ensureShadowMaps(profile.shadowMapSize);
    updateUniforms(scene);
    collectDraws(scene);
    if (shadowFrame_ == 0) {
        PassScope timed(passTimer_, PassTimer::Shadow);
        shadowPass(scene, value);
    }
    shadowFrame_ = (shadowFrame_ + 1) % std::max(profile.shadowRefresh, 1);

    // Below a render scale of 1 the 3D picture is drawn smaller and scaled up afterwards.
    const glm::ivec2 sceneSize =
        profile.renderScale < 1.0f
            ? glm::max(glm::ivec2(glm::round(glm::vec2(size) * profile.renderScale)), glm::ivec2(1))
            : size;
    const bool scaled = sceneSize != size;
    if (scaled)
        ensureSceneTarget(sceneSize.x, sceneSize.y);
    glBindFramebuffer(GL_FRAMEBUFFER, scaled ? sceneFramebuffer_.get() : 0);
    mainPass(scene, sceneSize.x, sceneSize.y);

    // Particles: blended over the opaque scene, tested against its depth but not writing it.
    {
        PassScope timed(passTimer_, PassTimer::Particles);
        glDepthMask(GL_FALSE);
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        for (ParticleSystem* system : std::vector<ParticleSystem*>(scene.particleSystems()))
            system->draw();
        glDepthMask(GL_TRUE);
    }
    bindBlock(true);
    if (!lensFlare_)
        lensFlare_ = std::make_unique<LensFlare>();
    // The flare tests the sun against the scene's depth: with a smaller picture it is drawn into
    // that picture, before the scale-up, so only the colour has to be copied.
    if (scene.sun()) {
        PassScope timed(passTimer_, PassTimer::Flare);
        lensFlare_->run(window, scene);
    }
    if (scaled) {
        PassScope timed(passTimer_, PassTimer::Upscale);
        glBindFramebuffer(GL_READ_FRAMEBUFFER, sceneFramebuffer_.get());
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
        glBlitFramebuffer(0, 0, sceneSize.x, sceneSize.y, 0, 0, size.x, size.y, GL_COLOR_BUFFER_BIT,
                          GL_LINEAR);
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        glViewport(0, 0, size.x, size.y);
    }
    {
        PassScope timed(passTimer_, PassTimer::Hud);
        glDisable(GL_DEPTH_TEST);
        glEnable(GL_BLEND);
        glBlendFuncSeparate(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_ONE, GL_ONE);
        if (Node2D* root = scene.root2D())
            root->renderPass(4);
        drawFrameTimeReadout(size);
    }
    if (brightness != 1.0) {
        PassScope timed(passTimer_, PassTimer::Brightness);
        brightnessPass();
    }
    glEnable(GL_DEPTH_TEST);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    // The 2D block stays bound, for 2D drawing after the frame.
    if (passTimer_.enabled())
        passTimer_.collect();
}

void Renderer::setFrameTimeReadout(bool shown) {
    readoutShown_ = shown;
    readoutText_.clear();
    readoutSeconds_ = 0.0;
    readoutFrames_ = 0;
    lastFrame_ = {};
}

void Renderer::drawFrameTimeReadout(const glm::ivec2& size) {
    if (!readoutShown_)
        return;
    const auto now = std::chrono::steady_clock::now();
    if (lastFrame_ != std::chrono::steady_clock::time_point{}) {
        readoutSeconds_ += std::chrono::duration<double>(now - lastFrame_).count();
        ++readoutFrames_;
    }
    lastFrame_ = now;
    if (readoutFrames_ > 0 && (readoutSeconds_ >= 0.5 || readoutText_.empty())) {
        const double ms = 1000.0 * readoutSeconds_ / readoutFrames_;
        readoutText_ =
            fmt::format("{:.1f} ms  {:.0f} fps  {}", ms, 1000.0 / std::max(ms, 1e-3), qualityName(quality_));
        readoutSeconds_ = 0.0;
        readoutFrames_ = 0;
    }
    if (readoutText_.empty())
        return;
    const Font& font = FontCache::instance().getFont("Oetztype", std::max(12, size.y / 45));
    const float lineHeight = font.measure("0", size).y;
    font.renderText(readoutText_, 0.01f, 0.99f - lineHeight, 0.0f, glm::vec3(1.0f, 1.0f, 0.6f), 1.0f, size);
}

void Renderer::renderFlat(Window& window, Scene& scene) {
    const glm::ivec2 size = window.framebufferSize();
    if (size.x <= 0 || size.y <= 0)
        return;
    updateUniforms(scene);
    collectDraws(scene);
    glViewport(0, 0, size.x, size.y);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glDisable(GL_BLEND);
    glEnable(GL_DEPTH_TEST);
    glClearColor(0.3f, 0.4f, 0.5f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    const GLuint solid = ShaderLibrary::instance().getProgram("solid");
    glUseProgram(solid);
    glUniform3f(shader::kMaterialParameter, 0.6f, 0.55f, 0.5f);
    drawList(0, draws_.size(), false, solid, kCameraView);
    glUseProgram(0);
}

void Renderer::shadowPass(Scene& scene, float value) {
    const QualityProfile& profile = qualityProfile(quality_);
    glViewport(0, 0, shadowMapSize_, shadowMapSize_);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, shadowFramebuffer_.get());
    glEnable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
    lastShadowCacheUse_ = ShadowCasterCache::Use::DrawAll;
    if (!scene.sun()) {
        casterCache_.invalidate();
        for (int k = 0; k < profile.shadowCascades; ++k) {
            glFramebufferTextureLayer(GL_DRAW_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, shadowMaps_.get(), 0, k);
            glClear(GL_DEPTH_BUFFER_BIT);
        }
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
        return;
    }
    // Translucent meshes cast shadows too, as they always have. A cascade draws only the
    // casters that reach into its box.
    cullShadowCasters(profile.shadowCascades);

    if (shadowCaching_) {
        casterCache_.beginFrame();
        const auto cascadeBits = static_cast<std::uint8_t>((1u << profile.shadowCascades) - 1u);
        for (Draw& draw : draws_) {
            // What casts no shadow is no part of the cascades' content.
            if (!draw.node->castsShadow()) {
                draw.stillCaster = false;
                continue;
            }
            const Mesh* mesh = draw.node->mesh().get();
            draw.stillCaster =
                casterCache_.record(draw.node, mesh, draw.node->getWorldMatrix(), mesh->flag != 0,
                                    static_cast<std::uint8_t>(draw.seenBy & cascadeBits));
        }
        std::array<glm::mat4, ShadowCascades::kCount> light;
        for (std::size_t k = 0; k < light.size(); ++k)
            light[k] = cascades_.lightProjection[k] * cascades_.lightView[k];
        lastShadowCacheUse_ = casterCache_.endFrame(light.data(), profile.shadowCascades, shadowMapSize_);
    }

    using Use = ShadowCasterCache::Use;
    if (lastShadowCacheUse_ == Use::DrawAll) {
        drawCascades(shadowMaps_.get(), profile.shadowCascades, true, Casters::All);
    } else {
        if (lastShadowCacheUse_ == Use::Rebuild) {
            if (!stillShadowMaps_)
                stillShadowMaps_ = makeShadowMapArray(shadowMapSize_);
            drawCascades(stillShadowMaps_.get(), profile.shadowCascades, true, Casters::Still);
        }
        glCopyImageSubData(stillShadowMaps_.get(), GL_TEXTURE_2D_ARRAY, 0, 0, 0, 0, shadowMaps_.get(),
                           GL_TEXTURE_2D_ARRAY, 0, 0, 0, 0, shadowMapSize_, shadowMapSize_,
                           profile.shadowCascades);
        if (std::any_of(draws_.begin(), draws_.end(),
                        [](const Draw& d) { return !d.stillCaster && d.node->castsShadow(); }))
            drawCascades(shadowMaps_.get(), profile.shadowCascades, false, Casters::Moving);
    }
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
}

void Renderer::drawCascades(GLuint maps, int cascades, bool clear, Casters casters) {
    for (int k = 0; k < cascades; ++k) {
        glFramebufferTextureLayer(GL_DRAW_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, maps, 0, k);
        if (clear)
            glClear(GL_DEPTH_BUFFER_BIT);
        glUseProgram(shadowProgram_);
        glUniform1i(shader::kShadowCascade, k);
        drawList(0, draws_.size(), false, shadowProgram_, static_cast<std::uint8_t>(1u << k), casters);
    }
}

void Renderer::mainPass(Scene& scene, int width, int height) {
    const QualityProfile& profile = qualityProfile(quality_);
    glViewport(0, 0, width, height);
    const glm::vec3& clear = scene.clearColour();
    glClearColor(clear.r, clear.g, clear.b, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glActiveTexture(GL_TEXTURE0 + shader::kFirstShadowCascadeUnit);
    glBindTexture(GL_TEXTURE_2D_ARRAY, shadowMaps_.get());
    glActiveTexture(GL_TEXTURE0);
    glDisable(GL_BLEND);
    glEnable(GL_DEPTH_TEST);

    // The pre-pass covers the lit meshes, whose vertex shader computes its position exactly as
    // the depth program does; the colour pass then shades only the surface it sees.
    if (profile.depthPrepass) {
        PassScope timed(passTimer_, PassTimer::DepthPrepass);
        glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
        glUseProgram(depthProgram_);
        GLuint vertexArray = ~0u;
        int flag = -1;
        for (std::size_t i = 0; i < opaqueCount_; ++i) {
            const Draw& draw = draws_[i];
            if (!draw.material || draw.material->program() != pbrProgram_ || !(draw.seenBy & kCameraView))
                continue;
            const Mesh& mesh = *draw.node->mesh();
            mesh.ensureUploaded();
            if (flag != mesh.flag) {
                glUniform1i(shader::kMeshFlag, mesh.flag);
                flag = mesh.flag;
            }
            draw.node->applyDrawUniforms();
            if (mesh.vertexArray() != vertexArray) {
                glBindVertexArray(mesh.vertexArray());
                vertexArray = mesh.vertexArray();
            }
            glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(mesh.indices().size()), GL_UNSIGNED_INT,
                           nullptr);
        }
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
        glDepthFunc(GL_LEQUAL);
    }
    {
        PassScope timed(passTimer_, PassTimer::Opaque);
        drawList(0, opaqueCount_, true, 0, kCameraView);
    }
    glDepthFunc(GL_LESS);
    {
        // Drawn last, at the far plane, only where nothing else is.
        PassScope timed(passTimer_, PassTimer::Sky);
        drawSkybox(scene);
    }
    if (opaqueCount_ < onTopStart_) {
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        drawList(opaqueCount_, onTopStart_, true, 0, kCameraView);
    }
    if (onTopStart_ < draws_.size()) {
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        glDisable(GL_DEPTH_TEST);
        drawList(onTopStart_, draws_.size(), true, 0, kCameraView);
        glEnable(GL_DEPTH_TEST);
    }
}

void Renderer::drawSkybox(Scene& scene) {
    const auto& material = scene.skyboxMaterial();
    const CameraNode* camera = scene.activeCamera();
    if (!material || !camera)
        return;
    glDepthFunc(GL_LEQUAL);
    glDepthMask(GL_FALSE);
    material->use();
    const glm::mat4 sky = camera->getProjection() * glm::mat4(glm::mat3(camera->getView()));
    glUniformMatrix4fv(shader::kSkyboxMatrix, 1, GL_FALSE, glm::value_ptr(sky));
    RenderDevice::current().skybox()->draw(1, false);
    glDepthMask(GL_TRUE);
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
