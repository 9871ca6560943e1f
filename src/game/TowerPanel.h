// The panel of the selected tower, in the style of the building cards. It slides up from the
// bottom when a built tower is selected and shows the tower's kind and level, its figures now
// (damage, range, seconds between shots, splash) and at the next level with that level's price,
// and three buttons: upgrade (dimmed, with the "no" cursor, while it cannot be paid or at the top
// level), sell (for what selling gives back now) and the targeting mode, which cycles through the
// modes. Each button calls one action of the coordinator on the selected tower.
#pragma once

#include "game/SlidingPanel.h"
#include "scene/NodeRef.h"
#include "ui/ButtonNode.h"

#include <functional>
#include <vector>

namespace hm {

class ImageNode;
class TextLineNode;
class Tower;

// A button of the tower panel: dimmed, and the "no" cursor over it, while it cannot be used.
class TowerPanelButton : public ButtonNode {
public:
    TowerPanelButton(std::string name, Callback callback);
    void onHover() override;
    void onHoverLeave() override;
    void onClick(int button, int action) override;
    // Dims the picture and its label; the click does nothing while unusable.
    void setUsable(bool usable);
    bool usable() const { return usable_; }
    void setLabel(TextLineNode* label) { label_ = label; }

private:
    bool usable_ = true;
    TextLineNode* label_ = nullptr;
};

class TowerPanel : public SlidingPanel {
public:
    static constexpr float kDimShade = 0.4f;

    TowerPanel();
    void update(float dt) override;

    // The tower whose figures the panel shows: it slides in for a tower and out for none (still
    // showing the last one's figures while it goes).
    void show(Tower* tower);
    Tower* tower() const { return tower_.get(); }
    // True while the pointer is on the upgrade button of the open panel: the range ring then
    // shows the next level's reach.
    bool upgradePointedAt() const;

    TowerPanelButton& upgradeButton() const { return *upgrade_; }
    TowerPanelButton& sellButton() const { return *sell_; }
    TowerPanelButton& targetButton() const { return *target_; }
    const TextLineNode& title() const { return *title_; }
    const TextLineNode& nextHeader() const { return *nextHeader_; }
    const std::vector<TextLineNode*>& figureTexts() const { return now_; }
    const std::vector<TextLineNode*>& nextFigureTexts() const { return next_; }

private:
    TextLineNode& text(const std::string& name, float size, float x, float y, int anchor);
    // Texts and buttons from the tower's current figures, price and mode.
    void refresh();

    NodeRef<Tower> tower_;
    ImageNode* board_ = nullptr;
    TextLineNode* title_ = nullptr;
    TextLineNode* nowHeader_ = nullptr;
    TextLineNode* nextHeader_ = nullptr;
    std::vector<TextLineNode*> now_;
    std::vector<TextLineNode*> next_;
    TowerPanelButton* upgrade_ = nullptr;
    TowerPanelButton* sell_ = nullptr;
    TowerPanelButton* target_ = nullptr;
    TextLineNode* upgradeLabel_ = nullptr;
    TextLineNode* sellLabel_ = nullptr;
    TextLineNode* targetLabel_ = nullptr;
};

} // namespace hm
