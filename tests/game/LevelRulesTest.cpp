#include "game/Enemy.h"
#include "game/LevelCoordinator.h"
#include "game/LevelHud.h"
#include "game/Projectile.h"
#include "game/Tower.h"

#include "animation/NodeAnimator.h"
#include "app/Window.h"
#include "import/ModelImporter.h"
#include "physics/PhysicsBody.h"
#include "scene/EmptyNode.h"
#include "scene/Scene.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

namespace hm {
namespace {

struct RecordingHud : LevelHud {
    void showLives(int value) override { lives = value; }
    void showResources(int value) override { resources = value; }
    void showWave(int defeated, int total) override {
        wave = std::to_string(defeated) + "/" + std::to_string(total);
    }
    void showPaused(bool value) override { paused = value; }
    void showSpeed(float value) override { speeds.push_back(value); }
    void showEnd(bool won) override { end = won ? "won" : "lost"; }
    void showCards(bool shown) override { cards.push_back(shown); }
    void showTowerPanel(Tower* tower) override { panels.push_back(tower); }
    void showNextMonster(std::optional<EnemyType> type, float seconds) override {
        nextMonster = type;
        nextSeconds = seconds;
    }
    std::optional<EnemyType> nextMonster;
    float nextSeconds = -1.0f;
    int lives = -1, resources = -1;
    std::string wave, end;
    bool paused = false;
    std::vector<float> speeds;
    std::vector<bool> cards;
    std::vector<Tower*> panels;
};

// A straight ten-unit road along x, ridden in ten seconds at speed 1, and a second road of five
// units that comes in from the side (+z) to the same end in ten seconds too.
class RoadScene : public Scene {
public:
    RoadScene() : Scene("level") {}
    void load() override {
        auto root = std::make_unique<EmptyNode>("root3D");
        auto& paths = root->createChild<EmptyNode>("paths");
        pathTemplate = &paths.createChild<EmptyNode>("EnemyPathNode");
        spawnPoint = &root->createChild<EmptyNode>("EnemySpawnPoint");
        bases = &root->createChild<EmptyNode>("bases");
        setRoot3D(std::move(root));
        auto road = std::make_shared<Animation>("EnemyPath", 100.0f, 10.0f);
        AnimationChannel channel("EnemyPathNode");
        channel.positionKeys = {{0.0f, {0, 0, 0}}, {100.0f, {10, 0, 0}}};
        road->channels.push_back(std::move(channel));
        nodeAnimator().addAnimation(road);

        auto& side = root3D()->createChild<EmptyNode>("sidePaths");
        side.createChild<EmptyNode>("EnemyPathNode2");
        root3D()->createChild<EmptyNode>("EnemySpawnPoint2").translate({10, 0, 5});
        auto sideRoad = std::make_shared<Animation>("EnemyPath2", 100.0f, 10.0f);
        AnimationChannel sideChannel("EnemyPathNode2");
        sideChannel.positionKeys = {{0.0f, {10, 0, 5}}, {100.0f, {10, 0, 0}}};
        sideRoad->channels.push_back(std::move(sideChannel));
        nodeAnimator().addAnimation(sideRoad);
    }
    Node3D* pathTemplate = nullptr;
    Node3D* spawnPoint = nullptr;
    Node3D* bases = nullptr;
};

class LevelRulesTest : public testing::Test {
protected:
    void SetUp() override {
        scene.load();
        coordinator = std::make_unique<LevelCoordinator>(
            scene, hud, [](const std::string& file) { return importModel(nullptr, 0, file, "tmpFile"); });
        coordinator->setRoads(Road::findAll(*scene.root3D(), scene.nodeAnimator()));
        coordinator->begin();
    }
    void TearDown() override { coordinator.reset(); }

    // Advances the world only: enemies walk, towers shoot, but the schedule spawns nobody.
    void run(float seconds, float step = 0.1f) {
        for (float t = 0.0f; t < seconds - 1e-4f; t += step)
            scene.update(window, step);
    }
    Enemy& enemy(std::size_t i) { return *coordinator->enemies().at(i); }
    TowerBase& placeBase(const glm::vec3& at) {
        auto base = coordinator->createTowerBase();
        TowerBase& ref = *base;
        scene.bases->addChild(std::move(base));
        ref.translate(at);
        return ref;
    }

