// Font loading on arbitrary bytes: FreeType parses the face and renders every glyph the game
// uses, and our conversion turns each bitmap into 8-bit coverage. Nothing may crash, read past
// a bitmap or hand on a glyph whose pixels do not match its size.
#include "FuzzSupport.h"

#include "ui/GlyphRaster.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    hm::fuzz::quietLogging();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static hm::fuzz::ScratchFile file(".ttf");
    // Around the sizes the HUD asks for.
    for (int pixelSize : {26}) {
        const hm::GlyphRaster raster = hm::rasteriseGlyphs(file.write(data, size), "fuzz", pixelSize);
        for (const hm::GlyphBitmap& glyph : raster.glyphs)
            if (glyph.size.x < 0 || glyph.size.y < 0 || glyph.size.x > hm::maxGlyphEdge(pixelSize) ||
                glyph.size.y > hm::maxGlyphEdge(pixelSize) ||
                glyph.pixels.size() != static_cast<std::size_t>(glyph.size.x) * glyph.size.y)
                __builtin_trap();
    }
    return 0;
}
