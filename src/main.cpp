#include "app/Application.h"
#include "game/MainMenuScene.h"

int main() {
    return hm::runGame([](const std::string& name) { return std::make_unique<hm::MainMenuScene>(name); });
}
