// finish.frag.glsl - the finishing pass of off-screen pictures, put after
// "#define" lines for each kind of frame: MULTISAMPLE 0 or 1, OCCLUSION 0
// or 1, SAMPLES a pixel and GRID texels a pixel across, and TAPS a sample.
// Constant counts let the driver unroll the loops, which a software driver
// needs to keep the pass fast. Pixel and texel coordinates are GL's: y up,
// origin at the lower left.
#if MULTISAMPLE
uniform sampler2DMS colourImage;
uniform sampler2DMS depthImage;
#else
uniform sampler2D colourImage;
uniform sampler2D depthImage;
#endif
const int samples = SAMPLES;  // samples a pixel: grid * grid, or the multisample count
const int grid = GRID;        // texels a pixel across (1 when multisampled)
const int taps = TAPS;        // occlusion taps a sample
uniform ivec2 tileOffset;   // the tile's lower left pixel in the drawn region
uniform ivec2 drawOrigin;   // the drawn region's lower left pixel in the picture
uniform ivec2 drawTexels;   // the drawn region's size in texels
uniform vec2 pictureSize;   // the whole picture in pixels
uniform vec2 frustum;       // tangents of the half field of view, across and up
uniform vec2 clip;          // near and far plane distances
uniform vec3 fog;           // start distance, 1 / (end - start), strength
uniform vec3 background;
uniform int transparent;
uniform vec4 occlusion;     // radius, strength, reach at distance 1 in pixels, largest reach in pixels
out vec4 fragColour;

float depthAt(ivec2 texel, int s)
{
#if MULTISAMPLE
    return texelFetch(depthImage, texel, s).r;
#else
    return texelFetch(depthImage, texel, 0).r;
#endif
}

// Distance from the eye along the view of a window depth.
float distanceOf(float depth)
{
    float z = 2.0 * depth - 1.0;
    return 2.0 * clip.x * clip.y / (clip.y + clip.x - z * (clip.y - clip.x));
}

// Picture position (pixels) of a texel's centre.
vec2 placeOf(ivec2 texel)
{
    return vec2(drawOrigin) + (vec2(texel) + 0.5) / float(grid);
}

// Eye-space point seen at picture position p, `distance` along the view.
vec3 eyePoint(vec2 p, float distance)
{
    return vec3((2.0 * p / pictureSize - 1.0) * frustum * distance, -distance);
}

#if OCCLUSION
vec3 texelPoint(ivec2 texel, int s)
{
    texel = clamp(texel, ivec2(0), drawTexels - 1);
    return eyePoint(placeOf(texel), distanceOf(depthAt(texel, s)));
}

// The surface's normal from the neighbouring texels, each way from the side
// nearer in depth (the other may lie across an edge), facing the eye.
vec3 normalAt(ivec2 texel, int s, vec3 p)
{
    vec3 right = texelPoint(texel + ivec2(1, 0), s) - p, left = p - texelPoint(texel - ivec2(1, 0), s);
    vec3 up = texelPoint(texel + ivec2(0, 1), s) - p, down = p - texelPoint(texel - ivec2(0, 1), s);
    vec3 across = abs(right.z) < abs(left.z) ? right : left;
    vec3 along = abs(up.z) < abs(down.z) ? up : down;
    vec3 n = normalize(cross(across, along));
    return n.z < 0.0 ? -n : n;
}

// Share of the view around point p (at picture position place) that the
// surfaces within the radius hide: taps first .. first + taps - 1 of a
// spiral of `total` over a disc as wide on the picture as the radius,
// turned by `turn`.
float occludedAt(ivec2 texel, int s, vec3 p, vec2 place, int first, int total, float turn)
{
    vec3 n = normalAt(texel, s, p);
    float radius = occlusion.x, reach = min(occlusion.z * radius / -p.z, occlusion.w);
    float hidden = 0.0;
    for (int k = 0; k < taps; k++) {
        float t = float(first + k) + 0.5;
        float angle = turn + t * 2.3999632;
        vec2 q = place + reach * sqrt(t / float(total)) * vec2(cos(angle), sin(angle));
        if (any(lessThan(q, vec2(0.0))) || any(greaterThanEqual(q, pictureSize)))
            continue;  // outside the picture: nothing there
        ivec2 at = clamp(ivec2(floor((q - vec2(drawOrigin)) * float(grid))), ivec2(0), drawTexels - 1);
        float depth = depthAt(at, 0);
        if (depth >= 1.0)
            continue;
        vec3 v = eyePoint(placeOf(at), distanceOf(depth)) - p;
        float vv = dot(v, v);
        float near = max(0.0, 1.0 - vv / (radius * radius));
        hidden += near * max(0.0, dot(v, n) * inversesqrt(vv + 1e-6) - 0.1);
    }
    return hidden / float(taps);
}

// A turn of the spiral for each pixel of the picture, from its position
// alone: interleaved gradient noise, whose neighbouring values differ so
// that the taps of a few pixels together cover the disc evenly (a random
// turn a pixel left grain that 64 taps did not smooth).
float turnOf(ivec2 pixel)
{
    return 6.2831853 * fract(52.9829189 * fract(dot(vec2(pixel), vec2(0.06711056, 0.00583715))));
}
#endif

void main()
{
    ivec2 pixel = ivec2(gl_FragCoord.xy) + tileOffset;
#if OCCLUSION
    float turn = turnOf(pixel + drawOrigin);
#endif
    vec3 sum = vec3(0.0);
    float cover = 0.0;
    for (int s = 0; s < samples; s++) {
#if MULTISAMPLE
        ivec2 texel = pixel;
        vec4 colour = texelFetch(colourImage, texel, s);
#else
        ivec2 texel = pixel * grid + ivec2(s % grid, s / grid);
        vec4 colour = texelFetch(colourImage, texel, 0);
#endif
        // without a branch: a software driver runs both sides of one
        float depth = depthAt(texel, s), drawn = depth < 1.0 ? 1.0 : 0.0;
        float distance = distanceOf(depth);
#if OCCLUSION
        if (drawn > 0.0) {
            vec2 place = placeOf(texel);
            vec3 p = eyePoint(place, distance);
            float hidden = occludedAt(texel, s, p, place, s * taps, samples * taps, turn);
            // an eighth of the look around hidden darkens as far as the strength goes
            colour.rgb *= 1.0 - occlusion.y * clamp(8.0 * hidden, 0.0, 1.0);
        }
#endif
        float seen = drawn - drawn * fog.z * clamp((distance - fog.x) * fog.y, 0.0, 1.0);
        sum += colour.rgb * seen;
        cover += seen;
    }
    float n = float(samples);
    vec4 over = vec4((sum + background * (n - cover)) / n, 1.0);
    vec4 alone = vec4(sum / max(cover, 1e-6), cover / n);
    fragColour = transparent != 0 ? alone : over;
}
