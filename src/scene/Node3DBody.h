// The seam between a node and its physics body.
//
// A node owns at most one body and keeps it informed: when the node's world matrix changes,
// when the node joins a scene (or the scene starts), when it leaves it and when the node is
// copied. The physics
// layer supplies the concrete bodies (box, sphere, capsule, plane, convex hull, triangle mesh)
// and everything they do with those calls; nothing here knows about a physics engine.
#pragma once

#include <memory>
#include <string>

namespace hm {

class Node3D;
class Scene;

class Node3DBody {
public:
    Node3DBody() = default;
    Node3DBody(const Node3DBody&) = delete;
    Node3DBody& operator=(const Node3DBody&) = delete;
    virtual ~Node3DBody() = default;

    // The node that owns this body, or null before Node3D::setBody.
    Node3D* owner() const { return owner_; }

    // The owner's world matrix changed. A body pushes the new pose to its actor, unless the
    // pose was just read back from the simulation.
    virtual void onOwnerPoseChanged() = 0;
    // The owner joined the scene, or the scene is starting: create the actor in its physics
    // scene (leaving any scene the body was in before).
    virtual void addToScene(Scene& scene) = 0;
    // The owner left its scene (detached from the tree): drop the actor, so that it is neither
    // touched nor hit by rays any more and the body never reaches back into that scene.
    virtual void leaveScene() {}
    // The body of a copy of the owner; the caller makes newOwner its owner.
    virtual std::unique_ptr<Node3DBody> copy(Node3D& newOwner) const = 0;
    virtual std::string getTypeName() const { return "Node3DBody"; }

private:
    friend class Node3D;
    Node3D* owner_ = nullptr;
};

} // namespace hm
