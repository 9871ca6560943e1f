#include "app/Application.h"
#include "game/MainMenuScene.h"
#include "game/PlayRecorder.h"

int main() {
    // The game keeps a replay of every level played (tools and tests do not).
    hm::PlayRecorder::enableForGame();
    return hm::runGame([](const std::string& name) { return std::make_unique<hm::MainMenuScene>(name); });
}
