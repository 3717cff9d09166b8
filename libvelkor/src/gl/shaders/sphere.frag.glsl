// sphere.frag.glsl - each pixel of a sphere's point casts its ray against
// the sphere for the surface and normal under it, and discards a miss.
uniform mat4 projection;
uniform vec2 viewport;
flat in vec4 sphere;
flat in mat3 frame;
out vec4 fragColour;
const float TURN = 6.28318530718, HALF_TURN = 3.14159265359;
void main()
{
    vec3 centre = sphere.xyz;
    float radius = sphere.w;
    vec2 focal = vec2(projection[0][0], projection[1][1]) * 0.5 * viewport;
    vec3 ray = normalize(vec3((gl_FragCoord.xy - 0.5 * viewport) / focal, -1.0));
    // the ray's closest approach to the centre, small however far the sphere
    vec3 miss = ray * dot(ray, centre) - centre;
    float inside = radius * radius - dot(miss, miss);
    if (inside < 0.0) discard;
    vec3 n = (miss - ray * sqrt(inside)) / radius;
    vec2 uv = vec2(0.0);
#if KIND == 4
    // the unit mesh's coordinates: s once around its z axis, t from pole to pole
    vec3 local = n * frame;
    float s = atan(local.y, local.x) / TURN;
    uv = vec2(s < 0.0 ? s + 1.0 : s, acos(clamp(-local.z, -1.0, 1.0)) / HALF_TURN);
#endif
    fragColour = shade(n, uv);
}
