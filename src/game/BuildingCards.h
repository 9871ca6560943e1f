// The panel of building cards that slides up when a free tower base is selected: one card per
// tower kind, with a turning picture of the tower and its price. Clicking an affordable card
// builds that tower on the selected base; over a card the player cannot afford, the pointer
// becomes the "no" cursor.
#pragma once

#include "game/Prototypes.h"
#include "ui/ButtonNode.h"

#include <memory>

namespace hm {

class TextLineNode;
class Video2DTexture;

enum class SlideState : std::int32_t { Open = 0, SlidingIn = 1, SlidingOut = 2, Gone = 3 };

class BuildingCardPanel : public Node2D {
public:
    static constexpr float kHiddenY = -0.4f;

    BuildingCardPanel();
    void update(float dt) override;

    // Shows the panel and slides it in, unless it is already in or coming in.
    void slideIn();
    // Slides it out, unless it is already out or going.
    void slideOut();
    SlideState slideState() const { return slideState_; }

private:
    SlideState slideState_ = SlideState::Gone;
};

class BuildingCard : public ButtonNode {
public:
    BuildingCard(TowerType type, int index, int count, BuildingCardPanel& panel);

    void update(float dt) override;
    void onHover() override;
    void onHoverLeave() override;
    void onClick(int button, int action) override;

    TowerType towerType() const { return type_; }
    TextLineNode* costText() const { return costText_; }

private:
    std::shared_ptr<Video2DTexture> picture_;
    TextLineNode* costText_ = nullptr;
    TowerType type_;
    BuildingCardPanel* panel_;
};

} // namespace hm
