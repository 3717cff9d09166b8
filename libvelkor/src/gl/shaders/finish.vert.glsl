// finish.vert.glsl - the finishing pass's one triangle over the viewport.
void main()
{
    // one triangle over the whole viewport
    vec2 corner = vec2(float((gl_VertexID & 1) << 2), float((gl_VertexID & 2) << 1)) - 1.0;
    gl_Position = vec4(corner, 0.0, 1.0);
}
