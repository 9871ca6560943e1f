#version 430 core
// Depth is all the pre-pass writes.
void main() {}