    // No display: the rules run on a headless window.
    std::unique_ptr<Window> headless = Window::headless(64, 64);
    Window& window = *headless;
    RoadScene scene;
    RecordingHud hud;
    std::unique_ptr<LevelCoordinator> coordinator;
};

TEST_F(LevelRulesTest, PrototypesLoadAndTheLevelBegins) {
    EXPECT_EQ(coordinator->prototypeCount(), 8u); // base, two towers, three monsters, two projectiles
    EXPECT_EQ(LevelCoordinator::instance(), coordinator.get());
    EXPECT_EQ(hud.lives, 10);
    EXPECT_EQ(hud.resources, 300);
    EXPECT_EQ(hud.wave, "0/18");
}

// The HUD is told what comes next and when, until the last monster of the schedule has come.
TEST_F(LevelRulesTest, SpawnsFollowTheSchedule) {
    test::LogCapture log;
    EXPECT_EQ(hud.nextMonster, EnemyType::FLOATING_STONE_MONSTER);
    EXPECT_FLOAT_EQ(hud.nextSeconds, 1.0f);
    coordinator->update(0.99f);
    EXPECT_EQ(coordinator->spawnedCount(), -1);
    EXPECT_NEAR(hud.nextSeconds, 0.01f, 1e-5f);
    coordinator->update(0.02f);
    EXPECT_EQ(coordinator->spawnedCount(), 0);
    EXPECT_EQ(log.count("Spawned Enemy 0, next enemy in 0.5"), 1u);
    EXPECT_EQ(hud.nextMonster, EnemyType::FLOATING_STONE_MONSTER);
    EXPECT_FLOAT_EQ(hud.nextSeconds, 0.5f);
    coordinator->update(0.5f);
    EXPECT_EQ(coordinator->spawnedCount(), 1);
    coordinator->update(9.9f);
    EXPECT_EQ(coordinator->spawnedCount(), 1);
    coordinator->update(0.2f);
    EXPECT_EQ(coordinator->spawnedCount(), 2);
    EXPECT_EQ(hud.nextMonster, EnemyType::WALKING_STONE_MONSTER); // entry 3, five seconds on
    EXPECT_FLOAT_EQ(hud.nextSeconds, 5.0f);
    coordinator->togglePause();
    coordinator->update(2.0f);
    EXPECT_FLOAT_EQ(hud.nextSeconds, 5.0f);
    coordinator->togglePause();
    EXPECT_EQ(enemy(0).getName(), "e[0]");
    EXPECT_EQ(enemy(0).getParent()->getName(), "ep[0]");
    EXPECT_EQ(enemy(0).state(), EnemyState::Walking);
    for (int i = 0; i < 400 && coordinator->spawnedCount() < 17; ++i)
        coordinator->update(0.5f);
    EXPECT_EQ(coordinator->spawnedCount(), 17);
    EXPECT_EQ(hud.nextMonster, std::nullopt);
    coordinator->update(100.0f);
    EXPECT_EQ(coordinator->spawnedCount(), 17);
    EXPECT_FLOAT_EQ(coordinator->spawnCountdown(), LevelCoordinator::kNoSpawn);
}

TEST_F(LevelRulesTest, IncomeComesEveryTwoSecondsOfScaledTime) {
    coordinator->update(4.5f); // one long frame also spawns the first enemy
    EXPECT_EQ(coordinator->resources(), 310);
    EXPECT_NEAR(coordinator->incomeTimer(), 0.5f, 1e-5f);
    coordinator->togglePause();
    coordinator->update(10.0f);
    EXPECT_EQ(coordinator->resources(), 310);
}

TEST_F(LevelRulesTest, KillsPayTheirRewardOnceAndOnlyBelowZeroHealth) {
    coordinator->spawnEnemy(EnemyType::FLOATING_STONE_MONSTER);
    coordinator->spawnEnemy(EnemyType::WALKING_STONE_MONSTER);
    coordinator->spawnEnemy(EnemyType::MASSIVE_STONE_MONSTER);
    run(0.2f);
    Enemy& floating = enemy(0);
    for (int i = 0; i < 5; ++i)
        floating.hit(10.0f);
    EXPECT_FLOAT_EQ(floating.health(), 0.0f);
    EXPECT_EQ(floating.state(), EnemyState::Walking);
    floating.hit(10.0f);
    EXPECT_EQ(floating.state(), EnemyState::Dying);
    EXPECT_EQ(coordinator->resources(), 350);
    floating.hit(10.0f); // a late arrow changes nothing
    EXPECT_EQ(coordinator->resources(), 350);
    enemy(0).hit(151.0f);
    EXPECT_EQ(coordinator->resources(), 450);
    enemy(0).hit(551.0f);
    EXPECT_EQ(coordinator->resources(), 450);
    EXPECT_TRUE(coordinator->enemies().empty());
    EXPECT_EQ(hud.wave, "3/18");
    EXPECT_EQ(coordinator->state(), GameState::Playing); // the schedule is not through yet
}

TEST_F(LevelRulesTest, AnEnemyThatIsGoneTakesItsPathCarrierWithIt) {
    auto carriers = [&] {
        std::vector<std::string> names;
        for (const auto& child : scene.pathTemplate->getParent()->getChildren())
            names.push_back(child->getName());
        return names;
    };
    coordinator->spawnEnemy(EnemyType::WALKING_STONE_MONSTER);
    coordinator->spawnEnemy(EnemyType::MASSIVE_STONE_MONSTER);
    run(0.2f);
    EXPECT_EQ(carriers(), (std::vector<std::string>{"EnemyPathNode", "ep[0]", "ep[1]"}));
    enemy(0).hit(1000.0f);
    run(10.0f); // dies, sinks and is removed; the other one walks on
    EXPECT_EQ(carriers(), (std::vector<std::string>{"EnemyPathNode", "ep[1]"}));
    ASSERT_EQ(coordinator->enemies().size(), 1u);
    EXPECT_EQ(enemy(0).getParent()->getName(), "ep[1]");
}

// The fast-forward button cycles 1x, 2x, 4x; the speed button shows each. Other speeds are refused.
TEST_F(LevelRulesTest, TheSpeedButtonCyclesOneTwoAndFourTimes) {
    for (float expected : {2.0f, 4.0f, 1.0f, 2.0f}) {
        coordinator->toggleSpeed();
        EXPECT_EQ(coordinator->gameSpeed(), expected);
        EXPECT_EQ(hud.speeds.back(), expected);
    }
    test::LogCapture log;
    coordinator->setGameSpeed(3.0f);
    EXPECT_EQ(coordinator->gameSpeed(), 2.0f);
    EXPECT_EQ(log.count("A game speed of 3 is not one of 1, 2 and 4; the speed stays 2."), 1u);
}

TEST_F(LevelRulesTest, MonstersAtTheCoreTakeLivesAndTheGameCanBeLost) {
    // Played at 2x: the loss sets 1x at once (toggling would have gone on to 4x).
    coordinator->toggleSpeed();
    ASSERT_EQ(coordinator->gameSpeed(), 2.0f);
    coordinator->spawnEnemy(EnemyType::FLOATING_STONE_MONSTER);
    coordinator->spawnEnemy(EnemyType::WALKING_STONE_MONSTER);
    Enemy& floating = enemy(0);
    // The road takes 10 s at speed 1: 125 s at 0.08 and 200 s at 0.05.
    run(130.0f, 0.5f);
    EXPECT_EQ(floating.state(), EnemyState::Dead); // struck once and consumed
    EXPECT_EQ(coordinator->lives(), 9);
    run(90.0f, 0.5f);
    EXPECT_EQ(enemy(0).state(), EnemyState::Attacking); // the walker keeps attacking
    run(40.0f, 0.5f);
    EXPECT_EQ(coordinator->state(), GameState::Lost);
    EXPECT_EQ(hud.lives, 0);
    EXPECT_EQ(coordinator->gameSpeed(), 1.0f);
    EXPECT_EQ(hud.speeds, (std::vector<float>{2.0f, 1.0f}));
    run(5.0f, 0.5f);
    EXPECT_EQ(hud.lives, 0);
    coordinator->update(0.1f);
    EXPECT_EQ(hud.end, "lost");
    coordinator->togglePause();
    EXPECT_FALSE(hud.paused);
}

TEST_F(LevelRulesTest, BasesSelectBuildAndTowersPickTheLeadingEnemy) {
    TowerBase& first = placeBase({0.5f, 0, 1});
    TowerBase& second = placeBase({6, 0, 1});
    TowerBase& third = placeBase({9, 0, 1});
    EXPECT_EQ(first.getName(), "tb[1]");

    first.onClick({}, {}, {});
    EXPECT_EQ(coordinator->selectedBase(), &first);
    EXPECT_EQ(first.highlight(), 1);
    first.onMouseLeave({}, {}, {});
    EXPECT_EQ(first.highlight(), 1); // a selected base stays red
    first.onClick({}, {}, {});
    EXPECT_EQ(coordinator->selectedBase(), nullptr);
    EXPECT_EQ(hud.cards, (std::vector<bool>{true, false}));

    first.build(TowerType::ARROW);
    second.build(TowerType::ARROW);
    third.build(TowerType::ARROW);
    EXPECT_NE(first.tower(), nullptr);
    EXPECT_NE(second.tower(), nullptr);
    EXPECT_EQ(third.tower(), nullptr);
    EXPECT_EQ(coordinator->resources(), 60);
    first.onClick({}, {}, {});
    EXPECT_EQ(coordinator->selectedBase(), nullptr); // a base with a tower ignores clicks

    coordinator->spawnEnemy(EnemyType::WALKING_STONE_MONSTER);
    run(0.1f);
    coordinator->spawnEnemy(EnemyType::WALKING_STONE_MONSTER);
    run(8.0f); // both towers finish building; the enemies walk on
    Tower& tower = *first.tower();
    EXPECT_EQ(tower.state(), TowerState::Ready);
    // Both enemies within range of the first tower: the one further along is chosen.
    EXPECT_EQ(tower.chooseTarget(), &enemy(0));
    enemy(0).setState(EnemyState::Dying);
    EXPECT_EQ(tower.chooseTarget(), &enemy(1));
}

// On two roads the monster with less road left to the core leads, even when it is less far along
// its own (shorter) road.
TEST_F(LevelRulesTest, OnTwoRoadsTheMonsterNearestTheCoreLeads) {
    ASSERT_EQ(coordinator->roads().size(), 2u);
    EXPECT_NEAR(coordinator->roads()[1].length(), 5.0f, 1e-3f);
    coordinator->spawnEnemy(EnemyType::WALKING_STONE_MONSTER, 1);
    run(20.0f, 0.5f);
    coordinator->spawnEnemy(EnemyType::WALKING_STONE_MONSTER, 2);
    run(100.0f, 0.5f); // 200 s per road at 0.05: the first is 0.6 along, the second 0.5
    Enemy& main = enemy(0);
    Enemy& side = enemy(1);
    EXPECT_EQ(main.road(), 1);
    EXPECT_EQ(side.road(), 2);
    EXPECT_NEAR(side.getWorldPosition().z, 2.5f, 0.05f) << "the second monster rides the second road";
    EXPECT_NEAR(main.pathProgress(), 0.6f, 0.01f);
    EXPECT_NEAR(main.distanceLeft(), 4.0f, 0.05f);
    EXPECT_NEAR(side.distanceLeft(), 2.5f, 0.05f);

    TowerBase& base = placeBase({8, 0, 1.5f});
    base.build(TowerType::CANNON);
    ASSERT_NE(base.tower(), nullptr);
    EXPECT_EQ(base.tower()->chooseTarget(), &side);

    // A road the level does not have sends the monster along road 1, with an error.
    test::LogCapture log;
    coordinator->spawnEnemy(EnemyType::WALKING_STONE_MONSTER, 3);
    EXPECT_TRUE(log.contains("Enemy 2 should ride road 3, which the level does not have; it rides road 1."));
    EXPECT_EQ(enemy(2).road(), 1);
}

// A monster that reached the core is the one taking lives: towers by the core must prefer it to a
// walker that has not arrived yet.
TEST_F(LevelRulesTest, AMonsterAttackingTheCoreIsTheLeadingTarget) {
    coordinator->spawnEnemy(EnemyType::WALKING_STONE_MONSTER);
    run(20.0f, 0.5f);
    coordinator->spawnEnemy(EnemyType::WALKING_STONE_MONSTER);
    run(181.0f, 0.5f); // the first arrives after 200 s, the second is 0.9 along the road
    ASSERT_EQ(enemy(0).state(), EnemyState::Attacking);
    ASSERT_EQ(enemy(1).state(), EnemyState::Walking);
    TowerBase& base = placeBase({9.5f, 0, 1});
    base.build(TowerType::ARROW);
    ASSERT_NE(base.tower(), nullptr);
    EXPECT_FLOAT_EQ(enemy(0).pathProgress(), 1.0f);
    EXPECT_EQ(base.tower()->chooseTarget(), &enemy(0));
}

TEST_F(LevelRulesTest, CannonballsSplashAndArrowsStick) {
    TowerBase& base = placeBase({1, 0, 0.5f});
    coordinator->setResources(1000);
    base.build(TowerType::CANNON);
    EXPECT_EQ(coordinator->resources(), 750);
    coordinator->spawnEnemy(EnemyType::MASSIVE_STONE_MONSTER);
    coordinator->spawnEnemy(EnemyType::MASSIVE_STONE_MONSTER);
    coordinator->spawnEnemy(EnemyType::MASSIVE_STONE_MONSTER);
    run(0.1f);
    Enemy& struck = enemy(0);
    Enemy& near = enemy(1);
    Enemy& rim = enemy(2);
    // Hold the other two at 0.5 and 1.0 units from the struck enemy's target point.
    for (auto& e : {&near, &rim})
        e->pathAnimation()->stop();
    scene.nodeAnimator().update(0.0f);
    const glm::vec3 centre = struck.targetPoint().getWorldPosition();
    near.getParent()->translateGlobal(centre + glm::vec3(0, 0, 0.5f) - near.targetPoint().getWorldPosition());
    rim.getParent()->translateGlobal(centre + glm::vec3(0, 0, 1.0f) - rim.targetPoint().getWorldPosition());

    auto* prototype = dynamic_cast<MeshNode*>(coordinator->getPrototypeNode("ProjectileCannonball"));
    ASSERT_NE(prototype, nullptr);
    base.tower()->setState(TowerState::Ready);
    auto ball =
        std::make_unique<Projectile>(*prototype, ProjectileType::CANNONBALL, 0, *base.tower(), struck);
    Projectile& ref = *ball;
    scene.bases->addChild(std::move(ball));
    ref.explode(struck);
    EXPECT_FLOAT_EQ(struck.health(), 500.0f);
    EXPECT_NEAR(near.health(), 525.0f, 0.01f);
    EXPECT_NEAR(rim.health(), 550.0f, 0.01f);
}

TEST_F(LevelRulesTest, ArrowsAreAimedWithAFuseFromTheFlightTime) {
    TowerBase& base = placeBase({0, 0, 2});
    base.build(TowerType::ARROW);
    coordinator->spawnEnemy(EnemyType::FLOATING_STONE_MONSTER);
    run(0.1f);
    Tower& tower = *base.tower();
    auto* prototype = dynamic_cast<MeshNode*>(coordinator->getPrototypeNode("ProjectileArrow"));
    ASSERT_NE(prototype, nullptr);
    auto arrow = std::make_unique<Projectile>(*prototype, ProjectileType::ARROW, 7, tower, enemy(0));
    Projectile& ref = *arrow;
    EXPECT_EQ(ref.getName(), "p[7]");
    scene.bases->addChild(std::move(arrow));
    ref.shoot();
    const glm::vec3 muzzle = tower.muzzle().getWorldPosition();
    const glm::vec3 goal = enemy(0).targetPoint().getWorldPosition();
    const float distance = glm::length(goal - muzzle);
    const float fuse = distance / 5.5555558f + 0.3f;
    EXPECT_NEAR(ref.fuseTimer(), fuse, 1e-4f);
    // Launched at the arrow's speed, heading for the target.
    auto* body = dynamic_cast<PhysicsBody*>(ref.getBody());
    ASSERT_NE(body, nullptr);
    const glm::vec3 velocity = body->linearVelocity();
    EXPECT_NEAR(glm::length(velocity), 5.5555558f, 1e-3f);
    const glm::vec2 heading(velocity.x, velocity.z), wanted(goal.x - muzzle.x, goal.z - muzzle.z);
    EXPECT_GT(glm::dot(glm::normalize(heading), glm::normalize(wanted)), 0.99f);
    // It flies to the target and strikes it by contact, before the fuse would have gone off.
    glm::vec3 lastInFlight = ref.getWorldPosition();
    float flown = 0.0f;
    while (ref.armed() && flown < fuse + 0.5f) {
        lastInFlight = ref.getWorldPosition();
        scene.update(window, 0.02f);
        flown += 0.02f;
    }
    EXPECT_FALSE(ref.armed());
    EXPECT_LT(flown, fuse - 0.1f);
    EXPECT_LT(glm::length(lastInFlight - goal), 0.5f * distance);
    // It damages the target and sticks in it.
    EXPECT_FLOAT_EQ(enemy(0).health(), 40.0f);
    EXPECT_EQ(ref.getParent(), &enemy(0));
}

// --- Decisions after building -------------------------------------------------------------

// The sum of the prices of a tower's levels up to `level`.
int spentUpTo(TowerType type, int level) {
    int sum = 0;
    for (int l = 1; l <= level; ++l)
        sum += towerLevel(type, l).price;
    return sum;
}

// Prices, refunds and figures, one row per tower: upgrades are paid and counted in what selling
// gives back (70 %, rounded down), a tower still being built gives back all that was spent on it
// (upgrades bought meanwhile included), and each level brings its own figures.
TEST_F(LevelRulesTest, UpgradesAndSalesFollowThePriceTable) {
    EXPECT_EQ(towerLevel(TowerType::ARROW, 1).price, 120);
    EXPECT_EQ(towerLevel(TowerType::CANNON, 1).price, 250);
    struct Case {
        TowerType type;
        int level;  // after the upgrades
        bool built; // construction over before the sale
        int refund;
    };
    const Case cases[] = {
        {TowerType::ARROW, 1, false, 120},
        {TowerType::ARROW, 1, true, 84},
        {TowerType::ARROW, 2, false, spentUpTo(TowerType::ARROW, 2)},
        {TowerType::ARROW, 3, true, spentUpTo(TowerType::ARROW, 3) * 7 / 10},
        {TowerType::CANNON, 1, true, 175},
        {TowerType::CANNON, 2, true, spentUpTo(TowerType::CANNON, 2) * 7 / 10},
        {TowerType::CANNON, 3, false, spentUpTo(TowerType::CANNON, 3)},
    };
    float x = 0.0f;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(towerPrototype(c.type).typeName) + " level " + std::to_string(c.level) +
                     (c.built ? " built" : " building"));
        TowerBase& base = placeBase({x += 3.0f, 0, 20});
        coordinator->setResources(5000);
        base.build(c.type);
        ASSERT_NE(base.tower(), nullptr);
        Tower& tower = *base.tower();
        EXPECT_EQ(coordinator->resources(), 5000 - towerLevel(c.type, 1).price);
        for (int level = 2; level <= c.level; ++level) {
            const int before = coordinator->resources();
            ASSERT_EQ(coordinator->upgradePrice(tower), towerLevel(c.type, level).price);
            ASSERT_TRUE(coordinator->upgradeTower(tower));
            EXPECT_EQ(tower.level(), level);
            EXPECT_EQ(coordinator->resources(), before - towerLevel(c.type, level).price);
        }
        EXPECT_EQ(tower.spent(), spentUpTo(c.type, c.level));
        // The tower works with its level's figures.
        const TowerLevel& figures = towerLevel(c.type, c.level);
        EXPECT_EQ(tower.figures().range, figures.range);
        EXPECT_EQ(tower.figures().fireInterval, figures.fireInterval);
        if (c.built)
            run(8.0f);
        EXPECT_EQ(tower.state(), c.built ? TowerState::Ready : TowerState::Constructing);

