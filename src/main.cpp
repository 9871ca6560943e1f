#include "app/Application.h"
#include "game/MainMenuScene.h"
#include "game/PlayRecorder.h"
#include "game/ProgressStore.h"

int main() {
    // The game keeps a replay of every level played (tools and tests do not).
    hm::PlayRecorder::enableForGame();
    // What the player has won, kept between runs; every scene reaches it through the menu.
    hm::ProgressStore progress;
    return hm::runGame([&progress](const std::string& name) {
        return std::make_unique<hm::MainMenuScene>(name, &progress);
    });
}
