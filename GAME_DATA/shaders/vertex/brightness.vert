#version 430 core
// A quad over the unit square through the 2D projection: the whole screen.

layout(std140, binding = 0) uniform SceneBlock {
    mat4 view;
    mat4 projection;
};

layout(location = 0) in vec3 inPosition;

void main() { gl_Position = projection * vec4(inPosition.xy, 0.0, 1.0); }
