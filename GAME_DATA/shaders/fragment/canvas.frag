#version 430 core
// The picture times the material's opacity and the button colour factor.

layout(binding = 0) uniform sampler2D picture;
layout(location = 100) uniform float opacity = 1.0;
layout(location = 101) uniform vec4 colourFactor = vec4(1.0);

in vec2 texCoord;
out vec4 fragColour;

void main() {
    vec4 c = texture(picture, texCoord) * colourFactor;
    fragColour = vec4(c.rgb, c.a * opacity);
}
