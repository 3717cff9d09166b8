// line.vert.glsl - a segment wider than one device pixel is a quad, two
// triangles over four vertices: its ends pushed half the width to either
// side, measured in device pixels on the screen. A segment that reaches
// behind the near plane is cut there first. A segment is two texels: start
// and colour, end and colour (the colour as four bytes, red lowest). Vertex
// number v is corner v % 4 of segment firstSegment + v / 4.
uniform usamplerBuffer segments;
uniform int firstSegment;
uniform mat4 viewProjection;
uniform vec2 viewport;
uniform float halfWidth;
out vec4 lineColour;
void main()
{
    int n = gl_VertexID >> 2;
    int corner = gl_VertexID & 3;
    int segment = firstSegment + n;
    uvec4 s0 = texelFetch(segments, 2 * segment), s1 = texelFetch(segments, 2 * segment + 1);
    uint c = s0.w;
    lineColour = vec4(float(c & 255u), float((c >> 8) & 255u), float((c >> 16) & 255u), float(c >> 24)) / 255.0;
    vec4 a = viewProjection * vec4(uintBitsToFloat(s0.xyz), 1.0);
    vec4 b = viewProjection * vec4(uintBitsToFloat(s1.xyz), 1.0);
    float da = a.z + a.w, db = b.z + b.w;
    if (da < 0.0 && db < 0.0) {
        gl_Position = vec4(0.0, 0.0, 2.0, 1.0);
        return;
    }
    if (da < 0.0) a = mix(a, b, da / (da - db));
    else if (db < 0.0) b = mix(b, a, db / (db - da));
    vec2 halfViewport = 0.5 * viewport;
    vec2 d = (b.xy / b.w - a.xy / a.w) * halfViewport;
    float len = length(d);
    vec2 side = len > 1e-6 ? vec2(-d.y, d.x) / len : vec2(0.0, 1.0);
    // corners 0 start-, 1 start+, 2 end-, 3 end+
    vec4 p = corner < 2 ? a : b;
    float sense = (corner & 1) == 0 ? -1.0 : 1.0;
    p.xy += sense * halfWidth * side / halfViewport * p.w;
    gl_Position = p;
}
