#include "render/RenderDevice.h"

#include "render/Material.h"
#include "render/Mesh.h"
#include "render/Renderer.h"
#include "render/ShaderLibrary.h"
#include "render/Solid2DTexture.h"
#include "render/TextureRegistry.h"
#include "ui/Font.h"

#include <GL/glew.h>

#include <algorithm>

#if defined(__SANITIZE_ADDRESS__)
#include <dlfcn.h>
#endif

namespace hm {

namespace {

// Live devices, oldest first.
std::vector<RenderDevice*>& liveDevices() {
    static std::vector<RenderDevice*> devices;
    return devices;
}

#if defined(__SANITIZE_ADDRESS__)
// The GL driver (Mesa's is loaded by the GLX client library) is unloaded when the display closes,
// before LeakSanitizer looks at the heap at exit. What the driver still holds then is reachable
// only from the unmapped driver, so it is reported as a leak under no library name, and cannot
// be told from a leak of ours. Sanitizer builds keep the driver loaded to the end; the vendor
// string lives in the driver's own data, so it names the library to keep.
void keepDriverLoaded() {
    const void* vendor = glGetString(GL_VENDOR);
    Dl_info info{};
    if (vendor && dladdr(vendor, &info) != 0 && info.dli_fname)
        dlopen(info.dli_fname, RTLD_LAZY | RTLD_NOLOAD | RTLD_NODELETE);
}
#endif

} // namespace

RenderDevice::RenderDevice(Kind kind) : kind_(kind) {
#if defined(__SANITIZE_ADDRESS__)
    if (kind == Kind::OpenGL)
        keepDriverLoaded();
#endif
    liveDevices().push_back(this);
}

RenderDevice::~RenderDevice() {
    // Members go in reverse order of declaration; the renderer and the materials hold programs
    // and textures, so they go before the library and the registries.
    materials_.reset();
    fonts_.reset();
    renderer_.reset();
    unitSquare_.reset();
    skybox_.reset();
    pbrDefaults_.reset();
    textures_.reset();
    shaders_.reset();
    auto& devices = liveDevices();
    devices.erase(std::remove(devices.begin(), devices.end(), this), devices.end());
}

std::string RenderDevice::rendererName() const {
    if (kind_ != Kind::OpenGL)
        return {};
    const GLubyte* name = glGetString(GL_RENDERER);
    return name ? std::string(reinterpret_cast<const char*>(name)) : std::string();
}

RenderDevice& RenderDevice::current() {
    auto& devices = liveDevices();
    if (!devices.empty())
        return *devices.back();
    // Made on demand and destroyed at exit; it holds no GL object. It is taken off the list at
    // once, so that a window's device made later becomes current.
    static RenderDevice* fallback = [] {
        static RenderDevice device(Kind::Null);
        liveDevices().pop_back();
        return &device;
    }();
    return *fallback;
}

ShaderLibrary& RenderDevice::shaders() {
    if (!shaders_)
        shaders_ = std::make_unique<ShaderLibrary>("./GAME_DATA/shaders/", kind_ == Kind::OpenGL);
    return *shaders_;
}

MaterialRegistry& RenderDevice::materials() {
    if (!materials_)
        materials_ = std::make_unique<MaterialRegistry>();
    return *materials_;
}

TextureRegistry& RenderDevice::textures() {
    if (!textures_)
        textures_ = std::make_unique<TextureRegistry>();
    return *textures_;
}

FontCache& RenderDevice::fonts() {
    if (!fonts_)
        fonts_ = std::make_unique<FontCache>();
    return *fonts_;
}

Renderer* RenderDevice::renderer() {
    if (kind_ != Kind::OpenGL)
        return nullptr;
    if (!renderer_)
        renderer_.reset(new Renderer());
    return renderer_.get();
}

const std::vector<std::shared_ptr<Texture>>& RenderDevice::pbrDefaults() {
    if (!pbrDefaults_)
        pbrDefaults_ =
            std::make_unique<std::vector<std::shared_ptr<Texture>>>(std::vector<std::shared_ptr<Texture>>{
                solidColourTexture({1.0f, 1.0f, 1.0f, 1.0f}, TextureFormat::RGB8),
                solidColourTexture({0.5f, 0.5f, 1.0f, 1.0f}, TextureFormat::RGB8),
                solidColourTexture({0.0f, 0.0f, 0.0f, 1.0f}, TextureFormat::R8),
                solidColourTexture({0.5f, 0.5f, 0.5f, 1.0f}, TextureFormat::R8),
                solidColourTexture({1.0f, 1.0f, 1.0f, 1.0f}, TextureFormat::R8)});
    return *pbrDefaults_;
}

const std::shared_ptr<Skybox>& RenderDevice::skybox() {
    if (!skybox_)
        skybox_.reset(new Skybox());
    return skybox_;
}

const Mesh& RenderDevice::unitSquare() {
    if (!unitSquare_) {
        std::vector<Vertex> corners(4);
        corners[0].position = {0.0f, 0.0f, 0.0f};
        corners[0].texCoord = {0.0f, 1.0f};
        corners[1].position = {1.0f, 0.0f, 0.0f};
        corners[1].texCoord = {1.0f, 1.0f};
        corners[2].position = {1.0f, 1.0f, 0.0f};
        corners[2].texCoord = {1.0f, 0.0f};
        corners[3].position = {0.0f, 1.0f, 0.0f};
        corners[3].texCoord = {0.0f, 0.0f};
        for (auto& corner : corners)
            corner.normal = {0.0f, 0.0f, 1.0f};
        unitSquare_ =
            std::make_unique<Mesh>(std::move(corners), std::vector<std::uint32_t>{0, 1, 2, 0, 2, 3});
    }
    return *unitSquare_;
}

} // namespace hm
