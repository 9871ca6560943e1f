#include "ui/Font.h"

#include "app/Log.h"
#include "render/GpuState.h"
#include "render/RenderDevice.h"
#include "render/ShaderLibrary.h"
#include "render/ShaderLocations.h"
#include "ui/GlyphRaster.h"

#include <glm/gtc/type_ptr.hpp>

#include <array>
#include <cstdlib>
#include <vector>

namespace hm {

namespace {

constexpr unsigned kPositionAttribute = 0;
constexpr unsigned kTexCoordAttribute = 4;

// Texture coordinates of the six corners of a glyph quad (two triangles), top row of the
// bitmap at v = 0.
constexpr std::array<float, 12> kQuadTexCoords{0, 0, 0, 1, 1, 1, 0, 0, 1, 1, 1, 0};

[[noreturn]] void stopProcess() {
    spdlog::default_logger()->flush();
    std::exit(1);
}

} // namespace

Font::Font(const std::string& name, int pixelSize) : name_(name), pixelSize_(pixelSize) {
    const std::string path = pathOf(name);

    const GlyphRaster raster = rasteriseGlyphs(path, name, pixelSize);
    if (raster.status == GlyphRaster::Status::LibraryFailed) {
        spdlog::error("Failed to init FreeType Library. Check your dependencies");
        stopProcess();
    }
    if (raster.status == GlyphRaster::Status::FileFailed) {
        spdlog::error("Failed to load font: \"{0}\"", path);
        stopProcess();
    }

    // Without a GPU the glyphs keep their metrics only: text is measured and laid out, not drawn.
    // With one, every bitmap is 8-bit coverage with tightly packed rows.
    const bool withGpu = RenderDevice::gpu();
    for (const GlyphBitmap& bitmap : raster.glyphs) {
        Glyph glyph;
        glyph.size = bitmap.size;
        glyph.bearing = bitmap.bearing;
        glyph.advance = bitmap.advance;
        if (withGpu)
            glyph.texture.reset(
                gpu::createCoverageTexture(bitmap.size.x, bitmap.size.y, bitmap.size.x,
                                           bitmap.pixels.empty() ? nullptr : bitmap.pixels.data()));
        glyphs_.emplace(bitmap.code, std::move(glyph));
    }

    program_ = ShaderLibrary::instance().getProgram("text");

    // Interleaved position (3 floats) and texture coordinate (2 floats), six vertices a glyph.
    StreamedGeometry::Buffer vertices;
    vertices.stride = 5 * sizeof(float);
    vertices.attributes = {{kPositionAttribute, 3, 0}, {kTexCoordAttribute, 2, 3 * sizeof(float)}};
    quads_ = std::make_unique<StreamedGeometry>(std::vector<StreamedGeometry::Buffer>{vertices});
}

const Glyph& Font::glyph(unsigned char c) const {
    static const Glyph empty;
    const auto it = glyphs_.find(c);
    return it == glyphs_.end() ? empty : it->second;
}

void Font::renderText(std::string_view text, float x, float y, float z, const glm::vec3& colour, float scale,
                      const glm::ivec2& windowSize) const {
    if (windowSize.x <= 0 || windowSize.y <= 0)
        return;
    const float width = static_cast<float>(windowSize.x);
    const float height = static_cast<float>(windowSize.y);

    // The whole line goes up in one upload; then one draw per run of glyphs on the same texture.
    static std::vector<float> vertices;
    static std::vector<unsigned> textures;
    vertices.clear();
    textures.clear();
    for (const char byte : text) {
        const Glyph& g = glyph(static_cast<unsigned char>(byte));
        const float xpos = x + static_cast<float>(g.bearing.x) * scale / width;
        const float ypos = y - static_cast<float>(g.size.y - g.bearing.y) * scale / height;
        const float w = static_cast<float>(g.size.x) * scale / width;
        const float h = static_cast<float>(g.size.y) * scale / height;
        if (g.texture && g.size.x > 0 && g.size.y > 0) {
            const float corners[6][2] = {{xpos, ypos + h}, {xpos, ypos},     {xpos + w, ypos},
                                         {xpos, ypos + h}, {xpos + w, ypos}, {xpos + w, ypos + h}};
            for (int v = 0; v < 6; ++v)
                vertices.insert(vertices.end(), {corners[v][0], corners[v][1], z, kQuadTexCoords[2 * v],
                                                 kQuadTexCoords[2 * v + 1]});
            textures.push_back(g.texture.get());
        }
        x += static_cast<float>(g.advance / 64) * scale / width;
    }
    if (textures.empty())
        return;

    gpu::useProgram(program_);
    gpu::setUniform(shader::kTextColour, colour);
    quads_->replace(0, vertices.data(), vertices.size() * sizeof(float));
    std::size_t first = 0;
    while (first < textures.size()) {
        std::size_t last = first + 1;
        while (last < textures.size() && textures[last] == textures[first])
            ++last;
        gpu::bindTexture2D(0, textures[first]);
        quads_->drawTriangles(static_cast<int>(6 * (last - first)), 1, static_cast<int>(6 * first));
        first = last;
    }
    gpu::bindTexture2D(0, 0);
}

glm::vec2 Font::measure(std::string_view text, const glm::ivec2& windowSize) const {
    if (windowSize.x <= 0 || windowSize.y <= 0)
        return glm::vec2(0.0f);
    const float width = static_cast<float>(windowSize.x);
    const float height = static_cast<float>(windowSize.y);
    glm::vec2 size(0.0f);
    for (const char byte : text) {
        const Glyph& g = glyph(static_cast<unsigned char>(byte));
        size.x += static_cast<float>(g.advance / 64) / width;
        size.y = std::max(size.y, static_cast<float>(g.bearing.y) / height);
    }
    return size;
}

FontCache& FontCache::instance() {
    return RenderDevice::current().fonts();
}

Font& FontCache::getFont(const std::string& name, int pixelSize) {
    if (pixelSize < 1) {
        spdlog::warn("Font {0} was asked for at {1} pixels; using 1.", name, pixelSize);
        pixelSize = 1;
    }
    if (pixelSize > kMaxPixelSize) {
        spdlog::warn("Font {0} was asked for at {1} pixels; using {2}.", name, pixelSize, kMaxPixelSize);
        pixelSize = kMaxPixelSize;
    }
    auto& entry = fonts_[keyOf(name, pixelSize)];
    if (!entry)
        entry = std::make_unique<Font>(name, pixelSize);
    return *entry;
}

bool FontCache::contains(const std::string& name, int pixelSize) const {
    return fonts_.count(keyOf(name, pixelSize)) != 0;
}

} // namespace hm
