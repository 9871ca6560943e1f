// A textured quad of the 2D layer that also follows the mouse.
//
// The image fills the node's unit square with its canvas material's picture (top row of the
// image at the top). With keepAspect the node's width follows its height, so the picture keeps
// its proportions on any window shape: the y scale is the height as a fraction of the window
// and the x scale is derived from it on every framebuffer-size event.
//
// Mouse input reaches the node once it has a window (Node2D::setWindow): cursor moves drive the
// hover hooks, and a mouse button event while hovered calls onClick. A node that is Hidden or
// Disabled, or sits below such a node, takes no input and is never hovered. The hover is also
// checked once a frame against the last cursor position, so a node that slides away or is
// hidden under a still cursor hears onHoverLeave at once.
//
// An image takes the pointer over its area (catchesPointer): a click or hover there is not handed
// to the 3D world behind it. Veils that only tint the screen give it up with setCatchesPointer.
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
    bool catchesPointer(const glm::vec2& screen) const override;
    void refreshPointer() override;
    void setCatchesPointer(bool catches) { catchesPointer_ = catches; }

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
    // The cursor's position in the node's unit square for a screen position (x right, y up).
    glm::vec2 toLocal(const glm::vec2& screen) const;
    // Enters or leaves the hover for a cursor at window pixel (x, y); onHover only if reportOver.
    void trackCursor(Window& window, double x, double y, bool reportOver);

    bool keepAspect_;
    float imageAspect_ = 1.0f;
    float windowAspect_ = 1.0f;
    std::shared_ptr<CanvasMaterial> material_;
    glm::vec2 cursorLocal_{0.0f};
    bool hovered_ = false;
    bool catchesPointer_ = true;
    bool cursorKnown_ = false;
    glm::dvec2 cursor_{0.0};
};

} // namespace hm
