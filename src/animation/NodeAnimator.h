// Plays keyframed node animations of one scene. The scene creates it at construction and
// advances it every frame; the animation layer fills in the animations it plays.
#pragma once

namespace hm {

class NodeAnimator {
public:
    void update(float elapsed) {}
};

} // namespace hm
