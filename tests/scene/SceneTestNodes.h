// Nodes, a body and a scene for the scene-graph tests: they write what happens to them into a
// shared journal and can run a script from their update.
#pragma once

#include "scene/EmptyNode.h"
#include "scene/Node3DBody.h"
#include "scene/Scene.h"

#include <functional>
#include <string>
#include <vector>

namespace hm::test {

using Journal = std::vector<std::string>;

class RecordingNode : public EmptyNode {
public:
    RecordingNode(std::string name, Journal& journal) : EmptyNode(std::move(name)), journal(journal) {}

    void onSceneChanged(Scene* scene) override { journal.push_back("scene " + getName()); }
    void onWindowChanged(Window* window) override { journal.push_back("window " + getName()); }
    void onWorldMatrixChanged(const glm::mat4&) override { journal.push_back("world " + getName()); }
    void update(float dt) override {
        journal.push_back(getName());
        lastDt = dt;
        if (onUpdate)
            onUpdate(*this);
    }

    Journal& journal;
    std::function<void(RecordingNode&)> onUpdate;
    float lastDt = -1.0f;
};

class FakeBody : public Node3DBody {
public:
    explicit FakeBody(Journal& journal, bool* destroyed = nullptr) : journal(journal), destroyed(destroyed) {}
    ~FakeBody() override {
        if (destroyed)
            *destroyed = true;
    }
    void onOwnerPoseChanged() override { journal.push_back("pose " + ownerName()); }
    void addToScene(Scene& scene) override { journal.push_back("addToScene " + ownerName()); }
    std::unique_ptr<Node3DBody> copy(Node3D& newOwner) const override {
        journal.push_back("copy for " + newOwner.getName());
        return std::make_unique<FakeBody>(journal);
    }
    std::string ownerName() const { return owner() ? owner()->getName() : "none"; }

    Journal& journal;
    bool* destroyed;
};

class TestScene : public Scene {
public:
    using Scene::Scene;
    void load() override {
        if (onLoad)
            onLoad(*this);
    }
    std::function<void(TestScene&)> onLoad;
};

} // namespace hm::test
