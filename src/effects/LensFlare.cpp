#include "effects/LensFlare.h"

#include "app/Log.h"
#include "app/Window.h"
#include "render/CameraNode.h"
#include "render/GpuState.h"
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

} // namespace

LensFlareNode::LensFlareNode(int index, float size) : ImageNode(true, "flare" + std::to_string(index)) {
    auto& registry = MaterialRegistry::instance();
    const std::string name = "&flare" + std::to_string(index);
    material_ = std::dynamic_pointer_cast<CanvasMaterial>(registry.findMaterial(name));
    if (!material_)
        material_ = registry.createCanvasMaterial(name);
    if (auto texture = loadTexture("lensflare/flare" + std::to_string(index) + ".png", TextureFormat::RGBA8,
                                   TextureFilter::Linear, TextureFilter::Linear, TextureWrap::ClampToEdge,
                                   TextureWrap::ClampToEdge))
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
                                                    Solid2DTexture::defaultParameters(TextureFormat::RGB8));
        if (red->load())
            material->setTexture(0, red);
    }
    occlusionObject_->setAnchor(0);
    occlusionObject_->scale(0.2f, 0.2f, 0.2f);
    occlusionObject_->setMaterial(material);
}

LensFlare::~LensFlare() = default;

void LensFlare::drawOcclusionObject(const glm::vec3& position, bool depthTest) {
    gpu::setDepthTest(depthTest);
    occlusionObject_->setTranslation(position);
    occlusionObject_->renderPass(3);
}

void LensFlare::run(Window& window, Scene& scene) {
    gpu::setDepthWrite(false);
    gpu::setColourWrite(false);

    const glm::ivec2 size = window.framebufferSize();
    const glm::vec2 sizeF(static_cast<float>(size.x), static_cast<float>(size.y));
    if (sizeF != lastSize_) {
        occlusionObject_->onFramebufferSize(window, size.x, size.y);
        for (auto& flare : flares_)
            flare->onFramebufferSize(window, size.x, size.y);
        lastSize_ = sizeF;
        if (!reference_.pending) {
            reference_.query.begin();
            reference_.pending = true;
            drawOcclusionObject({0.5f, 0.5f, 0.0f}, false);
            reference_.query.end();
        }
    }
    if (reference_.pending && reference_.query.resultReady()) {
        referenceSamples_ = static_cast<int>(reference_.query.samples());
        reference_.pending = false;
    }

    fade_ = 0.0f;
    const CameraNode* camera = scene.activeCamera();
    if (referenceSamples_ > 0 && camera) {
        const glm::vec3 sun = scene.sun() ? scene.sun()->getWorldPosition() : glm::vec3(0.0f);
        const glm::vec4 clip = camera->getProjection() * camera->getView() * glm::vec4(sun, 1.0f);
        sunPoint_ = clip.w > 0.0f
                        ? glm::vec2((clip.x / clip.w + 1.0f) * 0.5f, (clip.y / clip.w + 1.0f) * 0.5f)
                        : glm::vec2(-1.0f);

        if (sun_.pending && sun_.query.resultReady()) {
            const auto samples = static_cast<float>(sun_.query.samples());
            visibility_ = std::min(1.0f, samples / static_cast<float>(referenceSamples_));
            sun_.pending = false;
        }
        if (!sun_.pending) {
            sun_.query.begin();
            sun_.pending = true;
            drawOcclusionObject({sunPoint_.x, sunPoint_.y, -998.0f}, true);
            sun_.query.end();
        }

        fade_ = 1.0f - glm::distance(sunPoint_, glm::vec2(0.5f)) / kEdgeFadeDistance;
        if (fade_ > 0.0f) {
            gpu::setDepthTest(false);
            gpu::setBlend(gpu::Blend::Additive);
            gpu::setColourWrite(true);
            for (int i = 0; i < kFlareCount; ++i) {
                LensFlareNode& flare = *flares_[static_cast<std::size_t>(i)];
                const float step = static_cast<float>(i) * kSpacing;
                flare.setTranslation({sunPoint_.x + step * (0.5f - sunPoint_.x),
                                      sunPoint_.y + step * (0.5f - sunPoint_.y), 0.0f});
                flare.ownMaterial()->opacity = fade_ * kMaxOpacity * visibility_;
                flare.renderPass(3);
            }
            gpu::setBlend(gpu::Blend::Alpha);
        }
    }
    gpu::setColourWrite(true);
    gpu::setDepthWrite(true);
}

} // namespace hm
