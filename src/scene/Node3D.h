// The 3D node tree.
//
// A Node3D has a name (not necessarily unique), a local transform relative to its parent, a
// cached world transform, ordered children that it owns, an optional physics body that it
// owns, typed properties, and virtual hooks through which the scene, the renderer, the
// physics contact handler and the cursor observer talk to it.
//
// Matrices are column-major and multiply column vectors; angles are radians. Every transform
// operation ends by refreshing the world matrices of the whole subtree, so they are always
// current when an operation returns.
//
// Ownership: a parent owns its children (std::unique_ptr); a node handed over with addChild
// belongs to the tree, a node taken out with detach or releaseChild belongs to the caller.
// Scene, window and parent links are plain observers.
//
// Destruction during the frame's update pass: a node whose update is running (it or one of
// its descendants is being updated) is never deleted on the spot; immediate destruction then
// turns into deferred destruction, which happens at the node's next updateTree visit. Removing
// nodes that are not being updated (siblings, other branches) takes effect at once, and the
// update pass neither skips nor repeats the remaining siblings.
#pragma once

#include "scene/NodeRef.h"
#include "scene/PropertyHolder.h"

#include <glm/mat4x4.hpp>
#include <glm/vec2.hpp>
#include <glm/vec3.hpp>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace hm {

class Node3DBody;
class Scene;
class Window;

class Node3D : public PropertyHolder {
public:
    using Callback = std::function<void()>;

    // Which nodes collectByName enters.
    enum class CollectMode { All = 0, WithBody = 1 };

    explicit Node3D(std::string name);
    Node3D& operator=(const Node3D&) = delete;
    ~Node3D() override;

    // --- Hooks for subclasses -------------------------------------------------------------
    // The node joined a scene, or left it (null). Lights, cameras and particle systems
    // register with the scene here.
    virtual void onSceneChanged(Scene* scene) = 0;
    // The window whose input the node may listen to changed (null when leaving).
    virtual void onWindowChanged(Window* window) = 0;
    // pass 0 is the depth-only shadow pass, pass 1 the colour pass.
    virtual void render(float elapsed, int pass) = 0;
    virtual void update(float dt) = 0;
    virtual std::string getTypeName() const { return "Node3D"; }
    virtual void onWorldMatrixChanged(const glm::mat4& previous) {}
    // A deep copy of the subtree (see the copy constructor for names). Node3D itself cannot be
    // copied and throws std::logic_error.
    virtual std::unique_ptr<Node3D> copy() const;

    // --- Tree ------------------------------------------------------------------------------
    // Takes the node out of its scene, its window and its parent and hands it to the caller
    // (null when it had no parent: then whoever holds it already owns it).
    virtual std::unique_ptr<Node3D> detach();
    // Puts other in this node's place: it takes this node's local matrix and joins the parent;
    // this node leaves the parent and is destroyed (deferred while its update runs). To keep
    // this node instead, use addSibling and then detach. False without a parent, in which case
    // other is dropped.
    virtual bool replaceWith(std::unique_ptr<Node3D> other);
    // Appends other to this node's parent with this node's local matrix. False without a
    // parent, in which case other is dropped.
    virtual bool addSibling(std::unique_ptr<Node3D> other);
    // deferred false: delete now (or at the next visit while the node's update runs).
    // deferred true: delete at the start of the node's next updateTree visit.
    // A node without a parent is not owned by a tree and cannot destroy itself.
    virtual void destroy(bool deferred);

    // Appends the child and makes this node its parent; the child joins this node's scene.
    // Returns the child, or null when it was null or would make the tree a cycle.
    Node3D* addChild(std::unique_ptr<Node3D> child);
    template <typename T, typename... Args> T& createChild(Args&&... args) {
        auto child = std::make_unique<T>(std::forward<Args>(args)...);
        T& ref = *child;
        addChild(std::move(child));
        return ref;
    }
    // Moves this node (which must already have a parent) under newParent. The same parent does
    // nothing; null, a parentless node and cycles are refused with an error line.
    bool setParent(Node3D* newParent);
    // Destroys the node if it is anywhere below this one. False when it is not.
    bool removeChild(const Node3D* child);
    // Detaches the node if it is anywhere below this one and hands it to the caller.
    std::unique_ptr<Node3D> releaseChild(const Node3D* child);

    // Recursive; Scene calls setScene when it adopts a root.
    void setScene(Scene* scene);
    void setWindow(Window* window);

    // --- Searches (pre-order, the node itself included) -------------------------------------
    Node3D* findByName(const std::string& name);
    // Nodes whose name without its copy index ("[0001]") equals name.
    void findAllByBaseName(const std::string& name, std::vector<Node3D*>& out);
    // out[name] = node for every entered node; with duplicate names the last one wins.
    void collectByName(std::map<std::string, Node3D*>& out, CollectMode mode);