        const int before = coordinator->resources();
        EXPECT_EQ(coordinator->sellValue(tower), c.refund);
        EXPECT_EQ(coordinator->sellTower(tower), c.refund);
        EXPECT_EQ(coordinator->resources(), before + c.refund);
        EXPECT_EQ(base.tower(), nullptr) << "the plot is free again";
        run(0.1f); // the tower is gone from the tree
        EXPECT_EQ(base.findByName("t[" + std::to_string(base.index()) + "]"), nullptr);
        base.build(TowerType::ARROW);
        EXPECT_NE(base.tower(), nullptr) << "and can be built on";
    }
}

// An upgrade the resources do not pay for, or past the top level, is refused and changes nothing;
// after the end of the game nothing is bought or sold.
TEST_F(LevelRulesTest, UpgradesThatCannotBePaidAreRefused) {
    TowerBase& base = placeBase({5, 0, 1});
    base.build(TowerType::CANNON);
    Tower& tower = *base.tower();
    const int price = towerLevel(TowerType::CANNON, 2).price;
    coordinator->setResources(price - 1);
    EXPECT_FALSE(coordinator->canUpgrade(tower));
    EXPECT_FALSE(coordinator->upgradeTower(tower));
    EXPECT_EQ(tower.level(), 1);
    EXPECT_EQ(coordinator->resources(), price - 1);
    coordinator->setResources(price);
    EXPECT_TRUE(coordinator->canUpgrade(tower));
    EXPECT_TRUE(coordinator->upgradeTower(tower));
    EXPECT_EQ(coordinator->resources(), 0);

    coordinator->setResources(100000);
    EXPECT_TRUE(coordinator->upgradeTower(tower));
    EXPECT_EQ(tower.level(), kTowerLevels);
    const int rich = coordinator->resources();
    EXPECT_FALSE(coordinator->upgradePrice(tower));
    EXPECT_FALSE(coordinator->canUpgrade(tower));
    EXPECT_FALSE(coordinator->upgradeTower(tower));
    EXPECT_EQ(coordinator->resources(), rich);

    coordinator->setLives(0); // lost
    EXPECT_EQ(coordinator->sellTower(tower), 0);
    EXPECT_EQ(base.tower(), &tower);
}

