#version 430 core

layout(binding = 0) uniform samplerCube sky;

in vec3 direction;
out vec4 fragColour;

void main() { fragColour = vec4(texture(sky, direction).rgb, 1.0); }
