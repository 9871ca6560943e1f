#include "effects/LensFlare.h"

#include "app/Log.h"
#include "app/Window.h"
#include "render/CameraNode.h"
#include "render/LightNode.h"
#include "render/Material.h"
#include "render/Solid2DTexture.h"
#include "render/TextureRegistry.h"
#include "scene/Scene.h"

#include <glm/geometric.hpp>

#include <algorithm>

namespace hm {

namespace {

constexpr float kFlareSizes[LensFlare::kFlareCount] = {0.5f,  0.23f,  0.1f, 0.05f, 0.02f, 0.06f, 0.12f,
                                                       0.07f, 0.012f, 0.2f, 0.1f,  0.07f, 0.3f,  0.4f};

GLuint createQuery() {
    GLuint name = 0;
    glGenQueries(1, &name);
    if (name == 0)
        spdlog::error("Creation of opengl query failed.");
    return name;
}

} // namespace

LensFlareNode::LensFlareNode(int index, float size) : ImageNode(true, "flare" + std::to_string(index)) {
    auto& registry = MaterialRegistry::instance();
    const std::string name = "&flare" + std::to_string(index);
    material_ = std::dynamic_pointer_cast<CanvasMaterial>(registry.findMaterial(name));
    if (!material_)
        material_ = registry.createCanvasMaterial(name);
    if (auto texture = loadTexture("lensflare/flare" + std::to_string(index) + ".png", GL_RGBA8, GL_LINEAR,
                                   GL_LINEAR, GL_CLAMP_TO_EDGE, GL_CLAMP_TO_EDGE))
        material_->setTexture(0, texture);
    setAnchor(0);
    scale(size, size, size);
    setMaterial(material_);
}

LensFlare::LensFlare() {
    for (int i = 0; i < kFlareCount; ++i)
        flares_[static_cast<std::size_t>(i)] = std::make_unique<LensFlareNode>(i, kFlareSizes[i]);
    occlusionObject_ = std::make_unique<ImageNode>(true, "occObject");
    auto& registry = MaterialRegistry::instance();
    auto material = std::dynamic_pointer_cast<CanvasMaterial>(registry.findMaterial("?occObjectMaterial"));
    if (!material) {
        material = registry.createCanvasMaterial("?occObjectMaterial");
        auto red = std::make_shared<Solid2DTexture>("?occObjectRed", glm::vec4(1.0f, 0.0f, 0.0f, 1.0f),
                                                    Solid2DTexture::defaultParameters(GL_RGB8));
        if (red->load())
            material->setTexture(0, red);
    }
    occlusionObject_->setAnchor(0);
    occlusionObject_->scale(0.2f, 0.2f, 0.2f);
    occlusionObject_->setMaterial(material);
    reference_.name = createQuery();
    sun_.name = createQuery();
}

LensFlare::~LensFlare() {
    for (Query* q : {&reference_, &sun_})
        if (q->name)
            glDeleteQueries(1, &q->name);
}

void LensFlare::drawOcclusionObject(const glm::vec3& position, bool depthTest) {
    if (depthTest)
        glEnable(GL_DEPTH_TEST);
    else
        glDisable(GL_DEPTH_TEST);
    occlusionObject_->setTranslation(position);
    occlusionObject_->renderPass(3);
}

void LensFlare::run(Window& window, Scene& scene) {
    glDepthMask(GL_FALSE);
    glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);

    const glm::ivec2 size = window.framebufferSize();
    const glm::vec2 sizeF(static_cast<float>(size.x), static_cast<float>(size.y));
    if (sizeF != lastSize_) {
        occlusionObject_->onFramebufferSize(window, size.x, size.y);
        for (auto& flare : flares_)
            flare->onFramebufferSize(window, size.x, size.y);
        lastSize_ = sizeF;
    }
    if (reference_.pending) {
        GLuint available = 0;
        glGetQueryObjectuiv(reference_.name, GL_QUERY_RESULT_AVAILABLE, &available);
        if (available) {
            GLuint samples = 0;
            glGetQueryObjectuiv(reference_.name, GL_QUERY_RESULT, &samples);
            referenceSamples_ = static_cast<int>(samples);
            reference_.pending = false;
        }
    }
    // Measured again whenever the size differs from the one the last reference was drawn at,
    // also when the window changed size while that query was still in flight.
    if (!reference_.pending && reference_.name && referenceSize_ != lastSize_) {
        glBeginQuery(GL_SAMPLES_PASSED, reference_.name);
        reference_.pending = true;
        referenceSize_ = lastSize_;
        drawOcclusionObject({0.5f, 0.5f, 0.0f}, false);
        glEndQuery(GL_SAMPLES_PASSED);
    }

    fade_ = 0.0f;
    const CameraNode* camera = scene.activeCamera();
    if (referenceSamples_ > 0 && camera) {
        const glm::vec3 sun = scene.sun() ? scene.sun()->getWorldPosition() : glm::vec3(0.0f);
        const glm::vec4 clip = camera->getProjection() * camera->getView() * glm::vec4(sun, 1.0f);
        sunPoint_ = clip.w > 0.0f
                        ? glm::vec2((clip.x / clip.w + 1.0f) * 0.5f, (clip.y / clip.w + 1.0f) * 0.5f)
                        : glm::vec2(-1.0f);

        if (sun_.pending) {
            GLuint available = 0;
            glGetQueryObjectuiv(sun_.name, GL_QUERY_RESULT_AVAILABLE, &available);
            if (available) {
                GLuint samples = 0;
                glGetQueryObjectuiv(sun_.name, GL_QUERY_RESULT, &samples);
                visibility_ =
                    std::min(1.0f, static_cast<float>(samples) / static_cast<float>(referenceSamples_));
                sun_.pending = false;
            }
        }
        if (!sun_.pending && sun_.name) {
            glBeginQuery(GL_SAMPLES_PASSED, sun_.name);
            sun_.pending = true;
            drawOcclusionObject({sunPoint_.x, sunPoint_.y, -998.0f}, true);
            glEndQuery(GL_SAMPLES_PASSED);
        }

        fade_ = 1.0f - glm::distance(sunPoint_, glm::vec2(0.5f)) / kEdgeFadeDistance;
        if (fade_ > 0.0f) {
            glDisable(GL_DEPTH_TEST);
            glEnable(GL_BLEND);
            glBlendFunc(GL_SRC_ALPHA, GL_ONE);
            glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
            for (int i = 0; i < kFlareCount; ++i) {
                LensFlareNode& flare = *flares_[static_cast<std::size_t>(i)];
                const float step = static_cast<float>(i) * kSpacing;
                flare.setTranslation({sunPoint_.x + step * (0.5f - sunPoint_.x),
                                      sunPoint_.y + step * (0.5f - sunPoint_.y), 0.0f});
                flare.ownMaterial()->opacity = fade_ * kMaxOpacity * visibility_;
                flare.renderPass(3);
            }
            glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        }
    }
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glDepthMask(GL_TRUE);
}

} // namespace hm
