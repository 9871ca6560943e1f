// The ring on the ground that shows how far a tower reaches.
//
// Hovering a built tower (or its plot) shows that tower's range around its plot; the selected
// tower shows its own, and the next level's while the pointer is on its upgrade button. With a
// free plot selected, hovering a building card shows that card's tower range around the selected
// plot, so the player sees what a tower would cover before buying it. A tower measures its reach
// in 3D, from itself to the monster's feet, so the ring lies where that sphere meets the ground
// and the road (GroundProbe): closer in where the road runs lower than the plot. It is drawn over
// the whole world, never hidden by the raised road or a plinth, and casts no shadow. Rings are
// built once per plot and range and kept.
#pragma once

#include "game/GroundProbe.h"
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
class TowerPanel;

class RangeRing : public MeshNode {
public:
    static constexpr int kSegments = 128;
    static constexpr float kWidth = 0.14f; // world units
    static constexpr float kLift = 0.03f;  // above the ground and road
    // Steps of the search for the sphere's edge along each direction, from the range inwards.
    static constexpr float kSearchStep = 0.05f;

    // The panel whose hovered card previews a range; may be null.
    explicit RangeRing(BuildingCardPanel* cards);
    // The panel of the selected tower, whose upgrade button previews the next level's range.
    void setTowerPanel(TowerPanel* panel) { towerPanel_ = panel; }

    void update(float dt) override;
    std::unique_ptr<Node3D> copy() const override { return std::unique_ptr<Node3D>(new RangeRing(*this)); }
    std::string getTypeName() const override { return "RangeRing"; }

    // What the ring shows this frame, from the hovered node, the hovered card and the selected
    // plot; null when nothing is to be shown.
    struct Choice {
        TowerBase* base = nullptr;
        TowerType type = TowerType::ARROW;
        int level = 1;
    };
    std::optional<Choice> choose() const;

    // The ring around a plot for a tower kind at a level, built on first use.
    void show(TowerBase& base, TowerType type, int level = 1);
    void hide() { setShown(false); }
    const std::optional<Choice>& current() const { return current_; }

    struct RingPoint {
        glm::vec3 position{0.0f}; // on the ground or road, where the range sphere meets it
        bool onRoad = false;
    };
    // The ring's centre line for a plot and range: kSegments points around the plot, each at
    // `range` in 3D from the plot's top (where a tower stands and measures from).
    std::vector<RingPoint> groundPoints(TowerBase& base, float range);

protected:
    RangeRing(const RangeRing& source) = default;

private:
    std::shared_ptr<Mesh> buildMesh(TowerBase& base, float range);
    const GroundProbe& probe();

    BuildingCardPanel* cards_;
    TowerPanel* towerPanel_ = nullptr;
    std::map<std::pair<int, float>, std::shared_ptr<Mesh>> meshes_;
    std::optional<Choice> current_;
    std::shared_ptr<GroundProbe> probe_; // made on first use, when the level stands
};

} // namespace hm
