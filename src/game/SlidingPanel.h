// A HUD panel that slides up from below the screen and back: the building cards and the panel
// of the selected tower. It moves one screen height per second of the player's own time and is
// Disabled (neither drawn nor clickable) once it is out.
#pragma once

#include "ui/Node2D.h"

#include <cstdint>

namespace hm {

enum class SlideState : std::int32_t { Open = 0, SlidingIn = 1, SlidingOut = 2, Gone = 3 };

class SlidingPanel : public Node2D {
public:
    // Where the panel's origin rests while it is out.
    static constexpr float kHiddenY = -0.4f;

    explicit SlidingPanel(std::string name);
    void update(float dt) override;

    // Shows the panel and slides it in, unless it is already in or coming in.
    void slideIn();
    // Slides it out, unless it is already out or going.
    void slideOut();
    SlideState slideState() const { return slideState_; }

private:
    SlideState slideState_ = SlideState::Gone;
};

} // namespace hm
