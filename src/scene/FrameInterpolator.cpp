#include "scene/FrameInterpolator.h"

#include "scene/Node3D.h"

#include <glm/geometric.hpp>
#include <glm/gtc/matrix_transform.hpp>
#include <glm/gtc/quaternion.hpp>

#include <algorithm>
#include <cmath>

namespace hm {

namespace {

struct Parts {
    glm::vec3 translation{0.0f};
    glm::quat rotation{1.0f, 0.0f, 0.0f, 0.0f};
    glm::vec3 scale{1.0f};
};

glm::mat4 compose(const Parts& p) {
    return glm::scale(glm::translate(glm::mat4(1.0f), p.translation) * glm::mat4_cast(p.rotation), p.scale);
}

// Translation, rotation and scale of a matrix; false when it has none (a collapsed axis) or when
// they do not give the matrix back (shear), so that the caller blends the matrix as it is.
bool decompose(const glm::mat4& m, Parts& out) {
    glm::vec3 axes[3] = {glm::vec3(m[0]), glm::vec3(m[1]), glm::vec3(m[2])};
    for (int i = 0; i < 3; ++i) {
        out.scale[i] = glm::length(axes[i]);
        if (!(out.scale[i] > 1e-8f) || !std::isfinite(out.scale[i]))
            return false;
        axes[i] /= out.scale[i];
    }
    // A mirrored frame keeps its mirror in the scale, so that the rest is a rotation.
    if (glm::dot(glm::cross(axes[0], axes[1]), axes[2]) < 0.0f) {
        out.scale.x = -out.scale.x;
        axes[0] = -axes[0];
    }
    out.rotation = glm::normalize(glm::quat_cast(glm::mat3(axes[0], axes[1], axes[2])));
    out.translation = glm::vec3(m[3]);
    const glm::mat4 back = compose(out);
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r)
            if (std::abs(back[c][r] - m[c][r]) > 1e-4f * (1.0f + std::abs(m[c][r])))
                return false;
    return true;
}

} // namespace

glm::mat4 FrameInterpolator::blend(const glm::mat4& a, const glm::mat4& b, float alpha) {
    Parts pa, pb;
    if (!decompose(a, pa) || !decompose(b, pb))
        return a + (b - a) * alpha;
    Parts mixed;
    mixed.translation = glm::mix(pa.translation, pb.translation, alpha);
    mixed.scale = glm::mix(pa.scale, pb.scale, alpha);
    // The shorter way round: q and -q are the same rotation.
    const glm::quat to = glm::dot(pa.rotation, pb.rotation) < 0.0f ? -pb.rotation : pb.rotation;
    mixed.rotation = glm::normalize(glm::slerp(pa.rotation, to, alpha));
    return compose(mixed);
}

void FrameInterpolator::captureStep(Node3D& root) {
    previous_.swap(current_);
    current_.clear();
    indexStale_ = true;
    std::vector<Node3D*> stack{&root};
    while (!stack.empty()) {
        Node3D* node = stack.back();
        stack.pop_back();
        current_.push_back({node, node->lifetimeToken(), node->getWorldMatrix()});
        for (const auto& child : node->getChildren())
            stack.push_back(child.get());
    }
}

void FrameInterpolator::clear() {
    previous_.clear();
    current_.clear();
    previousIndex_.clear();
    indexStale_ = true;
}

void FrameInterpolator::apply(float alpha) {
    restore();
    if (previous_.empty() || current_.empty())
        return;
    if (indexStale_) {
        previousIndex_.clear();
        previousIndex_.reserve(previous_.size());
        for (std::size_t i = 0; i < previous_.size(); ++i)
            previousIndex_[previous_[i].node] = i;
        indexStale_ = false;
    }
    const float a = std::isfinite(alpha) ? std::clamp(alpha, 0.0f, 1.0f) : 1.0f;
    for (const Pose& now : current_) {
        if (now.token.expired())
            continue;
        auto it = previousIndex_.find(now.node);
        if (it == previousIndex_.end())
            continue;
        const Pose& before = previous_[it->second];
        // The same address may belong to a node made after the other one was destroyed.
        if (before.token.owner_before(now.token) || now.token.owner_before(before.token))
            continue;
        if (before.world == now.world || now.node->getWorldMatrix() != now.world)
            continue;
        replaced_.push_back({now.node, now.token, now.world});
        now.node->setDrawnWorldMatrix(blend(before.world, now.world, a));
    }
}

void FrameInterpolator::restore() {
    // Latest first, so a node replaced twice ends with its first saved pose.
    for (auto it = replaced_.rbegin(); it != replaced_.rend(); ++it)
        if (!it->token.expired())
            it->node->setDrawnWorldMatrix(it->world);
    replaced_.clear();
}

} // namespace hm
