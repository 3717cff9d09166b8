// mesh.vert.glsl - a unit mesh vertex placed by its instance's axes and
// origin. The unit meshes' normals are radial or along an axis, so the
// placed axes carry them to the right direction whatever the object's size.
// Vertex number v is vertex v % meshVertexCount of instance firstInstance +
// v / meshVertexCount; a vertex is two texels (position and normal x,
// normal y z and texture coordinate).
uniform samplerBuffer meshVertices;
uniform int meshVertexCount;
uniform mat4 viewMatrix;
uniform mat4 projection;
out vec3 eyeNormal;
out vec2 uv;
void main()
{
    int n = gl_VertexID / meshVertexCount;
    int local = gl_VertexID - n * meshVertexCount;
    vec3 axisX, axisY, axisZ, origin;
    fetchInstance(firstInstance + n, axisX, axisY, axisZ, origin);
    vec4 v0 = texelFetch(meshVertices, 2 * local), v1 = texelFetch(meshVertices, 2 * local + 1);
    vec3 world = axisX * v0.x + axisY * v0.y + axisZ * v0.z + origin;
    eyeNormal = mat3(viewMatrix) * (axisX * v0.w + axisY * v1.x + axisZ * v1.y);
    uv = v1.zw;
    gl_Position = projection * (viewMatrix * vec4(world, 1.0));
}
