#version 430 core
// Glyph quads, already placed in window-fraction units, through the 2D projection.

layout(std140, binding = 0) uniform SceneBlock {
    mat4 view;
    mat4 projection;
};

layout(location = 0) in vec3 inPosition;
layout(location = 4) in vec2 inTexCoord;

out vec2 texCoord;

void main() {
    texCoord = inTexCoord;
    gl_Position = projection * vec4(inPosition, 1.0);
}
