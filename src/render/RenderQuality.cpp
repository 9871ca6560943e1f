#include "render/RenderQuality.h"

#include <cctype>
#include <string>

namespace hm {

const QualityProfile& qualityProfile(RenderQuality quality) {
    static const QualityProfile high{3, 2048, 1, true, 1.0f, ""};
    static const QualityProfile medium{3, 1024, 1, true, 0.8f, "#define SHADOW_ONE_TAP\n"};
    static const QualityProfile low{1,     1024, 3,
                                    false, 0.5f, "#define SHADOW_ONE_TAP\n#define VERTEX_LIGHTING\n"};
    switch (quality) {
    case RenderQuality::Medium:
        return medium;
    case RenderQuality::Low:
        return low;
    case RenderQuality::High:
        break;
    }
    return high;
}

const char* qualityName(RenderQuality quality) {
    switch (quality) {
    case RenderQuality::Medium:
        return "medium";
    case RenderQuality::Low:
        return "low";
    case RenderQuality::High:
        break;
    }
    return "high";
}

std::optional<RenderQuality> parseQuality(std::string_view text) {
    std::string lower(text);
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (RenderQuality quality : {RenderQuality::High, RenderQuality::Medium, RenderQuality::Low})
        if (lower == qualityName(quality))
            return quality;
    return std::nullopt;
}

QualityChoice chooseQuality(std::string_view glRenderer) {
    std::string lower(glRenderer);
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const std::string quoted = "the OpenGL renderer '" + std::string(glRenderer) + "'";
    for (const char* software : {"llvmpipe", "softpipe", "swrast"})
        if (lower.find(software) != std::string::npos)
            return {RenderQuality::Low, quoted + " draws in software (" + software + ")"};
    if (glRenderer.empty())
        return {RenderQuality::High, "the OpenGL renderer is unknown"};
    return {RenderQuality::High, quoted + " is not a software rasteriser"};
}

} // namespace hm
