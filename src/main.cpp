#include "app/Application.h"
#include "game/ReferenceScene.h"

int main() {
    return hm::runGame([](const std::string& name) { return std::make_unique<hm::ReferenceScene>(name); });
}
