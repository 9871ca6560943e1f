#version 430 core
// Generic material: the albedo texture lit by the sun (Lambert) and its ambient term, and by
// point and directional lights (compiled in with POINT_LIGHTS when the scene has any). No
// shadows, no normal map.

const int LIGHT_COUNT = 50;

struct LightData {
    vec4 position;
    vec4 direction;
    vec4 colour;
    int type;
    float attConstant;
    float attLinear;
    float attQuadratic;
};

layout(std140, binding = 0) uniform SceneBlock {
    mat4 view;
    mat4 projection;
    mat4 lightView[4];
    mat4 lightProjection[4];
    vec4 cascadeEnds;
    vec4 sunDirection;
    vec4 sunColour;
    vec4 sunAmbient;
    int lightCount;
    LightData lights[LIGHT_COUNT];
};

layout(binding = 0) uniform sampler2D albedoMap;

in VertexData {
    vec3 worldPosition;
    vec3 normal;
    vec3 tangent;
    vec3 bitangent;
    vec2 texCoord;
    float viewDepth;
} fs;

out vec4 fragColour;

void main() {
    vec4 texel = texture(albedoMap, fs.texCoord);
    vec3 albedo = pow(texel.rgb, vec3(2.2));
    vec3 N = normalize(fs.normal) * (gl_FrontFacing ? 1.0 : -1.0);
    vec3 colour = sunAmbient.rgb * albedo;
    if (dot(sunDirection.xyz, sunDirection.xyz) > 0.0)
        colour += albedo * sunColour.rgb * max(dot(N, normalize(-sunDirection.xyz)), 0.0) / 3.14159265;
#ifdef POINT_LIGHTS
    for (int i = 0; i < min(lightCount, LIGHT_COUNT); ++i) {
        vec3 L;
        float attenuation = 1.0;
        if (lights[i].type == 0) {
            vec3 toLight = lights[i].position.xyz - fs.worldPosition;
            float d = length(toLight);
            L = toLight / max(d, 1e-4);
            float denominator = lights[i].attConstant + lights[i].attLinear * d + lights[i].attQuadratic * d * d;
            attenuation = denominator > 0.0 ? 1.0 / max(denominator, 1e-3) : 1.0;
        } else {
            L = normalize(-lights[i].direction.xyz);
        }
        colour += albedo * lights[i].colour.rgb * attenuation * max(dot(N, L), 0.0) / 3.14159265;
    }
#endif
    colour = colour / (colour + vec3(1.0));
    fragColour = vec4(pow(colour, vec3(1.0 / 2.2)), texel.a);
}
