// Rasterising a font's glyphs with FreeType, without OpenGL: the half of font loading that reads
// the file, kept apart so it can be checked (and fuzzed) without a context.
//
// Every glyph comes out as 8-bit coverage, rows top-down and tightly packed, whatever pixel mode
// FreeType rendered it in: 1-bit (bitmap fonts, embedded mono strikes), 2- and 4-bit grey and
// BGRA (colour strikes, whose alpha is the coverage) are converted; subpixel (LCD) bitmaps are
// refused. A glyph larger than a font of that pixel size can sensibly draw is refused with a
// line, so a broken or hostile font cannot make the upload cost gigabytes.
#pragma once

#include <glm/vec2.hpp>

#include <cstdint>
#include <string>
#include <vector>

namespace hm {

struct GlyphBitmap {
    unsigned char code = 0;
    glm::ivec2 size{0};               // width and rows in pixels
    glm::ivec2 bearing{0};            // left and top bearing in pixels
    unsigned int advance = 0;         // in 1/64 pixel
    std::vector<std::uint8_t> pixels; // size.x * size.y coverage values, top row first
};

struct GlyphRaster {
    enum class Status { Ok, LibraryFailed, FileFailed };
    Status status = Status::Ok;
    std::vector<GlyphBitmap> glyphs; // in code order; codes FreeType could not render are missing
};

// Largest glyph edge accepted for a font rasterised at pixelSize.
int maxGlyphEdge(int pixelSize);

// Rasterises the character codes 0 to 127 of the font file at path at pixelSize. Glyphs that fail
// or are refused are logged (under the font's name) and left out; only a FreeType library that
// does not start or a file it cannot open changes the status.
GlyphRaster rasteriseGlyphs(const std::string& path, const std::string& name, int pixelSize);

} // namespace hm
