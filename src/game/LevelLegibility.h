// What a player sees of a level from its first camera ("camera_main" as it stands when the
// "Intro" flight has ended) in an 800 x 800 window: monsters tall enough to tell apart, plots large
// enough to click, and nothing between the camera and a plot. Sizes come from projecting the
// meshes' bounding boxes through the camera, so nothing is drawn and no display is needed.
//
// The legibility test and the level checker measure with these functions and share the figures
// below; docs/level-design.md repeats them for designers.
#pragma once

#include "game/Prototypes.h"

#include <glm/mat4x4.hpp>
#include <glm/vec2.hpp>
#include <glm/vec3.hpp>

#include <limits>
#include <optional>
#include <vector>

namespace hm {

class CameraNode;
class Node3D;
class PhysicsScene;
class Scene;
class Window;

namespace legibility {

// The window the figures are measured in.
inline constexpr float kScreenPixels = 800.0f;
// Smallest on-screen height of a monster anywhere on a road, in pixels (the small floating monster
// hovers with a glowing heart and only has to stay visible).
float minimumMonsterPixels(EnemyType type);
// Smallest width of a plot's tower base on screen, in pixels.
inline constexpr float kMinimumPlotPixels = 30.0f;
// Scenery with a collision body keeps this far (in units, on the ground plane) from every road
// and from every plot; otherwise a click meant for the road or a plot may land on it.
inline constexpr float kSceneryRoadClearance = 0.7f;
inline constexpr float kSceneryPlotClearance = 0.8f;
// A plot counts as hidden when a click ray aimed at one of these points of its top (the centre
// and four points at this share of the way to its edges) meets something else first.
inline constexpr float kSightPointSpread = 0.6f;

} // namespace legibility

// An axis-aligned box; empty until a point is added.
struct Bounds {
    glm::vec3 low{std::numeric_limits<float>::max()};
    glm::vec3 high{std::numeric_limits<float>::lowest()};

    void add(const glm::vec3& p);
    bool empty() const { return low.x > high.x; }
    glm::vec3 centre() const { return (low + high) * 0.5f; }
    // The distance from p to the box on the ground plane (x and z); 0 inside.
    float flatDistance(const glm::vec3& p) const;
    // The box moved by a matrix (the box around its eight moved corners).
    Bounds transformed(const glm::mat4& matrix) const;
};

// The box around every mesh vertex of the subtree, in the frame toFrame maps world space into.
Bounds meshBounds(const Node3D& node, const glm::mat4& toFrame = glm::mat4(1.0f));

// Advances the scene in steps of 1/60 s until its "Intro" flight has ended (at once when it has
// none), so that the first camera stands where the player first takes over.
void playUntilIntroEnds(Scene& scene, Window& window);

// The picture one camera takes, in window pixels with the origin at the top left.
class ScreenView {
public:
    explicit ScreenView(const CameraNode& camera, float pixels = legibility::kScreenPixels);

    // nullopt for a point behind the camera.
    std::optional<glm::vec2> pixel(const glm::vec3& p) const;
    bool onScreen(const glm::vec2& p) const;
    const glm::vec3& eye() const { return eye_; }

private:
    glm::mat4 viewProjection_;
    glm::vec3 eye_;
    float pixels_;
};

// A monster on a road: its smallest height on screen over the road's samples, and the first
// sample where it leaves the picture (or stands behind the camera).
struct MonsterSight {
    float smallestPixels = std::numeric_limits<float>::max();
    std::optional<glm::vec3> offScreenAt;
};
// box: the monster's meshes in its own frame (unscaled); scale: the prototype's scale. A hovering
// monster's height counts from the road.
MonsterSight monsterOnRoad(const ScreenView& view, const std::vector<glm::vec3>& road, const Bounds& box,
                           float scale);

// A plot's tower base on screen: its width in pixels and whether all of it is in the picture.
struct PlotPicture {
    float acrossPixels = 0.0f;
    bool inFrame = false;
};
PlotPicture plotOnScreen(const ScreenView& view, const Bounds& worldBox);

// What a click ray from the eye meets first when aimed at the top of a plot: null when every ray
// reaches the plot (the subtree of plotNode), else the node in the way; reachesNothing when a
// ray meets no body at all (the plot has nothing to click).
struct PlotSightLine {
    const Node3D* hiddenBy = nullptr;
    bool reachesNothing = false;
    bool clear() const { return !hiddenBy && !reachesNothing; }
};
PlotSightLine plotSightLine(const PhysicsScene& physics, const glm::vec3& eye, const Bounds& worldBox,
                            const Node3D& plotNode);

} // namespace hm
