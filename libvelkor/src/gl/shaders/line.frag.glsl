// line.frag.glsl - a segment's pixel in the segment's colour.
in vec4 lineColour;
out vec4 fragColour;
void main() { fragColour = lineColour; }
