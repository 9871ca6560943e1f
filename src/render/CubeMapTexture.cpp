#include "render/CubeMapTexture.h"

#include "app/AssetLocations.h"
#include "app/Log.h"
#include "render/TextureFile.h"

#include <array>
#include <filesystem>
#include <memory>
#include <string_view>

namespace fs = std::filesystem;

namespace hm {
namespace {

constexpr std::array<std::string_view, 6> kFaceNames{"posx", "negx", "posy", "negy", "posz", "negz"};

} // namespace

TextureParameters CubeMapTexture::defaultParameters(const glm::vec4& borderColour) {
    TextureParameters parameters;
    parameters.magFilter = TextureFilter::Linear;
    parameters.minFilter = TextureFilter::Linear;
    parameters.wrapS = TextureWrap::ClampToEdge;
    parameters.wrapT = TextureWrap::ClampToEdge;
    parameters.wrapR = TextureWrap::ClampToEdge;
    parameters.internalFormat = TextureFormat::RGB8;
    parameters.borderColour = borderColour;
    return parameters;
}

CubeMapTexture::CubeMapTexture(std::string name, const TextureParameters& parameters)
    : Texture(std::move(name), TextureKind::CubeMap, parameters) {}

bool CubeMapTexture::load() {
    const fs::path folder = kTexturesFolder + name();
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) {
        spdlog::error("CubeMapTextures-Name is not a valid directory: {0}", name());
        return false;
    }

    std::array<std::shared_ptr<TextureFile>, 6> faces;
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        std::error_code typeError;
        if (!entry.is_regular_file(typeError))
            continue;
        const std::string fileName = entry.path().filename().string();
        const std::string_view prefix = std::string_view(fileName).substr(0, 4);
        for (std::size_t face = 0; face < kFaceNames.size(); ++face)
            if (prefix == kFaceNames[face] && !faces[face])
                faces[face] = getTextureFile(name() + "/" + fileName, true);
    }
    for (std::size_t face = 0; face < faces.size(); ++face) {
        if (!faces[face]) {
            // Name the face, so a lost file is found without guessing which of the six it was.
            spdlog::warn("The cube map {0} has no {1} image in {2}.", name(), kFaceNames[face],
                         folder.string());
            spdlog::error(
                "Fetching the 6 cubemap images failed. Are they correctly named inside the folder {0}?",
                name());
            return false;
        }
    }

    if (!createGLObject())
        return false;
    TextureFormat format = parameters().internalFormat;
    for (std::size_t face = 0; face < faces.size(); ++face) {
        if (!faces[face]->upload(TextureTarget::CubeMap, format, static_cast<int>(face))) {
            spdlog::error("Failed to load fileObject with name: {0}", faces[face]->name());
            release();
            return false;
        }
    }
    setUploadedFormat(format);
    setSize(faces[0]->width(), faces[0]->height());
    return true;
}

} // namespace hm
