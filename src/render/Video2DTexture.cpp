#include "render/Video2DTexture.h"

#include "app/AssetLocations.h"
#include "app/Log.h"
#include "render/TextureFile.h"

#include <GL/glew.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>

namespace fs = std::filesystem;

namespace hm {
namespace {

bool isFrameFile(const fs::path& path) {
    return path.extension() == ".png";
}

// The number at the end of a frame's file name (frame_007.png is 7), or -1 when it has none.
long frameNumber(const fs::path& path) {
    const std::string stem = path.stem().string();
    std::size_t digits = stem.size();
    while (digits > 0 && std::isdigit(static_cast<unsigned char>(stem[digits - 1])))
        --digits;
    if (digits == stem.size() || stem.size() - digits > 9)
        return -1;
    return std::stol(stem.substr(digits));
}

// Numbered frames are expected one after the other: a gap means a frame file went missing and
// the video would jump over it without a word.
void reportMissingFrames(const std::vector<fs::path>& paths, const std::string& video) {
    std::vector<long> numbers;
    for (const fs::path& path : paths) {
        const long number = frameNumber(path);
        if (number < 0)
            return; // not a numbered sequence
        numbers.push_back(number);
    }
    std::sort(numbers.begin(), numbers.end());
    for (std::size_t i = 1; i < numbers.size(); ++i)
        if (numbers[i] > numbers[i - 1] + 1)
            spdlog::warn("The video {0} has no frame between {1} and {2}: {3} frame file(s) missing.", video,
                         numbers[i - 1], numbers[i], numbers[i] - numbers[i - 1] - 1);
}

} // namespace

TextureParameters Video2DTexture::defaultParameters(const glm::vec4& borderColour) {
    TextureParameters parameters;
    parameters.magFilter = TextureFilter::Linear;
    parameters.minFilter = TextureFilter::Linear;
    parameters.wrapS = TextureWrap::Repeat;
    parameters.wrapT = TextureWrap::Repeat;
    parameters.internalFormat = TextureFormat::RGBA8;
    parameters.borderColour = borderColour;
    return parameters;
}

Video2DTexture::Video2DTexture(std::string name, const TextureParameters& parameters)
    : Texture(std::move(name), TextureKind::Video, parameters) {}

void Video2DTexture::setFrameDuration(float seconds) {
    if (!(seconds > 0.0f) || !std::isfinite(seconds)) {
        spdlog::error("Invalid frame duration {0} for the video {1}; keeping {2}.", seconds, name(),
                      frameDuration_);
        return;
    }
    frameDuration_ = seconds;
}

bool Video2DTexture::load() {
    const fs::path folder = kTexturesFolder + name();
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) {
        spdlog::error("Video2DTexture-Name is not a valid directory {0}.", name());
        return false;
    }

    std::vector<fs::path> paths;
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        std::error_code typeError;
        if (entry.is_regular_file(typeError) && isFrameFile(entry.path()))
            paths.push_back(entry.path());
    }
    std::sort(paths.begin(), paths.end());
    reportMissingFrames(paths, name());
    std::vector<std::shared_ptr<TextureFile>> frames;
    for (const auto& path : paths)
        frames.push_back(getTextureFile(name() + "/" + path.filename().string(), true));
    if (frames.size() < 2) {
        spdlog::error("Only {0} files found for the video {1}. At least 2 frames are required.",
                      frames.size(), name());
        return false;
    }

    for (auto it = frames.end(); it != frames.begin();) {
        --it;
        if (!(*it)->load()) {
            spdlog::error("Error while loading file {0} for animated texture. See log for more details.",
                          (*it)->name());
            it = frames.erase(it);
        }
    }
    if (frames.size() < 2) {
        spdlog::error(
            "Only {0} files could be loaded for the video {1}. At least 2 working frames are required.",
            frames.size(), name());
        return false;
    }

    if (!createGLObject())
        return false;
    TextureFormat format = parameters().internalFormat;
    if (!frames[0]->upload(TextureTarget::Texture2D, format)) {
        release();
        return false;
    }
    setUploadedFormat(format);
    setSize(frames[0]->width(), frames[0]->height());
    frames_ = std::move(frames);
    elapsed_ = 0.0f;
    currentFrame_ = -1;
    return true;
}

void Video2DTexture::update(float seconds) {
    if (id() == 0 || frames_.empty())
        return;
    const float total = static_cast<float>(frames_.size()) * frameDuration_;
    // Nearest frame; at the very end of the loop that is one past the last frame.
    const long nearest = std::lround(elapsed_ / frameDuration_);
    const int frameIndex = static_cast<int>(std::clamp(nearest, 0L, static_cast<long>(frames_.size()) - 1));
    if (frameIndex != currentFrame_) {
        TextureFile& frame = *frames_[static_cast<std::size_t>(frameIndex)];
        glBindTexture(GL_TEXTURE_2D, id());
        if (!frame.loaded()) {
            spdlog::warn("TextureFile Update Call with an unloaded texture. That should not happen!");
            frame.load();
        }
        if (frame.compressed())
            spdlog::warn("TextureFile Update can not be done with compressed image data!");
        else if (frame.loaded())
            frame.uploadRegion(width(), height());
        glBindTexture(GL_TEXTURE_2D, 0);
        currentFrame_ = frameIndex;
    }
    elapsed_ += seconds;
    if (elapsed_ > total)
        elapsed_ = 0.0f;
}

} // namespace hm
