// The sun's lens flare: a chain of fourteen additive flare images from the sun's point on the
// screen towards the centre, fading near the screen edge and dimmed by how much of the sun is
// hidden behind the scene. The hidden share comes from two occlusion queries on a small 2D
// object drawn at the sun's point: once unhidden as the reference, once behind the scene.
// Query results are read in a later frame, so visibility lags a frame or two.
#pragma once

#include "render/OcclusionQuery.h"
#include "ui/ImageNode.h"

#include <glm/vec2.hpp>

#include <array>
#include <memory>

namespace hm {

class CanvasMaterial;
class Scene;
class Window;

class LensFlareNode : public ImageNode {
public:
    LensFlareNode(int index, float size);
    const std::shared_ptr<CanvasMaterial>& ownMaterial() const { return material_; }

private:
    std::shared_ptr<CanvasMaterial> material_;
};

class LensFlare {
public:
    static constexpr int kFlareCount = 14;
    static constexpr float kEdgeFadeDistance = 0.7f;
    static constexpr float kSpacing = 0.16f;
    static constexpr float kMaxOpacity = 0.6f;

    LensFlare();
    ~LensFlare();

    // Draws the flare for this frame; the block's projection must already be the 2D one.
    void run(Window& window, Scene& scene);

    float visibility() const { return visibility_; }
    int referenceSamples() const { return referenceSamples_; }
    // The sun's point on the screen in the last frame ((-1, -1) behind the camera).
    const glm::vec2& sunPoint() const { return sunPoint_; }
    float lastFade() const { return fade_; }
    const LensFlareNode& flare(int index) const { return *flares_[static_cast<std::size_t>(index)]; }

private:
    struct Query {
        OcclusionQuery query;
        bool pending = false;
    };

    void drawOcclusionObject(const glm::vec3& position, bool depthTest);

    std::array<std::unique_ptr<LensFlareNode>, kFlareCount> flares_;
    std::unique_ptr<ImageNode> occlusionObject_;
    Query reference_;
    Query sun_;
    int referenceSamples_ = -1;
    float visibility_ = 0.0f;
    glm::vec2 lastSize_{0.0f};
    glm::vec2 sunPoint_{-1.0f};
    float fade_ = 0.0f;
};

} // namespace hm
