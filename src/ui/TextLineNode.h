// One line of text in one colour on the 2D layer: HUD counters, prices on building cards.
//
// The font size is given in pixels for a window 700 pixels high and follows the window height,
// so a label keeps its proportion when the window is resized (each size is its own cached
// font). The line is aligned on the node's position by its anchor: anchor 0 centres it on that
// point, anchor 6 puts its bottom-left corner there, and so on for the other seven. The node's
// scale does not size the text.
//
// The node has no font until it is given a window (Node2D::setWindow, or joining a running
// scene); until then it draws nothing. It is drawn just above its parent (parent depth + 0.01).
// Like an image, it takes no mouse input under a Hidden or Disabled node.
#pragma once

#include "app/InputHandler.h"
#include "ui/Node2D.h"

#include <glm/vec2.hpp>
#include <glm/vec3.hpp>

#include <string>

namespace hm {

class Font;

class TextLineNode : public Node2D, public InputHandler {
public:
    // Window height for which the font size is given.
    static constexpr float kReferenceHeight = 700.0f;
    // Used for a font size that is not a positive number.
    static constexpr float kDefaultFontSize = 26.0f;

    TextLineNode(std::string name, std::string fontName, float fontSize, std::string text);

    void onInputDispatcherChanged(Window* window) override;
    void render(int pass) override;
    std::string getTypeName() const override { return "TextLineNode: " + text_; }
    // Stores the anchor that aligns the text; the node's anchor matrix stays the identity.
    void setAnchor(std::int32_t anchor) override;
    void updateWorldMatrix() override;

    // Called while the cursor moves over the label.
    virtual void onHover() {}
    // Called for a mouse button event over the label.
    virtual void onClick(int button, int action) {}

    void onCursorPosition(Window& window, double x, double y) override;
    void onMouseButton(Window& window, int button, int action, int mods) override;
    void onFramebufferSize(Window& window, int width, int height) override;

    void setText(std::string text) { text_ = std::move(text); }
    const std::string& text() const { return text_; }
    void setColour(const glm::vec3& colour) { colour_ = colour; }
    const glm::vec3& colour() const { return colour_; }

    std::int32_t anchor() const { return anchor_; }
    const std::string& fontName() const { return fontName_; }
    float fontSizeFactor() const { return fontSize_ / kReferenceHeight; }
    // Null until the node has a window.
    const Font* font() const { return font_; }
    float depth() const { return depth_; }
    const glm::vec2& cursorRelative() const { return cursorRelative_; }
    bool hovered() const { return hovered_; }

    // Where the line's baseline starts so that its box sits on the node's position as the
    // anchor says, in window-fraction units.
    glm::vec2 anchoredOrigin(const glm::ivec2& windowSize) const;
    // Width and height of the current text in window-fraction units; (0, 0) without a font.
    glm::vec2 measure(const glm::ivec2& windowSize) const;

    // The font's pixel size for a font size in a window of that height (rounded down).
    static int pixelSizeFor(float fontSize, int windowHeight);

private:
    void fetchFont(int windowHeight);

    std::int32_t anchor_ = AnchorBottomLeft;
    std::string fontName_;
    float fontSize_;
    Font* font_ = nullptr;
    std::string text_;
    glm::vec3 colour_{1.0f};
    glm::vec2 cursorRelative_{0.0f};
    bool hovered_ = false;
    float depth_ = 1.0f;
};

} // namespace hm
