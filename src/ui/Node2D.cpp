#include "ui/Node2D.h"

#include "app/Log.h"
#include "scene/Scene.h"

#include <glm/gtc/matrix_transform.hpp>

#include <array>
#include <cmath>

namespace hm {

namespace {

// Pivot offsets in units of the node's own size, indexed by anchor.
constexpr std::array<glm::vec2, 9> kAnchorOffsets{{
    {-0.5f, -0.5f},
    {0.0f, -1.0f},
    {-0.5f, -1.0f},
    {-1.0f, -1.0f},
    {0.0f, -0.5f},
    {-1.0f, -0.5f},
    {0.0f, 0.0f},
    {-0.5f, 0.0f},
    {-1.0f, 0.0f},
}};

} // namespace

Node2D::Node2D(std::string name) : name_(std::move(name)) {
    Node2D::setAnchor(AnchorBottomLeft);
}

Node2D::~Node2D() {
    std::vector<std::unique_ptr<Node2D>> children = std::move(children_);
    children_.clear();
    for (auto& child : children) {
        child->parent_ = nullptr;
        child.reset();
    }
    // Only a node deleted by hand while still in a tree gets here with a parent: withdraw the
    // parent's claim so it is not deleted twice.
    if (parent_)
        (void)parent_->takeDirectChild(this).release();
    leaveDrawOrder();
    spdlog::debug("Node2D {0} deconstructed", name_);
}

// --- Placement ------------------------------------------------------------------------------

void Node2D::setAnchor(std::int32_t anchor) {
    if (anchor >= 0 && anchor < static_cast<std::int32_t>(kAnchorOffsets.size())) {
        const glm::vec2 offset = kAnchorOffsets[static_cast<std::size_t>(anchor)];
        anchorMatrix_ = glm::translate(glm::mat4(1.0f), glm::vec3(offset, 0.0f));
    } else {
        spdlog::warn("Node2D {0} ignores the unknown anchor {1}.", name_, anchor);
    }
    updateWorldMatrix();
}

void Node2D::updateWorldMatrix() {
    const glm::mat4 previous = worldMatrix_;
    const glm::mat4 parentWorld = parent_ ? parent_->getWorldMatrix() : glm::mat4(1.0f);
    worldMatrix_ = parentWorld * localMatrix_ * anchorMatrix_;
    // The draw order is keyed by depth: a node whose depth changed is filed again.
    if (inDrawOrder_ && worldMatrix_[3].z != drawOrderKey_) {
        leaveDrawOrder();
        enterDrawOrder();
    }
    onWorldMatrixChanged(previous);
    for (std::size_t i = 0; i < children_.size(); ++i)
        children_[i]->updateWorldMatrix();
}

void Node2D::setLocalMatrix(const glm::mat4& matrix) {
    localMatrix_ = matrix;
    updateWorldMatrix();
}

void Node2D::translate(float x, float y, float z) {
    glm::vec4 offset(x, y, z, 0.0f);
    if (parent_) {
        const glm::mat4 parentWorld = parent_->getWorldMatrix();
        // A parent squashed to nothing has no frame to turn the offset into; use it as given.
        if (std::abs(glm::determinant(parentWorld)) > 1e-12f)
            offset = glm::inverse(parentWorld) * offset;
    }
    localMatrix_[3] += glm::vec4(glm::vec3(offset), 0.0f);
    updateWorldMatrix();
}

void Node2D::setTranslation(const glm::vec3& position) {
    localMatrix_[3] = glm::vec4(position, 1.0f);
    updateWorldMatrix();
}

void Node2D::scale(float x, float y, float z) {
    localMatrix_[0] *= x;
    localMatrix_[1] *= y;
    localMatrix_[2] *= z;
    updateWorldMatrix();
}

// --- Tree ---------------------------------------------------------------------------------

bool Node2D::isAncestorOf(const Node2D& node) const {
    for (const Node2D* p = node.parent_; p; p = p->parent_)
        if (p == this)
            return true;
    return false;
}

std::unique_ptr<Node2D> Node2D::takeDirectChild(const Node2D* child) {
    for (auto it = children_.begin(); it != children_.end(); ++it) {
        if (it->get() == child) {
            // A running update pass stays on the child it is visiting.
            if (walking_ && static_cast<std::size_t>(it - children_.begin()) < cursor_)
                --cursor_;
            std::unique_ptr<Node2D> taken = std::move(*it);
            children_.erase(it);
            taken->parent_ = nullptr;
            return taken;
        }
    }
    return nullptr;
}

Node2D* Node2D::addChild(std::unique_ptr<Node2D> child) {
    if (!child) {
        spdlog::error("Node2D {0} was given no child to add.", name_);
        return nullptr;
    }
    if (child.get() == this || child->isAncestorOf(*this)) {
        spdlog::error("Node2D {0} cannot be added below itself.", child->getName());
        // The caller still uses the tree this node lives in; dropping it here would delete it.
        (void)child.release();
        return nullptr;
    }
    Node2D& ref = *child;
    // A node handed over while still in another tree: that parent gives up its claim.
    if (ref.parent_)
        (void)ref.parent_->takeDirectChild(&ref).release();
    children_.push_back(std::move(child));
    ref.setScene(scene_);
    ref.parent_ = this;
    ref.updateWorldMatrix();
    return &ref;
}

std::unique_ptr<Node2D> Node2D::releaseChild(Node2D* child) {
    std::unique_ptr<Node2D> taken = takeDirectChild(child);
    if (taken) {
        taken->setScene(nullptr);
        taken->updateWorldMatrix();
    }
    return taken;
}

Node2D* Node2D::findChild(const std::string& name) {
    if (name_ == name)
        return this;
    for (const auto& child : children_)
        if (Node2D* found = child->findChild(name))
            return found;
    return nullptr;
}

void Node2D::setScene(Scene* scene) {
    if (scene == scene_)
        return;
    if (!scene) {
        setWindow(nullptr);
    }
    leaveDrawOrder();
    scene_ = scene;
    enterDrawOrder();
    onSceneChanged(scene);
    // A scene that is already running hands its window to the nodes that join it.
    if (scene && scene->window() && scene->window() != window_)
        setWindow(scene->window());
    for (std::size_t i = 0; i < children_.size(); ++i)
        children_[i]->setScene(scene);
}

void Node2D::setWindow(Window* window) {
    window_ = window;
    onInputDispatcherChanged(window);
    for (std::size_t i = 0; i < children_.size(); ++i)
        children_[i]->setWindow(window);
}

void Node2D::enterDrawOrder() {
    if (!scene_ || inDrawOrder_)
        return;
    drawOrderKey_ = worldMatrix_[3].z;
    scene_->addNode2D(*this, drawOrderKey_);
    inDrawOrder_ = true;
}

void Node2D::leaveDrawOrder() {
    if (!scene_ || !inDrawOrder_)
        return;
    scene_->removeNode2D(*this, drawOrderKey_);
    inDrawOrder_ = false;
}

// --- Per-frame passes -----------------------------------------------------------------------

void Node2D::updatePass(float dt) {
    if (!isUpdated(mode_))
        return;
    update(dt);
    // By index: an update may add siblings, or remove siblings before or after itself;
    // takeDirectChild keeps the cursor on the child being visited.
    walking_ = true;
    for (cursor_ = 0; cursor_ < children_.size(); ++cursor_)
        children_[cursor_]->updatePass(dt);
    walking_ = false;
}

void Node2D::renderPass(int pass) {
    if (!isDrawn(mode_))
        return;
    render(pass);
    for (std::size_t i = 0; i < children_.size(); ++i)
        children_[i]->renderPass(pass);
}

bool Node2D::acceptsInput() const {
    for (const Node2D* node = this; node; node = node->parent_)
        if (!takesInput(node->mode_))
            return false;
    return true;
}

} // namespace hm
