#include "render/ShadowCasterCache.h"

#include <cstring>
#include <iterator>

namespace hm {

namespace {

// FNV-1a, 64 bit.
class Hash {
public:
    template <typename T> Hash& add(const T& value) {
        unsigned char bytes[sizeof(T)];
        std::memcpy(bytes, &value, sizeof(T));
        for (unsigned char b : bytes) {
            value_ ^= b;
            value_ *= 0x100000001b3ull;
        }
        return *this;
    }
    std::uint64_t value() const { return value_; }

private:
    std::uint64_t value_ = 0xcbf29ce484222325ull;
};

} // namespace

void ShadowCasterCache::beginFrame() {
    ++frame_;
    stillSum_ = 0;
    stillCount_ = 0;
}

bool ShadowCasterCache::record(const void* node, const void* mesh, const glm::mat4& world, bool skinned,
                               std::uint8_t cascades) {
    auto [it, added] = history_.try_emplace(node, History{world, mesh, 0, frame_});
    History& seen = it->second;
    if (!added) {
        if (seen.world == world && seen.mesh == mesh) {
            ++seen.stillFrames;
        } else {
            seen.world = world;
            seen.mesh = mesh;
            seen.stillFrames = 0;
        }
        seen.lastFrame = frame_;
    }
    const bool still = !skinned && seen.stillFrames >= kStillFrames;
    if (still) {
        // A sum, so that the key does not depend on the order of the list.
        stillSum_ += Hash().add(node).add(mesh).add(world).add(cascades).value();
        ++stillCount_;
    }
    return still;
}

ShadowCasterCache::Use ShadowCasterCache::endFrame(const glm::mat4* lightMatrices, int cascades,
                                                   int mapSize) {
    for (auto it = history_.begin(); it != history_.end();)
        it = it->second.lastFrame == frame_ ? std::next(it) : history_.erase(it);

    Hash key;
    key.add(stillSum_).add(stillCount_).add(cascades).add(mapSize);
    for (int k = 0; k < cascades; ++k)
        key.add(lightMatrices[k]);
    const std::uint64_t current = key.value();
    const std::uint64_t previous = previousKey_;
    previousKey_ = current;

    if (stillCount_ == 0)
        return Use::DrawAll;
    if (cached_ && current == cachedKey_)
        return Use::Reuse;
    if (current == previous) {
        cached_ = true;
        cachedKey_ = current;
        return Use::Rebuild;
    }
    return Use::DrawAll;
}

void ShadowCasterCache::invalidate() {
    cached_ = false;
    previousKey_ = 0;
}

} // namespace hm
