#version 430 core
// 2D images: the node's 2D transform, then the block's projection (the unit square in the 2D pass).

layout(std140, binding = 0) uniform SceneBlock {
    mat4 view;
    mat4 projection;
};

layout(location = 0) in vec3 inPosition;
layout(location = 4) in vec2 inTexCoord;
layout(location = 0) uniform mat4 model;

out vec2 texCoord;

void main() {
    texCoord = inTexCoord;
    gl_Position = projection * model * vec4(inPosition, 1.0);
}
