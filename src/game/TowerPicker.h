// Which built tower the mouse pointer is on. Towers have no body for the pointer's ray to hit (a
// body would stop the shots that leave their muzzles): a tower counts as hit where the ray meets
// the upright space it fills above its plot, nearer than whatever the ray hit in the world.
// Pointing at the plot a tower stands on counts as pointing at the tower.
#pragma once

namespace hm {

class Node3D;
class Scene;
class Tower;
class TowerBase;

// The space a built tower fills above its plot, for the pointer.
constexpr float kTowerPickRadius = 0.45f;
constexpr float kTowerPickHeight = 1.8f;

// The tower under the pointer of the scene's cursor observer, or null (also when a widget takes
// the pointer).
Tower* towerUnderPointer(const Scene& scene);
// The plot a node belongs to (the node itself or an ancestor), or null.
TowerBase* plotOf(Node3D* node);

} // namespace hm
