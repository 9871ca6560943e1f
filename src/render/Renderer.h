// Draws one frame of a scene: fills the uniform block every shader reads (camera, sun, shadow
// cascades, lights), renders the sun's three shadow cascades, then the sky, the 3D tree, the
// particle systems and the 2D layer, and finally scales the picture by the brightness setting.
//
// The window's render device owns the renderer; it is created on first use. Only an OpenGL
// device has one: asking for it where there is none ends the program.
#pragma once

#include "render/GLHandle.h"
#include "render/Mesh.h"
#include "render/SceneUniforms.h"
#include "render/ShadowCascades.h"

#include <array>
#include <memory>

namespace hm {

class LensFlare;
class Material;
class Scene;
class Window;

class Renderer {
public:
    static Renderer& instance();
    ~Renderer();
    Renderer(const Renderer&) = delete;
    Renderer& operator=(const Renderer&) = delete;

    // `value` is handed to every node's render.
    void render(Window& window, Scene& scene, float value);

    double brightness = 1.0;

    // What the last frame wrote into the uniform block (tests and tools read it).
    const SceneUniforms& uniforms() const { return uniforms_; }
    // The sun's flare, once the first frame with a sun has been drawn.
    const LensFlare* lensFlare() const { return lensFlare_.get(); }
    const ShadowCascades& cascades() const { return cascades_; }
    GLuint shadowMap(int cascade) const { return depthTextures_[static_cast<std::size_t>(cascade)].get(); }
    GLuint uniformBuffer() const { return uniformBuffer_.get(); }

    // Fills the block from the scene's active camera, sun and lights and uploads it.
    void updateUniforms(Scene& scene);
    // The state every scene starts with: depth test, back faces culled, the clear colour.
    void prepareContext(const glm::vec3& clearColour);
    // Multiplies the framebuffer by the brightness; nothing at exactly 1.
    void brightnessPass();

private:
    friend class RenderDevice;
    Renderer();
    void shadowPass(Scene& scene, float value);
    void mainPass(Scene& scene, float value, int width, int height);
    void drawSkybox(Scene& scene);
    void upload();

    SceneUniforms uniforms_;
    ShadowCascades cascades_;
    BufferHandle uniformBuffer_;
    FramebufferHandle shadowFramebuffer_;
    std::array<TextureHandle, ShadowCascades::kCount> depthTextures_;
    GLuint shadowProgram_ = 0;
    std::shared_ptr<Material> brightnessMaterial_;
    std::unique_ptr<Mesh> screenQuad_;
    std::unique_ptr<LensFlare> lensFlare_;
};

} // namespace hm
