#include "ui/Font.h"

#include "app/Log.h"
#include "render/GpuState.h"
#include "render/RenderDevice.h"
#include "render/ShaderLibrary.h"
#include "render/ShaderLocations.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <glm/gtc/type_ptr.hpp>

#include <array>
#include <cstdlib>

namespace hm {

namespace {

constexpr unsigned kPositionAttribute = 0;
constexpr unsigned kTexCoordAttribute = 4;
constexpr int kCharacterCount = 128;

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

    FT_Library library = nullptr;
    if (FT_Init_FreeType(&library)) {
        spdlog::error("Failed to init FreeType Library. Check your dependencies");
        stopProcess();
    }
    FT_Face face = nullptr;
    if (FT_New_Face(library, path.c_str(), 0, &face)) {
        spdlog::error("Failed to load font: \"{0}\"", path);
        FT_Done_FreeType(library);
        stopProcess();
    }
    if (FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(pixelSize)))
        spdlog::error("Font {0} cannot be set to {1} pixels.", name, pixelSize);

    // Without a GPU the glyphs keep their metrics only: text is measured and laid out, not drawn.
    const bool withGpu = RenderDevice::gpu();
    for (int code = 0; code < kCharacterCount; ++code) {
        const auto c = static_cast<unsigned char>(code);
        if (FT_Load_Char(face, static_cast<FT_ULong>(code), FT_LOAD_RENDER)) {
            spdlog::warn("Failed to load Glyph \"{0}\" for font \"{1}\"", static_cast<char>(c), name);
            continue;
        }
        const FT_GlyphSlot slot = face->glyph;
        const FT_Bitmap& bitmap = slot->bitmap;
        Glyph glyph;
        glyph.size = {static_cast<int>(bitmap.width), static_cast<int>(bitmap.rows)};
        glyph.bearing = {slot->bitmap_left, slot->bitmap_top};
        glyph.advance = static_cast<unsigned int>(slot->advance.x);
        if (withGpu) {
            // Rows may be padded beyond the width.
            const int pitch = bitmap.pitch > 0 ? bitmap.pitch : static_cast<int>(bitmap.width);
            glyph.texture.reset(gpu::createCoverageTexture(
                static_cast<int>(bitmap.width), static_cast<int>(bitmap.rows), pitch, bitmap.buffer));
        }
        glyphs_.emplace(c, std::move(glyph));
    }
    FT_Done_Face(face);
    FT_Done_FreeType(library);

    program_ = ShaderLibrary::instance().getProgram("text");

    StreamedGeometry::Buffer positions;
    positions.stride = 3 * sizeof(float);
    positions.capacity = 6 * 3 * sizeof(float);
    positions.attributes = {{kPositionAttribute, 3, 0}};
    StreamedGeometry::Buffer texCoords;
    texCoords.stride = 2 * sizeof(float);
    texCoords.attributes = {{kTexCoordAttribute, 2, 0}};
    const auto* first = reinterpret_cast<const unsigned char*>(kQuadTexCoords.data());
    texCoords.initial.assign(first, first + sizeof(kQuadTexCoords));
    quads_ = std::make_unique<StreamedGeometry>(std::vector<StreamedGeometry::Buffer>{positions, texCoords});
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

    gpu::useProgram(program_);
    gpu::setUniform(shader::kTextColour, colour);
    for (const char byte : text) {
        const Glyph& g = glyph(static_cast<unsigned char>(byte));
        const float xpos = x + static_cast<float>(g.bearing.x) * scale / width;
        const float ypos = y - static_cast<float>(g.size.y - g.bearing.y) * scale / height;
        const float w = static_cast<float>(g.size.x) * scale / width;
        const float h = static_cast<float>(g.size.y) * scale / height;
        if (g.texture && g.size.x > 0 && g.size.y > 0) {
            const float corners[6][3] = {{xpos, ypos + h, z}, {xpos, ypos, z},     {xpos + w, ypos, z},
                                         {xpos, ypos + h, z}, {xpos + w, ypos, z}, {xpos + w, ypos + h, z}};
            gpu::bindTexture2D(0, g.texture.get());
            quads_->write(0, corners, sizeof(corners));
            quads_->drawTriangles(6);
        }
        x += static_cast<float>(g.advance / 64) * scale / width;
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
    auto& entry = fonts_[keyOf(name, pixelSize)];
    if (!entry)
        entry = std::make_unique<Font>(name, pixelSize);
    return *entry;
}

bool FontCache::contains(const std::string& name, int pixelSize) const {
    return fonts_.count(keyOf(name, pixelSize)) != 0;
}

} // namespace hm
