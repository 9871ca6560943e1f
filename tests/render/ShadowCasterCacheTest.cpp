#include "render/ShadowCasterCache.h"

#include <glm/gtc/matrix_transform.hpp>
#include <gtest/gtest.h>

#include <vector>

namespace hm {
namespace {

using Use = ShadowCasterCache::Use;

// A few casters and the light, frame after frame.
struct Frames {
    ShadowCasterCache cache;
    int ground = 0, rock = 0, monster = 0; // addresses stand for nodes
    int mesh = 0;
    glm::mat4 light{1.0f};
    glm::mat4 rockAt{1.0f};
    bool withRock = true;
    glm::mat4 monsterAt{1.0f};

    Use frame() {
        cache.beginFrame();
        cache.record(&ground, &mesh, glm::mat4(1.0f), false, 0b111);
        if (withRock)
            cache.record(&rock, &mesh, rockAt, false, 0b011);
        cache.record(&monster, &mesh, monsterAt, true, 0b001);
        return cache.endFrame(&light, 1, 1024);
    }
    // Frames until the casters count as still and the cache is in use.
    void settle() {
        for (int i = 0; i < ShadowCasterCache::kStillFrames + 2; ++i)
            frame();
        ASSERT_EQ(frame(), Use::Reuse);
    }
};

TEST(ShadowCasterCache, CastersCountAsStillAfterKeepingTheirPlace) {
    ShadowCasterCache cache;
    int node = 0, mesh = 0, otherMesh = 0;
    glm::mat4 at(1.0f);
    std::vector<bool> still;
    for (int i = 0; i < ShadowCasterCache::kStillFrames + 6; ++i) {
        cache.beginFrame();
        // Frame 3 moves it, frame 5 gives it another mesh: each starts the count again.
        if (i == 3)
            at = glm::translate(at, {1, 0, 0});
        still.push_back(cache.record(&node, i >= 5 ? &otherMesh : &mesh, at, false, 1));
        cache.endFrame(&at, 1, 1024);
    }
    std::vector<bool> expected(still.size(), false);
    expected.back() = true; // kStillFrames unchanged frames after frame 5
    EXPECT_EQ(still, expected);

    cache.beginFrame();
    EXPECT_FALSE(cache.record(&node, &otherMesh, at, true, 1)) << "skinned casters never keep still";
}

TEST(ShadowCasterCache, TheCacheIsDrawnAgainOnceWhatItHoldsChanges) {
    struct Case {
        const char* name;
        void (*change)(Frames&);
        std::vector<Use> after; // the frames after the change
    };
    const Case cases[] = {
        {"the light turns (or the camera moves the cascades)",
         [](Frames& f) {
             f.light = glm::rotate(f.light, 0.1f, {0, 1, 0});
         },
         {Use::DrawAll, Use::Rebuild, Use::Reuse}},
        {"a still caster is removed",
         [](Frames& f) { f.withRock = false; },
         {Use::DrawAll, Use::Rebuild, Use::Reuse}},
        {"a still caster moves",
         [](Frames& f) {
             f.rockAt = glm::translate(f.rockAt, {0, 0, 1});
         },
         {Use::DrawAll, Use::Rebuild, Use::Reuse}},
        {"the cached depth is lost",
         [](Frames& f) { f.cache.invalidate(); },
         {Use::DrawAll, Use::Rebuild, Use::Reuse}},
        {"only a moving caster changes",
         [](Frames& f) {
             f.monsterAt = glm::translate(f.monsterAt, {1, 0, 0});
         },
         {Use::Reuse, Use::Reuse, Use::Reuse}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Frames f;
        f.settle();
        c.change(f);
        std::vector<Use> uses;
        for (std::size_t i = 0; i < c.after.size(); ++i)
            uses.push_back(f.frame());
        EXPECT_EQ(uses, c.after);
    }
}

TEST(ShadowCasterCache, ACameraThatKeepsMovingNeverDrawsTheCache) {
    Frames f;
    f.settle();
    for (int i = 0; i < 5; ++i) {
        f.light = glm::translate(f.light, {0.5f, 0, 0});
        EXPECT_EQ(f.frame(), Use::DrawAll);
    }
}

} // namespace
} // namespace hm