    // --- Per-frame passes -------------------------------------------------------------------
    void renderTree(int pass, float elapsed);
    // Deletes the node if destruction is pending; else update(dt), then the children from the
    // last to the first.
    void updateTree(float dt);

    // --- Transforms -------------------------------------------------------------------------
    virtual void setLocalMatrix(const glm::mat4& matrix);
    virtual glm::mat4 getWorldMatrix() const { return worldMatrix_; }
    // Recomputes the world matrix from the parent's, tells the node and its body, and
    // descends into the children.
    virtual void updateWorldMatrix();
    const glm::mat4& getLocalMatrix() const { return localMatrix_; }
    glm::vec3 getWorldPosition() const { return glm::vec3(worldMatrix_[3]); }

    void setWorldMatrix(const glm::mat4& matrix);
    // Replaces the cached world matrix alone and tells the node (onWorldMatrixChanged): no local
    // matrix, body or child follows. The frame interpolator draws in-between poses with it and
    // puts the step's matrix back after drawing.
    void setDrawnWorldMatrix(const glm::mat4& matrix);
    void transformLocal(const glm::mat4& matrix);
    void transformWorld(const glm::mat4& matrix);
    void translate(const glm::vec3& offset);
    void scale(float x, float y, float z);
    void rotate(const glm::vec3& axis, float angle);
    // Translation and rotation given in world space.
    void translateGlobal(const glm::vec3& offset);
    void rotateGlobal(const glm::vec3& axis, float angle);

    // --- Contacts and picking ---------------------------------------------------------------
    virtual void onContact(Node3D& other) {}
    virtual void onMouseEnter(const glm::vec2& cursor, const glm::vec3& hitPosition,
                              const glm::vec3& hitNormal);
    virtual void onMouseLeave(const glm::vec2& cursor, const glm::vec3& hitPosition,
                              const glm::vec3& hitNormal);
    virtual void onMouseOver(const glm::vec2& cursor, const glm::vec3& hitPosition,
                             const glm::vec3& hitNormal) {}
    virtual void onClick(const glm::vec2& cursor, const glm::vec3& hitPosition, const glm::vec3& hitNormal);
    void setMouseEnterCallback(Callback callback) { mouseEnterCallback_ = std::move(callback); }
    void setMouseLeaveCallback(Callback callback) { mouseLeaveCallback_ = std::move(callback); }
    void setClickCallback(Callback callback) { clickCallback_ = std::move(callback); }

    virtual bool hasMesh() const { return false; }

    // --- Body -------------------------------------------------------------------------------
    // Replaces (and deletes) the current body; null removes it.
    void setBody(std::unique_ptr<Node3DBody> body);
    Node3DBody* getBody() const { return body_.get(); }

    const std::string& getName() const { return name_; }
    void setName(std::string name) { name_ = std::move(name); }
    Node3D* getParent() const { return parent_; }
    const std::vector<std::unique_ptr<Node3D>>& getChildren() const { return children_; }
    Scene* getScene() const { return scene_; }
    Window* getWindow() const { return window_; }
    bool destroyPending() const { return destroyPending_; }
    bool isAncestorOf(const Node3D& node) const;

    // The token behind NodeRef: it expires when the node is destroyed.
    std::weak_ptr<const void> lifetimeToken() const;

    // The name a copy of a node of this name gets: "tower" → "tower[0001]",
    // "crate[07]" → "crate[08]", "gate[x]" → "gate[x][0001]".
    static std::string copyName(const std::string& name);
    // The name without its copy index: "enemy[12]" → "enemy".
    static std::string baseName(const std::string& name);

protected:
    // The copy of a subtree: no properties, callbacks, scene, parent or window; the local
    // matrix is kept, the world matrix is identity until the copy is attached; the name gets
    // the next copy index; body and children are copied.
    Node3D(const Node3D& source);

private:
    void attachTo(Node3D& newParent);
    std::unique_ptr<Node3D> takeDirectChild(const Node3D* child);
    Node3D* findDescendant(const Node3D* node);

    std::unique_ptr<Node3DBody> body_;
    bool destroyPending_ = false;
    glm::mat4 localMatrix_{1.0f};
    glm::mat4 worldMatrix_{1.0f};
    std::string name_;
    Window* window_ = nullptr;
    Scene* scene_ = nullptr;
    Node3D* parent_ = nullptr;
    std::vector<std::unique_ptr<Node3D>> children_;
    Callback mouseLeaveCallback_;
    Callback mouseEnterCallback_;
    Callback clickCallback_;

    // Set while updateTree runs on this node; such a node is never deleted on the spot.
    bool updating_ = false;
    // While this node's updateTree walks its children: the index of the child being visited.
    std::size_t cursor_ = 0;
    mutable std::shared_ptr<const void> lifetime_;
};

} // namespace hm
