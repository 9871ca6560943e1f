// An image that brightens under the mouse and runs a callback when clicked.
//
// The glow follows the hover state over 0.2 s and makes the picture up to 30 % brighter. The
// click fires on the release of the left button over the button, wherever it was pressed. A
// shade below 1 darkens the picture, for a button that cannot be used now.
#pragma once

#include "ui/ImageNode.h"

#include <functional>

namespace hm {

class ButtonNode : public ImageNode {
public:
    using Callback = std::function<void()>;

    // An empty callback makes a button that does nothing when clicked.
    ButtonNode(bool keepAspect, std::string name, Callback callback);
    ~ButtonNode() override = default;

    void render(int pass) override;
    void update(float dt) override;
    void onClick(int button, int action) override;

    void setOnClickCallback(Callback callback) { onClickCallback_ = std::move(callback); }
    float glow() const { return glow_; }
    // Colour factor of the picture, 1 for its own colours; clamped to 0..1.
    void setShade(float shade);
    float shade() const { return shade_; }

    // Glow gained (hovered) or lost per second.
    static constexpr float kGlowRate = 5.0f;
    // Colour factor at full glow.
    static constexpr float kMaxBrightening = 0.3f;

private:
    float glow_ = 0.0f;
    float shade_ = 1.0f;
    Callback onClickCallback_;
};

} // namespace hm
