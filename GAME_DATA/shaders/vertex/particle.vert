#version 430 core
// Instanced particle quads that always face the camera; the free value turns the quad.

layout(std140, binding = 0) uniform SceneBlock {
    mat4 view;
    mat4 projection;
};

layout(location = 0) in vec3 inCorner;
layout(location = 4) in vec2 inTexCoord;
layout(location = 8) in vec3 inCentre;
layout(location = 9) in vec4 inColour;
layout(location = 10) in float inSize;
layout(location = 11) in float inFree;

out vec2 texCoord;
out vec4 colour;

void main() {
    vec3 right = vec3(view[0][0], view[1][0], view[2][0]);
    vec3 up = vec3(view[0][1], view[1][1], view[2][1]);
    float c = cos(inFree), s = sin(inFree);
    vec2 corner = mat2(c, s, -s, c) * inCorner.xy * inSize;
    vec3 world = inCentre + right * corner.x + up * corner.y;
    texCoord = inTexCoord;
    colour = inColour;
    gl_Position = projection * view * vec4(world, 1.0);
}
