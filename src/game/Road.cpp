#include "game/Road.h"

#include "animation/Animation.h"
#include "animation/NodeAnimator.h"
#include "scene/Node3D.h"

#include <glm/geometric.hpp>
#include <glm/mat4x4.hpp>

#include <algorithm>
#include <cmath>

namespace hm {

std::string Road::carrierName(int number) {
    return number <= 1 ? "EnemyPathNode" : "EnemyPathNode" + std::to_string(number);
}

std::string Road::animationName(int number) {
    return number <= 1 ? "EnemyPath" : "EnemyPath" + std::to_string(number);
}

std::string Road::spawnPointName(int number) {
    return number <= 1 ? "EnemySpawnPoint" : "EnemySpawnPoint" + std::to_string(number);
}

std::vector<Road> Road::findAll(Node3D& root, const NodeAnimator& animator) {
    std::vector<Road> roads;
    for (int number = 1;; ++number) {
        Node3D* carrier = root.findByName(carrierName(number));
        auto path = animator.stashed(animationName(number));
        if (!carrier || !carrier->getParent() || !path || path->channels.empty())
            break;
        roads.push_back(Road(number, carrier, root.findByName(spawnPointName(number)), *path));
    }
    return roads;
}

Road::Road(int number, Node3D* carrier, Node3D* spawnPoint, const Animation& path)
    : number_(number), carrier_(carrier), spawnPoint_(spawnPoint), animation_(animationName(number)),
      seconds_(path.durationSeconds()) {
    // The carrier's path in world space, sampled evenly in time.
    const glm::mat4 parent = carrier->getParent()->getWorldMatrix();
    const AnimationChannel& channel = path.channels.front();
    samples_.reserve(kSamples + 1);
    cumulative_.reserve(kSamples + 1);
    for (int k = 0; k <= kSamples; ++k) {
        const float tick = path.durationTicks() * static_cast<float>(k) / kSamples;
        samples_.emplace_back(parent * glm::vec4(channel.samplePosition(tick), 1.0f));
        cumulative_.push_back(k == 0 ? 0.0f
                                     : cumulative_.back() + glm::length(samples_[k] - samples_[k - 1]));
    }
}

float Road::distanceLeft(float progress) const {
    if (cumulative_.empty())
        return 0.0f;
    const float at = std::clamp(progress, 0.0f, 1.0f) * kSamples;
    const int k = std::min(static_cast<int>(at), kSamples - 1);
    const float f = at - static_cast<float>(k);
    const float done = cumulative_[k] + f * (cumulative_[k + 1] - cumulative_[k]);
    return std::max(length() - done, 0.0f);
}

} // namespace hm
