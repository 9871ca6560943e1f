#include "game/TowerPanel.h"

#include "app/InputCodes.h"
#include "app/Window.h"
#include "game/BuildingCards.h"
#include "game/GameSound.h"
#include "game/HudMaterials.h"
#include "game/LevelCoordinator.h"
#include "game/Tower.h"
#include "ui/ImageNode.h"
#include "ui/TextLineNode.h"

#include <cctype>

namespace hm {

namespace {

const glm::vec3 kTextColour{1.0f, 0.96f, 0.86f};
const glm::vec3 kHeaderColour{1.0f, 0.8f, 0.38f};
constexpr float kDimText = 0.65f;

// Where the panel's parts sit, in screen units of a square window, the panel at rest.
constexpr float kCentreX = 0.615f;
constexpr float kBoardBottom = 0.012f;
constexpr float kBoardHeight = 0.26f;
constexpr float kLeftColumn = 0.39f;
constexpr float kRightColumn = 0.64f;
constexpr float kHeaderY = 0.185f;
constexpr float kLineStep = 0.02f;
constexpr float kButtonY = 0.062f;
constexpr float kButtonHeight = 0.05f;
constexpr float kButtonGap = 0.155f;
constexpr float kLabelShift = 0.018f; // the label sits right of the button's symbol
constexpr int kFigureLines = 4;

// "ARROW" is shown as "Arrow", "first" as "First".
std::string capitalised(std::string text) {
    for (std::size_t i = 0; i < text.size(); ++i)
        text[i] = static_cast<char>(i == 0 ? std::toupper(static_cast<unsigned char>(text[i]))
                                           : std::tolower(static_cast<unsigned char>(text[i])));
    return text;
}

void setLines(const std::vector<TextLineNode*>& lines, const std::vector<std::string>& texts,
              const glm::vec3& colour) {
    for (std::size_t i = 0; i < lines.size(); ++i) {
        lines[i]->setText(i < texts.size() ? texts[i] : std::string());
        lines[i]->setColour(colour);
    }
}

} // namespace

TowerPanelButton::TowerPanelButton(std::string name, Callback callback)
    : ButtonNode(true, std::move(name), std::move(callback)) {}

void TowerPanelButton::setUsable(bool usable) {
    if (usable == usable_)
        return;
    usable_ = usable;
    setShade(usable ? 1.0f : TowerPanel::kDimShade);
    if (label_)
        label_->setColour(kTextColour * (usable ? 1.0f : kDimText));
    // The pointer may rest on the button while it becomes usable or stops being so.
    if (hovered())
        onHover();
}

void TowerPanelButton::onHover() {
    if (Window* w = window())
        w->setCursor(usable_ ? "default" : "no");
}

void TowerPanelButton::onHoverLeave() {
    if (Window* w = window())
        w->setCursor("default");
}

void TowerPanelButton::onClick(int button, int action) {
    if (usable_)
        ButtonNode::onClick(button, action);
}

TowerPanel::TowerPanel() : SlidingPanel("panelTower") {
    board_ = &createChild<ImageNode>(true, "towerPanelBoard");
    board_->setMaterial(pictureMaterial("towerPanelBoard", "hud/towerpanel/board.png"));
    board_->setAnchor(AnchorBottomMiddle);
    board_->setTranslation({kCentreX, kBoardBottom, 0.0f});
    board_->scale(kBoardHeight, kBoardHeight, kBoardHeight);

    title_ = &text("tTowerTitle", 18.0f, kCentreX, 0.2395f, AnchorCentre);
    nowHeader_ = &text("tTowerNow", 13.0f, kLeftColumn, kHeaderY, AnchorMiddleLeft);
    nextHeader_ = &text("tTowerNext", 13.0f, kRightColumn, kHeaderY, AnchorMiddleLeft);
    nowHeader_->setText("now");
    nowHeader_->setColour(kHeaderColour);
    for (int i = 0; i < kFigureLines; ++i) {
        const float y = kHeaderY - kLineStep * static_cast<float>(i + 1);
        now_.push_back(&text("tTowerNow" + std::to_string(i), 13.0f, kLeftColumn, y, AnchorMiddleLeft));
        next_.push_back(&text("tTowerNext" + std::to_string(i), 13.0f, kRightColumn, y, AnchorMiddleLeft));
    }

    // Each button acts on the selected tower, so that a panel sliding away acts on nothing.
    auto onSelected = [](void (*action)(LevelCoordinator&, Tower&)) {
        return [action] {
            if (LevelCoordinator* coordinator = LevelCoordinator::instance())
                if (Tower* tower = coordinator->selectedTower())
                    action(*coordinator, *tower);
        };
    };
    auto button = [&](const std::string& name, const std::string& picture, float x,
                      ButtonNode::Callback callback, TextLineNode*& label) -> TowerPanelButton& {
        auto& made = createChild<TowerPanelButton>(name, std::move(callback));
        made.setMaterial(pictureMaterial(name, "hud/towerpanel/" + picture + ".png"));
        made.setAnchor(AnchorCentre);
        made.setTranslation({x, kButtonY, 0.0f});
        made.scale(kButtonHeight, kButtonHeight, kButtonHeight);
        label = &text("t" + name, 13.0f, x + kLabelShift, kButtonY, AnchorCentre);
        made.setLabel(label);
        return made;
    };
    target_ = &button("butTowerTarget", "target", kCentreX - kButtonGap,
                      onSelected([](LevelCoordinator& rules, Tower& tower) {
                          rules.setTargeting(tower, nextTargeting(tower.targeting()));
                      }),
                      targetLabel_);
    upgrade_ = &button("butTowerUpgrade", "upgrade", kCentreX,
                       onSelected([](LevelCoordinator& rules, Tower& tower) { rules.upgradeTower(tower); }),
                       upgradeLabel_);
    sell_ = &button("butTowerSell", "sell", kCentreX + kButtonGap,
                    onSelected([](LevelCoordinator& rules, Tower& tower) { rules.sellTower(tower); }),
                    sellLabel_);
    setMode(DisplayMode::Disabled);
}

TextLineNode& TowerPanel::text(const std::string& name, float size, float x, float y, int anchor) {
    auto& line = createChild<TextLineNode>(name, "Oetztype", size, "");
    line.setAnchor(anchor);
    line.setColour(kTextColour);
    line.setTranslation({x, y, 0.0f});
    return line;
}

void TowerPanel::show(Tower* tower) {
    if (tower) {
        tower_ = NodeRef<Tower>(tower);
        refresh();
        slideIn();
    } else {
        slideOut();
    }
}

bool TowerPanel::upgradePointedAt() const {
    return slideState() == SlideState::Open && upgrade_->hovered() && upgrade_->acceptsInput();
}

void TowerPanel::update(float dt) {
    SlidingPanel::update(dt);
    refresh();
}

void TowerPanel::refresh() {
    Tower* tower = tower_.get();
    LevelCoordinator* coordinator = LevelCoordinator::instance();
    if (!tower || !coordinator)
        return;
    const TowerType type = tower->type();
    const int level = tower->level();
    title_->setText(capitalised(towerPrototype(type).typeName) + " tower, level " + std::to_string(level) +
                    " of " + std::to_string(kTowerLevels));
    setLines(now_, towerFigures(type, level), kTextColour);

    const std::optional<int> price = coordinator->upgradePrice(*tower);
    const bool affordable = coordinator->canUpgrade(*tower);
    const bool selected = coordinator->selectedTower() == tower;
    if (price) {
        nextHeader_->setText("level " + std::to_string(level + 1) + " for " + std::to_string(*price));
        nextHeader_->setColour(kHeaderColour * (affordable ? 1.0f : kDimText));
        setLines(next_, towerFigures(type, level + 1), kTextColour * (affordable ? 1.0f : kDimText));
        upgradeLabel_->setText(std::to_string(*price));
    } else {
        nextHeader_->setText("top level");
        nextHeader_->setColour(kHeaderColour);
        setLines(next_, {}, kTextColour);
        upgradeLabel_->setText("top");
    }
    upgrade_->setUsable(selected && affordable);
    sellLabel_->setText("Sell " + std::to_string(coordinator->sellValue(*tower)));
    sell_->setUsable(selected);
    targetLabel_->setText(capitalised(targetingName(tower->targeting())));
    target_->setUsable(selected);
}

} // namespace hm
