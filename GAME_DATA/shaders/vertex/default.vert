#version 430 core
// Generic lit meshes (albedo only); skinned when the mesh flag is set.

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
} vs;

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

void main() {
    mat4 world = model * skinMatrix();
    mat3 normalMatrix = transpose(inverse(mat3(world)));
    vec4 worldPosition = world * vec4(inPosition, 1.0);
    vs.worldPosition = worldPosition.xyz;
    vs.normal = normalize(normalMatrix * inNormal);
    vs.tangent = normalize(mat3(world) * inTangent);
    vs.bitangent = normalize(mat3(world) * inBitangent);
    vs.texCoord = inTexCoord;
    vec4 viewPosition = view * worldPosition;
    vs.viewDepth = -viewPosition.z;
    gl_Position = projection * viewPosition;
}
