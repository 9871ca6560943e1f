#include "render/DdsReader.h"

#include "render/TextureTestSupport.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

namespace hm {
namespace {

const std::string kWrongFormat =
    "DDS-File is of a wrong format! Only DXT1, DXT3 and DXT5 files are supported.";

TEST(DdsReader, ReadsFilesWrittenByImageMagick) {
    struct Case {
        std::string file;
        TextureFormat format;
        std::size_t bytes;
    };
    for (const Case& c : {Case{"red_over_blue_dxt1.dds", TextureFormat::Dxt1, 3 * 2 * 8},
                          Case{"red_over_blue_dxt5.dds", TextureFormat::Dxt5, 3 * 2 * 16}}) {
        const auto image = readDdsFile("tests/fixtures/textures/" + c.file);
        ASSERT_TRUE(image) << c.file;
        EXPECT_EQ(image->width, 12) << c.file;
        EXPECT_EQ(image->height, 8) << c.file;
        EXPECT_EQ(image->format, c.format) << c.file;
        EXPECT_EQ(image->data.size(), c.bytes) << c.file;
    }
}

TEST(DdsReader, ReadsTheTopLevelOfEachBlockFormat) {
    test::TempFolder folder("dds");
    struct Case {
        std::string fourCc;
        std::uint32_t width, height;
        TextureFormat format;
        std::size_t bytes;
    };
    const Case cases[] = {
        {"DXT1", 5, 3, TextureFormat::Dxt1, 2 * 1 * 8},
        {"DXT3", 4, 4, TextureFormat::Dxt3, 16},
        {"DXT5", 9, 1, TextureFormat::Dxt5, 3 * 1 * 16},
        {"DXT1", 1, 1, TextureFormat::Dxt1, 8},
    };
    for (const Case& c : cases) {
        const auto path = folder.path() / (c.fourCc + "_" + std::to_string(c.width) + ".dds");
        // Trailing bytes stand for further mip levels, which are not read.
        test::writeBytes(path, test::ddsBytes(c.width, c.height, c.fourCc, c.bytes + 40));
        const auto image = readDdsFile(path);
        ASSERT_TRUE(image) << c.fourCc;
        EXPECT_EQ(image->format, c.format);
        EXPECT_EQ(image->width, static_cast<std::int32_t>(c.width));
        EXPECT_EQ(image->height, static_cast<std::int32_t>(c.height));
        ASSERT_EQ(image->data.size(), c.bytes);
        for (std::size_t i = 0; i < c.bytes; ++i)
            ASSERT_EQ(image->data[i], static_cast<std::uint8_t>(i));
    }
}

TEST(DdsReader, ReadsTheMipLevelsTheFileCarries) {
    test::TempFolder folder("dds");
    struct Case {
        std::string name;
        std::vector<std::uint8_t> bytes;
        std::vector<std::size_t> levelSizes;
        bool warned;
    };
    // 8x8 DXT1: levels of 8x8, 4x4, 2x2 and 1x1 pixels take 32, 8, 8 and 8 bytes.
    const std::vector<Case> cases = {
        {"three", test::withMipLevels(test::ddsBytes(8, 8, "DXT1", 48), 3), {32, 8, 8}, false},
        {"count_without_flag",
         [] {
             auto bytes = test::withMipLevels(test::ddsBytes(8, 8, "DXT1", 48), 3);
             test::putLittleEndian32(bytes, 8, 0x1007);
             return bytes;
         }(),
         {32},
         false},
        {"more_than_a_full_chain",
         test::withMipLevels(test::ddsBytes(8, 8, "DXT1", 200), 12),
         {32, 8, 8, 8},
         false},
        {"declared_but_missing", test::withMipLevels(test::ddsBytes(8, 8, "DXT1", 44), 3), {32, 8}, true},
        {"zero_count", test::withMipLevels(test::ddsBytes(8, 8, "DXT1", 32), 0), {32}, false},
        {"wide_dxt5",
         test::withMipLevels(test::ddsBytes(16, 4, "DXT5", 144), 5),
         {64, 32, 16, 16, 16},
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto path = folder.path() / (c.name + ".dds");
        test::writeBytes(path, c.bytes);
        test::LogCapture log;
        const auto image = readDdsFile(path);
        ASSERT_TRUE(image);
        EXPECT_EQ(image->levelSizes, c.levelSizes);
        std::size_t total = 0;
        for (std::size_t size : c.levelSizes)
            total += size;
        ASSERT_EQ(image->data.size(), total);
        for (std::size_t i = 0; i < total; ++i)
            ASSERT_EQ(image->data[i], static_cast<std::uint8_t>(i));
        EXPECT_EQ(log.messages(spdlog::level::warn).size(), c.warned ? 1u : 0u);
    }
}

TEST(DdsReader, RefusesOtherFormats) {
    test::TempFolder folder("dds");
    for (const std::string fourCc : {"DXT2", "DXT4", "ATI2", ""}) {
        const auto path = folder.path() / ("f" + fourCc + ".dds");
        test::writeBytes(path, test::ddsBytes(4, 4, fourCc, 64));
        test::LogCapture log;
        EXPECT_FALSE(readDdsFile(path)) << fourCc;
        EXPECT_EQ(log.messages(spdlog::level::err), std::vector<std::string>{kWrongFormat}) << fourCc;
    }
    test::LogCapture log;
    EXPECT_FALSE(readDdsFile("tests/fixtures/textures/uncompressed.dds"));
    EXPECT_TRUE(log.contains(kWrongFormat));
}

// Hostile or damaged files: each is refused with one error line and never read past its end
// (the sanitizer build checks the latter).
TEST(DdsReader, RefusesMalformedFiles) {
    test::TempFolder folder("dds");
    auto truncated = [](std::vector<std::uint8_t> bytes, std::size_t size) {
        bytes.resize(size);
        return bytes;
    };
    auto badMagic = test::ddsBytes(4, 4, "DXT1", 8);
    badMagic[3] = 'X';
    struct Case {
        std::string name;
        std::vector<std::uint8_t> bytes;
        std::string messageStart;
    };
    const std::string shortHeader = "The dds-file ";
    const std::vector<Case> cases = {
        {"empty", {}, shortHeader},
        {"magic_only", {'D', 'D', 'S', ' '}, shortHeader},
        {"short_header", truncated(test::ddsBytes(4, 4, "DXT1", 0), 100), shortHeader},
        {"header_only", test::ddsBytes(4, 4, "DXT1", 0), shortHeader},
        {"truncated_data", test::ddsBytes(8, 8, "DXT5", 63), shortHeader},
        {"one_byte_short", test::ddsBytes(5, 3, "DXT1", 15), shortHeader},
        {"bad_magic", badMagic, "The file doesn't look like a dds file."},
        // Edges whose block count overflows 32 bits, or asks for gigabytes.
        {"huge", test::ddsBytes(0xFFFFFFFFu, 0xFFFFFFFFu, "DXT5", 16), shortHeader},
        {"wide", test::ddsBytes(0x40000000u, 4, "DXT1", 16), shortHeader},
        {"gigabytes", test::ddsBytes(65536, 65536, "DXT5", 16), shortHeader},
        {"zero_width", test::ddsBytes(0, 4, "DXT1", 16), shortHeader},
        {"zero_height", test::ddsBytes(4, 0, "DXT1", 16), shortHeader},
    };
    for (const Case& c : cases) {
        const auto path = folder.path() / (c.name + ".dds");
        test::writeBytes(path, c.bytes);
        test::LogCapture log;
        EXPECT_FALSE(readDdsFile(path)) << c.name;
        const auto errors = log.messages(spdlog::level::err);
        ASSERT_EQ(errors.size(), 1u) << c.name;
        EXPECT_EQ(errors[0].rfind(c.messageStart, 0), 0u) << c.name << ": " << errors[0];
    }
}

TEST(DdsReader, RefusesMissingFilesAndFolders) {
    test::TempFolder folder("dds");
    for (const std::string& path : {(folder.path() / "missing.dds").string(), folder.path().string()}) {
        test::LogCapture log;
        EXPECT_FALSE(readDdsFile(path)) << path;
        EXPECT_EQ(log.messages(spdlog::level::err),
                  std::vector<std::string>{"DDS File @'" + path + "' couldn't be found or opened."});
    }
}

} // namespace
} // namespace hm
