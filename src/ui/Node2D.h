// The 2D interface tree drawn over the 3D world: HUD panels, buttons, veils and text lines.
//
// Screen space runs from (0, 0) at the bottom left to (1, 1) at the top right whatever the window
// size. Every 2D node draws and hit-tests the unit square of its own local space, mapped to the
// screen by its world matrix = parent world x local x anchor. So a node's scale is its size as a
// fraction of the window and its translation is the position of its pivot, which the anchor
// chooses (a corner, an edge middle or the centre of the node).
//
// The display mode is the one visibility switch: it decides whether a node's subtree is drawn,
// updated and reachable by the mouse. Later siblings and children are drawn over earlier ones.
//
// Ownership: a parent owns its children (std::unique_ptr). Scene, window and parent links are
// plain observers. A node that joins a scene files itself in the scene's 2D draw order and takes
// the scene's window once it has one; leaving the scene withdraws it from both.
//
// Nodes may add or remove siblings from their update; a node must not destroy itself or an
// ancestor while the tree's update pass is running.
#pragma once

#include <glm/mat4x4.hpp>
#include <glm/vec2.hpp>
#include <glm/vec3.hpp>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace hm {

class Scene;
class Window;

enum class DisplayMode : std::int32_t { Active = 0, Hidden = 1, Frozen = 2, Disabled = 3 };

inline bool isDrawn(DisplayMode mode) {
    return mode == DisplayMode::Active || mode == DisplayMode::Frozen;
}
inline bool isUpdated(DisplayMode mode) {
    return mode == DisplayMode::Active || mode == DisplayMode::Hidden;
}
inline bool takesInput(DisplayMode mode) {
    return mode == DisplayMode::Active || mode == DisplayMode::Frozen;
}

// Pivots chosen by setAnchor; the names say where the pivot sits on the node.
enum Anchor : std::int32_t {
    AnchorCentre = 0,
    AnchorTopLeft = 1,
    AnchorTopMiddle = 2,
    AnchorTopRight = 3,
    AnchorMiddleLeft = 4,
    AnchorMiddleRight = 5,
    AnchorBottomLeft = 6,
    AnchorBottomMiddle = 7,
    AnchorBottomRight = 8,
};

class Node2D {
public:
    // Identity matrices, no parent, Active, anchored at the bottom-left corner.
    explicit Node2D(std::string name);
    // Destroys the children, leaves the parent and the scene's draw order.
    virtual ~Node2D();
    Node2D(const Node2D&) = delete;
    Node2D& operator=(const Node2D&) = delete;

    // --- Hooks for subclasses -------------------------------------------------------------
    virtual void onSceneChanged(Scene* scene) {}
    // The window whose input the node may listen to changed (null when leaving).
    virtual void onInputDispatcherChanged(Window* window) {}
    virtual void render(int pass) {}
    virtual void update(float dt) {}
    virtual std::string getTypeName() const { return "Node2D " + name_; }
    virtual void onWorldMatrixChanged(const glm::mat4& previous) {}
    // True when the node takes the pointer at this screen position, so that nothing behind it
    // (other widgets, the 3D world) may react to it. Plain nodes take nothing.
    virtual bool catchesPointer(const glm::vec2& screen) const { return false; }
    // Once a frame, after the update pass: a node that follows the pointer checks that it is
    // still under it, although the pointer has not moved (the node moved, or it was hidden).
    virtual void refreshPointer() {}

    // --- Placement --------------------------------------------------------------------------
    // One of the nine Anchor values; another value leaves the anchor as it is.
    virtual void setAnchor(std::int32_t anchor);
    // Recomputes the world matrix, tells the node and descends into the children.
    virtual void updateWorldMatrix();
    virtual void setLocalMatrix(const glm::mat4& matrix);
    virtual glm::mat4 getWorldMatrix() const { return worldMatrix_; }

    // Moves the node by an offset given in screen space.
    void translate(float x, float y, float z);
    // Places the pivot at a position in the parent's frame.
    void setTranslation(const glm::vec3& position);
    // Multiplies the local axes; the translation stays.
    void scale(float x, float y, float z);

    const glm::mat4& getLocalMatrix() const { return localMatrix_; }
    const glm::mat4& getAnchorMatrix() const { return anchorMatrix_; }
    glm::vec3 getWorldPosition() const { return glm::vec3(worldMatrix_[3]); }

    // --- Tree ------------------------------------------------------------------------------
    // Appends the child (drawn over the earlier children); it joins this node's scene. Returns
    // the child, or null for a null child or one that would make the tree a cycle.
    Node2D* addChild(std::unique_ptr<Node2D> child);
    template <typename T, typename... Args> T& createChild(Args&&... args) {
        auto child = std::make_unique<T>(std::forward<Args>(args)...);
        T& ref = *child;
        addChild(std::move(child));
        return ref;
    }
    // Takes a direct child out of the tree (it leaves the scene) and hands it to the caller;
    // null when it is not a child of this node.
    std::unique_ptr<Node2D> releaseChild(Node2D* child);
    // This node if the name matches, else the first match depth-first through the children.
    Node2D* findChild(const std::string& name);

    void setScene(Scene* scene);
    // Hands the window to the node and its subtree; the scene calls it on its root at start.
    void setWindow(Window* window);

    // --- Per-frame passes -------------------------------------------------------------------
    // update(dt) and then the children's passes, unless the mode stops updates here.
    void updatePass(float dt);
    // render(pass) and then the children's passes, unless the mode stops drawing here.
    void renderPass(int pass);

    // False when this node or an ancestor is Hidden or Disabled.
    bool acceptsInput() const;

    const std::string& getName() const { return name_; }
    Node2D* parent() const { return parent_; }
    const std::vector<std::unique_ptr<Node2D>>& children() const { return children_; }
    Scene* scene() const { return scene_; }
    Window* window() const { return window_; }
    DisplayMode mode() const { return mode_; }
    void setMode(DisplayMode mode) { mode_ = mode; }

private:
    bool isAncestorOf(const Node2D& node) const;
    std::unique_ptr<Node2D> takeDirectChild(const Node2D* child);
    void enterDrawOrder();
    void leaveDrawOrder();

    glm::mat4 anchorMatrix_{1.0f};
    glm::mat4 localMatrix_{1.0f};
    glm::mat4 worldMatrix_{1.0f};
    std::string name_;
    Window* window_ = nullptr;
    Scene* scene_ = nullptr;
    Node2D* parent_ = nullptr;
    std::vector<std::unique_ptr<Node2D>> children_;
    DisplayMode mode_ = DisplayMode::Active;
    // The depth under which the node is filed in its scene's draw order.
    float drawOrderKey_ = 0.0f;
    bool inDrawOrder_ = false;
    // While updatePass walks the children: the index of the child being visited.
    bool walking_ = false;
    std::size_t cursor_ = 0;
};

// Anchors a node, puts its pivot at (x, y) of its parent's frame and, for a size above 0,
// scales it evenly; returns the node so that a widget is made and placed in one expression.
template <typename T> T& place(T& node, int anchor, float x, float y, float size = 0.0f) {
    node.setAnchor(anchor);
    node.setTranslation({x, y, 0.0f});
    if (size > 0.0f)
        node.scale(size, size, size);
    return node;
}

} // namespace hm
