#include "ui/Font.h"

#include "app/Log.h"
#include "render/RenderDevice.h"
#include "render/ShaderLibrary.h"
#include "render/ShaderLocations.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <glm/gtc/type_ptr.hpp>

#include <array>
#include <cstdlib>
#include <vector>

namespace hm {

namespace {

constexpr GLuint kPositionAttribute = 0;
constexpr GLuint kTexCoordAttribute = 4;
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
    const bool gpu = RenderDevice::gpu();
    if (gpu)
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
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
        if (!gpu) {
            glyphs_.emplace(c, std::move(glyph));
            continue;
        }
        GLuint texture = 0;
        glGenTextures(1, &texture);
        glyph.texture.reset(texture);
        glBindTexture(GL_TEXTURE_2D, texture);
        // Rows may be padded beyond the width.
        const int pitch = bitmap.pitch > 0 ? bitmap.pitch : static_cast<int>(bitmap.width);
        glPixelStorei(GL_UNPACK_ROW_LENGTH, pitch);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RED, static_cast<GLsizei>(bitmap.width),
                     static_cast<GLsizei>(bitmap.rows), 0, GL_RED, GL_UNSIGNED_BYTE, bitmap.buffer);
        glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glyphs_.emplace(c, std::move(glyph));
    }
    FT_Done_Face(face);
    FT_Done_FreeType(library);

    program_ = ShaderLibrary::instance().getProgram("text");
    if (!gpu)
        return;
    glBindTexture(GL_TEXTURE_2D, 0);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);

    GLuint vertexArray = 0;
    glGenVertexArrays(1, &vertexArray);
    vertexArray_.reset(vertexArray);
    GLuint buffer = 0;
    glGenBuffers(1, &buffer);
    vertices_.reset(buffer);

    // Interleaved position (3 floats) and texture coordinate (2 floats), six vertices a glyph.
    glBindVertexArray(vertexArray);
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
    glEnableVertexAttribArray(kPositionAttribute);
    glVertexAttribPointer(kPositionAttribute, 3, GL_FLOAT, GL_FALSE, 5 * sizeof(float), nullptr);
    glEnableVertexAttribArray(kTexCoordAttribute);
    glVertexAttribPointer(kTexCoordAttribute, 2, GL_FLOAT, GL_FALSE, 5 * sizeof(float),
                          reinterpret_cast<const void*>(3 * sizeof(float)));
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glBindVertexArray(0);
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
    static std::vector<GLuint> textures;
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

    glUseProgram(program_);
    glUniform3fv(shader::kTextColour, 1, glm::value_ptr(colour));
    glActiveTexture(GL_TEXTURE0);
    glBindVertexArray(vertexArray_.get());
    glBindBuffer(GL_ARRAY_BUFFER, vertices_.get());
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(vertices.size() * sizeof(float)), vertices.data(),
                 GL_STREAM_DRAW);
    std::size_t first = 0;
    while (first < textures.size()) {
        std::size_t last = first + 1;
        while (last < textures.size() && textures[last] == textures[first])
            ++last;
        glBindTexture(GL_TEXTURE_2D, textures[first]);
        glDrawArrays(GL_TRIANGLES, static_cast<GLint>(6 * first), static_cast<GLsizei>(6 * (last - first)));
        first = last;
    }
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glBindVertexArray(0);
    glBindTexture(GL_TEXTURE_2D, 0);
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