// A shot keeps the figures of the moment it was fired: upgrading or selling the tower while it
// flies changes neither its damage nor whether it strikes.
TEST_F(LevelRulesTest, AShotInFlightKeepsItsFiguresWhenItsTowerIsUpgradedOrSold) {
    struct Case {
        bool sell; // else upgrade
    };
    for (const Case c : {Case{false}, Case{true}}) {
        SCOPED_TRACE(c.sell ? "sold" : "upgraded");
        TowerBase& base = placeBase({c.sell ? 0.0f : 0.5f, 0, 2});
        coordinator->setResources(1000);
        base.build(TowerType::ARROW);
        Tower& tower = *base.tower();
        coordinator->spawnEnemy(EnemyType::MASSIVE_STONE_MONSTER);
        run(0.1f);
        Enemy& target = *coordinator->enemies().back();
        const float health = target.health();
        auto* prototype = dynamic_cast<MeshNode*>(coordinator->getPrototypeNode("ProjectileArrow"));
        ASSERT_NE(prototype, nullptr);
        auto arrow = std::make_unique<Projectile>(*prototype, ProjectileType::ARROW, 40, tower, target);
        Projectile& shot = *arrow;
        scene.bases->addChild(std::move(arrow));
        shot.shoot();
        if (c.sell)
            coordinator->sellTower(tower);
        else
            coordinator->upgradeTower(tower);
        for (int i = 0; i < 100 && shot.armed(); ++i)
            scene.update(window, 0.02f);
        EXPECT_FALSE(shot.armed());
        EXPECT_FLOAT_EQ(target.health(), health - towerLevel(TowerType::ARROW, 1).damage);
        // Out of the way of the next case.
        target.hit(1000.0f);
        if (Tower* left = base.tower())
            coordinator->sellTower(*left);
    }
}

