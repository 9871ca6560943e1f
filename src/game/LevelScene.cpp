#include "game/LevelScene.h"

#include "animation/NodeAnimator.h"
#include "app/InputCodes.h"
#include "app/Log.h"
#include "app/MouseCursorObserver.h"
#include "app/Window.h"
#include "audio/SoundEngine.h"
#include "game/BuildingCards.h"
#include "game/GameSound.h"
#include "game/HudMaterials.h"
#include "game/LevelCoordinator.h"
#include "game/LevelDefinition.h"
#include "game/LevelMap.h"
#include "game/MainMenuScene.h"
#include "game/PlayRecorder.h"
#include "game/Progress.h"
#include "game/ProgressStore.h"
#include "game/RangeRing.h"
#include "game/Tower.h"
#include "game/TowerPanel.h"
#include "game/TowerPicker.h"
#include "import/ModelImporter.h"
#include "render/CameraNode.h"
#include "render/Material.h"
#include "render/TextureRegistry.h"
#include "scene/EmptyNode.h"
#include "ui/ButtonNode.h"
#include "ui/ImageNode.h"
#include "ui/Overlay.h"
#include "ui/TextLineNode.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <stdexcept>

namespace hm {

namespace {

// Height of the end dialog's buttons, in screen units.
constexpr float kEndButtonSize = 0.08f;

// "WALKING_STONE_MONSTER" is shown as "walking stone monster".
std::string monsterName(EnemyType type) {
    std::string name = enemyPrototype(type).typeName;
    for (char& c : name)
        c = c == '_' ? ' ' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return name;
}

// Every node of the tree whose base name is the given one, depth-first.
void collectByBaseName(Node3D& root, const std::string& name, std::vector<Node3D*>& out) {
    root.findAllByBaseName(name, out);
}

} // namespace

LevelScene::LevelScene(std::string levelName, ProgressStore* progress)
    : Scene(levelName), level_(loadLevelDefinition(levelName)), progress_(progress) {
    wantsKey = true;
    wantsMouseButton = true;
}

LevelScene::~LevelScene() {
    // Leaving a level that has not ended (restart, quit, Ctrl+C) still keeps its recording.
    if (recorder_)
        recorder_->levelLeft();
    recorder_.reset();
    coordinator_.reset();
    trackShot_.reset();
    if (Window* w = registeredWindow())
        w->unregisterInputHandler(*this);
}

void LevelScene::load() {
    coordinator_ = std::make_unique<LevelCoordinator>(
        *this, static_cast<LevelHud&>(*this),
        [](const std::string& file) { return importModel(nullptr, 0, file, "tmpFile"); }, level_);
    const std::vector<std::string> campaign = playableLevels(campaignLevels());
    auto here = std::find(campaign.begin(), campaign.end(), name());
    firstLevel_ = here == campaign.begin() && here != campaign.end();
    if (here != campaign.end() && std::next(here) != campaign.end())
        nextLevel_ = *std::next(here);
    buildHud();
    buildWorld();
    coordinator_->setRestartHandler([this] { switchTo(std::make_unique<LevelScene>(name(), progress_)); });
    coordinator_->begin();
    recorder_ = PlayRecorder::forGame(*this);
}

void LevelScene::switchTo(std::unique_ptr<Scene> next) {
    if (Window* w = window())
        w->startGameLoop(std::move(next));
}

void LevelScene::afterRules() {
    const GameState state = coordinator_->state();
    if (buildHint_ && buildHint_->parent()->mode() != DisplayMode::Disabled) {
        const auto& bases = coordinator_->towerBases();
        const bool built =
            std::any_of(bases.begin(), bases.end(), [](TowerBase* base) { return base->tower(); });
        if (built || state == GameState::Won || state == GameState::Lost)
            buildHint_->parent()->setMode(DisplayMode::Disabled);
    }
    if (state != GameState::Won || winRecorded_)
        return;
    winRecorded_ = true;
    if (!progress_)
        return;
    const int lives = std::max(coordinator_->lives(), 0);
    const int stars = level_.starsFor(true, lives);
    spdlog::info("Level {0} won with {1} lives left: {2} of 3 stars.", name(), lives, stars);
    progress_->recordWin(name(), stars, lives);
}

void LevelScene::start(Window& window) {
    Scene::start(window);
    reportMissingGameSounds(window.soundEngine());
    if (!keyHandlerRegistered_) {
        window.registerInputHandler(*this);
        keyHandlerRegistered_ = true;
    }
}

void LevelScene::update(Window& window, float elapsed) {
    const float scaled =
        coordinator_->state() == GameState::Paused ? 0.0f : elapsed * coordinator_->gameSpeed();
    // The world and the rules advance in equal steps, whatever the frame rate: the same plan
    // then has the same outcome at 4 frames per second as at 144, and double speed is simply two
    // steps per frame. What is left over waits for the next frame. A frame between two steps
    // touches no rule, body or animation: only the HUD, the pointer and the input move on.
    stepBacklog_ += static_cast<double>(scaled);
    while (stepBacklog_ >= kSimulationStep * (1.0 - 1e-4)) {
        stepBacklog_ -= kSimulationStep;
        updateWorld(static_cast<float>(kSimulationStep));
        coordinator_->update(static_cast<float>(kSimulationStep));
        ++stepCount_;
        stepTaken();
        afterRules();
        if (recorder_)
            recorder_->stepTaken();
        if (afterStep_)
            afterStep_();
    }
    // Drawn between the last two steps, as far as the time left over reaches towards the next.
    setStepBlend(static_cast<float>(std::clamp(stepBacklog_ / kSimulationStep, 0.0, 1.0)));
    // The HUD and the pointer keep the player's own time: panels slide and buttons glow while
    // the game is paused, and no faster at 4x.
    updateInterface(elapsed);
    // The range ring lives in the world but follows the pointer, also between steps and in pause.
    if (rangeRing_)
        rangeRing_->update(elapsed);
}

void LevelScene::buildHud() {
    auto root = std::make_unique<Node2D>("2D Root");

    auto& resources =
        place(root->createChild<ImageNode>(true, "panelRessourcesBackground"), 6, -0.03f, -0.03f, 0.22f);
    resources.setMaterial(pictureMaterial("hudPanelRessources", "hud/panel_ressources.png"));
    resourcesText_ = &place(resources.createChild<TextLineNode>("tRessources", "Oetztype", 26.0f, "234"), 0,
                            0.75f, 0.5f, 0.0f);

    auto& lives = place(root->createChild<ImageNode>(true, "panelLivesBackground"), 1, 0.01f, 0.99f, 0.08f);
    lives.setMaterial(pictureMaterial("hudPanelLives", "hud/panel_lives.png"));
    livesText_ =
        &place(lives.createChild<TextLineNode>("tLives", "Oetztype", 18.0f, "2"), 0, 0.75f, 0.52f, 0.0f);

    auto& wave = place(root->createChild<ImageNode>(true, "panelWaveBackground"), 1, 0.11f, 0.99f, 0.08f);
    wave.setMaterial(pictureMaterial("hudPanelWave", "hud/panel_wave.png"));
    waveText_ =
        &place(wave.createChild<TextLineNode>("tWave", "Oetztype", 18.0f, "3/7"), 0, 0.75f, 0.52f, 0.0f);

    // What comes next: a dark strip beside the wave panel with the monster's kind and the wait.
    auto& next = place(root->createChild<ImageNode>(false, "panelNextMonster"), 1, 0.26f, 0.985f, 0.0f);
    next.scale(0.36f, 0.045f, 1.0f);
    next.setMaterial(colourMaterial("hudPanelNextMonster", {0.08f, 0.06f, 0.04f, 0.55f}));
    nextMonsterText_ =
        &place(next.createChild<TextLineNode>("tNextMonster", "Oetztype", 15.0f, ""), 4, 0.04f, 0.5f, 0.0f);

    if (firstLevel_) {
        auto& hint = place(root->createChild<ImageNode>(false, "panelBuildHint"), 0, 0.5f, 0.87f, 0.0f);
        hint.scale(0.72f, 0.05f, 1.0f);
        hint.setMaterial(colourMaterial("hudPanelBuildHint", {0.08f, 0.06f, 0.04f, 0.6f}));
        // The strip only informs: the world under it stays clickable.
        hint.setCatchesPointer(false);
        buildHint_ = &place(hint.createChild<TextLineNode>("tBuildHint", "Oetztype", 17.0f, kBuildHint), 0,
                            0.5f, 0.5f, 0.0f);
        buildHint_->setColour({1.0f, 0.93f, 0.72f});
    }

    pictureMaterial("hudButSpeedActive", "hud/button_speedup_active.png");
    speedButton_ = &place(root->createChild<ButtonNode>(true, "butSpeedup",
                                                        [this] {
                                                            playUiClick(*this);
                                                            coordinator_->toggleSpeed();
                                                        }),
                          8, 0.98f, 0.02f, 0.1f);
    pictureMaterial("hudButSpeedFast", "hud/button_speedup_fast.png");
    speedButton_->setMaterial(pictureMaterial("hudButSpeedNormal", "hud/button_speedup_normal.png"));

    cardPanel_ = &root->createChild<BuildingCardPanel>();
    cardPanel_->setMode(DisplayMode::Disabled);
    towerPanel_ = &root->createChild<TowerPanel>();

    pauseVeil_ = &place(root->createChild<ImageNode>(false, "pOverlay"), 6, 0.0f, 0.0f, 0.0f);
    pauseVeil_->setMaterial(colourMaterial("pauseOverlay", {0.0f, 0.0f, 0.0f, 0.3f}));
    pauseVeil_->setMode(DisplayMode::Disabled);
    // Plots can still be chosen while the game is paused.
    pauseVeil_->setCatchesPointer(false);

    pictureMaterial("hudButResume", "hud/button_pause_resume.png");
    pauseButton_ = &place(root->createChild<ButtonNode>(true, "butPause",
                                                        [this] {
                                                            playUiClick(*this);
                                                            coordinator_->togglePause();
                                                        }),
                          3, 0.98f, 0.98f, 0.07f);
    pauseButton_->setMaterial(pictureMaterial("hudButPause", "hud/button_pause_pause.png"));

    endVeil_ = &place(root->createChild<ImageNode>(false, "eOverlay"), 6, 0.0f, 0.0f, 0.0f);
    endVeil_->setMaterial(
        colourMaterial("endOverlay", {194.0f / 255.0f, 173.0f / 255.0f, 140.0f / 255.0f, 0.5f}));
    endVeil_->setMode(DisplayMode::Disabled);
    buildEndDialog();

    root->createChild<Overlay>(FadeState::FadingOut, "bOverlay", glm::vec4(0.0f, 0.0f, 0.0f, 1.0f), 1.0f);
    setRoot2D(std::move(root));
}

void LevelScene::buildEndDialog() {
    // The end veil is full-screen in its own frame; its children are placed in screen units.
    auto& win = place(endVeil_->createChild<ImageNode>(true, "dlgWin"), 0, 0.5f, 0.6f, 0.5f);
    win.setMaterial(pictureMaterial("dlgWin", "hud/overlay/dlgWin.png"));
    win.setMode(DisplayMode::Disabled);
    auto& lost = place(endVeil_->createChild<ImageNode>(true, "dlgLost"), 0, 0.5f, 0.61f, 0.53f);
    lost.setMaterial(pictureMaterial("dlgLost", "hud/overlay/dlgLost.png"));
    lost.setMode(DisplayMode::Disabled);
    // Placed by showEnd, which knows whether there is a next level to offer.
    auto button = [this](const char* name, const char* file, std::function<void()> action) -> ButtonNode& {
        auto& node = place(endVeil_->createChild<ButtonNode>(true, name,
                                                             [this, action = std::move(action)] {
                                                                 playUiClick(*this);
                                                                 action();
                                                             }),
                           0, 0.5f, 0.3f, kEndButtonSize);
        node.setMaterial(pictureMaterial(name, file));
        return node;
    };
    button("butExit", "hud/overlay/butExit.png", [this] {
        if (Window* w = window())
            w->exitGameLoop();
    });
    button("butReplay", "hud/overlay/butReplay.png", [this] { coordinator_->restart(); });
    button("butMap", "hud/overlay/butMap.png", [this] {
        switchTo(std::make_unique<MainMenuScene>("Unnamed Scene", progress_, MainMenuScene::Opening::Map));
    });
    if (!nextLevel_.empty()) {
        auto& next = button("butNext", "hud/overlay/butNext.png",
                            [this] { switchTo(std::make_unique<LevelScene>(nextLevel_, progress_)); });
        next.setMode(DisplayMode::Disabled);
    }
}

void LevelScene::buildWorld() {
    auto root = std::make_unique<EmptyNode>("3D Root");
    Node3D& rootRef = *root;
    setRoot3D(std::move(root));
    // Without its model there is nothing to play: end the game the way a missing shader does.
    auto level = importModel(this, 0, level_.modelFile, "root");
    if (!level)
        throw std::runtime_error("the level model GAME_DATA/models/" + level_.modelFile + " cannot be read");
    rootRef.addChild(std::move(level));

    std::vector<Node3D*> placeholders;
    collectByBaseName(rootRef, TowerBase::kPlaceholderName, placeholders);
    TowerBase::sortPlaceholders(placeholders);
    for (Node3D* placeholder : placeholders) {
        auto base = coordinator_->createTowerBase();
        if (!base)
            break;
        placeholder->replaceWith(std::move(base));
    }

    if (auto intro = nodeAnimator().createAnimation("Intro", 0, 0))
        nodeAnimator().play(intro);

    rangeRing_ = &rootRef.createChild<RangeRing>(cardPanel_);
    rangeRing_->setTowerPanel(towerPanel_);

    std::vector<Road> roads = Road::findAll(rootRef, nodeAnimator());
    for (const SpawnEntry& entry : level_.schedule)
        if (entry.road > static_cast<int>(roads.size()))
            spdlog::error(
                "{0}:{1}: error: road {2} is not in the level model {3} ({4} roads); the monster rides "
                "road 1",
                level_.path, entry.line, entry.road, level_.modelFile, roads.size());
    coordinator_->setRoads(std::move(roads));

    if (auto tvMaterial = MaterialRegistry::instance().findMaterial("TVScreen")) {
        tvTexture_ = loadVideoTexture("tv");
        if (tvTexture_) {
            tvMaterial->setTexture(0, tvTexture_);
            addUpdateable(tvTexture_);
        }
    }
    setActiveCamera("camera_main");
}

void LevelScene::playTrackShot(const std::string& animationName) {
    auto shot = nodeAnimator().createAnimation(animationName, 0, 0);
    if (!shot)
        return;
    setActiveCamera("camera_trackshot");
    if (CameraNode* camera = activeCamera())
        shot->setTarget(*camera);
    shot->setSpeed(trackShotSpeed_);
    // Both shots drive the same camera and the animator applies the older one last: a shot that
    // kept running would hide the new one until it ended.
    if (trackShot_ && trackShot_->state() != NodeAnimationState::Finished)
        trackShot_->stop();
    trackShot_ = shot;
    nodeAnimator().play(shot);
}

void LevelScene::onKey(Window& window, int key, int, int action, int) {
    if (action != InputAction::Release)
        return;
    switch (key) {
    case Key::Num0:
        setActiveCamera("camera_main");
        break;
    case Key::Num1:
    case Key::Num2:
    case Key::Num3:
    case Key::Num4:
        playTrackShot("trackshot" + std::to_string(key - Key::Num0));
        break;
    case Key::Escape:
        // Escape lets go of a selected plot or tower first; with nothing selected it quits.
        if (!coordinator_->clearSelection())
            window.exitGameLoop();
        break;
    case Key::U:
        if (Tower* tower = coordinator_->selectedTower())
            coordinator_->upgradeTower(*tower);
        break;
    case Key::S:
        if (Tower* tower = coordinator_->selectedTower())
            coordinator_->sellTower(*tower);
        break;
    case Key::T:
        if (Tower* tower = coordinator_->selectedTower())
            coordinator_->setTargeting(*tower, nextTargeting(tower->targeting()));
        break;
    case Key::R:
        coordinator_->restart();
        break;
    case Key::KeypadAdd:
        trackShotSpeed_ += 0.1f;
        spdlog::info("new trackshotspeed: {0}", trackShotSpeed_);
        break;
    case Key::KeypadSubtract:
        trackShotSpeed_ -= 0.1f;
        spdlog::info("new trackshotspeed: {0}", trackShotSpeed_);
        break;
    case Key::P:
    case Key::Space:
        coordinator_->togglePause();
        break;
    case Key::M: {
        SoundEngine& sound = window.soundEngine();
        sound.setMuted(!sound.muted());
        spdlog::info(sound.muted() ? "Sound muted" : "Sound on");
        break;
    }
    case Key::I:
        if (Node2D* hud = root2D())
            hud->setMode(hud->mode() == DisplayMode::Hidden ? DisplayMode::Active : DisplayMode::Hidden);
        break;
    default:
        break;
    }
}

void LevelScene::showLives(int lives) {
    if (livesText_)
        livesText_->setText(std::to_string(lives));
}

void LevelScene::showResources(int resources) {
    if (resourcesText_)
        resourcesText_->setText(std::to_string(resources));
}

void LevelScene::showWave(int defeated, int total) {
    if (waveText_)
        waveText_->setText(std::to_string(defeated) + "/" + std::to_string(total));
}

void LevelScene::showNextMonster(std::optional<EnemyType> type, float seconds) {
    if (!nextMonsterText_)
        return;
    // Whole seconds, counted down: 0.2 s to go still reads "1 s".
    std::string text = type ? "next: " + monsterName(*type) + " in " +
                                  std::to_string(static_cast<int>(std::ceil(seconds))) + " s"
                            : std::string("last monster");
    if (text != nextMonsterText_->text())
        nextMonsterText_->setText(std::move(text));
}

void LevelScene::showPaused(bool paused) {
    auto material = std::dynamic_pointer_cast<CanvasMaterial>(
        MaterialRegistry::instance().findMaterial(paused ? "hudButResume" : "hudButPause"));
    if (pauseButton_ && material)
        pauseButton_->setMaterial(material);
    if (pauseVeil_)
        pauseVeil_->setMode(paused ? DisplayMode::Frozen : DisplayMode::Disabled);
}

void LevelScene::showSpeed(float speed) {
    const char* name = speed >= 4.0f   ? "hudButSpeedFast"
                       : speed >= 2.0f ? "hudButSpeedActive"
                                       : "hudButSpeedNormal";
    auto material =
        std::dynamic_pointer_cast<CanvasMaterial>(MaterialRegistry::instance().findMaterial(name));
    if (speedButton_ && material)
        speedButton_->setMaterial(material);
}

void LevelScene::showEnd(bool won) {
    if (!endVeil_)
        return;
    endVeil_->setMode(DisplayMode::Frozen);
    if (Node2D* message = endVeil_->findChild(won ? "dlgWin" : "dlgLost"))
        message->setMode(DisplayMode::Frozen);
    // One row under the dialog: after a win the way on comes first, then replay, map and exit.
    Node2D* next = endVeil_->findChild("butNext");
    std::vector<Node2D*> row;
    if (won && next) {
        next->setMode(DisplayMode::Active);
        row.push_back(next);
    }
    for (const char* name : {"butReplay", "butMap", "butExit"})
        if (Node2D* button = endVeil_->findChild(name))
            row.push_back(button);
    if (row.empty())
        return;
    const float spacing = 0.22f;
    const float first = 0.5f - spacing * static_cast<float>(row.size() - 1) / 2.0f;
    for (std::size_t i = 0; i < row.size(); ++i)
        row[i]->setTranslation({first + spacing * static_cast<float>(i), 0.29f, 0.0f});
}

void LevelScene::onMouseButton(Window&, int button, int action, int) {
    if (button != MouseButton::Left || action != InputAction::Release || cursorObserver().overWidget())
        return;
    // A click on a tower (or the plot it stands on) selects it; a click on a free plot is the
    // plot's own (it selects the plot, which lets go of a selected tower); a click anywhere else in
    // the world lets go of the selected tower.
    if (Tower* tower = towerUnderPointer(*this)) {
        coordinator_->selectTower(tower);
        return;
    }
    if (plotOf(cursorObserver().hoveredNode()))
        return;
    if (coordinator_->selectedTower())
        coordinator_->selectTower(nullptr);
}

void LevelScene::showTowerPanel(Tower* tower) {
    if (towerPanel_)
        towerPanel_->show(tower);
}

void LevelScene::showCards(bool shown) {
    if (!cardPanel_)
        return;
    if (shown)
        cardPanel_->slideIn();
    else
        cardPanel_->slideOut();
}

} // namespace hm
