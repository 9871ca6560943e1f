// Keyframed animation of whole nodes: camera flights, the enemies' ride along their path, the
// cannonball's explosion.
//
// Each scene owns one NodeAnimator. The model importer fills its stash with the animations of
// a scene file; game code asks for a playable NodeAnimation by name, configures it (speed,
// loops, delay, pause points, target node, state callback) and plays it. Every frame the
// animator advances what plays and writes the channels' transforms into the nodes whose names
// match the channels (or the targets they were bound to).
#pragma once

#include "animation/Animation.h"
#include "scene/NodeRef.h"

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace hm {

class Node3D;
class NodeAnimator;
class Scene;

enum class NodeAnimationState : int {
    Idle = 0,
    Delayed = 1,
    Playing = 2,
    Paused = 3,
    StopRequested = 4,
    Finished = 5
};

class NodeAnimation {
public:
    // space: 0 local transforms, 1 world transforms. relative: 0 the channel's transform replaces
    // the node's; otherwise the node is moved by the channel's change (see apply).
    NodeAnimation(std::shared_ptr<Animation> animation, int space, int relative);

    void setLoopCount(int loops) { loopCount_ = loops; }
    void setSpeed(float speed) { speed_ = speed; }
    void setStartDelay(float seconds) { startDelay_ = seconds; }
    // Ascending fractions of the length (0..1) at which the animation pauses by itself.
    void setPausePoints(std::vector<float> points);
    void setStateChangeCallback(std::function<void()> callback) { callback_ = std::move(callback); }
    // The first channel drives this node instead of the node it names; the node is held
    // directly (not looked up by name), and once it is gone the channel drives nothing.
    void setTarget(Node3D& node);
    void resume();
    void stop();

    NodeAnimationState state() const { return state_; }
    float time() const { return time_; }
    float length() const { return animation_->durationSeconds(); }
    float speed() const { return speed_; }
    int loopCount() const { return loopCount_; }
    const std::shared_ptr<Animation>& animation() const { return animation_; }
    const std::vector<std::string>& targetNames() const { return targets_; }

private:
    friend class NodeAnimator;
    using NameMap = std::map<std::string, Node3D*>;

    void setState(NodeAnimationState state);
    void registerWith(NodeAnimator& animator);
    void reset();
    void advance(float dt);
    void apply(const NameMap* nodes);
    // Whether some channel finds its node by name (all but a bound first channel).
    bool needsNames() const;
    float startTime() const { return speed_ < 0.0f ? length() : 0.0f; }

    NodeAnimator* animator_ = nullptr;
    std::shared_ptr<Animation> animation_;
    int loopCount_ = 0;
    float speed_ = 1.0f;
    float startDelay_ = 0.0f;
    std::vector<std::string> targets_;
    NodeRef<Node3D> boundTarget_; // the first channel's node, once setTarget was called
    bool bound_ = false;
    std::vector<float> pausePoints_;
    std::size_t pauseIndex_ = 0;
    NodeAnimationState state_ = NodeAnimationState::Idle;
    NodeAnimationState resumeState_ = NodeAnimationState::Playing;
    int space_ = 0;
    int relative_ = 0;
    std::function<void()> callback_;
    float previousTime_ = 0.0f;
    float time_ = 0.0f;
    float delayLeft_ = 0.0f;
    int loopsLeft_ = 0;
    // Relative mode: whether the channels have been applied since the last (re)start.
    bool appliedOnce_ = false;
};

class NodeAnimator {
public:
    explicit NodeAnimator(Scene* scene = nullptr) : scene_(scene) {}
    ~NodeAnimator();
    NodeAnimator(const NodeAnimator&) = delete;
    NodeAnimator& operator=(const NodeAnimator&) = delete;

    void addAnimation(std::shared_ptr<Animation> animation);
    // The first stashed animation of that name, or null.
    std::shared_ptr<Animation> stashed(const std::string& name) const;
    const std::vector<std::shared_ptr<Animation>>& stash() const { return stash_; }

    // A playable instance of the stashed animation of that name; null (with an error line) for
    // an unknown name.
    std::shared_ptr<NodeAnimation> createAnimation(const std::string& name, int space = 0, int relative = 0);
    void play(const std::shared_ptr<NodeAnimation>& animation);
    void update(float elapsed);

    const std::vector<std::shared_ptr<NodeAnimation>>& playing() const { return playing_; }
    // Where the animated nodes are searched; the scene's 3D root unless set otherwise.
    void setRoot(Node3D* root) { root_ = root; }

private:
    Node3D* searchRoot() const;

    Scene* scene_;
    Node3D* root_ = nullptr;
    std::vector<std::shared_ptr<Animation>> stash_;
    std::vector<std::shared_ptr<NodeAnimation>> playing_;
};

} // namespace hm
