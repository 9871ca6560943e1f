// TrueType fonts for the 2D layer: one OpenGL texture per glyph, rasterised once per font name
// and pixel size and shared through the render device's font cache (a null device keeps the
// glyph metrics only).
//
// A line of text is uploaded in one piece and drawn with one call per glyph texture.
//
// A font holds the glyphs of the character codes 0 to 127 that FreeType could render (see
// GlyphRaster.h for the pixel modes and sizes accepted), from
// "./GAME_DATA/fonts/<name>.ttf". A byte without a glyph (a failed glyph, any byte above 127)
// is an empty glyph: nothing drawn, no advance. A missing font file or a FreeType library that
// does not start ends the program after an error line, as it cannot show its interface without.
//
// Text is placed in window-fraction units (x in window widths, y in window heights, origin at the
// bottom left), so the caller passes the window's framebuffer size to turn glyph pixels into
// those units. Needs the OpenGL context; main thread only.
#pragma once

#include "render/GLHandle.h"
#include "render/StreamedGeometry.h"

#include <glm/vec2.hpp>
#include <glm/vec3.hpp>

#include <map>
#include <memory>
#include <string>
#include <string_view>

namespace hm {

struct Glyph {
    TextureHandle texture;    // one red channel of coverage
    glm::ivec2 size{0};       // bitmap width and rows in pixels
    glm::ivec2 bearing{0};    // left and top bearing in pixels
    unsigned int advance = 0; // in 1/64 pixel
};

class Font {
public:
    // Rasterises the font; ends the program when FreeType or the file fails (see above).
    Font(const std::string& name, int pixelSize);
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;

    static std::string pathOf(const std::string& name) { return "./GAME_DATA/fonts/" + name + ".ttf"; }

    // Draws the line with its baseline starting at (x, y) at depth z, the glyphs scaled by scale.
    void renderText(std::string_view text, float x, float y, float z, const glm::vec3& colour, float scale,
                    const glm::ivec2& windowSize) const;
    // Width (sum of the advances) and height (largest top bearing) in window-fraction units;
    // (0, 0) for an empty text or a window without area.
    glm::vec2 measure(std::string_view text, const glm::ivec2& windowSize) const;

    // The glyph of a byte, or the shared empty glyph when it has none.
    const Glyph& glyph(unsigned char c) const;
    bool hasGlyph(unsigned char c) const { return glyphs_.count(c) != 0; }
    std::size_t glyphCount() const { return glyphs_.size(); }

    const std::string& name() const { return name_; }
    int pixelSize() const { return pixelSize_; }

private:
    std::string name_;
    int pixelSize_;
    std::map<unsigned char, Glyph> glyphs_;
    unsigned program_ = 0;
    // One glyph quad at a time, rewritten per glyph.
    std::unique_ptr<StreamedGeometry> quads_;
};

// The render device's font cache, keyed by name + "_" + pixel size. Fonts are never removed.
class FontCache {
public:
    static FontCache& instance();

    // Larger sizes would cost hundreds of megabytes of glyph textures and fill no screen.
    static constexpr int kMaxPixelSize = 1024;

    // The shared font, built on first request. A pixel size below 1 is raised to 1, one above
    // kMaxPixelSize lowered to it (with a line).
    Font& getFont(const std::string& name, int pixelSize);
    bool contains(const std::string& name, int pixelSize) const;
    std::size_t size() const { return fonts_.size(); }

    static std::string keyOf(const std::string& name, int pixelSize) {
        return name + "_" + std::to_string(pixelSize);
    }

private:
    std::map<std::string, std::unique_ptr<Font>> fonts_;
};

} // namespace hm
