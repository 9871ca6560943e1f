// The health bar over a monster that has been hurt.
//
// The bar floats above the monster's head and always faces the camera. Its green-to-red part is
// as wide as the health left over the full health; the dark rest shows what is gone. It is
// hidden while the monster is unhurt and once it is dying. The bar keeps the same size on
// screen wherever the monster is (a fixed fraction of the view's height), so it reads at
// 800 x 800 from the level's starting camera and when zoomed out.
#pragma once

#include "game/Enemy.h"
#include "render/MeshNode.h"

#include <glm/vec3.hpp>

namespace hm {

// What the bar shows for a monster's health and state.
struct HealthBarLook {
    bool visible = false;
    float fraction = 1.0f;  // health over full health, 0 to 1
    glm::vec3 colour{0.0f}; // green when whole, yellow at half, red near the end
};

HealthBarLook healthBarLook(float health, float fullHealth, EnemyState state);

// One coloured part of the bar: hidden until the bar shows, and it casts no shadow.
class HealthBarPart : public MeshNode {
public:
    explicit HealthBarPart(std::string name);
    std::unique_ptr<Node3D> copy() const override {
        return std::unique_ptr<Node3D>(new HealthBarPart(*this));
    }

protected:
    HealthBarPart(const HealthBarPart& source) = default;
};

// Child of an Enemy; follows its parent's health.
class HealthBar : public Node3D {
public:
    // Width as a fraction of the view's height; the height is a sixth of the width.
    static constexpr float kScreenWidth = 0.055f;
    static constexpr float kAspect = 1.0f / 6.0f;
    // Gap between the head and the bar, in world units.
    static constexpr float kGap = 0.1f;
    // Colour steps; each step is one shared material.
    static constexpr int kColourSteps = 16;

    HealthBar();

    void onSceneChanged(Scene*) override {}
    void onWindowChanged(Window*) override {}
    void render(float, int) override {}
    void update(float dt) override;
    std::string getTypeName() const override { return "HealthBar"; }
    std::unique_ptr<Node3D> copy() const override { return std::unique_ptr<Node3D>(new HealthBar(*this)); }

    const HealthBarLook& look() const { return look_; }

protected:
    HealthBar(const HealthBar& source);

private:
    HealthBarPart* part(std::size_t index) const;

    HealthBarLook look_;
};

} // namespace hm
