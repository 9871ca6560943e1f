// Reading back what was rendered and comparing it with a checked-in golden image, with the
// tolerance that software rasterisers need: at most maxDiff per channel on all but a small
// fraction of the pixels.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace hm::test {

struct Image {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgba; // rows from the top

    const std::uint8_t* pixel(int x, int y) const {
        return &rgba[(static_cast<std::size_t>(y) * width + x) * 4];
    }
    float luminance(int x, int y) const;
};

// The bound read framebuffer's colour buffer, rows from the top.
Image readFramebuffer(int width, int height);
Image loadPng(const std::string& path);
bool savePng(const std::string& path, const Image& image);

struct Difference {
    bool sameSize = false;
    std::size_t pixelsOver = 0; // pixels with a channel differing by more than maxDiff
    int largest = 0;
};
Difference compare(const Image& expected, const Image& actual, int maxDiff);

// Compares with the golden file; when HM_UPDATE_GOLDEN=1 is set it writes the file instead.
// Returns an empty string on success, else a description of the mismatch.
std::string matchGolden(const std::string& goldenPath, const Image& actual, int maxDiff = 5,
                        double maxFraction = 0.001);

} // namespace hm::test
