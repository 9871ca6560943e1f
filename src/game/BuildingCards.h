// The panel of building cards that slides up when a free tower base is selected: one card per
// tower kind, with a turning picture of the tower, its price and its figures (damage, range,
// seconds between shots, splash). Clicking an affordable card builds that tower on the selected
// base; a card the player cannot afford is dimmed, and over it the pointer becomes the "no"
// cursor.
#pragma once

#include "game/Prototypes.h"
#include "game/SlidingPanel.h"
#include "ui/ButtonNode.h"

#include <memory>
#include <string>
#include <vector>

namespace hm {

class TextLineNode;
class Video2DTexture;

// The lines of figures a card (or the tower panel) shows for a tower kind at a level, from the
// prototype tables: the damage of a shot, the range, the seconds between shots and, for shots
// that explode, the splash radius.
std::vector<std::string> towerFigures(TowerType type, int level = 1);

class BuildingCardPanel : public SlidingPanel {
public:
    BuildingCardPanel();
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
    const std::vector<TextLineNode*>& figureTexts() const { return figureTexts_; }
    // False while the player cannot pay for the tower: the card is dimmed.
    bool affordable() const { return affordable_; }

    static constexpr float kDimShade = 0.4f;

private:
    void showAffordable(bool affordable);

    std::shared_ptr<Video2DTexture> picture_;
    TextLineNode* costText_ = nullptr;
    std::vector<TextLineNode*> figureTexts_;
    TowerType type_;
    bool affordable_ = true;
    BuildingCardPanel* panel_;
};

} // namespace hm
