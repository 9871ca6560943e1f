// A 2D texture that plays a folder of PNG frames (ordered by path) in a loop.
//
// The texture is an UpdateableObject: its owner hands a weak reference to the scene's updateables
// so that update() runs once per frame. update() shows the frame nearest to the elapsed time and
// restarts the clock after the last frame. Frames keep their pixels in memory and are re-sent
// into the texture's storage, so all frames should share the first frame's size; a larger frame is
// cropped to it, a smaller one fills only part of it.
#pragma once

#include "app/UpdateableObject.h"
#include "render/Texture.h"

#include <memory>
#include <vector>

namespace hm {

class TextureFile;

class Video2DTexture : public Texture, public UpdateableObject {
public:
    static constexpr float kDefaultFrameDuration = 1.0f / 24.0f;

    // Linear filtering, repeat on S and T, RGBA8 storage.
    static TextureParameters defaultParameters(const glm::vec4& borderColour = glm::vec4(0.0f));

    // name: folder relative to the textures folder.
    Video2DTexture(std::string name, const TextureParameters& parameters = defaultParameters());

    // Needs at least two frames that load; broken frames are dropped.
    bool load() override;
    TextureTarget target() const override { return TextureTarget::Texture2D; }
    // Advances the clock by seconds; does nothing until the texture is loaded.
    void update(float seconds) override;

    std::size_t frameCount() const { return frames_.size(); }
    const std::vector<std::shared_ptr<TextureFile>>& frames() const { return frames_; }
    float frameDuration() const { return frameDuration_; }
    // Seconds per frame; values that are not positive and finite are refused with a log line.
    void setFrameDuration(float seconds);
    float elapsed() const { return elapsed_; }
    // The frame on the texture; -1 until the first update.
    int currentFrame() const { return currentFrame_; }

private:
    std::vector<std::shared_ptr<TextureFile>> frames_;
    float frameDuration_ = kDefaultFrameDuration;
    float elapsed_ = 0.0f;
    int currentFrame_ = -1;
};

} // namespace hm
