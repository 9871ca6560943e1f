#version 430 core
// The material colour (linear RGB), unlit, written as sRGB.

layout(location = 100) uniform vec3 colour;

in vec2 texCoord;
out vec4 fragColour;

void main() {
    fragColour = vec4(pow(clamp(colour, 0.0, 1.0), vec3(1.0 / 2.2)), 1.0);
}
