// The graphics quality levels a player picks in the settings ([graphics] quality), and what each
// one draws. `high` is the full look; `medium` keeps its lighting with cheaper shadows and a
// slightly smaller picture scaled up; `low` is for machines without a graphics card: lighting
// per vertex, one texture, one small shadow map and a smaller picture scaled up to the window.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace hm {

enum class RenderQuality { High, Medium, Low };

struct QualityProfile {
    int shadowCascades;     // 3, or 1 map over the whole shadow distance
    int shadowMapSize;      // texels per side of each cascade
    int shadowRefresh;      // the shadow maps are drawn every n-th frame (the light matrices wait too)
    bool depthPrepass;      // lit meshes lay down depth first, so each pixel is shaded once
    float renderScale;      // the 3D picture's size relative to the window, scaled up when below 1
    const char* litDefines; // the lit shader's path (see pbr.frag)
};

const QualityProfile& qualityProfile(RenderQuality quality);

// "high", "medium", "low".
const char* qualityName(RenderQuality quality);
// The level of a settings value, in any letter case; nothing for anything else.
std::optional<RenderQuality> parseQuality(std::string_view text);

// The level for a machine whose settings name none, from its OpenGL renderer string (GL_RENDERER):
// `low` when a software rasteriser draws (llvmpipe, softpipe, swrast), else `high`. `reason` says
// why, for the log.
struct QualityChoice {
    RenderQuality quality;
    std::string reason;
};
QualityChoice chooseQuality(std::string_view glRenderer);

} // namespace hm
