#version 430 core
// Depth-only pass into one sun shadow cascade; skinned when the mesh flag is set.

const int MAX_BONES = 96;

layout(std140, binding = 0) uniform SceneBlock {
    mat4 view;
    mat4 projection;
    mat4 lightView[4];
    mat4 lightProjection[4];
};

layout(location = 0) in vec3 inPosition;
layout(location = 5) in ivec4 inBoneIds;
layout(location = 6) in vec4 inBoneWeights;

layout(location = 0) uniform mat4 model;
layout(location = 1) uniform int cascade;
layout(location = 2) uniform int rigged;
layout(location = 3) uniform mat4 bones[MAX_BONES];

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
    int c = clamp(cascade, 0, 2);
    // Matrix times vector from the right: four products of a vector instead of three of matrices.
    gl_Position = lightProjection[c] * (lightView[c] * (model * (skinMatrix() * vec4(inPosition, 1.0))));
}
