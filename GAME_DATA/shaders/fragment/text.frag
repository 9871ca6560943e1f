#version 430 core
// One-channel glyph coverage as alpha, in the text colour.

layout(binding = 0) uniform sampler2D glyph;
layout(location = 0) uniform vec3 textColour;

in vec2 texCoord;
out vec4 fragColour;

void main() { fragColour = vec4(textColour, texture(glyph, texCoord).r); }
