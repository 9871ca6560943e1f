// Decides, frame by frame, whether the sun's shadow cascades can start from a cached copy.
//
// Most shadow casters of a level never move (the ground, rocks, trees, tower bases). A caster
// whose node has kept its world transform and mesh for kStillFrames frames, and is not skinned,
// counts as still. The still casters and the light matrices give a key: while it stays the same,
// the renderer copies the cached depth of the still casters into the cascades and draws only the
// moving ones over it. When the key changes (the camera moved the cascades, a tower was built,
// a caster started or stopped moving) the frame draws every caster as usual; once the same key
// comes back on a second frame in a row the cache is drawn again. A camera that keeps moving
// therefore costs nothing extra, and a still view pays for the still casters once.
#pragma once

#include <glm/mat4x4.hpp>

#include <cstdint>
#include <unordered_map>

namespace hm {

class ShadowCasterCache {
public:
    static constexpr int kStillFrames = 8;

    enum class Use {
        DrawAll, // draw every caster into the cascades
        Rebuild, // draw the still casters into the cache first, then as Reuse
        Reuse,   // copy the cache into the cascades and draw the moving casters over it
    };

    // Starts a frame's list of casters.
    void beginFrame();
    // Records one caster of the frame (`cascades`: the bits of the cascades it reaches); true when
    // it counts as still.
    bool record(const void* node, const void* mesh, const glm::mat4& world, bool skinned,
                std::uint8_t cascades);
    // Ends the list: what the frame does with its cascades, given their light matrices (light
    // projection times light view, one per cascade drawn) and the map size. Casters not recorded
    // this frame are forgotten.
    Use endFrame(const glm::mat4* lightMatrices, int cascades, int mapSize);
    // The cached depth is gone (new maps, a frame without a sun): the next frames start over.
    void invalidate();

private:
    struct History {
        glm::mat4 world;
        const void* mesh;
        int stillFrames;
        std::uint64_t lastFrame;
    };
    std::unordered_map<const void*, History> history_;
    std::uint64_t frame_ = 0;
    std::uint64_t stillSum_ = 0;
    std::uint64_t stillCount_ = 0;
    std::uint64_t previousKey_ = 0;
    std::uint64_t cachedKey_ = 0;
    bool cached_ = false;
};

} // namespace hm
