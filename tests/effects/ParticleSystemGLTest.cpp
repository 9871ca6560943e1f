#include "effects/ParticleSystem.h"

#include "render/Material.h"
#include "render/Solid2DTexture.h"
#include "support/GLTestWindow.h"

#include <GL/glew.h>
#include <gtest/gtest.h>

namespace hm {
namespace {

class ParticleSystemTest : public testing::Test {
protected:
    Window& window = test::glWindow();
    ParticleSystem system{"smoke"};

    static GLuint boundTexture0() {
        glActiveTexture(GL_TEXTURE0);
        GLint name = 0;
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &name);
        return static_cast<GLuint>(name);
    }
};

TEST_F(ParticleSystemTest, ABurstEmitsInBatchesUntilItsBudgetIsSpent) {
    system.lifetimeBase = 100.0f;
    system.updateFunction = [](float, Particle&) {};
    system.emit(100);
    for (int i = 0; i < 33; ++i)
        system.update(0.01f);
    EXPECT_TRUE(system.emitting);
    EXPECT_EQ(system.remaining, 1);
    system.update(0.01f);
    EXPECT_EQ(system.particles().size(), 102u);
    EXPECT_EQ(system.remaining, -1);
    EXPECT_FALSE(system.emitting);
}

TEST_F(ParticleSystemTest, ParticlesDieOnceTheirAgePassesTheLifetime) {
    system.lifetimeBase = 1.0f;
    system.batchSize = 1;
    float largestT = 0.0f;
    system.updateFunction = [&](float t, Particle&) { largestT = std::max(largestT, t); };
    system.emit(1);
    for (int i = 0; i < 4; ++i)
        system.update(0.25f);
    EXPECT_EQ(system.particles().size(), 1u); // age exactly 1.0: still alive
    system.update(0.25f);
    EXPECT_TRUE(system.particles().empty());
    EXPECT_LE(largestT, 1.0f);
}

TEST_F(ParticleSystemTest, ParticlesRiseStraightUpFromTheEmitter) {
    system.translate({2, 1, 0});
    system.velocityMin = system.velocityMax = {0, 1, 0};
    system.updateFunction = [](float, Particle&) {};
    system.emit(3);
    system.update(0.5f);
    for (const Particle& p : system.particles()) {
        EXPECT_EQ(p.origin, glm::vec3(2, 1, 0));
        EXPECT_NEAR(glm::length(p.offset - glm::vec3(0, 0.5f, 0)), 0.0f, 1e-6f);
    }
}

TEST_F(ParticleSystemTest, AtMostTenThousandAreDrawn) {
    system.batchSize = 12000;
    system.emit(12000);
    system.update(0.0f); // no update function: particles just age and move
    ASSERT_EQ(system.particles().size(), 12000u);
    system.draw();
    EXPECT_EQ(system.lastDrawCount(), 10000u);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(ParticleSystemTest, EachSystemDrawsItsOwnPictureOrNone) {
    auto red = std::make_shared<Solid2DTexture>("?particleTestRed", glm::vec4(1, 0, 0, 1));
    ASSERT_TRUE(red->load());
    ParticleSystem plain{"plain"};
    for (ParticleSystem* s : {&system, &plain}) {
        s->emit(3);
        s->update(0.0f);
    }
    system.texture = red;
    ASSERT_EQ(system.material, plain.material) << "both draw with the shared default material";
    const auto white = system.material->getTexture(0);
    ASSERT_TRUE(white);
    // Frame after frame, the system without a texture never shows the red picture.
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        system.draw();
        EXPECT_EQ(boundTexture0(), red->id());
        plain.draw();
        EXPECT_EQ(boundTexture0(), white->id());
    }
    EXPECT_EQ(system.material->getTexture(0), white) << "the shared material is left as it is";
}

} // namespace
} // namespace hm
