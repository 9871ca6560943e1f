// The ring on the ground that shows how far a tower reaches.
//
// Hovering a built tower (or its plot) shows that tower's range around its plot. With a free
// plot selected, hovering a building card shows that card's tower range around the selected
// plot, so the player sees what a tower would cover before buying it. The ring follows the
// ground: each point of it is dropped onto the terrain with a ray, so it reads on slopes and
// hillsides. Rings are built once per plot and tower kind and kept.
#pragma once

#include "game/Prototypes.h"
#include "render/MeshNode.h"

#include <map>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace hm {

class BuildingCardPanel;
class Mesh;
class TowerBase;

class RangeRing : public MeshNode {
public:
    static constexpr int kSegments = 128;
    static constexpr float kWidth = 0.14f; // world units
    static constexpr float kLift = 0.05f;  // above the ground, so the ground does not hide it
    // The space a built tower fills above its plot, for the pointer.
    static constexpr float kTowerRadius = 0.45f;
    static constexpr float kTowerHeight = 1.8f;

    // The panel whose hovered card previews a range; may be null.
    explicit RangeRing(BuildingCardPanel* cards);

    void render(float elapsed, int pass) override;
    // A hidden ring offers the renderer nothing to draw.
    bool hasMesh() const override { return shown_; }
    void update(float dt) override;
    std::unique_ptr<Node3D> copy() const override { return std::unique_ptr<Node3D>(new RangeRing(*this)); }
    std::string getTypeName() const override { return "RangeRing"; }

    // What the ring shows this frame, from the hovered node, the hovered card and the selected
    // plot; null when nothing is to be shown.
    struct Choice {
        TowerBase* base = nullptr;
        TowerType type = TowerType::ARROW;
    };
    std::optional<Choice> choose() const;

    // The ring around a plot for a tower kind, built on first use.
    void show(TowerBase& base, TowerType type);
    void hide() { shown_ = false; }
    bool shown() const { return shown_; }
    const std::optional<Choice>& current() const { return current_; }
    // World-space points of the ring's centre line for a plot and range (tests read them).
    std::vector<glm::vec3> groundPoints(TowerBase& base, float range) const;

protected:
    RangeRing(const RangeRing& source) = default;

private:
    std::shared_ptr<Mesh> buildMesh(TowerBase& base, float range) const;

    BuildingCardPanel* cards_;
    std::map<std::pair<int, int>, std::shared_ptr<Mesh>> meshes_;
    std::optional<Choice> current_;
    bool shown_ = false;
};

} // namespace hm