// A monster between the reach of level 1 and level 2 is shot only after the upgrade, and the shot
// carries the new level's damage.
TEST_F(LevelRulesTest, AnUpgradedTowerReachesFurtherAndHitsHarder) {
    const float reach1 = towerLevel(TowerType::ARROW, 1).range,
                reach2 = towerLevel(TowerType::ARROW, 2).range;
    ASSERT_GT(reach2, reach1);
    coordinator->spawnEnemy(EnemyType::WALKING_STONE_MONSTER);
    run(100.0f, 0.5f); // halfway: x = 5
    TowerBase& base = placeBase({5, 0, 0.5f * (reach1 + reach2)});
    coordinator->setResources(1000);
    base.build(TowerType::ARROW);
    Tower& tower = *base.tower();
    tower.setState(TowerState::Ready);
    ASSERT_EQ(enemy(0).state(), EnemyState::Walking);
    enemy(0).pathAnimation()->stop(); // it waits there
    scene.nodeAnimator().update(0.0f);
    EXPECT_EQ(tower.chooseTarget(), nullptr);
    coordinator->upgradeTower(tower);
    EXPECT_EQ(tower.chooseTarget(), &enemy(0));
    auto* prototype = dynamic_cast<MeshNode*>(coordinator->getPrototypeNode("ProjectileArrow"));
    Projectile shot(*prototype, ProjectileType::ARROW, 41, tower, enemy(0));
    EXPECT_EQ(shot.damage(), towerLevel(TowerType::ARROW, 2).damage);
}

