#include "app/Application.h"
#include "game/MainMenuScene.h"
#include "game/ProgressStore.h"

int main() {
    // What the player has won, kept between runs; every scene reaches it through the menu.
    hm::ProgressStore progress;
    return hm::runGame([&progress](const std::string& name) {
        return std::make_unique<hm::MainMenuScene>(name, &progress);
    });
}
