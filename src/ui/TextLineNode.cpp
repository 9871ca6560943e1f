#include "ui/TextLineNode.h"

#include "app/Log.h"
#include "app/Window.h"
#include "ui/Font.h"

#include <array>
#include <cmath>

namespace hm {

namespace {

// The point of the text's box that sits on the node's position, by anchor.
constexpr std::array<glm::vec2, 9> kTextAnchorPoints{{
    {0.5f, 0.5f},
    {0.0f, 1.0f},
    {0.5f, 1.0f},
    {1.0f, 1.0f},
    {0.0f, 0.5f},
    {1.0f, 0.5f},
    {0.0f, 0.0f},
    {0.5f, 0.0f},
    {1.0f, 0.0f},
}};

constexpr float kDepthAboveParent = 0.01f;

} // namespace

TextLineNode::TextLineNode(std::string name, std::string fontName, float fontSize, std::string text)
    : Node2D(std::move(name)), fontName_(std::move(fontName)), fontSize_(fontSize), text_(std::move(text)) {
    if (!(fontSize > 0.0f) || !std::isfinite(fontSize)) {
        spdlog::warn("TextLineNode {0} was given the font size {1}; using {2}.", getName(), fontSize,
                     kDefaultFontSize);
        fontSize_ = kDefaultFontSize;
    }
    wantsCursorPosition = true;
    wantsMouseButton = true;
    wantsFramebufferSize = true;
}

int TextLineNode::pixelSizeFor(float fontSize, int windowHeight) {
    // In double: 26 at 700 pixels must come out as exactly 26, not 25.
    return static_cast<int>(std::floor(static_cast<double>(windowHeight) * static_cast<double>(fontSize) /
                                       static_cast<double>(kReferenceHeight)));
}

void TextLineNode::fetchFont(int windowHeight) {
    // A minimised window has no height: keep the font of the last real size.
    if (windowHeight <= 0)
        return;
    const int pixelSize = std::max(1, pixelSizeFor(fontSize_, windowHeight));
    font_ = &FontCache::instance().getFont(fontName_, pixelSize);
}

void TextLineNode::onInputDispatcherChanged(Window* window) {
    if (registeredWindow() != window) {
        if (Window* previous = registeredWindow())
            previous->unregisterInputHandler(*this);
        if (window)
            window->registerInputHandler(*this);
    }
    if (!window) {
        hovered_ = false;
        return;
    }
    fetchFont(window->framebufferSize().y);
}

void TextLineNode::setAnchor(std::int32_t anchor) {
    if (anchor < 0 || anchor >= static_cast<std::int32_t>(kTextAnchorPoints.size())) {
        spdlog::warn("TextLineNode {0} ignores the unknown anchor {1}.", getName(), anchor);
        return;
    }
    anchor_ = anchor;
}

void TextLineNode::updateWorldMatrix() {
    Node2D::updateWorldMatrix();
    if (parent())
        depth_ = parent()->getWorldMatrix()[3].z + kDepthAboveParent;
}

glm::vec2 TextLineNode::measure(const glm::ivec2& windowSize) const {
    return font_ ? font_->measure(text_, windowSize) : glm::vec2(0.0f);
}

glm::vec2 TextLineNode::anchoredOrigin(const glm::ivec2& windowSize) const {
    const glm::vec2 point = kTextAnchorPoints[static_cast<std::size_t>(anchor_)];
    const glm::vec2 position(getWorldMatrix()[3]);
    return position - measure(windowSize) * point;
}

void TextLineNode::render(int pass) {
    if (!font_ || !window())
        return;
    const glm::ivec2 size = window()->framebufferSize();
    const glm::vec2 origin = anchoredOrigin(size);
    font_->renderText(text_, origin.x, origin.y, depth_, colour_, 1.0f, size);
}

void TextLineNode::onCursorPosition(Window& window, double x, double y) {
    const glm::ivec2 size = window.framebufferSize();
    if (size.x <= 0 || size.y <= 0)
        return;
    if (!acceptsInput()) {
        hovered_ = false;
        return;
    }
    const glm::vec2 origin = anchoredOrigin(size);
    const glm::vec2 box = measure(size);
    if (box.x <= 0.0f || box.y <= 0.0f) {
        // Nothing to point at (no text yet).
        hovered_ = false;
        return;
    }
    cursorRelative_.x = (static_cast<float>(x / size.x) - origin.x) / box.x;
    cursorRelative_.y = (static_cast<float>(1.0 - y / size.y) - origin.y) / box.y;
    hovered_ = cursorRelative_.x >= 0.0f && cursorRelative_.x <= 1.0f && cursorRelative_.y >= 0.0f &&
               cursorRelative_.y <= 1.0f;
    if (hovered_)
        onHover();
}

void TextLineNode::onMouseButton(Window& window, int button, int action, int mods) {
    if (hovered_ && acceptsInput())
        onClick(button, action);
}

void TextLineNode::onFramebufferSize(Window& window, int width, int height) {
    fetchFont(height);
}

} // namespace hm