// Which monster each targeting mode picks among four monsters on two roads, every one within
// reach: first (least road left, on any road), last (most left), strongest (most health now),
// closest (to the tower, in 3D).
TEST_F(LevelRulesTest, EachTargetingModePicksItsMonsterOnTwoRoads) {
    // At 180 s: a walker 0.9 along road 1 (x = 9, 1 left), a walker 0.4 along road 2 (z = 3, 3
    // left), floating monsters 0.6 and 0.5 along road 1 (x = 6 and x = 5, 4 and 5 left).
    coordinator->spawnEnemy(EnemyType::WALKING_STONE_MONSTER, 1);
    run(100.0f, 0.5f);
    coordinator->spawnEnemy(EnemyType::WALKING_STONE_MONSTER, 2);
    run(5.0f, 0.5f);
    coordinator->spawnEnemy(EnemyType::FLOATING_STONE_MONSTER, 1);
    run(12.5f, 0.5f);
    coordinator->spawnEnemy(EnemyType::FLOATING_STONE_MONSTER, 1);
    run(62.5f, 0.5f);
    ASSERT_EQ(coordinator->enemies().size(), 4u);
    Enemy& leading = enemy(0);
    Enemy& side = enemy(1);
    Enemy& middle = enemy(2);
    Enemy& trailing = enemy(3);
    EXPECT_NEAR(leading.distanceLeft(), 1.0f, 0.05f);
    EXPECT_NEAR(side.distanceLeft(), 3.0f, 0.05f);
    EXPECT_NEAR(middle.distanceLeft(), 4.0f, 0.05f);
    EXPECT_NEAR(trailing.distanceLeft(), 5.0f, 0.05f);
    leading.hit(60.0f); // 90 left; the walker on road 2 keeps its 150

    TowerBase& base = placeBase({7, 0, 1.8f});
    coordinator->setResources(5000);
    base.build(TowerType::CANNON);
    Tower& tower = *base.tower();
    while (coordinator->upgradeTower(tower)) {
    }
    for (Enemy* e : coordinator->enemies())
        ASSERT_LE(glm::length(e->getWorldPosition() - tower.getWorldPosition()), tower.figures().range);

    struct Case {
        TargetingMode mode;
        Enemy* expected;
    };
    for (const Case& c : {Case{TargetingMode::First, &leading}, Case{TargetingMode::Last, &trailing},
                          Case{TargetingMode::Strongest, &side}, Case{TargetingMode::Closest, &middle}}) {
        coordinator->setTargeting(tower, c.mode);
        EXPECT_EQ(tower.chooseTarget(), c.expected) << targetingName(c.mode);
    }
    // Dying monsters are never chosen.
    side.setState(EnemyState::Dying);
    coordinator->setTargeting(tower, TargetingMode::Strongest);
    EXPECT_EQ(tower.chooseTarget(), &leading);
}

