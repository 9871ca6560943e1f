#version 430 core
// A quad over the unit square, stretched over the whole screen.

layout(location = 0) in vec3 inPosition;

void main() { gl_Position = vec4(inPosition.xy * 2.0 - 1.0, 0.0, 1.0); }
