// thin_line.vert.glsl - a segment one device pixel wide: its ends as
// per-vertex attributes (VelLineVertex, colour bytes normalised), drawn as
// the driver draws lines. Attributes fetch faster than texture buffers in
// software drivers.
layout(location = 0) in vec3 position;
layout(location = 1) in vec4 colour;
uniform mat4 viewProjection;
out vec4 lineColour;
void main()
{
    lineColour = colour;
    gl_Position = viewProjection * vec4(position, 1.0);
}
