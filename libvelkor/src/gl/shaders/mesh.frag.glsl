// mesh.frag.glsl - a unit mesh's pixel, shaded by its interpolated normal.
in vec3 eyeNormal;
in vec2 uv;
out vec4 fragColour;
void main() { fragColour = shade(normalize(eyeNormal), uv); }
