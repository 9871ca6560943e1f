#version 430 core
// Lit, shadowed, normal-mapped meshes; skinned when the mesh flag is set.
// Each cascade's shadow-map coordinate (normal offset and slope-scaled depth bias applied) is
// worked out here per vertex: light space is affine, so the interpolated coordinate is the one the
// fragment would compute, and the fragment shader only picks a cascade and samples.
// With VERTEX_LIGHTING (the low quality level) the sun's diffuse light, the ambient term and the
// point lights are worked out here per vertex too, with the first cascade only.
// gl_Position is computed exactly as in depth.vert, so the depth pre-pass and this pass agree.

const int MAX_BONES = 96; // locations 3..98, clear of the material parameters at 100 and 101
const int LIGHT_COUNT = 50;

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

layout(location = 0) in vec3 inPosition;
layout(location = 1) in vec3 inNormal;
layout(location = 2) in vec3 inTangent;
layout(location = 3) in vec3 inBitangent;
layout(location = 4) in vec2 inTexCoord;
layout(location = 5) in ivec4 inBoneIds;
layout(location = 6) in vec4 inBoneWeights;

layout(location = 0) uniform mat4 model;
layout(location = 2) uniform int rigged;
layout(location = 3) uniform mat4 bones[MAX_BONES];

out VertexData {
    vec3 worldPosition;
    vec3 normal;
    vec3 tangent;
    vec3 bitangent;
    vec2 texCoord;
    float viewDepth;
#ifdef VERTEX_LIGHTING
    vec3 sunLight;   // what the sun adds where it is not shadowed
    vec3 otherLight; // ambient and point lights
    vec3 shadowCoord;
#else
    vec3 shadowCoord[3];
#endif
} vs;

layout(binding = 13) uniform sampler2DArrayShadow shadowMaps;

invariant gl_Position;

mat4 skinMatrix() {
    if (rigged == 0)
        return mat4(1.0);
    mat4 skin = mat4(0.0);
    float total = 0.0;
    for (int i = 0; i < 4; ++i) {
        int id = inBoneIds[i];
        float w = inBoneWeights[i];
        if (w > 0.0 && id >= 0 && id < MAX_BONES) {
            skin += bones[id] * w;
            total += w;
        }
    }
    return total > 1e-4 ? skin / total : mat4(1.0);
}

// Where a surface point is in cascade k's map, moved about 1.5 texels along the normal and with a
// slope-scaled depth bias: together they remove acne without visible peter-panning. The texel's
// size in world units grows with the cascade. NdotL is the sun's clamped cosine on the normal.
vec3 cascadeCoord(int k, vec3 position, vec3 N, float NdotL) {
    float texel = 1.0 / float(textureSize(shadowMaps, 0).x);
    float worldTexel = 2.0 / max(lightProjection[k][0][0], 1e-6) * texel;
    float slope = sqrt(1.0 - min(NdotL * NdotL, 1.0)) / max(NdotL, 0.05);
    vec4 lightSpace = lightProjection[k] * (lightView[k] * vec4(position + N * worldTexel * 1.5, 1.0));
    vec3 coord = lightSpace.xyz / lightSpace.w * 0.5 + 0.5;
    float depthRange = 2.0 / max(abs(lightProjection[k][2][2]), 1e-6);
    coord.z -= min(worldTexel * (0.5 + slope), 4.0 * worldTexel) / depthRange;
    return coord;
}

void main() {
    mat4 world = model * skinMatrix();
    vec4 worldPosition = world * vec4(inPosition, 1.0);
    vs.worldPosition = worldPosition.xyz;
#ifdef VERTEX_LIGHTING
    // Cheaper: exact for the uniformly scaled meshes of the game; no normal map to serve.
    vs.normal = normalize(mat3(world) * inNormal);
    vs.tangent = vec3(0.0);
    vs.bitangent = vec3(0.0);
#else
    mat3 normalMatrix = transpose(inverse(mat3(world)));
    vs.normal = normalize(normalMatrix * inNormal);
    vs.tangent = normalize(mat3(world) * inTangent);
    vs.bitangent = normalize(mat3(world) * inBitangent);
#endif
    vs.texCoord = inTexCoord;
    vec4 viewPosition = view * worldPosition;
    vs.viewDepth = -viewPosition.z;
    gl_Position = projection * viewPosition;
    vec3 L = dot(sunDirection.xyz, sunDirection.xyz) > 0.0 ? normalize(-sunDirection.xyz) : vec3(0.0);
    float NdotL = max(dot(vs.normal, L), 0.0);
#ifndef VERTEX_LIGHTING
    for (int k = 0; k < 3; ++k)
        vs.shadowCoord[k] = cascadeCoord(k, vs.worldPosition, vs.normal, NdotL);
#else
    const float PI = 3.14159265359;
    vec3 N = vs.normal;
    vs.sunLight = sunColour.rgb * NdotL / PI;
    vs.shadowCoord = cascadeCoord(0, vs.worldPosition, N, NdotL);
    vs.otherLight = sunAmbient.rgb;
#ifdef POINT_LIGHTS
    for (int i = 0; i < min(lightCount, LIGHT_COUNT); ++i) {
        vec3 L;
        float attenuation = 1.0;
        if (lights[i].type == 0) {
            vec3 toLight = lights[i].position.xyz - vs.worldPosition;
            float d = length(toLight);
            L = toLight / max(d, 1e-4);
            float denominator = lights[i].attConstant + lights[i].attLinear * d + lights[i].attQuadratic * d * d;
            attenuation = denominator > 0.0 ? 1.0 / max(denominator, 1e-3) : 1.0;
        } else {
            L = normalize(-lights[i].direction.xyz);
        }
        vs.otherLight += attenuation * lights[i].colour.rgb * max(dot(N, L), 0.0) / PI;
    }
#endif
#endif
}
