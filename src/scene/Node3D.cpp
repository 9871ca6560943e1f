#include "scene/Node3D.h"

#include "app/Log.h"
#include "scene/Node3DBody.h"
#include "scene/Scene.h"

#include <glm/gtc/matrix_transform.hpp>
#include <glm/matrix.hpp>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <stdexcept>

namespace hm {

namespace {

// A name split into the base and the copy index of "base[index]".
struct IndexedName {
    std::string base;
    bool hasIndex = false;
    std::int64_t index = 0;
    std::size_t width = 0; // characters of the index text
};

IndexedName splitName(const std::string& name) {
    IndexedName split{name};
    if (name.empty() || name.back() != ']')
        return split;
    const std::size_t open = name.rfind('[');
    if (open == std::string::npos)
        return split;
    const char* first = name.data() + open + 1;
    const char* last = name.data() + name.size() - 1;
    if (first == last)
        return split;
    std::int32_t index = 0;
    const auto [end, error] = std::from_chars(first, last, index);
    if (error != std::errc() || end != last)
        return split;
    split.base = name.substr(0, open);
    split.hasIndex = true;
    split.index = index;
    split.width = static_cast<std::size_t>(last - first);
    return split;
}

// Zero scale collapses a frame; world-space operations cannot be expressed in it.
bool invertible(const glm::mat4& m) {
    const float det = glm::determinant(m);
    return det != 0.0f && std::isfinite(det);
}

void warnSingular(const std::string& name) {
    spdlog::warn("Node {0} has a singular world frame; the world-space transform is ignored.", name);
}

// Resets a node's updating flag however its update ends.
struct UpdatingScope {
    bool& flag;
    explicit UpdatingScope(bool& f) : flag(f) { flag = true; }
    ~UpdatingScope() { flag = false; }
};

} // namespace

std::string Node3D::copyName(const std::string& name) {
    const IndexedName split = splitName(name);
    const std::int64_t next = split.index > 0 ? split.index + 1 : 1;
    const std::size_t width = split.hasIndex ? split.width : 4;
    return fmt::format("{0}[{1:0{2}}]", split.base, next, width);
}

std::string Node3D::baseName(const std::string& name) {
    return splitName(name).base;
}

Node3D::Node3D(std::string name) : name_(std::move(name)) {}

Node3D::Node3D(const Node3D& source)
    : PropertyHolder(source), localMatrix_(source.localMatrix_), name_(copyName(source.name_)) {
    if (source.body_) {
        body_ = source.body_->copy(*this);
        if (body_)
            body_->owner_ = this;
    }
    try {
        for (const auto& child : source.children_) {
            std::unique_ptr<Node3D> copied = child->copy();
            children_.push_back(std::move(copied));
            children_.back()->parent_ = this;
            children_.back()->updateWorldMatrix();
        }
    } catch (...) {
        // The destructor does not run for a copy that throws here. Children still pointing at
        // this node would withdraw themselves from children_ while the vector itself is being
        // destroyed, which skips (and leaks) their siblings: cut them loose first.
        std::vector<std::unique_ptr<Node3D>> built = std::move(children_);
        children_.clear();
        for (auto& child : built)
            child->parent_ = nullptr;
        built.clear();
        body_.reset();
        throw;
    }
}

Node3D::~Node3D() {
    lifetime_.reset();
    std::vector<std::unique_ptr<Node3D>> children = std::move(children_);
    children_.clear();
    for (auto& child : children) {
        child->parent_ = nullptr;
        child.reset();
    }
    // Only a node deleted by hand while still in a tree gets here with a parent: withdraw the
    // parent's claim so it is not deleted twice.
    if (parent_)
        (void)parent_->takeDirectChild(this).release();
    body_.reset();
}

std::unique_ptr<Node3D> Node3D::copy() const {
    throw std::logic_error("Node 3D is a pure virtual function and doesn't need a copy function");
}

std::weak_ptr<const void> Node3D::lifetimeToken() const {
    if (!lifetime_)
        lifetime_ = std::make_shared<char>(0);
    return lifetime_;
}

bool Node3D::isAncestorOf(const Node3D& node) const {
    for (const Node3D* p = node.parent_; p; p = p->parent_)
        if (p == this)
            return true;
    return false;
}

// --- Tree ---------------------------------------------------------------------------------

Node3D* Node3D::addChild(std::unique_ptr<Node3D> child) {
    if (!child) {
        spdlog::error("Node {0} was given no child to add.", name_);
        return nullptr;
    }
    if (child.get() == this || child->isAncestorOf(*this)) {
        spdlog::error("Node {0} cannot be added below itself.", child->getName());
        // The caller still uses the tree this node lives in; dropping it here would delete it.
        (void)child.release();
        return nullptr;
    }
    Node3D& ref = *child;
    children_.push_back(std::move(child));
    ref.attachTo(*this);
    return &ref;
}

void Node3D::attachTo(Node3D& newParent) {
    if (newParent.scene_ != scene_)
        setScene(newParent.scene_);
    parent_ = &newParent;
    updateWorldMatrix();
}

bool Node3D::setParent(Node3D* newParent) {
    if (newParent == parent_)
        return true;
    if (!newParent) {
        spdlog::error("Node {0} cannot be given a null parent; detach it instead.", name_);
        return false;
    }
    if (newParent == this || isAncestorOf(*newParent)) {
        spdlog::error("Node {0} cannot be added below itself.", name_);
        return false;
    }
    if (!parent_) {
        spdlog::error("Node {0} has no parent to hand it over; add it with addChild.", name_);
        return false;
    }
    std::unique_ptr<Node3D> self = parent_->takeDirectChild(this);
    if (!self)
        return false;
    newParent->children_.push_back(std::move(self));
    attachTo(*newParent);
    return true;
}

std::unique_ptr<Node3D> Node3D::takeDirectChild(const Node3D* child) {
    for (std::size_t i = 0; i < children_.size(); ++i) {
        if (children_[i].get() != child)
            continue;
        // Keep a running update pass on the child it is visiting.
        if (updating_ && i < cursor_)
            --cursor_;
        std::unique_ptr<Node3D> owned = std::move(children_[i]);
        children_.erase(children_.begin() + static_cast<std::ptrdiff_t>(i));
        owned->parent_ = nullptr;
        return owned;
    }
    return nullptr;
}

Node3D* Node3D::findDescendant(const Node3D* node) {
    for (const auto& child : children_) {
        if (child.get() == node)
            return child.get();
        if (Node3D* found = child->findDescendant(node))
            return found;
    }
    return nullptr;
}

bool Node3D::removeChild(const Node3D* child) {
    Node3D* node = child ? findDescendant(child) : nullptr;
    if (!node)
        return false;
    if (node->updating_) {
        node->destroyPending_ = true;
        return true;
    }
    node->parent_->takeDirectChild(node).reset();
    return true;
}

std::unique_ptr<Node3D> Node3D::releaseChild(const Node3D* child) {
    Node3D* node = child ? findDescendant(child) : nullptr;
    return node ? node->detach() : nullptr;
}

std::unique_ptr<Node3D> Node3D::detach() {
    if (window_)
        setWindow(nullptr);
    if (scene_)
        setScene(nullptr);
    if (!parent_)
        return nullptr;
    std::unique_ptr<Node3D> self = parent_->takeDirectChild(this);
    updateWorldMatrix();
    return self;
}

bool Node3D::replaceWith(std::unique_ptr<Node3D> other) {
    Node3D* parent = parent_;
    if (!addSibling(std::move(other)))
        return false;
    return parent->removeChild(this); // this node may be gone now
}

bool Node3D::addSibling(std::unique_ptr<Node3D> other) {
    if (!other)
        return false;
    if (!parent_) {
        spdlog::warn("Node {0} has no parent to take {1}.", name_, other->getName());
        return false;
    }
    other->setLocalMatrix(localMatrix_);
    parent_->addChild(std::move(other));
    return true;
}

void Node3D::destroy(bool deferred) {
    if (deferred || updating_) {
        destroyPending_ = true;
        return;
    }
    if (!parent_) {
        spdlog::warn("Node {0} has no parent to delete it; its owner has to.", name_);
        destroyPending_ = false;
        return;
    }
    parent_->removeChild(this); // deletes this node
}

void Node3D::setScene(Scene* scene) {
    if (scene == scene_)
        return;
    if (scene) {
        if (scene->window() != window_)
            setWindow(scene->window());
        if (body_)
            body_->addToScene(*scene);
    } else if (body_) {
        body_->leaveScene();
    }
    onSceneChanged(scene);
    scene_ = scene;
    for (std::size_t i = 0; i < children_.size(); ++i)
        children_[i]->setScene(scene);
}

void Node3D::setWindow(Window* window) {
    if (window == window_)
        return;
    onWindowChanged(window);
    window_ = window;
    for (std::size_t i = 0; i < children_.size(); ++i)
        children_[i]->setWindow(window);
}

// --- Searches -------------------------------------------------------------------------------

Node3D* Node3D::findByName(const std::string& name) {
    if (name_ == name)
        return this;
    for (const auto& child : children_)
        if (Node3D* found = child->findByName(name))
            return found;
    return nullptr;
}

void Node3D::findAllByBaseName(const std::string& name, std::vector<Node3D*>& out) {
    if (baseName(name_) == name)
        out.push_back(this);
    for (const auto& child : children_)
        child->findAllByBaseName(name, out);
}

void Node3D::collectByName(std::map<std::string, Node3D*>& out, CollectMode mode) {
    if (mode == CollectMode::All || body_)
        out[name_] = this;
    for (const auto& child : children_)
        child->collectByName(out, mode);
}

// --- Per-frame passes -------------------------------------------------------------------------

void Node3D::renderTree(int pass, float elapsed) {
    render(elapsed, pass);
    for (std::size_t i = 0; i < children_.size(); ++i)
        children_[i]->renderTree(pass, elapsed);
}

void Node3D::updateTree(float dt) {
    if (destroyPending_) {
        destroy(false); // this node is gone unless it has no parent
        return;
    }
    UpdatingScope scope(updating_);
    update(dt);
    // From the last child to the first: children appended during the pass wait for the next
    // frame, and takeDirectChild moves the cursor when an earlier sibling leaves.
    for (cursor_ = children_.size(); cursor_ > 0;) {
        --cursor_;
        if (cursor_ >= children_.size()) {
            cursor_ = children_.size();
            continue;
        }
        children_[cursor_]->updateTree(dt);
    }
}

// --- Transforms -------------------------------------------------------------------------------

void Node3D::setLocalMatrix(const glm::mat4& matrix) {
    localMatrix_ = matrix;
    updateWorldMatrix();
}

void Node3D::updateWorldMatrix() {
    const glm::mat4 previous = worldMatrix_;
    const glm::mat4 parentWorld = parent_ ? parent_->getWorldMatrix() : glm::mat4(1.0f);
    worldMatrix_ = parentWorld * localMatrix_;
    onWorldMatrixChanged(previous);
    if (body_)
        body_->onOwnerPoseChanged();
    for (std::size_t i = 0; i < children_.size(); ++i)
        children_[i]->updateWorldMatrix();
}

void Node3D::setWorldMatrix(const glm::mat4& matrix) {
    const glm::mat4 parentWorld = parent_ ? parent_->getWorldMatrix() : glm::mat4(1.0f);
    if (!invertible(parentWorld)) {
        warnSingular(name_);
        return;
    }
    localMatrix_ = glm::inverse(parentWorld) * matrix;
    updateWorldMatrix();
}

void Node3D::setDrawnWorldMatrix(const glm::mat4& matrix) {
    const glm::mat4 previous = worldMatrix_;
    worldMatrix_ = matrix;
    onWorldMatrixChanged(previous);
}

void Node3D::transformLocal(const glm::mat4& matrix) {
    setLocalMatrix(localMatrix_ * matrix);
}

void Node3D::transformWorld(const glm::mat4& matrix) {
    setWorldMatrix(matrix * worldMatrix_);
}

void Node3D::translate(const glm::vec3& offset) {
    localMatrix_ = glm::translate(localMatrix_, offset);
    updateWorldMatrix();
}

void Node3D::scale(float x, float y, float z) {
    localMatrix_ = glm::scale(localMatrix_, glm::vec3(x, y, z));
    updateWorldMatrix();
}

void Node3D::rotate(const glm::vec3& axis, float angle) {
    if (glm::dot(axis, axis) == 0.0f) {
        spdlog::warn("Node {0} cannot rotate about a zero axis.", name_);
        return;
    }
    localMatrix_ = glm::rotate(localMatrix_, angle, axis);
    updateWorldMatrix();
}

void Node3D::translateGlobal(const glm::vec3& offset) {
    if (!invertible(worldMatrix_)) {
        warnSingular(name_);
        return;
    }
    const glm::vec4 local = glm::inverse(worldMatrix_) * glm::vec4(offset, 0.0f);
    localMatrix_ = glm::translate(localMatrix_, glm::vec3(local));
    updateWorldMatrix();
}

void Node3D::rotateGlobal(const glm::vec3& axis, float angle) {
    if (!invertible(worldMatrix_)) {
        warnSingular(name_);
        return;
    }
    const glm::vec3 local = glm::vec3(glm::inverse(worldMatrix_) * glm::vec4(axis, 0.0f));
    if (glm::dot(local, local) == 0.0f) {
        spdlog::warn("Node {0} cannot rotate about a zero axis.", name_);
        return;
    }
    localMatrix_ = glm::rotate(localMatrix_, angle, local);
    updateWorldMatrix();
}

// --- Picking ----------------------------------------------------------------------------------

// The callbacks run from copies: a callback may destroy its own node.
void Node3D::onMouseEnter(const glm::vec2&, const glm::vec3&, const glm::vec3&) {
    if (Callback callback = mouseEnterCallback_)
        callback();
}

void Node3D::onMouseLeave(const glm::vec2&, const glm::vec3&, const glm::vec3&) {
    if (Callback callback = mouseLeaveCallback_)
        callback();
}

void Node3D::onClick(const glm::vec2&, const glm::vec3&, const glm::vec3&) {
    if (Callback callback = clickCallback_)
        callback();
}

// --- Body -------------------------------------------------------------------------------------

void Node3D::setBody(std::unique_ptr<Node3DBody> body) {
    body_.reset();
    body_ = std::move(body);
    if (!body_)
        return;
    if (body_->owner_)
        spdlog::warn("Assignment of Physx-Body to a different parent. That shouldnt happen.");
    body_->owner_ = this;
}

} // namespace hm
