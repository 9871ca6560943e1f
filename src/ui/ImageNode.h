// A textured quad of the 2D layer that also follows the mouse.
//
// The image fills the node's unit square with its canvas material's picture (top row of the
// image at the top). With keepAspect the node's width follows its height, so the picture keeps
// its proportions on any window shape: the y scale is the height as a fraction of the window
// and the x scale is derived from it on every framebuffer-size event.
//
// Mouse input reaches the node once it has a window (Node2D::setWindow): cursor moves drive the
// hover hooks, and a mouse button event while hovered calls onClick. A node that is Hidden or
// Disabled, or sits below such a node, takes no input and is never hovered.
#pragma once

#include "app/InputHandler.h"
#include "ui/Node2D.h"

#include <glm/vec2.hpp>

#include <memory>

namespace hm {

class CanvasMaterial;
class Mesh;

class ImageNode : public Node2D, public InputHandler {
public:
    // Starts with the registry's default canvas material.
    ImageNode(bool keepAspect, std::string name);

    void onInputDispatcherChanged(Window* window) override;
    void render(int pass) override;
    std::string getTypeName() const override { return "ImageNode2D"; }

    virtual void onHover() {}
    virtual void onHoverEnter() {}
    virtual void onHoverLeave() {}
    virtual void onClick(int button, int action) {}

    void onCursorPosition(Window& window, double x, double y) override;
    void onMouseButton(Window& window, int button, int action, int mods) override;
    void onFramebufferSize(Window& window, int width, int height) override;

    // With keepAspect the image takes the aspect ratio of the material's picture. A null
    // material is refused with a warning.
    void setMaterial(std::shared_ptr<CanvasMaterial> material);
    const std::shared_ptr<CanvasMaterial>& material() const { return material_; }

    bool keepAspect() const { return keepAspect_; }
    float imageAspect() const { return imageAspect_; }
    float windowAspect() const { return windowAspect_; }
    const glm::vec2& cursorLocal() const { return cursorLocal_; }
    bool hovered() const { return hovered_; }

    // The unit square shared by every image node; created on first use (needs the GL context).
    static const Mesh& quad();

protected:
    // Makes the material current and sets the world matrix; then quad().draw(...) draws.
    void prepareDraw() const;

private:
    // Sets the x scale from the y scale, the picture's and the window's aspect ratios.
    void correctAspect();
    void leaveHover();

    bool keepAspect_;
    float imageAspect_ = 1.0f;
    float windowAspect_ = 1.0f;
    std::shared_ptr<CanvasMaterial> material_;
    glm::vec2 cursorLocal_{0.0f};
    bool hovered_ = false;
};

} // namespace hm
