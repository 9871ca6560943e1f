#include "support/ImageCompare.h"

#include <GL/glew.h>
#include <stb/stb_image.h>
#include <stb/stb_image_write.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

namespace hm::test {

float Image::luminance(int x, int y) const {
    const std::uint8_t* p = pixel(x, y);
    return 0.2126f * p[0] + 0.7152f * p[1] + 0.0722f * p[2];
}

Image readFramebuffer(int width, int height) {
    Image image;
    image.width = width;
    image.height = height;
    std::vector<std::uint8_t> bottomUp(static_cast<std::size_t>(width) * height * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, bottomUp.data());
    image.rgba.resize(bottomUp.size());
    const std::size_t row = static_cast<std::size_t>(width) * 4;
    for (int y = 0; y < height; ++y)
        std::copy_n(&bottomUp[static_cast<std::size_t>(height - 1 - y) * row], row, &image.rgba[y * row]);
    return image;
}

Image loadPng(const std::string& path) {
    Image image;
    int channels = 0;
    stbi_uc* data = stbi_load(path.c_str(), &image.width, &image.height, &channels, 4);
    if (!data)
        return {};
    image.rgba.assign(data, data + static_cast<std::size_t>(image.width) * image.height * 4);
    stbi_image_free(data);
    return image;
}

bool savePng(const std::string& path, const Image& image) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    return stbi_write_png(path.c_str(), image.width, image.height, 4, image.rgba.data(), image.width * 4) !=
           0;
}

Difference compare(const Image& expected, const Image& actual, int maxDiff) {
    Difference d;
    d.sameSize = expected.width == actual.width && expected.height == actual.height && !expected.rgba.empty();
    if (!d.sameSize)
        return d;
    for (std::size_t i = 0; i < expected.rgba.size(); i += 4) {
        int worst = 0;
        for (int c = 0; c < 4; ++c)
            worst = std::max(worst, std::abs(int(expected.rgba[i + c]) - int(actual.rgba[i + c])));
        d.largest = std::max(d.largest, worst);
        if (worst > maxDiff)
            ++d.pixelsOver;
    }
    return d;
}

std::string matchGolden(const std::string& goldenPath, const Image& actual, int maxDiff, double maxFraction) {
    const char* update = std::getenv("HM_UPDATE_GOLDEN");
    if (update && std::string(update) == "1") {
        savePng(goldenPath, actual);
        return {};
    }
    const Image expected = loadPng(goldenPath);
    const Difference d = compare(expected, actual, maxDiff);
    if (!d.sameSize)
        return "golden image " + goldenPath + " is missing or has another size";
    const double fraction =
        static_cast<double>(d.pixelsOver) / (static_cast<double>(actual.width) * actual.height);
    if (fraction > maxFraction) {
        const std::string failed = goldenPath.substr(0, goldenPath.size() - 4) + ".actual.png";
        savePng(std::filesystem::temp_directory_path() / std::filesystem::path(failed).filename(), actual);
        return std::to_string(d.pixelsOver) + " pixels differ by more than " + std::to_string(maxDiff) +
               " (largest " + std::to_string(d.largest) + "); the frame was written to " +
               (std::filesystem::temp_directory_path() / std::filesystem::path(failed).filename()).string();
    }
    return {};
}

} // namespace hm::test
