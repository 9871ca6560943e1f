#include "animation/BoneAnimator.h"

#include "app/Log.h"

namespace hm {

BoneAnimator::BoneAnimator(AnimationList animations) : animations_(std::move(animations)) {
    const int idle = indexOf("idle");
    if (idle >= 0)
        default_ = animations_[static_cast<std::size_t>(idle)];
}

int BoneAnimator::indexOf(const std::string& name) const {
    for (std::size_t i = 0; i < animations_.size(); ++i)
        if (animations_[i] && animations_[i]->name() == name)
            return static_cast<int>(i);
    return -1;
}

void BoneAnimator::queueAnimation(int index, int mode, float speed, int queueMode, bool interrupt) {
    if (index < 0 || static_cast<std::size_t>(index) >= animations_.size()) {
        spdlog::error("Index of Animation Queue Request out of bounds ({0}). No Animation will be queued.",
                      index);
        return;
    }
    Request request{animations_[static_cast<std::size_t>(index)], mode, speed};
    switch (queueMode) {
    case 0:
        queue_.push_back(std::move(request));
        break;
    case 1:
        queue_.push_front(std::move(request));
        break;
    case 2:
        queue_.clear();
        queue_.push_back(std::move(request));
        break;
    default:
        break;
    }
    if (interrupt)
        current_.reset();
}

void BoneAnimator::queueAnimation(const std::string& name, int mode, float speed, int queueMode,
                                  bool interrupt) {
    const int index = indexOf(name);
    if (index < 0) {
        spdlog::error("No Animation by the name of {0} found. No Animation will be queued.", name);
        return;
    }
    queueAnimation(index, mode, speed, queueMode, interrupt);
}

void BoneAnimator::restart(float duration) {
    finished_ = false;
    duration_ = duration;
    time_ = speed_ < 0.0f ? duration_ : 0.0f;
}

void BoneAnimator::startNext() {
    if (!queue_.empty()) {
        Request request = std::move(queue_.front());
        queue_.pop_front();
        current_ = std::move(request.animation);
        mode_ = request.mode;
        speed_ = request.speed;
        restart(current_ ? current_->durationSeconds() : 0.0f);
    } else if (default_) {
        current_ = default_;
        mode_ = defaultMode_;
        speed_ = defaultSpeed_;
    } else {
        current_.reset();
        mode_ = 1;
        speed_ = 1.0f;
    }
}

void BoneAnimator::updateAnimation(float dt) {
    if (!current_) {
        startNext();
        return;
    }
    time_ += dt * speed_;
    if (time_ >= 0.0f && time_ <= duration_)
        return;
    if (!finished_) {
        // Keep the animation alive through the callback, which may queue or interrupt.
        auto ended = current_;
        finished_ = true;
        onAnimationEnd(ended);
    }
    finished_ = true;
    switch (mode_) {
    case 0:
        startNext();
        break;
    case 1:
        if (queue_.empty()) {
            if (current_)
                restart(current_->durationSeconds());
        } else {
            startNext();
        }
        break;
    case 2:
        if (!queue_.empty())
            startNext();
        break;
    default:
        startNext();
        break;
    }
}

void BoneAnimator::computePose(Pose& pose) const {
    pose.clear();
    if (!current_)
        return;
    const float tick = time_ * current_->ticksPerSecond();
    for (const auto& channel : current_->channels)
        pose[channel.name] = channel.sample(tick);
}

} // namespace hm
