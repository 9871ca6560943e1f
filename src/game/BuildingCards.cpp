#include "game/BuildingCards.h"

#include "app/InputCodes.h"
#include "app/Window.h"
#include "game/HudMaterials.h"
#include "game/LevelCoordinator.h"
#include "game/Tower.h"
#include "render/Material.h"
#include "render/TextureRegistry.h"
#include "ui/TextLineNode.h"

#include <spdlog/fmt/fmt.h>

#include <algorithm>

namespace hm {

namespace {

const glm::vec3 kCostColour{68.0f / 255.0f, 33.0f / 255.0f, 0.0f};
const glm::vec3 kFigureColour{1.0f, 0.96f, 0.86f};

} // namespace

std::vector<std::string> towerFigures(TowerType type, int level) {
    const TowerLevel& figures = towerLevel(type, level);
    std::vector<std::string> lines = {
        fmt::format("damage {:g}", figures.damage),
        fmt::format("range {:g}", figures.range),
        fmt::format("every {:g} s", figures.fireInterval),
    };
    if (figures.splashRadius > 0.0f)
        lines.push_back(fmt::format("splash {:g}", figures.splashRadius));
    return lines;
}

BuildingCardPanel::BuildingCardPanel() : SlidingPanel("panelCards") {
    const int count = static_cast<int>(towerPrototypes().size());
    int index = 0;
    for (const auto& [type, prototype] : towerPrototypes())
        addChild(std::make_unique<BuildingCard>(type, index++, count, *this));
}

BuildingCard::BuildingCard(TowerType type, int index, int count, BuildingCardPanel& panel)
    : ButtonNode(true, "", nullptr), type_(type), panel_(&panel) {
    const TowerPrototype& prototype = towerPrototype(type);
    // A replayed level finds the card materials of the previous one and gives them new pictures.
    auto& registry = MaterialRegistry::instance();
    auto material =
        std::dynamic_pointer_cast<CanvasMaterial>(registry.findMaterial("card" + prototype.typeName));
    if (!material)
        material = registry.createCanvasMaterial("card" + prototype.typeName);
    picture_ = loadVideoTexture("hud/towercards/" + prototype.typeName);
    if (picture_)
        material->setTexture(0, picture_);
    setAnchor(7);
    translate(0.5f - static_cast<float>(count - 1) * 0.075f + static_cast<float>(index) * 0.15f, 0.02f, 0.0f);
    scale(0.343407f, 0.343407f, 0.343407f);
    setMaterial(material);

    auto cost = std::make_unique<TextLineNode>("tCard" + prototype.typeName, "Oetztype", 26.0f,
                                               std::to_string(prototype.cost));
    cost->setAnchor(0);
    cost->setColour(kCostColour);
    cost->setTranslation({0.54f, 0.195f, 0.0f});
    costText_ = cost.get();
    addChild(std::move(cost));

    // The figures sit on a dark plate over the lower part of the picture, one line each.
    const std::vector<std::string> figures = towerFigures(type);
    auto& plate = createChild<ImageNode>(false, "plateCard" + prototype.typeName);
    plate.setCatchesPointer(false);
    plate.setMaterial(colourMaterial("cardFigurePlate", {0.05f, 0.04f, 0.03f, 0.6f}));
    plate.setTranslation({0.1f, 0.27f, 0.0f});
    plate.scale(0.8f, 0.055f * static_cast<float>(figures.size()) + 0.01f, 1.0f);
    const float lineHeight = 1.0f / static_cast<float>(figures.size());
    for (std::size_t i = 0; i < figures.size(); ++i) {
        auto& line = plate.createChild<TextLineNode>("tCardFigure" + prototype.typeName + std::to_string(i),
                                                     "Oetztype", 12.0f, figures[i]);
        line.setAnchor(4);
        line.setColour(kFigureColour);
        line.setTranslation({0.07f, 1.0f - (static_cast<float>(i) + 0.5f) * lineHeight, 0.0f});
        figureTexts_.push_back(&line);
    }
}

void BuildingCard::showAffordable(bool affordable) {
    if (affordable == affordable_)
        return;
    affordable_ = affordable;
    const float shade = affordable ? 1.0f : kDimShade;
    setShade(shade);
    if (costText_)
        costText_->setColour(kCostColour * shade);
    for (TextLineNode* line : figureTexts_)
        line->setColour(kFigureColour * (affordable ? 1.0f : 0.6f));
    // The pointer may rest on the card while the price comes within reach or goes out of it.
    if (hovered())
        onHover();
}

void BuildingCard::update(float dt) {
    ButtonNode::update(dt);
    LevelCoordinator* coordinator = LevelCoordinator::instance();
    showAffordable(coordinator && coordinator->canAfford(type_));
    if (panel_ && panel_->slideState() != SlideState::Gone && picture_)
        picture_->update(dt);
}

void BuildingCard::onHover() {
    LevelCoordinator* coordinator = LevelCoordinator::instance();
    if (Window* w = window())
        w->setCursor(coordinator && coordinator->canAfford(type_) ? "default" : "no");
}

void BuildingCard::onHoverLeave() {
    if (Window* w = window())
        w->setCursor("default");
}

void BuildingCard::onClick(int button, int action) {
    if (button != MouseButton::Left || action != InputAction::Release)
        return;
    LevelCoordinator* coordinator = LevelCoordinator::instance();
    if (!coordinator || !coordinator->selectedBase() || !coordinator->canAfford(type_))
        return;
    coordinator->selectedBase()->build(type_);
    coordinator->selectTowerBase(nullptr);
}

} // namespace hm
