// A full-screen coloured veil that fades in or out.
//
// Without translation or scale the overlay covers the whole screen. Its canvas material is its
// own (never shared through the material registry, so two veils of the same name, say in a
// replayed level, do not fade each other). Fading out ends Transparent and Hidden; fading in
// ends Opaque. The display mode is otherwise the caller's: a veil made Transparent or FadingIn
// starts Hidden and is shown by setting its mode.
#pragma once

#include "ui/ImageNode.h"

#include <glm/vec4.hpp>

namespace hm {

enum class FadeState : std::int32_t { Transparent = 0, FadingOut = 1, Opaque = 2, FadingIn = 3 };

class Overlay : public ImageNode {
public:
    // colour: RGBA of the veil at full opacity; fadeSpeed: opacity gained or lost per second.
    Overlay(FadeState fadeState, std::string name, const glm::vec4& colour, float fadeSpeed);
    ~Overlay() override = default;

    void update(float dt) override;

    float alpha() const { return alpha_; }
    FadeState fadeState() const { return fadeState_; }
    void setFadeState(FadeState state) { fadeState_ = state; }
    float fadeSpeed() const { return fadeSpeed_; }
    // A negative or non-finite speed is refused with a warning and the speed stays (1 per second
    // when given to the constructor).
    void setFadeSpeed(float speed);

private:
    std::shared_ptr<CanvasMaterial> ownMaterial_;
    float alpha_ = 0.0f;
    FadeState fadeState_;
    float fadeSpeed_ = 1.0f;
};

} // namespace hm
