#include "animation/NodeAnimator.h"

#include "app/Log.h"
#include "scene/Node3D.h"
#include "scene/Scene.h"

#include <glm/matrix.hpp>

#include <algorithm>

namespace hm {

NodeAnimation::NodeAnimation(std::shared_ptr<Animation> animation, int space, int relative)
    : animation_(std::move(animation)), space_(space), relative_(relative) {
    for (const auto& channel : animation_->channels)
        targets_.push_back(channel.name);
}

void NodeAnimation::setPausePoints(std::vector<float> points) {
    std::sort(points.begin(), points.end());
    pausePoints_ = std::move(points);
}

void NodeAnimation::setTarget(Node3D& node) {
    if (targets_.empty())
        return;
    targets_[0] = node.getName();
    boundTarget_ = NodeRef<Node3D>(&node);
    bound_ = true;
}

bool NodeAnimation::needsNames() const {
    const std::size_t channels = std::min(animation_->channels.size(), targets_.size());
    return channels > (bound_ ? 1u : 0u);
}

void NodeAnimation::setState(NodeAnimationState state) {
    state_ = state;
    if (callback_) {
        // The callback may drop the last outside reference to this animation.
        auto callback = callback_;
        callback();
    }
}

void NodeAnimation::resume() {
    if (state_ == NodeAnimationState::Paused && resumeState_ != NodeAnimationState::Paused)
        setState(resumeState_);
}

void NodeAnimation::stop() {
    setState(NodeAnimationState::StopRequested);
}

void NodeAnimation::registerWith(NodeAnimator& animator) {
    if (animator_)
        return;
    animator_ = &animator;
    time_ = startTime();
    delayLeft_ = startDelay_;
    loopsLeft_ = loopCount_;
    const NodeAnimationState next =
        startDelay_ > 0.0f ? NodeAnimationState::Delayed : NodeAnimationState::Playing;
    if (state_ == NodeAnimationState::Paused)
        state_ = resumeState_;
    else if (next != state_)
        setState(next);
    previousTime_ = time_;
    pauseIndex_ = 0;
    appliedOnce_ = false;
}

void NodeAnimation::reset() {
    animator_ = nullptr;
    time_ = startTime();
    delayLeft_ = startDelay_;
    loopsLeft_ = loopCount_;
    if (state_ != NodeAnimationState::Idle)
        setState(NodeAnimationState::Idle);
    previousTime_ = time_;
    pauseIndex_ = 0;
    appliedOnce_ = false;
}

void NodeAnimation::advance(float dt) {
    if (state_ == NodeAnimationState::Delayed) {
        delayLeft_ -= dt;
        if (delayLeft_ >= 0.0f)
            return;
        time_ = startTime();
        loopsLeft_ = loopCount_;
        setState(animator_ ? NodeAnimationState::Playing : NodeAnimationState::Idle);
        previousTime_ = time_;
        pauseIndex_ = 0;
        return;
    }
    if (state_ != NodeAnimationState::Playing)
        return;

    const float length = this->length();
    time_ += dt * speed_;
    if (pauseIndex_ < pausePoints_.size() && length > 0.0f && pausePoints_[pauseIndex_] < time_ / length) {
        time_ = pausePoints_[pauseIndex_] * length;
        ++pauseIndex_;
        spdlog::debug("Reached auto pause");
        resumeState_ = state_;
        setState(NodeAnimationState::Paused);
    }
    const bool ended = (speed_ > 0.0f && time_ > length) || (speed_ < 0.0f && time_ < 0.0f);
    if (!ended)
        return;
    if (loopsLeft_ < 1 && loopCount_ != -1) {
        // Frames rarely land exactly on the end; the last frame shows the final pose.
        time_ = speed_ < 0.0f ? 0.0f : length;
        if (state_ != NodeAnimationState::Finished)
            setState(NodeAnimationState::Finished);
        return;
    }
    if (loopsLeft_ >= 1)
        --loopsLeft_;
    time_ = startTime();
    if (state_ == NodeAnimationState::Paused)
        resumeState_ = NodeAnimationState::Playing;
    else if (state_ != NodeAnimationState::Playing)
        setState(NodeAnimationState::Playing);
    previousTime_ = time_;
    pauseIndex_ = 0;
    appliedOnce_ = false;
}

void NodeAnimation::apply(const NameMap* nodes) {
    const float ticks = animation_->ticksPerSecond();
    const auto& channels = animation_->channels;
    for (std::size_t i = 0; i < channels.size() && i < targets_.size(); ++i) {
        Node3D* target = nullptr;
        if (i == 0 && bound_) {
            target = boundTarget_.get();
        } else if (nodes) {
            auto it = nodes->find(targets_[i]);
            target = it == nodes->end() ? nullptr : it->second;
        }
        if (!target)
            continue;
        Node3D& node = *target;
        const glm::mat4 now = channels[i].sample(time_ * ticks);
        if (relative_ == 0) {
            if (space_ == 1)
                node.setWorldMatrix(now);
            else
                node.setLocalMatrix(now);
            continue;
        }
        // Relative: the node follows the channel's change since the previous frame. Before the
        // first frame the channel counts as resting at the identity, so the node ends up at
        // (its pose when the animation started) x (the channel's transform): an explosion keyed
        // from a tenth to full size grows from a tenth to full size wherever it was placed.
        const glm::mat4 before = appliedOnce_ ? channels[i].sample(previousTime_ * ticks) : glm::mat4(1.0f);
        const glm::mat4 change = glm::inverse(before) * now;
        if (space_ == 1)
            node.transformWorld(now * glm::inverse(before));
        else
            node.transformLocal(change);
    }
    appliedOnce_ = true;
}

NodeAnimator::~NodeAnimator() {
    spdlog::debug("Deconstructed NodeAnimator, stopped {1} animations and freed {0} stashed animations.",
                  stash_.size(), playing_.size());
    for (auto& animation : playing_)
        animation->animator_ = nullptr;
}

void NodeAnimator::addAnimation(std::shared_ptr<Animation> animation) {
    if (animation)
        stash_.push_back(std::move(animation));
}

std::shared_ptr<Animation> NodeAnimator::stashed(const std::string& name) const {
    for (const auto& animation : stash_)
        if (animation->name() == name)
            return animation;
    return nullptr;
}

std::shared_ptr<NodeAnimation> NodeAnimator::createAnimation(const std::string& name, int space,
                                                             int relative) {
    auto animation = stashed(name);
    if (!animation) {
        spdlog::error("Couldn't find animation by the name {0} in the stash.", name);
        return nullptr;
    }
    return std::make_shared<NodeAnimation>(std::move(animation), space, relative);
}

void NodeAnimator::play(const std::shared_ptr<NodeAnimation>& animation) {
    if (!animation)
        return;
    playing_.push_back(animation);
    animation->registerWith(*this);
}

Node3D* NodeAnimator::searchRoot() const {
    if (root_)
        return root_;
    return scene_ ? scene_->root3D() : nullptr;
}

void NodeAnimator::update(float elapsed) {
    if (playing_.empty())
        return;
    // The tree is walked for names once per frame, and only when a playing animation has a
    // channel without a bound node.
    NodeAnimation::NameMap nodes;
    bool collected = false;
    auto names = [&]() -> const NodeAnimation::NameMap* {
        if (!collected) {
            if (Node3D* root = searchRoot())
                root->collectByName(nodes, Node3D::CollectMode::All);
            collected = true;
        }
        return &nodes;
    };
    // Callbacks may play or stop animations; walk by index from the back and re-check bounds.
    for (std::size_t i = playing_.size(); i > 0;) {
        --i;
        if (i >= playing_.size())
            continue;
        std::shared_ptr<NodeAnimation> animation = playing_[i];
        if (animation->state() == NodeAnimationState::StopRequested) {
            animation->reset();
            if (i < playing_.size() && playing_[i] == animation)
                playing_.erase(playing_.begin() + static_cast<std::ptrdiff_t>(i));
            continue;
        }
        animation->advance(elapsed);
        if (animation->state() == NodeAnimationState::Playing ||
            animation->state() == NodeAnimationState::Finished) {
            animation->apply(animation->needsNames() ? names() : nullptr);
            animation->previousTime_ = animation->time_;
        }
        if (animation->state() == NodeAnimationState::Finished) {
            animation->reset();
            if (i < playing_.size() && playing_[i] == animation)
                playing_.erase(playing_.begin() + static_cast<std::ptrdiff_t>(i));
        }
    }
}

} // namespace hm
