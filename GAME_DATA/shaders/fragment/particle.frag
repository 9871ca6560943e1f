#version 430 core

layout(binding = 0) uniform sampler2D sprite;

in vec2 texCoord;
in vec4 colour;
out vec4 fragColour;

void main() {
    vec4 c = texture(sprite, texCoord) * colour;
    if (c.a < 0.003)
        discard;
    fragColour = c;
}
