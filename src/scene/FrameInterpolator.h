// Smooth drawing of a world that advances in fixed steps.
//
// A scene whose rules, physics and animation move in whole steps (the level: 1/60 s) would draw
// the same picture on every frame between two steps and then jump: on a display faster than the
// step, or with an uneven timer, that is a visible stutter. The interpolator draws in between
// instead: after every step it records the world matrix of every node of the 3D tree; before a
// frame is drawn it moves each node that moved between the last two steps to its pose a share
// alpha of the way from the step before to the last step (translation and scale blended linearly,
// rotation along the shorter arc), and after drawing it puts the step's pose back. The drawn
// world is therefore up to one step behind the simulated one, and the simulated one is never
// touched: rules, bodies and picking see only the poses of whole steps.
//
// A node that appeared in the last step, or was moved after it (between steps, by the pointer
// or a key), is drawn where it is. Only the world matrix is blended: skeletal poses and particles
// still advance by steps.
#pragma once

#include <glm/mat4x4.hpp>

#include <cstddef>
#include <memory>
#include <unordered_map>
#include <vector>

namespace hm {

class Node3D;

class FrameInterpolator {
public:
    // Records the world matrices of the tree as the last step's poses; the poses recorded before
    // become the step before.
    void captureStep(Node3D& root);
    // Forgets both steps (a new world, or a jump that must not be blended).
    void clear();
    // Moves every node that moved between the last two steps to its blended pose: alpha 0 is the
    // step before, 1 the last step. Call restore before the world is updated again.
    void apply(float alpha);
    // Puts back every pose apply replaced.
    void restore();

    std::size_t nodeCount() const { return current_.size(); }

    // The pose a share alpha of the way from a to b (exposed for tests).
    static glm::mat4 blend(const glm::mat4& a, const glm::mat4& b, float alpha);

private:
    struct Pose {
        Node3D* node = nullptr;
        std::weak_ptr<const void> token; // expires with the node, so a reused address is no match
        glm::mat4 world{1.0f};
    };

    std::vector<Pose> previous_;
    std::vector<Pose> current_;
    std::unordered_map<const Node3D*, std::size_t> previousIndex_;
    bool indexStale_ = true;
    std::vector<Pose> replaced_; // the poses apply replaced, to be put back
};

} // namespace hm
