// The animation player of a skinned node: one current animation, a default ("idle") to fall
// back to, and a queue of requests.
//
// Play modes: 0 plays once and goes on with the next request or the default; 1 loops until a
// request is queued and switches at the end of the current run; 2 plays once and holds the end
// pose until a request arrives. Queue modes: 0 appends, 1 puts in front, 2 clears the queue and
// appends. An interrupting request drops the current animation so the next update starts the
// queue at once.
#pragma once

#include "animation/Animation.h"

#include <deque>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace hm {

using AnimationList = std::vector<std::shared_ptr<Animation>>;
using Pose = std::unordered_map<std::string, glm::mat4>;

class BoneAnimator {
public:
    struct Request {
        std::shared_ptr<Animation> animation;
        int mode = 1;
        float speed = 1.0f;
    };

    explicit BoneAnimator(AnimationList animations);
    virtual ~BoneAnimator() = default;
    BoneAnimator(const BoneAnimator&) = default;
    BoneAnimator& operator=(const BoneAnimator&) = default;

    virtual void queueAnimation(int index, int mode, float speed, int queueMode, bool interrupt);
    virtual void queueAnimation(const std::string& name, int mode, float speed, int queueMode,
                                bool interrupt);
    virtual void onAnimationEnd(const std::shared_ptr<Animation>& animation) {}

    int indexOf(const std::string& name) const;
    void updateAnimation(float dt);
    // The local transforms of the current animation's channels at the current time.
    void computePose(Pose& pose) const;

    const AnimationList& animations() const { return animations_; }
    const std::shared_ptr<Animation>& currentAnimation() const { return current_; }
    int currentMode() const { return mode_; }
    float currentSpeed() const { return speed_; }
    float currentTime() const { return time_; }
    bool finished() const { return finished_; }
    const std::deque<Request>& queue() const { return queue_; }

private:
    void startNext();
    void restart(float duration);

    AnimationList animations_;
    std::shared_ptr<Animation> current_;
    int mode_ = 1;
    float speed_ = 1.0f;
    float time_ = 0.0f;
    float duration_ = 0.0f;
    bool finished_ = false;
    std::shared_ptr<Animation> default_;
    int defaultMode_ = 1;
    float defaultSpeed_ = 1.0f;
    std::deque<Request> queue_;
};

} // namespace hm
