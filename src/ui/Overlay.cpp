#include "ui/Overlay.h"

#include "app/Log.h"
#include "render/Material.h"

#include <cmath>

namespace hm {

Overlay::Overlay(FadeState fadeState, std::string name, const glm::vec4& colour, float fadeSpeed)
    : ImageNode(false, std::move(name)), fadeState_(fadeState) {
    setFadeSpeed(fadeSpeed);
    // A veil only tints the screen; the world behind it still takes the pointer.
    setCatchesPointer(false);
    ownMaterial_ = std::make_shared<CanvasMaterial>("?overlay " + getName());
    ownMaterial_->setShader("canvas");
    ownMaterial_->setColour(colour);
    setMaterial(ownMaterial_);
    if (fadeState == FadeState::Transparent || fadeState == FadeState::FadingIn) {
        setMode(DisplayMode::Hidden);
        alpha_ = 0.0f;
    } else {
        alpha_ = 1.0f;
    }
    ownMaterial_->opacity = alpha_;
}

void Overlay::setFadeSpeed(float speed) {
    if (!(speed >= 0.0f) || !std::isfinite(speed)) {
        spdlog::warn("Overlay {0} ignores the fade speed {1}.", getName(), speed);
        return;
    }
    fadeSpeed_ = speed;
}

void Overlay::update(float dt) {
    if (fadeState_ == FadeState::FadingIn) {
        alpha_ += dt * fadeSpeed_;
        if (alpha_ >= 1.0f) {
            alpha_ = 1.0f;
            fadeState_ = FadeState::Opaque;
        }
    } else if (fadeState_ == FadeState::FadingOut) {
        alpha_ -= dt * fadeSpeed_;
        if (alpha_ <= 0.0f) {
            alpha_ = 0.0f;
            fadeState_ = FadeState::Transparent;
            setMode(DisplayMode::Hidden);
        }
    } else {
        return;
    }
    ownMaterial_->opacity = alpha_;
}

} // namespace hm
