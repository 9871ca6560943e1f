#include "ui/GlyphRaster.h"

#include "app/Log.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace hm {

namespace {

constexpr int kCharacterCount = 128;
// No glyph of a sane font is more than a few times its pixel size; nothing on screen needs an
// edge beyond this at all.
constexpr int kGlyphEdgeFactor = 4;
constexpr int kGlyphEdgeSlack = 64;
constexpr int kGlyphEdgeCeiling = 4096;
// Pixels an outline's measured size may exceed the limit by before it is refused unrendered;
// what it renders to is checked against the limit exactly.
constexpr double kOutlineSlack = 2.0;

const char* pixelModeName(unsigned char mode) {
    switch (mode) {
    case FT_PIXEL_MODE_MONO:
        return "1-bit";
    case FT_PIXEL_MODE_GRAY:
        return "8-bit grey";
    case FT_PIXEL_MODE_GRAY2:
        return "2-bit grey";
    case FT_PIXEL_MODE_GRAY4:
        return "4-bit grey";
    case FT_PIXEL_MODE_LCD:
        return "horizontal subpixel";
    case FT_PIXEL_MODE_LCD_V:
        return "vertical subpixel";
    case FT_PIXEL_MODE_BGRA:
        return "BGRA colour";
    default:
        return "unknown";
    }
}

// Coverage 0..255 of pixel x in one bitmap row, or -1 for pixel modes we cannot read.
int coverage(const FT_Bitmap& bitmap, const unsigned char* row, unsigned x) {
    switch (bitmap.pixel_mode) {
    case FT_PIXEL_MODE_MONO:
        return (row[x >> 3] >> (7 - (x & 7))) & 1 ? 255 : 0;
    case FT_PIXEL_MODE_GRAY2:
        return ((row[x >> 2] >> (6 - 2 * (x & 3))) & 3) * 255 / 3;
    case FT_PIXEL_MODE_GRAY4:
        return ((row[x >> 1] >> (4 - 4 * (x & 1))) & 15) * 255 / 15;
    case FT_PIXEL_MODE_GRAY: {
        const int levels = bitmap.num_grays > 1 ? bitmap.num_grays : 256;
        return std::min(255, row[x] * 255 / (levels - 1));
    }
    case FT_PIXEL_MODE_BGRA:
        return row[4 * x + 3];
    default:
        return -1;
    }
}

// Bytes one row of the bitmap's pixel mode needs at its width.
unsigned long rowBytes(const FT_Bitmap& bitmap) {
    const unsigned long width = bitmap.width;
    switch (bitmap.pixel_mode) {
    case FT_PIXEL_MODE_MONO:
        return (width + 7) / 8;
    case FT_PIXEL_MODE_GRAY2:
        return (width + 3) / 4;
    case FT_PIXEL_MODE_GRAY4:
        return (width + 1) / 2;
    case FT_PIXEL_MODE_BGRA:
        return width * 4;
    default:
        return width;
    }
}

} // namespace

int maxGlyphEdge(int pixelSize) {
    return std::min(kGlyphEdgeCeiling, kGlyphEdgeFactor * std::max(pixelSize, 1) + kGlyphEdgeSlack);
}

GlyphRaster rasteriseGlyphs(const std::string& path, const std::string& name, int pixelSize) {
    GlyphRaster raster;
    FT_Library library = nullptr;
    if (FT_Init_FreeType(&library)) {
        raster.status = GlyphRaster::Status::LibraryFailed;
        return raster;
    }
    FT_Face face = nullptr;
    if (FT_New_Face(library, path.c_str(), 0, &face)) {
        FT_Done_FreeType(library);
        raster.status = GlyphRaster::Status::FileFailed;
        return raster;
    }
    if (FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(pixelSize)))
        spdlog::error("Font {0} cannot be set to {1} pixels.", name, pixelSize);

    const int maxEdge = maxGlyphEdge(pixelSize);
    for (int code = 0; code < kCharacterCount; ++code) {
        const auto c = static_cast<unsigned char>(code);
        if (FT_Load_Char(face, static_cast<FT_ULong>(code), FT_LOAD_DEFAULT)) {
            spdlog::warn("Failed to load Glyph \"{0}\" for font \"{1}\"", static_cast<char>(c), name);
            continue;
        }
        const FT_GlyphSlot slot = face->glyph;
        // An outline is measured before it is rendered: FreeType would fill a bitmap of whatever
        // size a damaged font asks for (gigabytes, seconds) before the check below could refuse
        // it. Its control box rounded out to whole pixels is the bitmap's size, give or take one.
        if (slot->format == FT_GLYPH_FORMAT_OUTLINE) {
            FT_BBox box;
            FT_Outline_Get_CBox(&slot->outline, &box);
            const double width = std::ceil(box.xMax / 64.0) - std::floor(box.xMin / 64.0);
            const double rows = std::ceil(box.yMax / 64.0) - std::floor(box.yMin / 64.0);
            if (width > maxEdge + kOutlineSlack || rows > maxEdge + kOutlineSlack) {
                spdlog::warn("Font {0}: glyph {1} renders at {2}x{3} pixels, more than {4} for a {5}-pixel "
                             "font; it is left out.",
                             name, code, width, rows, maxEdge, pixelSize);
                continue;
            }
        }
        if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL)) {
            spdlog::warn("Failed to load Glyph \"{0}\" for font \"{1}\"", static_cast<char>(c), name);
            continue;
        }
        const FT_Bitmap& bitmap = slot->bitmap;
        if (bitmap.width > static_cast<unsigned>(maxEdge) || bitmap.rows > static_cast<unsigned>(maxEdge)) {
            spdlog::warn("Font {0}: glyph {1} renders at {2}x{3} pixels, more than {4} for a {5}-pixel font; "
                         "it is left out.",
                         name, code, bitmap.width, bitmap.rows, maxEdge, pixelSize);
            continue;
        }
        const unsigned long pitch = static_cast<unsigned long>(std::abs(bitmap.pitch));
        const bool readable =
            bitmap.width == 0 || bitmap.rows == 0 ||
            (bitmap.buffer && coverage(bitmap, bitmap.buffer, 0) >= 0 && pitch >= rowBytes(bitmap));
        if (!readable) {
            spdlog::warn("Font {0}: glyph {1} comes in {2} pixels, which cannot be drawn; it is left out.",
                         name, code, pixelModeName(bitmap.pixel_mode));
            continue;
        }

        GlyphBitmap glyph;
        glyph.code = c;
        glyph.size = {static_cast<int>(bitmap.width), static_cast<int>(bitmap.rows)};
        glyph.bearing = {slot->bitmap_left, slot->bitmap_top};
        glyph.advance = static_cast<unsigned int>(slot->advance.x);
        glyph.pixels.resize(static_cast<std::size_t>(bitmap.width) * bitmap.rows);
        for (unsigned y = 0; y < bitmap.rows; ++y) {
            // A negative pitch stores the rows bottom-up from the start of the buffer.
            const unsigned memoryRow = bitmap.pitch >= 0 ? y : bitmap.rows - 1 - y;
            const unsigned char* row = bitmap.buffer + memoryRow * pitch;
            for (unsigned x = 0; x < bitmap.width; ++x)
                glyph.pixels[y * bitmap.width + x] = static_cast<std::uint8_t>(coverage(bitmap, row, x));
        }
        raster.glyphs.push_back(std::move(glyph));
    }
    FT_Done_Face(face);
    FT_Done_FreeType(library);
    return raster;
}

} // namespace hm
