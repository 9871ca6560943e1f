// The height of what monsters walk on, at any point of the level seen from above: the ground with
// a physics body (the terrain, rocks) and the road meshes laid over it, which have no body and lie
// a little higher. Plots, towers, monsters and shots are looked past.
//
// The road meshes are the mesh nodes whose name begins with "Road"; their triangles are taken in
// world space once, when the probe is made, and filed in a grid seen from above.
#pragma once

#include <glm/vec3.hpp>

#include <map>
#include <optional>
#include <utility>
#include <vector>

namespace hm {

class Node3D;
class Scene;

class GroundProbe {
public:
    static constexpr float kCellSize = 0.5f;
    // How far above and below the given height a ray looks for the ground.
    static constexpr float kRayAbove = 8.0f;
    static constexpr float kRayBelow = 12.0f;

    struct Sample {
        float height = 0.0f;
        bool onRoad = false; // the road lies over the ground here
    };

    explicit GroundProbe(Scene& scene);

    // The surface at (x, z), searched from `near` + kRayAbove down to `near` − kRayBelow; nothing
    // where neither ground nor road is found.
    std::optional<Sample> at(float x, float z, float near) const;
    std::size_t roadTriangles() const { return road_.size() / 3; }

private:
    void collectRoads(Node3D& node);
    std::optional<float> roadHeight(float x, float z) const;
    std::optional<float> groundHeight(float x, float z, float near) const;

    Scene* scene_;
    std::vector<glm::vec3> road_; // three corners per triangle, world space
    std::map<std::pair<int, int>, std::vector<std::size_t>> cells_;
};

} // namespace hm
