// Draws one frame of a scene: fills the uniform block every shader reads (camera, sun, shadow
// cascades, lights), renders the sun's shadow cascades, then the 3D tree, the sky behind it, the
// particle systems and the 2D layer, and finally scales the picture by the brightness setting.
//
// The 3D tree is drawn from a list built once per frame: opaque meshes sorted by program and
// material so that only what changes between two draws is bound, with blending off; a depth
// pre-pass first where the quality level asks for one; materials that may be translucent
// (generic and canvas ones) afterwards with blending on; meshes drawn on top (markers such as a
// range ring) last, without the depth test. The uniform block is written once per
// frame: the 3D block and the 2D one are two ranges of one buffer. Shadow casters that keep
// still are drawn into a cached copy of the cascades; a frame copies it and draws only the
// casters that move (see ShadowCasterCache.h).
//
// The window's render device owns the renderer; it is created on first use. Only an OpenGL
// device has one: asking for it where there is none ends the program.
#pragma once

#include "render/GLHandle.h"
#include "render/Mesh.h"
#include "render/PassTimer.h"
#include "render/RenderQuality.h"
#include "render/SceneUniforms.h"
#include "render/ShadowCascades.h"
#include "render/ShadowCasterCache.h"

#include <glm/mat4x4.hpp>

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace hm {

class LensFlare;
class Material;
class MeshNode;
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

    // The quality level of the following frames (see RenderQuality.h).
    void setQuality(RenderQuality quality);
    RenderQuality quality() const { return quality_; }

    // What the last frame wrote into the 3D uniform block (tests and tools read it).
    const SceneUniforms& uniforms() const { return uniforms_; }
    // The sun's flare, once the first frame with a sun has been drawn.
    const LensFlare* lensFlare() const { return lensFlare_.get(); }
    const ShadowCascades& cascades() const { return cascades_; }
    // The cascades are the layers of one depth array texture.
    GLName shadowMaps() const { return shadowMaps_.get(); }
    int shadowMapSize() const { return shadowMapSize_; }
    GLName uniformBuffer() const { return uniformBuffer_.get(); }

    // Fills the block from the scene's active camera, sun and lights, uploads it with the 2D
    // block in one write and binds the 3D block.
    void updateUniforms(Scene& scene);
    // The state every scene starts with: depth test, back faces culled, the clear colour.
    void prepareContext(const glm::vec3& clearColour);
    // Multiplies the framebuffer by the brightness; nothing at exactly 1.
    void brightnessPass();
    // The same geometry as render() in one flat colour: no shadows, sky, lighting or 2D layer.
    // The benchmark's floor for what the lit frame could cost.
    void renderFlat(Window& window, Scene& scene);

    // Still shadow casters drawn once into a cached copy of the cascades (see ShadowCasterCache.h);
    // on by default. Off, every frame draws every caster.
    void setShadowCaching(bool enabled);
    // What the last shadow pass did with the cache.
    ShadowCasterCache::Use lastShadowCacheUse() const { return lastShadowCacheUse_; }

    // Per-pass GPU times; enable it to have each frame's passes timed.
    PassTimer& passTimer() { return passTimer_; }

    // A small readout of the time between frames in the top left corner (F in the game),
    // refreshed twice a second with the average of the frames in between.
    void setFrameTimeReadout(bool shown);
    bool frameTimeReadout() const { return readoutShown_; }
    const std::string& frameTimeText() const { return readoutText_; }

private:
    friend class RenderDevice;
    struct Draw {
        MeshNode* node;
        const Material* material;
        GLName program;
        bool translucent;
        float distance; // from the camera, for front-to-back order within a material
        // Which views the mesh may show in: bit k for shadow cascade k, kCameraView for the
        // camera. A mesh wholly outside a view's box is not drawn there.
        std::uint8_t seenBy;
        bool onTop = false;       // drawn after the world without the depth test
        bool stillCaster = false; // drawn from the shadow cache (set by the shadow pass)
    };
    enum class Casters { All, Still, Moving };
    static constexpr std::uint8_t kCameraView = 1u << ShadowCascades::kCount;
    static constexpr std::uint8_t kEveryView = 0xff;
    // What is bound while the draw list runs; reset at the start of every list.
    struct Bound {
        GLName program = ~0u;
        const Material* material = nullptr;
        GLName vertexArray = ~0u;
        int meshFlag = -1;
        std::array<GLName, 13> textures{};
    };

    Renderer();
    void collectDraws(Scene& scene);
    void shadowPass(Scene& scene, float value);
    void mainPass(Scene& scene, int width, int height);
    // The draws in [first, last) that `view` (a bit of Draw::seenBy) may see.
    void drawList(std::size_t first, std::size_t last, bool withMaterials, GLName program, std::uint8_t view,
                  Casters casters = Casters::All);
    // Draws the casters of each cascade layer of `maps`, cleared first when asked.
    void drawCascades(GLName maps, int cascades, bool clear, Casters casters);
    // Sets the cascade bits of Draw::seenBy from the cascades' light matrices.
    void cullShadowCasters(int cascades);
    void drawSkybox(Scene& scene);
    void ensureShadowMaps(int size);
    static TextureHandle makeShadowMapArray(int size);
    void ensureSceneTarget(int width, int height);
    void bindBlock(bool twoD);
    GLName litProgram(const Material& material, bool hasLights);
    void drawFrameTimeReadout(const glm::ivec2& size);

    SceneUniforms uniforms_;
    ShadowCascades cascades_;
    RenderQuality quality_ = RenderQuality::High;
    BufferHandle uniformBuffer_;
    std::ptrdiff_t twoDOffset_ = 0;
    std::vector<unsigned char> blockBytes_;
    FramebufferHandle shadowFramebuffer_;
    TextureHandle shadowMaps_;
    int shadowMapSize_ = 0;
    int shadowFrame_ = 0;
    TextureHandle stillShadowMaps_; // the still casters' depth, same size as shadowMaps_
    ShadowCasterCache casterCache_;
    bool shadowCaching_ = true;
    ShadowCasterCache::Use lastShadowCacheUse_ = ShadowCasterCache::Use::DrawAll;
    // The smaller picture of a render scale below 1.
    FramebufferHandle sceneFramebuffer_;
    TextureHandle sceneColour_;
    RenderbufferHandle sceneDepth_;
    glm::ivec2 sceneSize_{0};
    GLName shadowProgram_ = 0;
    GLName depthProgram_ = 0;
    GLName pbrProgram_ = 0;
    GLName defaultProgram_ = 0;
    std::map<unsigned, GLName> pbrVariants_; // by quality, lights and default material maps
    std::vector<Draw> draws_;
    std::size_t opaqueCount_ = 0;
    std::size_t onTopStart_ = 0; // draws from here on are drawn on top
    Bound bound_;
    std::shared_ptr<Material> brightnessMaterial_;
    std::unique_ptr<Mesh> screenQuad_;
    std::unique_ptr<LensFlare> lensFlare_;
    PassTimer passTimer_;
    bool readoutShown_ = false;
    std::string readoutText_;
    std::chrono::steady_clock::time_point lastFrame_{};
    double readoutSeconds_ = 0.0;
    int readoutFrames_ = 0;
};

} // namespace hm
