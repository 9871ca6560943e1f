// Keyframed animations: channels of position, rotation and scaling keys, one channel per
// animated node or bone, sampled at a time in ticks.
//
// Skeletal animation (the bone animator) and node animation (the scene's node animator)
// share these types. Keys are kept sorted by time; sampling clamps outside the keyed range,
// so a time past the end yields the last pose.
#pragma once

#include <glm/gtc/quaternion.hpp>
#include <glm/mat4x4.hpp>
#include <glm/vec3.hpp>

#include <string>
#include <vector>

namespace hm {

struct VectorKey {
    float time = 0.0f;
    glm::vec3 value{0.0f};
};

struct RotationKey {
    float time = 0.0f;
    glm::quat value{1.0f, 0.0f, 0.0f, 0.0f};
};

class AnimationChannel {
public:
    explicit AnimationChannel(std::string name) : name(std::move(name)) {}
    ~AnimationChannel();
    AnimationChannel(AnimationChannel&&) noexcept = default;
    AnimationChannel& operator=(AnimationChannel&&) noexcept = default;

    glm::vec3 samplePosition(float tick) const;
    glm::quat sampleRotation(float tick) const;
    glm::vec3 sampleScaling(float tick) const;
    // translate(position) * rotate(rotation) * scale(scaling) at the tick.
    glm::mat4 sample(float tick) const;

    std::string name;
    std::vector<VectorKey> positionKeys;
    std::vector<RotationKey> rotationKeys;
    std::vector<VectorKey> scalingKeys;
};

class Animation {
public:
    // Used when a file gives no rate: the duration in seconds would otherwise be infinite.
    static constexpr float kFallbackTicksPerSecond = 25.0f;

    Animation(std::string name, float durationTicks, float ticksPerSecond);
    ~Animation();
    Animation(const Animation&) = delete;
    Animation& operator=(const Animation&) = delete;

    const std::string& name() const { return name_; }
    float durationTicks() const { return duration_; }
    float ticksPerSecond() const { return ticksPerSecond_; }
    float durationSeconds() const { return duration_ / ticksPerSecond_; }
    // Node animations of one name from several files are merged into the longer duration.
    void setDurationTicks(float ticks) { duration_ = ticks > 0.0f ? ticks : 0.0f; }

    std::vector<AnimationChannel> channels;

private:
    std::string name_;
    float duration_;
    float ticksPerSecond_;
};

// Spherical interpolation with the short-path and near-parallel rules of the animation files.
glm::quat interpolateRotation(const glm::quat& from, const glm::quat& to, float f);

// The text after the first "|" of a file's animation name ("Armature|Walk" -> "Walk").
std::string animationShortName(const std::string& fileName);

} // namespace hm
