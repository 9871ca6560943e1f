// Motion state of a simulated body. Bullet calls setWorldTransform for active dynamic bodies
// only, which is how the physics scene learns which bodies moved during a step; kinematic
// bodies read their target pose from here.
#pragma once

#include "physics/PhysicsScene.h"

#include <LinearMath/btMotionState.h>
#include <LinearMath/btTransform.h>

namespace hm {

class BodyMotionState : public btMotionState {
public:
    BodyMotionState(Node3DBody* owner, const btTransform& start) : owner_(owner), transform_(start) {}
    void getWorldTransform(btTransform& out) const override { out = transform_; }
    void setWorldTransform(const btTransform& in) override {
        transform_ = in;
        if (scene_)
            scene_->noteMoved(owner_, lastReported_);
    }
    void setTransform(const btTransform& t) { transform_ = t; }
    const btTransform& transform() const { return transform_; }
    void attach(PhysicsScene* scene) { scene_ = scene; }

private:
    Node3DBody* owner_;
    btTransform transform_;
    PhysicsScene* scene_ = nullptr;
    std::uint64_t lastReported_ = 0;
};

} // namespace hm
