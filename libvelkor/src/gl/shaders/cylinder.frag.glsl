// cylinder.frag.glsl - each pixel of a cylinder's quad casts its ray against
// the tube: the outside of the tube between its ends, and the end that
// faces the eye when the cylinder is closed; a miss is discarded, as the
// inside of an open tube is (the meshes cull it as a back face).
uniform int closed;
in vec3 eyePosition;
flat in vec4 base;
flat in vec4 axis;
flat in vec3 sideX;
flat in vec3 sideY;
out vec4 fragColour;
const float TURN = 6.28318530718;
void main()
{
    float radius = base.w;
    vec3 ray = normalize(eyePosition);
    vec3 from = -base.xyz;  // the eye, seen from the -Z end
    float ra = dot(ray, axis.xyz), fa = dot(from, axis.xyz);
    // across the axis: the ray's closest approach to it, small however far the tube
    vec3 rp = ray - axis.xyz * ra, fp = from - axis.xyz * fa;
    float a = dot(rp, rp);
    float t = 1e30, along = 0.0;
    vec3 n = vec3(0.0, 0.0, 1.0);
    if (a > 1e-12) {
        float closest = -dot(rp, fp) / a;
        vec3 miss = fp + rp * closest;
        float inside = radius * radius - dot(miss, miss);
        float chord = sqrt(max(inside, 0.0) / a);  // half the chord, in steps along rp
        float h = fa + (closest - chord) * ra;
        if (inside >= 0.0 && h >= 0.0 && h <= axis.w) {
            t = closest - chord;
            n = (miss - rp * chord) / radius;
            along = h;
        }
    }
    if (closed == 1 && abs(ra) > 1e-6) {
        float h = ra > 0.0 ? 0.0 : axis.w;
        float hit = (h - fa) / ra;
        vec3 q = fp + hit * rp;
        if (hit < t && dot(q, q) <= radius * radius) {
            t = hit;
            n = ra > 0.0 ? -axis.xyz : axis.xyz;
            along = h;
        }
    }
    if (t >= 1e30) discard;
    vec2 uv = vec2(0.0);
#if KIND == 4
    // the unit mesh's coordinates: s once around, t from the -Z to the +Z end
    vec3 radial = fp + t * rp;
    float s = atan(dot(radial, sideY), dot(radial, sideX)) / TURN;
    uv = vec2(s < 0.0 ? s + 1.0 : s, along / axis.w);
#endif
    fragColour = shade(n, uv);
}
