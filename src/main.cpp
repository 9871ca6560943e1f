#include "app/Application.h"
#include "game/StartupScene.h"

int main() {
    return hm::runGame([](const std::string& name) { return std::make_unique<hm::StartupScene>(name); });
}
