// What the level's rules show on screen. The level scene implements it with its HUD widgets;
// tests implement it with a recorder, so the rules run without a window.
#pragma once

#include "game/Prototypes.h"

#include <optional>

namespace hm {

class Tower;

class LevelHud {
public:
    virtual ~LevelHud() = default;

    virtual void showLives(int lives) = 0;
    virtual void showResources(int resources) = 0;
    virtual void showWave(int defeated, int total) = 0;
    // The pause button's picture and the pause veil.
    virtual void showPaused(bool paused) = 0;
    // The speed button's picture for a game speed of 1, 2 or 4.
    virtual void showSpeed(float speed) = 0;
    // The end veil with the victory or defeat message.
    virtual void showEnd(bool won) = 0;
    // Slides the building-card panel in (a base is selected) or out.
    virtual void showCards(bool shown) = 0;
    // Slides the panel of the selected tower in, or out for none.
    virtual void showTowerPanel(Tower* tower) {}
    // The kind of the next scheduled monster and the seconds until it comes; no kind once the
    // last monster of the schedule has come.
    virtual void showNextMonster(std::optional<EnemyType> type, float seconds) {}
};

} // namespace hm
