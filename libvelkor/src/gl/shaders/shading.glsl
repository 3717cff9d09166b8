// shading.glsl - the lighting of every surface, shade(n, uv), put before
// each instance program's fragment stage after "#define KIND k" (1 flat, 2
// material, 4 textured). The lighting of the fixed pipeline, per pixel:
// emission, the material's ambient in a 0.15 grey ambient light, a key
// light (diffuse 0.7, specular 0.4) from the upper left and a fill light
// (diffuse 0.2) from the lower right, both directional and fixed to the
// eye, a viewer at infinity and the specular part added after the texture.
// A textured surface takes its colour from the texture: `base` scales every
// term. Compiled once for each kind of surface, so a pixel runs only its
// own kind's work: software drivers run both sides of a branch and would
// sample the texture for every pixel.
#if KIND == 1
uniform vec4 flatColour;
vec4 shade(vec3 n, vec2 uv) { return flatColour; }
#else
uniform vec3 ambient;
uniform vec3 diffuse;
uniform vec3 specular;
uniform vec3 emission;
uniform float shininess;
uniform sampler2D surfaceImage;
const vec3 keyDirection = vec3(-0.45, 0.55, 0.7) / length(vec3(-0.45, 0.55, 0.7));
const vec3 fillDirection = vec3(0.6, -0.3, 0.5) / length(vec3(0.6, -0.3, 0.5));
vec4 shade(vec3 n, vec2 uv)
{
#if KIND == 4
    vec3 base = texture(surfaceImage, uv).rgb;
#else
    const vec3 base = vec3(1.0);
#endif
    float key = max(dot(n, keyDirection), 0.0);
    float fill = max(dot(n, fillDirection), 0.0);
    vec3 lit = min(base * (emission + 0.15 * ambient + diffuse * (0.7 * key + 0.2 * fill)), vec3(1.0));
    float highlight = 0.0;
    if (key > 0.0) {
        float h = max(dot(n, normalize(keyDirection + vec3(0.0, 0.0, 1.0))), 0.0);
        highlight = shininess > 0.0 ? pow(h, shininess) : 1.0;
    }
    return vec4(min(lit + base * specular * (0.4 * highlight), vec3(1.0)), 1.0);
}
#endif
