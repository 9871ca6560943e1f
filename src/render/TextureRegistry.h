// The process-wide texture registry and the texture factories.
//
// The registry maps a texture name to weak references of the textures loaded under it, so a
// texture lives only as long as its users hold it. The factories build the requested texture,
// return a live equal one instead when there is one (same name, kind and parameters), and
// otherwise load and register the new texture. They return nullptr after log lines on failure.
#pragma once

#include "render/CubeMapTexture.h"
#include "render/File2DTexture.h"
#include "render/Video2DTexture.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace hm {

class TextureRegistry {
public:
    enum class Mode : int { KeepExisting = 0, Replace = 1 };

    struct Found {
        std::shared_ptr<Texture> texture;
        std::size_t index = 0; // position in the list of its name
    };

    static TextureRegistry& instance();

    // The newest live texture equal to texture (possibly texture itself). Entries of textures
    // that no longer exist are dropped on the way.
    Found find(const Texture& texture);
    // Adds texture under its name. When an equal texture is registered already, KeepExisting
    // leaves it and Replace puts texture in its place. Any other mode throws std::logic_error.
    void add(const std::shared_ptr<Texture>& texture, Mode mode = Mode::KeepExisting);
    // Registered entries under name, live or not.
    std::size_t entryCount(const std::string& name) const;

private:
    std::map<std::string, std::vector<std::weak_ptr<Texture>>> entries_;
};

// A 2D texture from an image file. name is resolved below the textures folder (a bare file
// name or partial path is enough); wrap R stays unset.
std::shared_ptr<File2DTexture> loadTexture(const std::string& name, TextureFormat internalFormat,
                                           TextureFilter magFilter, TextureFilter minFilter,
                                           TextureWrap wrapS, TextureWrap wrapT,
                                           const glm::vec4& borderColour = glm::vec4(0.0f));
// A cube map from a folder of six face images.
std::shared_ptr<CubeMapTexture> loadCubeMap(const std::string& name,
                                            const glm::vec4& borderColour = glm::vec4(0.0f));
// A video texture from a folder of PNG frames. The caller adds it to its scene's updateables.
std::shared_ptr<Video2DTexture> loadVideoTexture(const std::string& name,
                                                 const glm::vec4& borderColour = glm::vec4(0.0f));

} // namespace hm
