// A node with no behaviour of its own: groups, anchors, orbit centres, scene roots.
#pragma once

#include "scene/Node3D.h"

namespace hm {

class EmptyNode : public Node3D {
public:
    explicit EmptyNode(std::string name) : Node3D(std::move(name)) {}

    void onSceneChanged(Scene* scene) override {}
    void onWindowChanged(Window* window) override {}
    void render(float elapsed, int pass) override {}
    void update(float dt) override {}
    std::string getTypeName() const override { return "EmptyNode"; }
    std::unique_ptr<Node3D> copy() const override { return std::unique_ptr<Node3D>(new EmptyNode(*this)); }

protected:
    EmptyNode(const EmptyNode& source) = default;
};

} // namespace hm
