#version 430 core
// The blend state does the work: the framebuffer is multiplied by (or added to by itself times)
// this factor.

layout(location = 6) uniform vec4 factor;
out vec4 fragColour;

void main() { fragColour = factor; }
