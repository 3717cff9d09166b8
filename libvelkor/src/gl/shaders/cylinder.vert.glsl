// cylinder.vert.glsl - a cylinder a few pixels thick: a quad facing the eye
// that covers its outline (the tube and both end discs), each corner moved
// along its own ray towards the eye by the radius, so that the quad lies in
// front of the tube's axis. Vertex v is corner v % 4 of instance
// firstInstance + v / 4: 0 and 1 at the -Z end, 2 and 3 at +Z.
uniform mat4 viewMatrix;
uniform mat4 projection;
out vec3 eyePosition;
flat out vec4 base;  // the -Z end seen from the eye, radius
flat out vec4 axis;  // unit direction from the -Z end to the +Z end, length
flat out vec3 sideX;
flat out vec3 sideY;
void main()
{
    int corner = gl_VertexID & 3;
    vec3 axisX, axisY, axisZ, origin;
    fetchInstance(firstInstance + (gl_VertexID >> 2), axisX, axisY, axisZ, origin);
    mat3 turn = mat3(viewMatrix);
    vec3 z = turn * axisZ;
    float len = length(z);
    axis = vec4(z / len, len);
    sideX = turn * axisX;
    sideY = turn * axisY;
    float radius = max(length(sideX), length(sideY));
    sideX = normalize(sideX);
    sideY = normalize(sideY);
    vec3 start = (viewMatrix * vec4(origin, 1.0)).xyz - 0.5 * z;
    base = vec4(start, radius);
    vec3 end = corner < 2 ? start : start + z;
    if (-start.z <= 2.0 * radius || -(start + z).z <= 2.0 * radius) {  // reaches the eye's plane: the meshes draw it
        gl_Position = vec4(0.0, 0.0, 2.0, 1.0);
        return;
    }
    // across the tube and along it, both square to the ray to this end
    vec3 ray = normalize(end);
    vec3 across = cross(axis.xyz, ray);
    across = dot(across, across) > 1e-8 ? normalize(across) : normalize(cross(ray, abs(ray.x) < 0.9 ? vec3(1, 0, 0) : vec3(0, 1, 0)));
    vec3 along = cross(ray, across);
    if (dot(along, axis.xyz) * (corner < 2 ? -1.0 : 1.0) < 0.0) along = -along;
    // an end disc seen from the eye: the radius across, less along the tube
    // the more it is seen from the side (5 % to spare for the perspective)
    vec3 p = end + 1.05 * radius * (((corner & 1) == 0 ? -1.0 : 1.0) * across + abs(dot(axis.xyz, ray)) * along);
    eyePosition = p - normalize(p) * radius;
    gl_Position = projection * vec4(eyePosition, 1.0);
}
