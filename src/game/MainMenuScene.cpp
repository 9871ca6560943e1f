#include "game/MainMenuScene.h"

#include "animation/NodeAnimator.h"
#include "app/InputCodes.h"
#include "app/Log.h"
#include "app/Window.h"
#include "game/GameSound.h"
#include "game/HudMaterials.h"
#include "game/LevelDefinition.h"
#include "game/LevelMap.h"
#include "game/LevelScene.h"
#include "game/ProgressStore.h"
#include "import/ModelImporter.h"
#include "render/Material.h"
#include "render/MeshNode.h"
#include "render/Solid2DTexture.h"
#include "render/TextureRegistry.h"
#include "scene/EmptyNode.h"
#include "ui/ImageNode.h"

#include <stdexcept>

namespace hm {

namespace {

void setFirstChildMaterial(Node3D& sign, const std::string& materialName) {
    if (sign.getChildren().empty())
        return;
    auto* board = dynamic_cast<MeshNode*>(sign.getChildren().front().get());
    if (auto material = MaterialRegistry::instance().findMaterial(materialName); board && material)
        board->setMaterial(material);
}

} // namespace

MainMenuScene::MainMenuScene(std::string name, ProgressStore* progress, Opening opening)
    : Scene(std::move(name)), progress_(progress), opening_(opening) {
    wantsKey = true;
}

void MainMenuScene::start(Window& window) {
    Scene::start(window);
    window.registerInputHandler(*this);
}

void MainMenuScene::onKey(Window& window, int key, int, int action, int) {
    if (key != Key::Escape || action != InputAction::Release)
        return;
    // Escape steps back: from the map to the signs, from the signs out of the game, as it
    // leaves the level.
    if (mapOpen())
        closeMap();
    else
        window.exitGameLoop();
}

MainMenuScene::~MainMenuScene() {
    if (intro_)
        intro_->setStateChangeCallback(nullptr);
    intro_.reset();
}

void MainMenuScene::load() {
    setRoot2D(std::make_unique<Node2D>("root2D"));
    // Without its model the menu has no signs to click: end the game the way a missing shader does.
    auto menu = importModel(this, 0, "menu_main.fbx", "root");
    if (!menu)
        throw std::runtime_error("the menu model GAME_DATA/models/menu_main.fbx cannot be read");
    setRoot3D(std::move(menu));

    auto& registry = MaterialRegistry::instance();
    auto hover = registry.findMaterial("tHoverMenu");
    if (!hover) {
        hover = registry.createMaterial("tHoverMenu");
        auto texture = std::make_shared<Solid2DTexture>("?tHoverMenu", glm::vec4(0.8f, 0.2f, 0.2f, 1.0f));
        if (texture->load())
            hover->setTexture(0, texture);
    }

    intro_ = nodeAnimator().createAnimation("Scene", 0, 0);
    if (intro_) {
        intro_->setPausePoints({kSignsPausePoint});
        nodeAnimator().play(intro_);
        NodeAnimation* raw = intro_.get();
        intro_->setStateChangeCallback([this, raw] {
            if (raw->state() == NodeAnimationState::Finished)
                openLevel();
        });
        // Back from a level the player has seen the flight: the camera stands at the signs.
        if (opening_ == Opening::Map)
            nodeAnimator().update(intro_->length());
    }

    wireSign("WoodStart", [this] { openMap(); });
    wireSign("WoodExit", [this] {
        if (Window* w = window())
            w->exitGameLoop();
    });

    Node2D& root2D = *this->root2D();
    auto& credits = root2D.createChild<ImageNode>(true, "credits");
    credits.setAnchor(8);
    credits.setTranslation({0.98f, 0.02f, 0.0f});
    credits.scale(0.07f, 0.07f, 0.07f);
    credits.setMaterial(pictureMaterial("credits", "hud/overlay/credits.png"));
    auto& logo = root2D.createChild<ImageNode>(true, "logoFmod");
    logo.setAnchor(6);
    logo.setTranslation({0.02f, 0.02f, 0.0f});
    logo.scale(0.07f, 0.07f, 0.07f);
    logo.setMaterial(pictureMaterial("logoFmod", "hud/overlay/logoFmod.png"));

    const Progress none;
    map_ = &root2D.createChild<LevelMap>(
        campaignMap(campaignLevels(), progress_ ? progress_->progress() : none),
        [this](const std::string& level) { chooseLevel(level); }, [this] { closeMap(); });
    map_->setMode(DisplayMode::Disabled);
    if (opening_ == Opening::Map)
        openMap();
}

void MainMenuScene::wireSign(const std::string& name, std::function<void()> onClick) {
    Node3D* sign = root3D() ? root3D()->findByName(name) : nullptr;
    if (!sign) {
        spdlog::warn("The menu has no sign named {0}.", name);
        return;
    }
    sign->setClickCallback([this, onClick = std::move(onClick)] {
        playUiClick(*this);
        onClick();
    });
    sign->setMouseEnterCallback([sign] { setFirstChildMaterial(*sign, "tHoverMenu"); });
    sign->setMouseLeaveCallback([sign] { setFirstChildMaterial(*sign, "ColorPicker"); });
}

void MainMenuScene::showBadges(bool shown) {
    for (const char* name : {"credits", "logoFmod"})
        if (Node2D* badge = root2D() ? root2D()->findChild(name) : nullptr)
            badge->setMode(shown ? DisplayMode::Active : DisplayMode::Disabled);
}

void MainMenuScene::openMap() {
    // Once a level is chosen the camera is on its way there.
    if (!chosen_.empty() || !map_)
        return;
    showBadges(false);
    map_->setMode(DisplayMode::Active);
    spdlog::info("The level map is open.");
}

void MainMenuScene::closeMap() {
    if (!map_ || !mapOpen())
        return;
    map_->setMode(DisplayMode::Disabled);
    showBadges(true);
    spdlog::info("The level map is closed.");
}

bool MainMenuScene::mapOpen() const {
    return map_ && map_->mode() != DisplayMode::Disabled;
}

void MainMenuScene::chooseLevel(const std::string& level) {
    if (!chosen_.empty())
        return;
    chosen_ = level;
    spdlog::info("Level {0} chosen on the map.", level);
    if (map_)
        map_->setMode(DisplayMode::Disabled);
    if (!intro_) {
        // Without the flight there is nothing to wait for.
        openLevel();
        return;
    }
    if (intro_->state() == NodeAnimationState::Paused)
        intro_->resume();
    else
        intro_->setPausePoints({}); // still flying in: fly on without halting at the signs
}

void MainMenuScene::openLevel() {
    std::string level = chosen_;
    if (level.empty()) {
        const std::vector<std::string> levels = campaignLevels();
        if (levels.empty()) {
            spdlog::error("There is no level to play: {0} lists none and no level file was found.",
                          campaignFilePath());
            return;
        }
        level = levels.front();
    }
    if (Window* w = window())
        w->startGameLoop(std::make_unique<LevelScene>(level, progress_));
}

} // namespace hm
