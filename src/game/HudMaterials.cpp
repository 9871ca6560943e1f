#include "game/HudMaterials.h"

#include "render/Material.h"
#include "render/TextureRegistry.h"

namespace hm {

namespace {

std::shared_ptr<CanvasMaterial> registered(const std::string& name) {
    return std::dynamic_pointer_cast<CanvasMaterial>(MaterialRegistry::instance().findMaterial(name));
}

} // namespace

std::shared_ptr<CanvasMaterial> pictureMaterial(const std::string& name, const std::string& file) {
    if (auto existing = registered(name))
        return existing;
    auto material = MaterialRegistry::instance().createCanvasMaterial(name);
    if (auto texture =
            loadTexture(file, TextureFormat::RGBA8, TextureFilter::Linear, TextureFilter::LinearMipmapLinear,
                        TextureWrap::ClampToEdge, TextureWrap::ClampToEdge))
        material->setTexture(0, texture);
    return material;
}

std::shared_ptr<CanvasMaterial> colourMaterial(const std::string& name, const glm::vec4& colour) {
    if (auto existing = registered(name))
        return existing;
    auto material = MaterialRegistry::instance().createCanvasMaterial(name);
    material->setColour(colour);
    return material;
}

} // namespace hm
