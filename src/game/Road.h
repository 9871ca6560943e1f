// One road of a level: the carrier template its path animation moves, the point where its
// monsters appear, the animation's name and the road measured along that animation, so that
// towers can compare monsters on different roads by the distance each has left to the core.
//
// Road 1 is "EnemyPathNode" moved by "EnemyPath" from "EnemySpawnPoint"; road N (N >= 2) is
// "EnemyPathNodeN", "EnemyPathN" and "EnemySpawnPointN".
#pragma once

#include <glm/vec3.hpp>

#include <memory>
#include <string>
#include <vector>

namespace hm {

class Animation;
class Node3D;
class NodeAnimator;

class Road {
public:
    // Road samples per play of the path animation; enough for shares to a tenth of a percent.
    static constexpr int kSamples = 1000;

    static std::string carrierName(int number);
    static std::string animationName(int number);
    static std::string spawnPointName(int number);

    // Every road of a level tree, from road 1 up to the first number the tree lacks (a carrier
    // template with a parent and its stashed path animation make a road).
    static std::vector<Road> findAll(Node3D& root, const NodeAnimator& animator);

    int number() const { return number_; }
    Node3D* carrierTemplate() const { return carrier_; }
    Node3D* spawnPoint() const { return spawnPoint_; }
    const std::string& animation() const { return animation_; }
    float length() const { return cumulative_.empty() ? 0.0f : cumulative_.back(); }
    float seconds() const { return seconds_; }
    // The carrier's world positions, evenly spaced in time over one play of the path.
    const std::vector<glm::vec3>& samples() const { return samples_; }
    // The distance along the road still to go at a share of the path's time (0 at the gate, 1 at
    // the core).
    float distanceLeft(float progress) const;

private:
    Road(int number, Node3D* carrier, Node3D* spawnPoint, const Animation& path);

    int number_;
    Node3D* carrier_;
    Node3D* spawnPoint_;
    std::string animation_;
    float seconds_ = 0.0f;
    std::vector<glm::vec3> samples_;
    std::vector<float> cumulative_; // distance from the gate at each sample
};

} // namespace hm
