#include "render/TextureRegistry.h"

#include "app/AssetLocations.h"
#include "app/Log.h"
#include "render/RenderDevice.h"
#include "render/TextureFile.h"

#include <stdexcept>

namespace hm {
namespace {

// The live equal texture, or the new one loaded and registered; nullptr when loading fails.
template <typename T> std::shared_ptr<T> findOrLoad(std::shared_ptr<T> texture, const char* failure) {
    auto& registry = TextureRegistry::instance();
    if (auto found = registry.find(*texture); found.texture)
        return std::static_pointer_cast<T>(found.texture); // equal textures share their kind
    if (!texture->load()) {
        spdlog::error(fmt::runtime(failure));
        return nullptr;
    }
    registry.add(texture, TextureRegistry::Mode::KeepExisting);
    return texture;
}

} // namespace

TextureRegistry& TextureRegistry::instance() {
    return RenderDevice::current().textures();
}

TextureRegistry::Found TextureRegistry::find(const Texture& texture) {
    const auto entry = entries_.find(texture.name());
    if (entry == entries_.end())
        return {};
    auto& list = entry->second;
    for (std::size_t i = list.size(); i-- > 0;) {
        auto live = list[i].lock();
        if (!live) {
            list.erase(list.begin() + static_cast<std::ptrdiff_t>(i));
            continue;
        }
        if (live->equals(texture))
            return {std::move(live), i};
    }
    return {};
}

void TextureRegistry::add(const std::shared_ptr<Texture>& texture, Mode mode) {
    if (mode != Mode::KeepExisting && mode != Mode::Replace)
        throw std::logic_error("Not Implemented Exception");
    Found found = find(*texture);
    if (!found.texture) {
        entries_[texture->name()].push_back(texture);
        return;
    }
    if (found.texture == texture || mode == Mode::KeepExisting)
        return;
    entries_[texture->name()][found.index] = texture;
}

std::size_t TextureRegistry::entryCount(const std::string& name) const {
    const auto entry = entries_.find(name);
    return entry == entries_.end() ? 0 : entry->second.size();
}

std::shared_ptr<File2DTexture> loadTexture(const std::string& name, TextureFormat internalFormat,
                                           TextureFilter magFilter, TextureFilter minFilter,
                                           TextureWrap wrapS, TextureWrap wrapT,
                                           const glm::vec4& borderColour) {
    const std::string resolved = findAsset(name, kTexturesFolder, AssetIndexKind::Files);
    if (resolved.empty()) {
        spdlog::error(
            "The given filename {0} seems to be invalid for a texture file. See earlier log entries for "
            "further details.",
            name);
        return nullptr;
    }
    TextureParameters parameters;
    parameters.magFilter = magFilter;
    parameters.minFilter = minFilter;
    parameters.wrapS = wrapS;
    parameters.wrapT = wrapT;
    parameters.wrapR = TextureWrap::Unset;
    parameters.internalFormat = internalFormat;
    parameters.borderColour = borderColour;
    auto texture = std::make_shared<File2DTexture>(resolved, parameters);
    if (auto found = TextureRegistry::instance().find(*texture); found.texture)
        return std::static_pointer_cast<File2DTexture>(found.texture);

    auto file = getTextureFile(resolved);
    if (!file) {
        spdlog::error(
            "It seems that an error occured when loading the texture for location {0}. Check earlier log "
            "entries for further details.",
            name);
        return nullptr;
    }
    texture = std::make_shared<File2DTexture>(resolved, parameters, std::move(file));
    return findOrLoad(std::move(texture),
                      "Couldn't load texture. Check earlier log entries for more details");
}

std::shared_ptr<CubeMapTexture> loadCubeMap(const std::string& name, const glm::vec4& borderColour) {
    const std::string resolved = findAsset(name, kTexturesFolder, AssetIndexKind::Folders);
    if (resolved.empty()) {
        spdlog::error("It seems that the directory {0} doesn't exist.", name);
        return nullptr;
    }
    return findOrLoad(
        std::make_shared<CubeMapTexture>(resolved, CubeMapTexture::defaultParameters(borderColour)),
        "Couldn't load cubemap texture. Check earlier log entries for further details.");
}

std::shared_ptr<Video2DTexture> loadVideoTexture(const std::string& name, const glm::vec4& borderColour) {
    const std::string resolved = findAsset(name, kTexturesFolder, AssetIndexKind::Folders);
    if (resolved.empty()) {
        spdlog::error("It seems that the directory {0} doesn't exist.", name);
        return nullptr;
    }
    return findOrLoad(
        std::make_shared<Video2DTexture>(resolved, Video2DTexture::defaultParameters(borderColour)),
        "Couldn't load video texture. Check earlier log entries for further details.");
}

} // namespace hm
