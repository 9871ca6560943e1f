#include "ui/ImageNode.h"

#include "app/Log.h"
#include "app/Window.h"
#include "render/GpuState.h"
#include "render/Material.h"
#include "render/Mesh.h"
#include "render/RenderDevice.h"
#include "render/ShaderLocations.h"
#include "render/Texture.h"

#include <glm/geometric.hpp>
#include <glm/gtc/type_ptr.hpp>

namespace hm {

ImageNode::ImageNode(bool keepAspect, std::string name)
    : Node2D(std::move(name)), keepAspect_(keepAspect),
      material_(MaterialRegistry::instance().defaultCanvasMaterial()) {
    wantsCursorPosition = true;
    wantsMouseButton = true;
    wantsFramebufferSize = true;
}

const Mesh& ImageNode::quad() {
    return RenderDevice::current().unitSquare();
}

void ImageNode::onInputDispatcherChanged(Window* window) {
    if (registeredWindow() == window)
        return;
    if (Window* previous = registeredWindow())
        previous->unregisterInputHandler(*this);
    if (window) {
        window->registerInputHandler(*this); // reports the framebuffer size at once
    } else if (hovered_) {
        leaveHover();
    }
}

void ImageNode::prepareDraw() const {
    material_->use();
    gpu::setUniform(shader::kModelMatrix, getWorldMatrix());
}

void ImageNode::render(int pass) {
    prepareDraw();
    quad().draw(pass, false);
}

void ImageNode::leaveHover() {
    hovered_ = false;
    onHoverLeave();
}

glm::vec2 ImageNode::toLocal(const glm::vec2& screen) const {
    return glm::vec2(glm::inverse(getWorldMatrix()) * glm::vec4(screen, 0.0f, 1.0f));
}

namespace {
// A node squashed to nothing gives NaN, which compares as outside.
bool insideUnitSquare(const glm::vec2& p) {
    return p.x >= 0.0f && p.x <= 1.0f && p.y >= 0.0f && p.y <= 1.0f;
}
} // namespace

void ImageNode::trackCursor(Window& window, double x, double y, bool reportOver) {
    if (!acceptsInput()) {
        // Nothing hidden is under the cursor; a stale hover would let a later click through.
        if (hovered_)
            leaveHover();
        return;
    }
    const glm::ivec2 size = window.framebufferSize();
    if (size.x <= 0 || size.y <= 0)
        return;
    cursorLocal_ = toLocal({static_cast<float>(x / size.x), static_cast<float>(1.0 - y / size.y)});
    if (insideUnitSquare(cursorLocal_)) {
        if (!hovered_) {
            hovered_ = true;
            onHoverEnter();
            onHover();
        } else if (reportOver) {
            onHover();
        }
    } else if (hovered_) {
        leaveHover();
    }
}

void ImageNode::onCursorPosition(Window& window, double x, double y) {
    cursor_ = {x, y};
    cursorKnown_ = true;
    trackCursor(window, x, y, true);
}

void ImageNode::refreshPointer() {
    if (Window* w = registeredWindow(); w && cursorKnown_)
        trackCursor(*w, cursor_.x, cursor_.y, false);
    else if (hovered_ && !acceptsInput())
        leaveHover();
}

bool ImageNode::catchesPointer(const glm::vec2& screen) const {
    return catchesPointer_ && acceptsInput() && insideUnitSquare(toLocal(screen));
}

void ImageNode::onMouseButton(Window& window, int button, int action, int mods) {
    if (!acceptsInput())
        return;
    if (hovered_)
        onClick(button, action);
}

void ImageNode::onFramebufferSize(Window& window, int width, int height) {
    // A minimised window reports 0 x 0: keep the last shape rather than divide by zero.
    if (width <= 0 || height <= 0)
        return;
    windowAspect_ = static_cast<float>(height) / static_cast<float>(width);
    correctAspect();
}

void ImageNode::setMaterial(std::shared_ptr<CanvasMaterial> material) {
    if (!material) {
        spdlog::warn("ImageNode {0} was given no material; it keeps its current one.", getName());
        return;
    }
    if (keepAspect_) {
        const std::shared_ptr<Texture> picture = material->getTexture(0);
        imageAspect_ = picture ? picture->aspectRatio() : 1.0f;
    }
    material_ = std::move(material);
    // A picture of another shape must not stay stretched until the next resize.
    correctAspect();
}

void ImageNode::correctAspect() {
    if (!keepAspect_)
        return;
    glm::mat4 local = getLocalMatrix();
    const float xScale = glm::length(glm::vec3(local[0]));
    const float yScale = glm::length(glm::vec3(local[1]));
    glm::vec3 xAxis;
    if (xScale > 1e-12f) {
        xAxis = glm::vec3(local[0]) / xScale;
    } else {
        // The x axis was squashed away: rebuild its direction from the other two axes.
        const glm::vec3 fromOthers = glm::cross(glm::vec3(local[1]), glm::vec3(local[2]));
        const float length = glm::length(fromOthers);
        xAxis = length > 1e-12f ? fromOthers / length : glm::vec3(1.0f, 0.0f, 0.0f);
    }
    local[0] = glm::vec4(xAxis * (yScale * imageAspect_ * windowAspect_), 0.0f);
    setLocalMatrix(local);
}

} // namespace hm
