// A node that draws a shared mesh with a shared material at its world transform.
#pragma once

#include "scene/Node3D.h"

#include <memory>

namespace hm {

class Material;
class Mesh;

class MeshNode : public Node3D {
public:
    MeshNode(std::string name, std::shared_ptr<Mesh> mesh, std::shared_ptr<Material> material);

    void onSceneChanged(Scene* scene) override {}
    void onWindowChanged(Window* window) override {}
    // In the colour pass (1) the node binds its material first; in other passes (the shadow
    // pass) it draws with the program the caller bound.
    void render(float elapsed, int pass) override;
    // Sets what a draw of this node needs besides its material on the bound program: the model
    // matrix (and, for skinned meshes, the bone matrices).
    virtual void applyDrawUniforms() const;
    void update(float dt) override {}
    std::string getTypeName() const override { return "MeshNode"; }
    std::unique_ptr<Node3D> copy() const override { return std::unique_ptr<Node3D>(new MeshNode(*this)); }
    bool hasMesh() const override { return true; }

    const std::shared_ptr<Mesh>& mesh() const { return mesh_; }
    const std::shared_ptr<Material>& material() const { return material_; }
    void setMaterial(std::shared_ptr<Material> material) { material_ = std::move(material); }
    void setMesh(std::shared_ptr<Mesh> mesh) { mesh_ = std::move(mesh); }
    // Largest distance of a vertex from the mesh origin, in the mesh's own units.
    float boundingRadius() const;

    // A hidden node offers the renderer nothing to draw; its children are drawn as usual.
    void setShown(bool shown) { shown_ = shown; }
    bool shown() const { return shown_; }
    // Drawn into the sun's shadow maps (the default). Markers that only inform the player (a
    // range ring, a health bar) cast no shadow.
    void setCastsShadow(bool casts) { castsShadow_ = casts; }
    bool castsShadow() const { return castsShadow_; }
    // Drawn after the whole 3D world, over it, without the depth test: a marker on the ground
    // that must never disappear under the road or a plinth.
    void setDrawnOnTop(bool onTop) { drawnOnTop_ = onTop; }
    bool drawnOnTop() const { return drawnOnTop_; }

protected:
    MeshNode(const MeshNode& source) = default;

private:
    std::shared_ptr<Mesh> mesh_;
    std::shared_ptr<Material> material_;
    bool shown_ = true;
    bool castsShadow_ = true;
    bool drawnOnTop_ = false;
};

} // namespace hm
