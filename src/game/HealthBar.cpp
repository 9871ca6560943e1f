#include "game/HealthBar.h"

#include "render/CameraNode.h"
#include "render/Material.h"
#include "render/Mesh.h"
#include "scene/Scene.h"

#include <glm/geometric.hpp>
#include <glm/gtc/matrix_transform.hpp>
#include <glm/matrix.hpp>

#include <algorithm>
#include <cmath>

namespace hm {

namespace {

// A unit quad from (0, -0.5) to (1, 0.5) facing +z; the parts stretch it from the bar's left end.
std::shared_ptr<Mesh> barMesh() {
    // Shared by the bars that exist, and gone with the last of them: its GL objects belong to the
    // context of the level that drew them, and a later window makes its own.
    static std::weak_ptr<Mesh> shared;
    if (auto mesh = shared.lock())
        return mesh;
    std::vector<Vertex> corners(4);
    const glm::vec3 positions[4] = {{0, -0.5f, 0}, {1, -0.5f, 0}, {1, 0.5f, 0}, {0, 0.5f, 0}};
    for (int i = 0; i < 4; ++i) {
        corners[i].position = positions[i];
        corners[i].normal = {0.0f, 0.0f, 1.0f};
        corners[i].texCoord = {positions[i].x, positions[i].y + 0.5f};
    }
    auto mesh = std::make_shared<Mesh>(std::move(corners), std::vector<std::uint32_t>{0, 1, 2, 0, 2, 3});
    shared = mesh;
    return mesh;
}

std::shared_ptr<Material> solidMaterial(const std::string& name, const glm::vec3& colour) {
    auto& registry = MaterialRegistry::instance();
    if (auto existing = registry.findMaterial(name))
        return existing;
    auto material = registry.createSolidMaterial(name);
    material->colour = colour;
    return material;
}

// The shared material of the colour step nearest to the look's colour.
std::shared_ptr<Material> fillMaterial(float fraction) {
    const int step = std::clamp(static_cast<int>(std::lround(fraction * (HealthBar::kColourSteps - 1))), 0,
                                HealthBar::kColourSteps - 1);
    const float stepFraction = static_cast<float>(step) / static_cast<float>(HealthBar::kColourSteps - 1);
    return solidMaterial("healthBar" + std::to_string(step),
                         healthBarLook(stepFraction, 1.0f, EnemyState::Walking).colour);
}

} // namespace

HealthBarLook healthBarLook(float health, float fullHealth, EnemyState state) {
    HealthBarLook look;
    if (!(fullHealth > 0.0f) || !std::isfinite(health))
        return look;
    look.fraction = std::clamp(health / fullHealth, 0.0f, 1.0f);
    const bool living = state == EnemyState::Walking || state == EnemyState::Attacking;
    look.visible = living && look.fraction < 1.0f;
    // Red to yellow over the lower half, yellow to green over the upper half (linear colours).
    const float f = look.fraction;
    look.colour =
        f < 0.5f ? glm::vec3(0.9f, 1.5f * f, 0.02f) : glm::vec3(0.9f * 2.0f * (1.0f - f), 0.75f, 0.02f);
    return look;
}

HealthBarPart::HealthBarPart(std::string name) : MeshNode(std::move(name), barMesh(), nullptr) {
    setShown(false);
    setCastsShadow(false);
}

HealthBar::HealthBar() : Node3D("healthBar") {
    auto fill = std::make_unique<HealthBarPart>("healthBarFill");
    auto rest = std::make_unique<HealthBarPart>("healthBarRest");
    rest->setMaterial(solidMaterial("healthBarRest", {0.02f, 0.02f, 0.02f}));
    addChild(std::move(fill));
    addChild(std::move(rest));
}

HealthBar::HealthBar(const HealthBar& source) : Node3D(source), look_(source.look_) {}

HealthBarPart* HealthBar::part(std::size_t index) const {
    return index < getChildren().size() ? dynamic_cast<HealthBarPart*>(getChildren()[index].get()) : nullptr;
}

void HealthBar::update(float) {
    auto* enemy = dynamic_cast<Enemy*>(getParent());
    HealthBarPart* fill = part(0);
    HealthBarPart* rest = part(1);
    if (!enemy || !fill || !rest)
        return;
    look_ = healthBarLook(enemy->health(), enemy->prototype().health, enemy->state());
    Scene* scene = getScene();
    CameraNode* camera = scene ? scene->activeCamera() : nullptr;
    const bool shown = look_.visible && camera;
    fill->setShown(shown);
    rest->setShown(shown);
    if (!shown)
        return;

    // Above the head: the body's centre is halfway up, so the head is as far above it again.
    const glm::vec3 feet = enemy->getWorldPosition();
    const glm::vec3 centre = enemy->targetPoint().getWorldPosition();
    const float height = std::max(2.0f * (centre.y - feet.y), 0.2f);

    // The camera's axes from its view matrix (what is drawn), not from its node's transform.
    const glm::mat4 cameraWorld = glm::inverse(camera->getView());
    const glm::vec3 right = glm::normalize(glm::vec3(cameraWorld[0]));
    const glm::vec3 up = glm::normalize(glm::vec3(cameraWorld[1]));
    const glm::vec3 toward = glm::normalize(glm::vec3(cameraWorld[2]));
    const glm::vec3 eye = glm::vec3(cameraWorld[3]);
    const float focal = camera->getProjection()[1][1]; // 1 / tan(half the vertical field of view)
    glm::vec3 anchor = feet + glm::vec3(0.0f, height + kGap, 0.0f);
    const float distance = std::max(glm::dot(anchor - eye, -toward), 0.01f);
    const float width = kScreenWidth * 2.0f * distance / (focal > 0.0f ? focal : 1.0f);
    anchor.y += 0.5f * width * kAspect;

    glm::mat4 bar(1.0f);
    bar[0] = glm::vec4(right * width, 0.0f);
    bar[1] = glm::vec4(up * (width * kAspect), 0.0f);
    bar[2] = glm::vec4(toward, 0.0f);
    bar[3] = glm::vec4(anchor - right * (0.5f * width), 1.0f);
    setWorldMatrix(bar);

    const float f = look_.fraction;
    fill->setMaterial(fillMaterial(f));
    fill->setLocalMatrix(glm::scale(glm::mat4(1.0f), {std::max(f, 1e-4f), 1.0f, 1.0f}));
    rest->setLocalMatrix(glm::scale(glm::translate(glm::mat4(1.0f), {f, 0.0f, 0.0f}),
                                    {std::max(1.0f - f, 1e-4f), 1.0f, 1.0f}));
}

} // namespace hm
