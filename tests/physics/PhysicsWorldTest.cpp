#include "physics/PhysicsWorld.h"

#include "support/LogCapture.h"

#include <gtest/gtest.h>

namespace hm {
namespace {

TEST(PhysicsWorld, BuiltInMaterials) {
    auto& materials = PhysicsWorld::instance().materials();
    struct Case {
        const char* name;
        float staticFriction, dynamicFriction, restitution;
    };
    for (const Case& c : {Case{"Default", 0.5f, 0.5f, 0.2f}, Case{"Bouncy", 0.3f, 0.3f, 1.0f},
                          Case{"Ice", 0.1f, 0.1f, 0.0f}, Case{"MaxFriction", 1.0f, 1.0f, 0.0f},
                          Case{"Metal", 0.15f, 0.15f, 0.1f}, Case{"Rubber", 1.0f, 1.0f, 0.5f},
                          Case{"Wood", 0.45f, 0.45f, 0.0f}, Case{"ZeroFriction", 0.0f, 0.0f, 0.0f}}) {
        SCOPED_TRACE(c.name);
        const PhysicsMaterial* m = materials.getPhysicsMaterial(c.name);
        ASSERT_NE(m, nullptr);
        EXPECT_FLOAT_EQ(m->staticFriction, c.staticFriction);
        EXPECT_FLOAT_EQ(m->dynamicFriction, c.dynamicFriction);
        EXPECT_FLOAT_EQ(m->restitution, c.restitution);
    }
    EXPECT_EQ(materials.getPhysicsMaterial("Lava"), nullptr);
}

TEST(PhysicsWorld, RegisteringATakenNameReturnsTheExistingMaterial) {
    test::LogCapture log;
    auto& materials = PhysicsWorld::instance().materials();
    const PhysicsMaterial* wood = materials.getPhysicsMaterial("Wood");
    EXPECT_EQ(materials.registerPhysicsMaterial("Wood", 0.9f, 0.9f, 0.9f), wood);
    EXPECT_FLOAT_EQ(wood->restitution, 0.0f);
    EXPECT_EQ(
        log.messages(spdlog::level::warn),
        (std::vector<std::string>{"Can't create physX-Material with the name Wood, as this name is already "
                                  "occupied. I returned that material j4yi!"}));
}

TEST(PhysicsWorld, InvalidMaterialValuesAreRefused) {
    test::LogCapture log;
    auto& materials = PhysicsWorld::instance().materials();
    EXPECT_EQ(materials.createPhysicsMaterial(-1.0f, 0.5f, 0.0f), nullptr);
    EXPECT_EQ(materials.registerPhysicsMaterial("Broken", 0.5f, std::nanf(""), 0.0f), nullptr);
    EXPECT_EQ(materials.getPhysicsMaterial("Broken"), nullptr);
    EXPECT_EQ(log.messages(spdlog::level::err).size(), 2u);
    const PhysicsMaterial* sticky = materials.createPhysicsMaterial(0.8f, 0.7f, 0.1f);
    ASSERT_NE(sticky, nullptr);
    EXPECT_TRUE(sticky->name.empty());
}

TEST(PhysicsWorld, UnnamedMaterialsOfEqualValuesAreShared) {
    auto& materials = PhysicsWorld::instance().materials();
    const PhysicsMaterial* first = materials.createPhysicsMaterial(0.31f, 0.29f, 0.6f);
    EXPECT_EQ(materials.createPhysicsMaterial(0.31f, 0.29f, 0.6f), first);
    EXPECT_NE(materials.createPhysicsMaterial(0.31f, 0.29f, 0.61f), first);
    // A named material of the same values stays its own.
    const PhysicsMaterial* named = materials.registerPhysicsMaterial("Shared31", 0.31f, 0.29f, 0.6f);
    EXPECT_NE(named, first);
    EXPECT_EQ(materials.createPhysicsMaterial(0.31f, 0.29f, 0.6f), first);
}

} // namespace
} // namespace hm
