// The fixed rules of every level: what each kind of tower, enemy and projectile is (model file,
// prototype node and numbers) and the tower base model. What differs between levels (economy,
// spawn schedule) is read from the level's file (LevelDefinition).
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace hm {

enum class TowerType : std::int32_t { ARROW = 0, CANNON = 1 };
enum class EnemyType : std::int32_t {
    FLOATING_STONE_MONSTER = 0,
    WALKING_STONE_MONSTER = 1,
    MASSIVE_STONE_MONSTER = 2
};
enum class ProjectileType : std::int32_t { ARROW = 0, CANNONBALL = 1 };
enum class ProjectileImpact : std::int32_t { Stick = 1, Vanish = 2, Explode = 3 };

struct TowerPrototype {
    std::string typeName;
    std::string modelFile;
    std::string nodeName;
    std::int32_t cost;
    float range;
    float fireInterval;      // seconds between target searches
    float constructionSpeed; // playback speed of the construction animation
    ProjectileType projectileType;
};

struct EnemyPrototype {
    std::string typeName;
    std::string modelFile;
    std::string nodeName;
    std::int32_t reward;
    float health;
    float speed; // playback speed of the path animation
    float scale;
    std::int32_t damage; // lives taken per completed attack
};

struct ProjectilePrototype {
    std::string typeName;
    std::string modelFile;
    std::string nodeName;
    float scale;
    float damage;
    float splashRadius; // 0: no splash
    float speed;        // world units per second
    ProjectileImpact impact;
};

const std::map<TowerType, TowerPrototype>& towerPrototypes();
const std::map<EnemyType, EnemyPrototype>& enemyPrototypes();
const std::map<ProjectileType, ProjectilePrototype>& projectilePrototypes();
// (model file, node name) of the tower base.
const std::vector<std::pair<std::string, std::string>>& buildingBasePrototypes();

const TowerPrototype& towerPrototype(TowerType type);
const EnemyPrototype& enemyPrototype(EnemyType type);
const ProjectilePrototype& projectilePrototype(ProjectileType type);

// What a tower does at one of its levels. Level 1 is what building it buys (the prototype's cost
// and range, its projectile's damage and splash); levels 2 and 3 are bought as upgrades.
struct TowerLevel {
    std::int32_t price; // level 1: the tower's cost; above: the price of the upgrade to it
    float damage;       // of each shot (the centre of a splash)
    float range;        // world units, measured in 3D from the tower
    float fireInterval; // seconds between target searches
    float splashRadius; // 0: no splash
};
constexpr int kTowerLevels = 3;
// Level 1 to kTowerLevels; a level outside is clamped to the nearest.
const TowerLevel& towerLevel(TowerType type, int level);
// Which monster within range a tower shoots at.
enum class TargetingMode : std::int32_t {
    First = 0,     // the least road left to the core (on whatever road)
    Last = 1,      // the most road left
    Strongest = 2, // the most health now
    Closest = 3,   // the nearest to the tower, in 3D
};
constexpr int kTargetingModes = 4;
// "first", "last", "strongest", "closest".
const char* targetingName(TargetingMode mode);
std::optional<TargetingMode> parseTargeting(const std::string& name);
// The mode after this one, round again after the last (what T and the panel's button do).
TargetingMode nextTargeting(TargetingMode mode);

// What selling gives back: this share of everything spent on the tower (its price and its
// upgrades), rounded down; all of it while the tower is still being built.
constexpr int kSellPercent = 70;

} // namespace hm
