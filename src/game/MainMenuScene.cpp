#include "game/MainMenuScene.h"

#include "animation/NodeAnimator.h"
#include "app/InputCodes.h"
#include "app/Log.h"
#include "app/Window.h"
#include "game/GameSound.h"
#include "game/HudMaterials.h"
#include "game/LevelDefinition.h"
#include "game/LevelScene.h"
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

MainMenuScene::MainMenuScene(std::string name) : Scene(std::move(name)) {
    wantsKey = true;
}

void MainMenuScene::start(Window& window) {
    Scene::start(window);
    window.registerInputHandler(*this);
}

void MainMenuScene::onKey(Window& window, int key, int, int action, int) {
    // Players expect Escape to leave the menu, as it leaves the level.
    if (key == Key::Escape && action == InputAction::Release)
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
    }

    wireSign("WoodStart", [this] { startLevel(); });
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

void MainMenuScene::startLevel() {
    if (Node2D* root = root2D())
        root->setMode(DisplayMode::Disabled);
    if (!intro_) {
        // Without the flight there is nothing to wait for.
        openLevel();
        return;
    }
    if (intro_->state() == NodeAnimationState::Paused)
        intro_->resume();
}

void MainMenuScene::openLevel() {
    const std::vector<std::string> levels = campaignLevels();
    if (levels.empty()) {
        spdlog::error("There is no level to play: {0} lists none and no level file was found.",
                      campaignFilePath());
        return;
    }
    if (Window* w = window())
        w->startGameLoop(std::make_unique<LevelScene>(levels.front()));
}

} // namespace hm
