#version 430 core
// Metallic-roughness PBR: Cook-Torrance with GGX distribution, Smith-Schlick geometry and
// Schlick Fresnel; tangent-space normal mapping; ambient occlusion; the sun with cascaded
// percentage-closer shadows and its ambient term; point and directional lights with
// (constant, linear, quadratic) attenuation. Writes tone-mapped sRGB.
//
// The renderer picks a path with defines (the software rasteriser runs both sides of a branch
// and a loop body at least once, so what a frame does not need is compiled out):
//   POINT_LIGHTS     the scene has point or directional lights besides the sun;
//   SHADOW_ONE_TAP   one filtered shadow lookup instead of the 4x4-texel filter (medium);
//   VERTEX_LIGHTING  the low level: lighting from pbr.vert, the albedo texture and one shadow
//                    lookup; no normal map, no specular.
// The cascades are the layers of one depth array texture, so no branch picks a sampler.

const int LIGHT_COUNT = 50;
const float PI = 3.14159265359;

struct LightData {
    vec4 position;
    vec4 direction;
    vec4 colour;
    int type;
    float attConstant;
    float attLinear;
    float attQuadratic;
};

layout(std140, binding = 0) uniform SceneBlock {
    mat4 view;
    mat4 projection;
    mat4 lightView[4];
    mat4 lightProjection[4];
    vec4 cascadeEnds;
    vec4 sunDirection;
    vec4 sunColour;
    vec4 sunAmbient;
    int lightCount;
    LightData lights[LIGHT_COUNT];
};

layout(binding = 0) uniform sampler2D albedoMap;
layout(binding = 1) uniform sampler2D normalMap;
layout(binding = 2) uniform sampler2D metallicMap;
layout(binding = 3) uniform sampler2D roughnessMap;
layout(binding = 4) uniform sampler2D occlusionMap;
layout(binding = 13) uniform sampler2DArrayShadow shadowMaps;

in VertexData {
    vec3 worldPosition;
    vec3 normal;
    vec3 tangent;
    vec3 bitangent;
    vec2 texCoord;
    float viewDepth;
#ifdef VERTEX_LIGHTING
    vec3 sunLight;
    vec3 otherLight;
    vec3 shadowCoord;
#else
    vec3 shadowCoord[3]; // per cascade, from pbr.vert
#endif
} fs;

out vec4 fragColour;

vec3 srgbToLinear(vec3 c) { return pow(c, vec3(2.2)); }

float distributionGGX(float NdotH, float roughness) {
    float a = roughness * roughness;
    float a2 = a * a;
    float d = NdotH * NdotH * (a2 - 1.0) + 1.0;
    return a2 / max(PI * d * d, 1e-7);
}

float geometrySchlickGGX(float NdotX, float roughness) {
    float r = roughness + 1.0;
    float k = r * r / 8.0;
    return NdotX / (NdotX * (1.0 - k) + k);
}

vec3 fresnelSchlick(float cosTheta, vec3 F0) {
    float x = clamp(1.0 - cosTheta, 0.0, 1.0);
    float x2 = x * x;
    return F0 + (1.0 - F0) * (x2 * x2 * x);
}

vec3 brdf(vec3 N, vec3 V, vec3 L, vec3 albedo, float metallic, float roughness, vec3 F0) {
    vec3 H = normalize(V + L);
    float NdotL = max(dot(N, L), 0.0);
    float NdotV = max(dot(N, V), 1e-4);
    float NdotH = max(dot(N, H), 0.0);
    float D = distributionGGX(NdotH, roughness);
    float G = geometrySchlickGGX(NdotV, roughness) * geometrySchlickGGX(NdotL, roughness);
    vec3 F = fresnelSchlick(max(dot(H, V), 0.0), F0);
    vec3 specular = D * G * F / max(4.0 * NdotV * NdotL, 1e-4);
    vec3 kD = (vec3(1.0) - F) * (1.0 - metallic);
    return (kD * albedo / PI + specular) * NdotL;
}

#ifdef SHADOW_ONE_TAP
float sampleCascade(int cascade, vec3 coord, float texel) {
    return texture(shadowMaps, vec4(coord.xy, float(cascade), coord.z));
}
#else
// The same result as nine bilinear compare taps one texel apart (a 4x4-texel footprint) from
// four: along each axis the four texels weigh (1 - f, 1, 1, f) out of 3, which two filtered taps
// give when placed 1/(2 - f) and f/(1 + f) of a texel into their texel pairs.
float sampleCascade(int cascade, vec3 coord, float texel) {
    vec2 u = coord.xy / texel - 0.5;
    vec2 base = floor(u);
    vec2 f = u - base;
    vec2 w0 = 2.0 - f;
    vec2 w1 = 1.0 + f;
    vec2 p0 = (base - 1.0 + 1.0 / w0 + 0.5) * texel;
    vec2 p1 = (base + 1.0 + f / w1 + 0.5) * texel;
    float layer = float(cascade);
    float sum = w0.x * w0.y * texture(shadowMaps, vec4(p0.x, p0.y, layer, coord.z));
    sum += w1.x * w0.y * texture(shadowMaps, vec4(p1.x, p0.y, layer, coord.z));
    sum += w0.x * w1.y * texture(shadowMaps, vec4(p0.x, p1.y, layer, coord.z));
    sum += w1.x * w1.y * texture(shadowMaps, vec4(p1.x, p1.y, layer, coord.z));
    return sum / 9.0;
}
#endif