// A monster attacking the core comes first in every mode, although in each mode the other
// monster would win: it has more road left, more health and is nearer.
TEST_F(LevelRulesTest, AMonsterAttackingTheCoreComesFirstInEveryMode) {
    coordinator->spawnEnemy(EnemyType::WALKING_STONE_MONSTER);
    run(20.0f, 0.5f);
    coordinator->spawnEnemy(EnemyType::WALKING_STONE_MONSTER);
    run(181.0f, 0.5f); // the first attacks at x = 10, the second walks at x = 9
    Enemy& attacker = enemy(0);
    Enemy& walker = enemy(1);
    ASSERT_EQ(attacker.state(), EnemyState::Attacking);
    ASSERT_EQ(walker.state(), EnemyState::Walking);
    attacker.hit(100.0f);
    TowerBase& base = placeBase({walker.getWorldPosition().x, 0, 1});
    base.build(TowerType::ARROW);
    Tower& tower = *base.tower();
    ASSERT_LT(glm::length(walker.getWorldPosition() - tower.getWorldPosition()),
              glm::length(attacker.getWorldPosition() - tower.getWorldPosition()));
    for (int m = 0; m < kTargetingModes; ++m) {
        const auto mode = static_cast<TargetingMode>(m);
        coordinator->setTargeting(tower, mode);
        EXPECT_EQ(tower.chooseTarget(), &attacker) << targetingName(mode);
    }
}

