#version 430 core
// The sky cube around the camera, drawn at the far plane.

layout(location = 0) in vec3 inPosition;
layout(location = 4) uniform mat4 skyMatrix; // projection times the rotation part of the view

out vec3 direction;

void main() {
    direction = inPosition;
    vec4 position = skyMatrix * vec4(inPosition, 1.0);
    gl_Position = position.xyww;
}