#ifndef VERTEX_LIGHTING
// 1 = lit, 0 = in shadow. The cascade is chosen by view depth; beyond the last one is lit.
// The coordinates come from the vertices (normal offset and depth bias applied there).
float sunShadow() {
    if (fs.viewDepth >= cascadeEnds.z)
        return 1.0;
    bool first = fs.viewDepth < cascadeEnds.x;
    bool second = fs.viewDepth < cascadeEnds.y;
    vec3 coord = first ? fs.shadowCoord[0] : (second ? fs.shadowCoord[1] : fs.shadowCoord[2]);
    int cascade = first ? 0 : (second ? 1 : 2);
    if (coord.x <= 0.0 || coord.x >= 1.0 || coord.y <= 0.0 || coord.y >= 1.0 || coord.z >= 1.0)
        return 1.0;
    return sampleCascade(cascade, coord, 1.0 / float(textureSize(shadowMaps, 0).x));
}
#endif

vec3 acesTonemap(vec3 x) {
    return clamp((x * (2.51 * x + 0.03)) / (x * (2.43 * x + 0.59) + 0.14), 0.0, 1.0);
}

#ifdef VERTEX_LIGHTING
void main() {
    vec3 albedo = srgbToLinear(texture(albedoMap, fs.texCoord).rgb);
    // One map, its coordinate interpolated from the vertices (exact: light space is affine).
    vec3 c = fs.shadowCoord;
    float inside = step(0.0, c.x) * step(c.x, 1.0) * step(0.0, c.y) * step(c.y, 1.0) * step(c.z, 1.0) *
                   step(fs.viewDepth, cascadeEnds.x);
    float shadow = mix(1.0, texture(shadowMaps, vec4(c.xy, 0.0, c.z)), inside);
    vec3 light = fs.otherLight + shadow * fs.sunLight;
    fragColour = vec4(pow(acesTonemap(albedo * light), vec3(1.0 / 2.2)), 1.0);
}
#else
void main() {
    vec3 albedo = srgbToLinear(texture(albedoMap, fs.texCoord).rgb);
#ifdef DEFAULT_METALLIC
    float metallic = 0.0;
#else
    float metallic = clamp(texture(metallicMap, fs.texCoord).r, 0.0, 1.0);
#endif
#ifdef DEFAULT_ROUGHNESS
    float roughness = 128.0 / 255.0;
#else
    float roughness = clamp(texture(roughnessMap, fs.texCoord).r, 0.04, 1.0);
#endif
#ifdef DEFAULT_OCCLUSION
    float occlusion = 1.0;
#else
    float occlusion = texture(occlusionMap, fs.texCoord).r;
#endif

    vec3 geometricNormal = normalize(fs.normal);
    vec3 T = fs.tangent - geometricNormal * dot(geometricNormal, fs.tangent);
    vec3 N = geometricNormal;
#ifndef DEFAULT_NORMAL
    if (dot(T, T) > 1e-8) {
        T = normalize(T);
        // The bitangent attribute points towards increasing v, i.e. down the image, while
        // normal maps store +Y as up the image.
        vec3 up = normalize(cross(geometricNormal, T));
        vec3 B = dot(up, fs.bitangent) > 0.0 ? -up : up;
        vec3 tangentNormal = texture(normalMap, fs.texCoord).xyz * 2.0 - 1.0;
        N = normalize(mat3(T, B, geometricNormal) * tangentNormal);
    }
#endif
    if (!gl_FrontFacing)
        N = -N;

    vec3 cameraPosition = -transpose(mat3(view)) * view[3].xyz;
    vec3 V = normalize(cameraPosition - fs.worldPosition);
    vec3 F0 = mix(vec3(0.04), albedo, metallic);

    vec3 colour = sunAmbient.rgb * albedo * occlusion;

    if (dot(sunDirection.xyz, sunDirection.xyz) > 0.0) {
        vec3 L = normalize(-sunDirection.xyz);
        float shadow = sunShadow();
        colour += shadow * sunColour.rgb * brdf(N, V, L, albedo, metallic, roughness, F0);
    }

#ifdef POINT_LIGHTS
    for (int i = 0; i < min(lightCount, LIGHT_COUNT); ++i) {
        vec3 L;
        float attenuation = 1.0;
        if (lights[i].type == 0) {
            vec3 toLight = lights[i].position.xyz - fs.worldPosition;
            float d = length(toLight);
            L = toLight / max(d, 1e-4);
            float denominator = lights[i].attConstant + lights[i].attLinear * d + lights[i].attQuadratic * d * d;
            // An all-zero attenuation means no falloff at all.
            attenuation = denominator > 0.0 ? 1.0 / max(denominator, 1e-3) : 1.0;
        } else {
            L = normalize(-lights[i].direction.xyz);
        }
        colour += attenuation * lights[i].colour.rgb * brdf(N, V, L, albedo, metallic, roughness, F0);
    }
#endif

    colour = acesTonemap(colour);
    fragColour = vec4(pow(colour, vec3(1.0 / 2.2)), 1.0);
}
#endif
