// Glyph rasterisation without OpenGL: pixel modes other than 8-bit grey and glyphs far larger than
// the font's pixel size.
#include "ui/GlyphRaster.h"

#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace hm {
namespace {

namespace fs = std::filesystem;

// A bitmap (BDF) font written for the test: FreeType renders its glyphs as 1-bit bitmaps.
class BitmapFont {
public:
    struct Char {
        int code;
        int width, height;
        std::vector<std::string> rows; // hex, one per bitmap row
    };

    explicit BitmapFont(const std::vector<Char>& chars)
        : path_(fs::temp_directory_path() / ("hm_bitmap_font_" + std::to_string(::getpid()) + ".bdf")) {
        std::ostringstream out;
        out << "STARTFONT 2.1\nFONT -test-fixed-medium-r-normal--8-80-75-75-c-80-iso10646-1\nSIZE 8 75 75\n"
               "FONTBOUNDINGBOX 8 8 0 0\nSTARTPROPERTIES 5\nPIXEL_SIZE 8\nFONT_ASCENT 8\nFONT_DESCENT 0\n"
               "CHARSET_REGISTRY \"ISO10646\"\nCHARSET_ENCODING \"1\"\nENDPROPERTIES\n"
            << "CHARS " << chars.size() << "\n";
        for (const Char& c : chars) {
            out << "STARTCHAR c" << c.code << "\nENCODING " << c.code << "\nSWIDTH 1000 0\nDWIDTH " << c.width
                << " 0\nBBX " << c.width << " " << c.height << " 0 0\nBITMAP\n";
            for (const std::string& row : c.rows)
                out << row << "\n";
            out << "ENDCHAR\n";
        }
        out << "ENDFONT\n";
        std::ofstream(path_) << out.str();
    }
    ~BitmapFont() { fs::remove(path_); }
    std::string path() const { return path_.string(); }

private:
    fs::path path_;
};

const GlyphBitmap* find(const GlyphRaster& raster, unsigned char code) {
    for (const GlyphBitmap& glyph : raster.glyphs)
        if (glyph.code == code)
            return &glyph;
    return nullptr;
}

TEST(GlyphRaster, OneBitGlyphsBecomeFullCoverageBytes) {
    // "A": a 6-pixel-wide frame with a bar; the row bytes hold bits beyond the width that must not
    // leak into the picture.
    BitmapFont font({{'A', 6, 4, {"FF", "87", "FC", "84"}}});
    test::LogCapture log;
    const GlyphRaster raster = rasteriseGlyphs(font.path(), "bitmap", 8);
    ASSERT_EQ(raster.status, GlyphRaster::Status::Ok);
    const GlyphBitmap* a = find(raster, 'A');
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->size, glm::ivec2(6, 4));
    const std::vector<std::uint8_t> expected = {
        255, 255, 255, 255, 255, 255, //
        255, 0,   0,   0,   0,   255, //
        255, 255, 255, 255, 255, 255, //
        255, 0,   0,   0,   0,   255, //
    };
    EXPECT_EQ(a->pixels, expected);
    EXPECT_TRUE(log.messages(spdlog::level::warn).empty());
}

TEST(GlyphRaster, GlyphsFarLargerThanThePixelSizeAreLeftOutWithALine) {
    const int edge = maxGlyphEdge(8) + 1;
    BitmapFont font(
        {{'A', 8, 8, std::vector<std::string>(8, "FF")},
         {'B', edge, edge, std::vector<std::string>(edge, std::string((edge + 7) / 8 * 2, 'F'))}});
    test::LogCapture log;
    const GlyphRaster raster = rasteriseGlyphs(font.path(), "huge", 8);
    ASSERT_EQ(raster.status, GlyphRaster::Status::Ok);
    EXPECT_NE(find(raster, 'A'), nullptr);
    EXPECT_EQ(find(raster, 'B'), nullptr);
    const auto warnings = log.messages(spdlog::level::warn);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("Font huge: glyph 66 renders at"), std::string::npos) << warnings[0];
}

// A damaged TrueType font whose every outline spans thousands of pixels (found by fuzzing): each
// glyph is measured and refused before FreeType renders it, with a line naming its size, even
// where the bitmap would be too large for FreeType to render at all.
TEST(GlyphRaster, OversizedOutlinesAreRefusedUnrendered) {
    struct Case {
        int pixelSize;
        const char* size; // what the line says of glyph 0
    };
    for (const Case& c : {Case{26, "2775x4644"}, Case{400, "42676x71426"}}) {
        test::LogCapture log;
        const GlyphRaster raster =
            rasteriseGlyphs("tests/ui/data/oversized_outlines.ttf", "damaged", c.pixelSize);
        ASSERT_EQ(raster.status, GlyphRaster::Status::Ok);
        EXPECT_TRUE(raster.glyphs.empty()) << c.pixelSize;
        const std::string line = "Font damaged: glyph 0 renders at " + std::string(c.size) + " pixels";
        const auto warnings = log.messages(spdlog::level::warn);
        EXPECT_EQ(std::count_if(warnings.begin(), warnings.end(),
                                [&](const std::string& w) { return w.rfind(line, 0) == 0; }),
                  1)
            << line;
    }
}

TEST(GlyphRaster, TheGameFontRendersGreyGlyphsAndMissingFilesAreReported) {
    const GlyphRaster raster = rasteriseGlyphs("GAME_DATA/fonts/Oetztype.ttf", "Oetztype", 26);
    ASSERT_EQ(raster.status, GlyphRaster::Status::Ok);
    const GlyphBitmap* a = find(raster, 'A');
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->pixels.size(), static_cast<std::size_t>(a->size.x * a->size.y));
    EXPECT_LE(a->size.y, maxGlyphEdge(26));
    EXPECT_EQ(rasteriseGlyphs("GAME_DATA/fonts/NoSuchFont.ttf", "NoSuchFont", 26).status,
              GlyphRaster::Status::FileFailed);
}

} // namespace
} // namespace hm
