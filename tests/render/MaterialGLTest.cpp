#include "render/Material.h"

#include "app/Window.h"
#include "render/ShaderLocations.h"
#include "render/Solid2DTexture.h"
#include "support/GLTestWindow.h"
#include "support/LogCapture.h"

#include <GL/glew.h>
#include <gtest/gtest.h>

namespace hm {
namespace {

class MaterialTest : public testing::Test {
protected:
    Window& window = test::glWindow();
    MaterialRegistry& registry = MaterialRegistry::instance();

    GLuint boundTexture(int unit) {
        glActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(unit));
        GLint name = 0;
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &name);
        glActiveTexture(GL_TEXTURE0);
        return static_cast<GLuint>(name);
    }
    void unbindAll() {
        for (int unit = 0; unit < 5; ++unit) {
            glActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(unit));
            glBindTexture(GL_TEXTURE_2D, 0);
        }
        glActiveTexture(GL_TEXTURE0);
    }
};

TEST_F(MaterialTest, UnsupportedSlotIsRefusedWithItsName) {
    test::LogCapture log;
    auto solid = registry.createSolidMaterial("warn_solid");
    auto texture = std::make_shared<Solid2DTexture>("?t", glm::vec4(1.0f));
    solid->setTexture(Normal, texture);
    EXPECT_TRUE(solid->textures().empty());
    EXPECT_EQ(log.messages(spdlog::level::warn),
              (std::vector<std::string>{
                  "Attempt to set unsupported texture of type Normal for Material warn_solid."}));
    for (auto material : std::vector<std::shared_ptr<Material>>{
             solid, registry.createMaterial("warn_generic"), registry.createPBRMaterial("warn_pbr"),
             registry.createCanvasMaterial("warn_canvas")})
        EXPECT_FALSE(material->supportsSlot(-1)) << material->name();
}

TEST_F(MaterialTest, DuplicateNamesReturnTheRegisteredMaterial) {
    test::LogCapture log;
    auto first = registry.createSolidMaterial("twice");
    first->colour = {1, 0, 0};
    auto second = registry.createSolidMaterial("twice");
    EXPECT_EQ(first, second);
    EXPECT_EQ(log.messages(spdlog::level::err),
              (std::vector<std::string>{"A material by the name twice already exists."}));
    // Asking for another kind under a taken name still gives a usable material of that kind.
    auto canvas = registry.createCanvasMaterial("twice");
    ASSERT_TRUE(canvas);
    EXPECT_EQ(registry.findMaterial("twice"), first);
}

TEST_F(MaterialTest, PbrBindsItsFiveSharedDefaultsAndSolidBindsNone) {
    auto a = registry.createPBRMaterial("pbr_a");
    auto b = registry.createPBRMaterial("pbr_b");
    for (int slot = 0; slot < 5; ++slot) {
        ASSERT_TRUE(a->getTexture(slot));
        EXPECT_EQ(a->getTexture(slot), b->getTexture(slot));
    }
    unbindAll();
    a->use();
    for (int slot = 0; slot < 5; ++slot)
        EXPECT_EQ(boundTexture(slot), a->getTexture(slot)->id()) << slot;
    EXPECT_EQ(a->getTexture(Metallic)->internalFormat(), TextureFormat::R8);

    unbindAll();
    auto solid = registry.createSolidMaterial("plain_red");
    solid->colour = {1.0f, 0.0f, 0.0f};
    solid->use();
    for (int slot = 0; slot < 5; ++slot)
        EXPECT_EQ(boundTexture(slot), 0u);
    GLfloat colour[3] = {0, 0, 0};
    glGetUniformfv(static_cast<GLuint>(solid->program()), shader::kMaterialParameter, colour);
    EXPECT_FLOAT_EQ(colour[0], 1.0f);
    EXPECT_FLOAT_EQ(colour[1], 0.0f);
}

TEST_F(MaterialTest, ANullTextureKeepsTheSlotsDefault) {
    auto own = std::make_shared<Solid2DTexture>("?nullCaseOwn", glm::vec4(0.2f, 0.4f, 0.6f, 1.0f));
    ASSERT_TRUE(own->load());
    auto pbr = registry.createPBRMaterial("null_pbr");
    auto canvas = registry.createCanvasMaterial("null_canvas");
    auto generic = registry.createMaterial("null_generic");
    const auto placeholder = canvas->getTexture(0);
    struct Case {
        const char* what;
        std::shared_ptr<Material> material;
        int slot;
        bool setOwnFirst;
        std::shared_ptr<Texture> expected; // null: the slot stays empty
    };
    const Case cases[] = {
        {"pbr, fresh", pbr, Normal, false, PBRMaterial::defaultTextures()[Normal]},
        {"pbr, after its own texture", pbr, Roughness, true, PBRMaterial::defaultTextures()[Roughness]},
        {"canvas keeps its placeholder", canvas, 0, false, placeholder},
        {"generic stays empty", generic, 2, false, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.setOwnFirst)
            c.material->setTexture(c.slot, own);
        c.material->setTexture(c.slot, nullptr);
        EXPECT_EQ(c.material->getTexture(c.slot), c.expected);
        EXPECT_EQ(c.material->textures().count(c.slot), c.expected ? 1u : 0u);
        if (!c.expected)
            continue;
        // Drawn with the default, not with what an earlier draw left on the unit.
        glActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(c.slot));
        own->bind();
        glActiveTexture(GL_TEXTURE0);
        c.material->use();
        EXPECT_EQ(boundTexture(c.slot), c.expected->id());
    }
}

TEST_F(MaterialTest, DefaultMaterialsAreCreatedOnce) {
    auto canvas = registry.defaultCanvasMaterial();
    EXPECT_EQ(canvas->name(), "?defaultCanvas");
    EXPECT_EQ(registry.defaultCanvasMaterial(), canvas);
    ASSERT_TRUE(canvas->getTexture(0));
    auto particle = registry.defaultParticleMaterial();
    EXPECT_EQ(particle->name(), "_defaultParticle");
    EXPECT_EQ(registry.defaultParticleMaterial(), particle);
}

} // namespace
} // namespace hm
