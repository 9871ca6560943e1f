#version 430 core
// Depth is all the shadow pass writes.
void main() {}
