// The owner of every GPU object the engine shares between scenes: the shader library, the
// material and texture registries (with the PBR default textures), the renderer, the font
// cache, the sky cube and the 2D quad.
//
// A window makes an OpenGL device right after its context exists and destroys it before the
// context goes, so no GL object outlives the context that made it and a process can close a
// window and open another. Devices nest: the newest live one is current and the registries'
// instance() accessors answer from it.
//
// A null device stands in where there is no display (the headless level, unit tests, tools):
// it runs no GL call at all. Meshes and textures keep their CPU data and skip the upload,
// shaders are known by name only, and there is no renderer. When no device is alive, a null
// device of the process is current, so code that only loads and simulates needs no setup.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace hm {

class FontCache;
class MaterialRegistry;
class Mesh;
class Renderer;
class ShaderLibrary;
class Skybox;
class Texture;
class TextureRegistry;

class RenderDevice {
public:
    enum class Kind { OpenGL, Null };

    // An OpenGL device needs the window's context to be current.
    explicit RenderDevice(Kind kind);
    ~RenderDevice();
    RenderDevice(const RenderDevice&) = delete;
    RenderDevice& operator=(const RenderDevice&) = delete;

    // The newest live device, or the process's null device when none is alive.
    static RenderDevice& current();
    // True when the current device draws: GL calls are allowed.
    static bool gpu() { return current().kind() == Kind::OpenGL; }

    Kind kind() const { return kind_; }
    // The OpenGL renderer string (GL_RENDERER), e.g. "llvmpipe (LLVM 15.0.6, 256 bits)"; empty on
    // a null device.
    std::string rendererName() const;

    // Each is made on first use; the shader library loads "./GAME_DATA/shaders/".
    ShaderLibrary& shaders();
    MaterialRegistry& materials();
    TextureRegistry& textures();
    FontCache& fonts();
    // Null on a null device.
    Renderer* renderer();
    // White albedo, flat normal, no metal, half rough, no occlusion.
    const std::vector<std::shared_ptr<Texture>>& pbrDefaults();
    const std::shared_ptr<Skybox>& skybox();
    // The unit square of the 2D layer, texture v = 0 at its top edge.
    const Mesh& unitSquare();

private:
    Kind kind_;
    RenderDevice* previous_ = nullptr;
    // Destroyed bottom to top: users of programs and textures before the library.
    std::unique_ptr<ShaderLibrary> shaders_;
    std::unique_ptr<TextureRegistry> textures_;
    std::unique_ptr<std::vector<std::shared_ptr<Texture>>> pbrDefaults_;
    std::shared_ptr<Skybox> skybox_;
    std::unique_ptr<Mesh> unitSquare_;
    std::unique_ptr<Renderer> renderer_;
    std::unique_ptr<FontCache> fonts_;
    std::unique_ptr<MaterialRegistry> materials_;
};

} // namespace hm
