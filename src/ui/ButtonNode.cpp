#include "ui/ButtonNode.h"

#include "app/InputCodes.h"
#include "render/GpuState.h"
#include "render/Mesh.h"
#include "render/ShaderLocations.h"

#include <algorithm>
#include <cmath>

namespace hm {

ButtonNode::ButtonNode(bool keepAspect, std::string name, Callback callback)
    : ImageNode(keepAspect, std::move(name)), onClickCallback_(std::move(callback)) {}

void ButtonNode::update(float dt) {
    glow_ = std::clamp(glow_ + (hovered() ? kGlowRate : -kGlowRate) * dt, 0.0f, 1.0f);
}

void ButtonNode::render(int pass) {
    const float g = shade_ * (1.0f + kMaxBrightening * glow_);
    prepareDraw();
    gpu::setUniform(shader::kButtonColour, glm::vec4(g, g, g, 1.0f));
    quad().draw(pass, false);
    gpu::setUniform(shader::kButtonColour, glm::vec4(1.0f));
}

void ButtonNode::setShade(float shade) {
    shade_ = std::isfinite(shade) ? std::clamp(shade, 0.0f, 1.0f) : 1.0f;
}

void ButtonNode::onClick(int button, int action) {
    if (button != MouseButton::Left || action != InputAction::Release || !onClickCallback_)
        return;
    // The callback may destroy this button (a scene switch, a panel rebuilt): work on a copy.
    Callback callback = onClickCallback_;
    callback();
}

} // namespace hm
