// A scene built entirely in code that exercises the whole renderer: a textured ground (with a
// DXT-compressed albedo and a normal map), stone and metal objects, a sun with cascaded
// shadows, coloured point lights and the sky. It is the renderer's golden-image subject and
// benchmark, and a quick look at the engine without any model file.
#pragma once

#include "scene/Scene.h"

namespace hm {

class ReferenceScene : public Scene {
public:
    explicit ReferenceScene(std::string name = "Reference Scene") : Scene(std::move(name)) {}
    void load() override;
};

} // namespace hm
