#include "game/Prototypes.h"

#include <algorithm>
#include <array>

namespace hm {

const std::map<TowerType, TowerPrototype>& towerPrototypes() {
    static const std::map<TowerType, TowerPrototype> table = {
        {TowerType::ARROW,
         {"ARROW", "tower_arrow.fbx", "TowerArrow", 120, 2.0f, 1.5f, 1.5f, ProjectileType::ARROW}},
        {TowerType::CANNON,
         {"CANNON", "tower_cannon.fbx", "TowerCannon", 250, 3.0f, 5.0f, 1.0f, ProjectileType::CANNONBALL}},
    };
    return table;
}

const std::map<EnemyType, EnemyPrototype>& enemyPrototypes() {
    static const std::map<EnemyType, EnemyPrototype> table = {
        {EnemyType::FLOATING_STONE_MONSTER,
         {"FLOATING_STONE_MONSTER", "enemy_floating_stone_monster.fbx", "EnemyFloatingStoneMonster", 50,
          50.0f, 0.08f, 0.6f, 1}},
        {EnemyType::WALKING_STONE_MONSTER,
         {"WALKING_STONE_MONSTER", "enemy_walking_stone_monster.fbx", "EnemyWalkingStoneMonster", 100, 150.0f,
          0.05f, 0.2f, 1}},
        {EnemyType::MASSIVE_STONE_MONSTER,
         {"MASSIVE_STONE_MONSTER", "enemy_massive_stone_monster.fbx", "EnemyMassiveStoneMonster", 0, 550.0f,
          0.07f, 0.32f, 1}},
    };
    return table;
}

const std::map<ProjectileType, ProjectilePrototype>& projectilePrototypes() {
    static const std::map<ProjectileType, ProjectilePrototype> table = {
        {ProjectileType::ARROW,
         {"ARROW", "projectile_arrow.fbx", "ProjectileArrow", 0.2f, 10.0f, 0.0f, 5.5555558f,
          ProjectileImpact::Stick}},
        {ProjectileType::CANNONBALL,
         {"CANNONBALL", "projectile_cannonball.fbx", "ProjectileCannonball", 0.2f, 50.0f, 1.0f, 10.0f,
          ProjectileImpact::Explode}},
    };
    return table;
}

const std::vector<std::pair<std::string, std::string>>& buildingBasePrototypes() {
    static const std::vector<std::pair<std::string, std::string>> list = {{"tower_base.fbx", "BuildingBase"}};
    return list;
}

const TowerPrototype& towerPrototype(TowerType type) {
    return towerPrototypes().at(type);
}
const EnemyPrototype& enemyPrototype(EnemyType type) {
    return enemyPrototypes().at(type);
}
const ProjectilePrototype& projectilePrototype(ProjectileType type) {
    return projectilePrototypes().at(type);
}

const TowerLevel& towerLevel(TowerType type, int level) {
    using Levels = std::array<TowerLevel, kTowerLevels>;
    // The upgrades: price, damage, range, seconds between shots, splash.
    static const std::map<TowerType, std::array<TowerLevel, kTowerLevels - 1>> upgrades = {
        {TowerType::ARROW, {{{100, 14.0f, 2.3f, 1.3f, 0.0f}, {160, 20.0f, 2.6f, 1.1f, 0.0f}}}},
        {TowerType::CANNON, {{{200, 65.0f, 3.15f, 4.6f, 1.1f}, {300, 80.0f, 3.3f, 4.2f, 1.2f}}}},
    };
    static const std::map<TowerType, Levels> table = [] {
        std::map<TowerType, Levels> levels;
        for (const auto& [kind, tower] : towerPrototypes()) {
            const ProjectilePrototype& shot = projectilePrototype(tower.projectileType);
            Levels& row = levels[kind];
            row[0] = {tower.cost, shot.damage, tower.range, tower.fireInterval, shot.splashRadius};
            const auto& more = upgrades.at(kind);
            std::copy(more.begin(), more.end(), row.begin() + 1);
        }
        return levels;
    }();
    return table.at(type)[static_cast<std::size_t>(std::clamp(level, 1, kTowerLevels) - 1)];
}

const char* targetingName(TargetingMode mode) {
    switch (mode) {
    case TargetingMode::First:
        return "first";
    case TargetingMode::Last:
        return "last";
    case TargetingMode::Strongest:
        return "strongest";
    case TargetingMode::Closest:
        return "closest";
    }
    return "first";
}

std::optional<TargetingMode> parseTargeting(const std::string& name) {
    for (int i = 0; i < kTargetingModes; ++i)
        if (name == targetingName(static_cast<TargetingMode>(i)))
            return static_cast<TargetingMode>(i);
    return std::nullopt;
}

TargetingMode nextTargeting(TargetingMode mode) {
    return static_cast<TargetingMode>((static_cast<int>(mode) + 1) % kTargetingModes);
}

} // namespace hm
