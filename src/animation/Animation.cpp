#include "animation/Animation.h"

#include "app/Log.h"

#include <glm/gtc/matrix_transform.hpp>

#include <algorithm>
#include <cmath>
#include <limits>

namespace hm {

namespace {

// Index of the first key at or after the tick, or the last key past the end.
template <typename Key> std::size_t keyIndex(const std::vector<Key>& keys, float tick) {
    auto it =
        std::lower_bound(keys.begin(), keys.end(), tick, [](const Key& k, float t) { return k.time < t; });
    if (it == keys.end())
        return keys.size() - 1;
    return static_cast<std::size_t>(it - keys.begin());
}

template <typename Key> float keyFraction(const std::vector<Key>& keys, std::size_t i, float tick) {
    const float span = keys[i].time - keys[i - 1].time;
    if (!(span > 0.0f))
        return 1.0f;
    return std::clamp((tick - keys[i - 1].time) / span, 0.0f, 1.0f);
}

glm::vec3 sampleVector(const std::vector<VectorKey>& keys, float tick, glm::vec3 none) {
    if (keys.empty())
        return none;
    if (keys.size() == 1)
        return keys[0].value;
    const std::size_t i = keyIndex(keys, tick);
    if (i == 0)
        return keys[0].value;
    const float f = keyFraction(keys, i, tick);
    return keys[i - 1].value + f * (keys[i].value - keys[i - 1].value);
}

} // namespace

AnimationChannel::~AnimationChannel() {
    if (!name.empty())
        spdlog::debug("AnimationChannel {0} destroyed", name);
}

glm::vec3 AnimationChannel::samplePosition(float tick) const {
    return sampleVector(positionKeys, tick, glm::vec3(0.0f));
}

glm::vec3 AnimationChannel::sampleScaling(float tick) const {
    return sampleVector(scalingKeys, tick, glm::vec3(1.0f));
}

glm::quat AnimationChannel::sampleRotation(float tick) const {
    if (rotationKeys.empty())
        return glm::quat(1.0f, 0.0f, 0.0f, 0.0f);
    if (rotationKeys.size() == 1)
        return rotationKeys[0].value;
    const std::size_t i = keyIndex(rotationKeys, tick);
    if (i == 0)
        return rotationKeys[0].value;
    return interpolateRotation(rotationKeys[i - 1].value, rotationKeys[i].value,
                               keyFraction(rotationKeys, i, tick));
}

glm::mat4 AnimationChannel::sample(float tick) const {
    glm::mat4 m = glm::translate(glm::mat4(1.0f), samplePosition(tick));
    m *= glm::mat4_cast(sampleRotation(tick));
    return glm::scale(m, sampleScaling(tick));
}

glm::quat interpolateRotation(const glm::quat& from, const glm::quat& to, float f) {
    glm::quat q1 = to;
    float d = glm::dot(from, q1);
    if (d < 0.0f) {
        q1 = -q1;
        d = -d;
    }
    if (d > 1.0f - std::numeric_limits<float>::epsilon())
        return from + f * (q1 - from);
    const float theta = std::acos(d);
    return (std::sin((1.0f - f) * theta) * from + std::sin(f * theta) * q1) / std::sin(theta);
}

std::string animationShortName(const std::string& fileName) {
    const auto bar = fileName.find('|');
    return bar == std::string::npos ? fileName : fileName.substr(bar + 1);
}

Animation::Animation(std::string name, float durationTicks, float ticksPerSecond)
    : name_(std::move(name)), duration_(std::max(0.0f, durationTicks)),
      ticksPerSecond_(ticksPerSecond > 0.0f && std::isfinite(ticksPerSecond) ? ticksPerSecond
                                                                             : kFallbackTicksPerSecond) {}

Animation::~Animation() {
    const std::size_t count = channels.size();
    channels.clear();
    spdlog::debug("Destroyed animation {0} and freed {1} animation channels", name_, count);
}

} // namespace hm
