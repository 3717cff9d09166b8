// instance.glsl - how every program that places instances reads them:
// instance i is three texels of the buffer `instances` (its 12 floats: the
// x, y and z axes with the size folded in, then the origin). Put before the
// mesh, sphere and cylinder vertex stages.
uniform samplerBuffer instances;
uniform int firstInstance;
void fetchInstance(int i, out vec3 axisX, out vec3 axisY, out vec3 axisZ, out vec3 origin)
{
    vec4 t0 = texelFetch(instances, 3 * i), t1 = texelFetch(instances, 3 * i + 1),
         t2 = texelFetch(instances, 3 * i + 2);
    axisX = t0.xyz; axisY = vec3(t0.w, t1.xy); axisZ = vec3(t1.zw, t2.x); origin = t2.yzw;
}
