#include "game/SlidingPanel.h"

namespace hm {

SlidingPanel::SlidingPanel(std::string name) : Node2D(std::move(name)) {
    translate(0.0f, kHiddenY - getWorldPosition().y, 0.0f);
}

void SlidingPanel::slideIn() {
    setMode(DisplayMode::Active);
    if (slideState_ == SlideState::SlidingOut || slideState_ == SlideState::Gone)
        slideState_ = SlideState::SlidingIn;
}

void SlidingPanel::slideOut() {
    if (slideState_ == SlideState::SlidingIn || slideState_ == SlideState::Open)
        slideState_ = SlideState::SlidingOut;
}

void SlidingPanel::update(float dt) {
    if (slideState_ != SlideState::SlidingIn && slideState_ != SlideState::SlidingOut)
        return;
    const float y = getWorldPosition().y;
    float next = slideState_ == SlideState::SlidingIn ? y + dt : y - dt;
    if (next > 0.0f) {
        next = 0.0f;
        slideState_ = SlideState::Open;
    } else if (next < kHiddenY) {
        next = kHiddenY;
        slideState_ = SlideState::Gone;
        setMode(DisplayMode::Disabled);
    }
    translate(0.0f, next - y, 0.0f);
}

} // namespace hm
