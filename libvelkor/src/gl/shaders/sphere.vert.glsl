// sphere.vert.glsl - a sphere a few pixels wide: one point that covers the
// sphere's outline, placed at the sphere's point nearest the eye so that
// what lies inside the sphere stays hidden behind it. Vertex v is instance
// firstInstance + v. The placed axes, made unit, go along for textures.
uniform mat4 viewMatrix;
uniform mat4 projection;
uniform vec2 viewport;
flat out vec4 sphere;  // centre seen from the eye, radius
flat out mat3 frame;
void main()
{
    vec3 axisX, axisY, axisZ, origin;
    fetchInstance(firstInstance + gl_VertexID, axisX, axisY, axisZ, origin);
    mat3 turn = mat3(viewMatrix);
    frame = mat3(normalize(turn * axisX), normalize(turn * axisY), normalize(turn * axisZ));
    float radius = max(length(axisX), max(length(axisY), length(axisZ)));
    vec3 centre = (viewMatrix * vec4(origin, 1.0)).xyz;
    sphere = vec4(centre, radius);
    float distance = length(centre);
    if (-centre.z <= 2.0 * radius) {  // reaches the eye's plane: the meshes draw such spheres
        gl_Position = vec4(0.0, 0.0, 2.0, 1.0);
        gl_PointSize = 1.0;
        return;
    }
    gl_Position = projection * vec4(centre * (1.0 - radius / distance), 1.0);
    // the outline is a circle stretched away from the middle of the view
    float pixels = radius * projection[1][1] * 0.5 * viewport.y / -centre.z;
    gl_PointSize = 2.0 * pixels * distance / -centre.z + 0.5;
}