// Selecting a tower shows its panel and lets go of a selected plot, and the other way round; the
// selected tower again, or clearing, lets it go. Targeting modes cycle and have names.
TEST_F(LevelRulesTest, TowersAndPlotsAreSelectedInTurn) {
    TowerBase& built = placeBase({2, 0, 1});
    TowerBase& free = placeBase({4, 0, 1});
    built.build(TowerType::ARROW);
    Tower& tower = *built.tower();

    free.onClick({}, {}, {});
    ASSERT_EQ(coordinator->selectedBase(), &free);
    coordinator->selectTower(&tower);
    EXPECT_EQ(coordinator->selectedTower(), &tower);
    EXPECT_EQ(coordinator->selectedBase(), nullptr);
    EXPECT_EQ(free.highlight(), 0);
    EXPECT_EQ(built.highlight(), 1) << "the selected tower's plot is lit";
    built.onMouseLeave({}, {}, {});
    EXPECT_EQ(built.highlight(), 1);
    EXPECT_EQ(hud.cards.back(), false);
    EXPECT_EQ(hud.panels.back(), &tower);

    free.onClick({}, {}, {});
    EXPECT_EQ(coordinator->selectedTower(), nullptr);
    EXPECT_EQ(hud.panels.back(), nullptr);
    EXPECT_EQ(built.highlight(), 0);
    EXPECT_TRUE(coordinator->clearSelection());
    EXPECT_EQ(coordinator->selectedBase(), nullptr);
    EXPECT_FALSE(coordinator->clearSelection()) << "nothing left to let go";

    coordinator->selectTower(&tower);
    coordinator->selectTower(&tower);
    EXPECT_EQ(coordinator->selectedTower(), nullptr) << "a second click lets go";
    coordinator->selectTower(&tower);
    coordinator->sellTower(tower);
    EXPECT_EQ(coordinator->selectedTower(), nullptr) << "a sold tower is let go";
    EXPECT_EQ(hud.panels.back(), nullptr);

    // The end of the game lets go too: no panel or cards under the victory or defeat dialog.
    free.build(TowerType::ARROW);
    coordinator->selectTower(free.tower());
    ASSERT_EQ(hud.panels.back(), free.tower());
    coordinator->setLives(0);
    EXPECT_EQ(coordinator->selectedTower(), nullptr);
    EXPECT_EQ(hud.panels.back(), nullptr);

    std::vector<std::string> names;
    TargetingMode mode = TargetingMode::First;
    for (int i = 0; i < kTargetingModes; ++i, mode = nextTargeting(mode))
        names.push_back(targetingName(mode));
    EXPECT_EQ(names, (std::vector<std::string>{"first", "last", "strongest", "closest"}));
    EXPECT_EQ(mode, TargetingMode::First);
    EXPECT_EQ(parseTargeting("strongest"), TargetingMode::Strongest);
    EXPECT_FALSE(parseTargeting("Strongest"));
}

// Each level shows its own mesh and only that one; the others follow the tower's animations.
TEST_F(LevelRulesTest, EachLevelShowsItsOwnMesh) {
    for (TowerType type : {TowerType::ARROW, TowerType::CANNON}) {
        TowerBase& base = placeBase({static_cast<float>(type) * 3.0f, 0, 3});
        coordinator->setResources(5000);
        base.build(type);
        Tower& tower = *base.tower();
        const std::string name = towerPrototype(type).nodeName;
        std::vector<MeshNode*> meshes{&tower};
        for (int level = 2; level <= kTowerLevels; ++level) {
            std::vector<Node3D*> found;
            tower.findAllByBaseName(name + "Level" + std::to_string(level), found);
            ASSERT_EQ(found.size(), 1u) << name << " level " << level;
            auto* part = dynamic_cast<MeshNode*>(found.front());
            ASSERT_NE(part, nullptr) << name << " level " << level;
            meshes.push_back(part);
        }
        for (int level = 1; level <= kTowerLevels; ++level) {
            if (level > 1) {
                ASSERT_TRUE(coordinator->upgradeTower(tower));
            }
            EXPECT_EQ(&tower.levelMesh(level), meshes[static_cast<std::size_t>(level) - 1]);
            for (std::size_t i = 0; i < meshes.size(); ++i) {
                EXPECT_EQ(meshes[i]->shown(), static_cast<int>(i) == level - 1)
                    << name << " at level " << level << ", mesh of level " << i + 1;
            }
        }
    }
}

} // namespace
} // namespace hm
