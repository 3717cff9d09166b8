// gl_backend.cpp - every OpenGL call of the library: frame set-up, lights,
// surface states, textures, buffer upload of recorded batches and drawing.
// Fixed-function compatibility profile; the context is current on entry.
#define GL_GLEXT_PROTOTYPES 1
#include "internal.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>

int velCaptureOn = 0;
std::vector<uint8_t> velCapture;
int velCaptureWidth = 0, velCaptureHeight = 0;

namespace {

int glReady = 0;              // velGlInit has run
float maxLineWidth = 10.0f;   // widest line the driver draws
VelStateKey currentKey = 0xffffffffu;  // state last applied in this frame

const char *BUFFER_OFFSET(size_t n) { return reinterpret_cast<const char *>(static_cast<uintptr_t>(n)); }

void uploadTexture(VelTexture &t)
{
    if (t.glName == 0) glGenTextures(1, &t.glName);
    glBindTexture(GL_TEXTURE_2D, t.glName);
    // GL's first row is t = 0, the bottom: hand the file's rows over last first
    std::vector<uint8_t> flipped(t.rgb.size());
    size_t row = (size_t)t.width * 3;
    for (int y = 0; y < t.height; y++)
        std::copy(t.rgb.begin() + (size_t)y * row, t.rgb.begin() + (size_t)(y + 1) * row,
                  flipped.begin() + (size_t)(t.height - 1 - y) * row);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB8, t.width, t.height, 0, GL_RGB, GL_UNSIGNED_BYTE, flipped.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    t.glDirty = 0;
}

void applyMaterial(int index)
{
    const VelMaterial &m = velMaterials[index];
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, &m.ambient.r);
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, &m.diffuse.r);
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, &m.specular.r);
    glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, &m.emission.r);
    glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, m.shininess);
}

void applyState(VelStateKey key)
{
    if (key == currentKey) return;
    currentKey = key;
    int kind = key & 0xff, index = (key >> 8) & 0xff, texture = (key >> 16) & 0xff;
    if (key & (1u << 24)) glDisable(GL_CULL_FACE);
    else glEnable(GL_CULL_FACE);
    if (kind == 1) {
        glDisable(GL_LIGHTING);
        glDisable(GL_TEXTURE_2D);
        glColor4fv(&velColours[index].r);
        return;
    }
    glEnable(GL_LIGHTING);
    applyMaterial(index);
    if (kind == 4 && velTextures[texture].width > 0) {
        VelTexture &t = velTextures[texture];
        if (t.glName == 0 || t.glDirty) uploadTexture(t);
        else glBindTexture(GL_TEXTURE_2D, t.glName);
        glEnable(GL_TEXTURE_2D);
    } else {
        glDisable(GL_TEXTURE_2D);
    }
}

void drawMeshes(const VelBatch *b)
{
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_COLOR_ARRAY);
    for (const VelMeshGroup &g : b->meshes) {
        if (g.indexCount == 0) continue;
        applyState(g.key);
        if (g.textured) glEnableClientState(GL_TEXTURE_COORD_ARRAY);
        else glDisableClientState(GL_TEXTURE_COORD_ARRAY);
        // a chunk is drawn from its own buffers once uploaded, else from the CPU arrays
        for (const VelChunk &c : g.chunks) {
            if (c.indexCount == 0) continue;
            const char *v, *t, *i;
            if (c.glBuffers[0]) {
                glBindBuffer(GL_ARRAY_BUFFER, c.glBuffers[0]);
                glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, c.glBuffers[1]);
                v = BUFFER_OFFSET(0);
                t = BUFFER_OFFSET((size_t)c.vertexCount * sizeof(VelVertex));
                i = BUFFER_OFFSET(0);
            } else {
                glBindBuffer(GL_ARRAY_BUFFER, 0);
                glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
                v = (const char *)(g.vertices.data() + c.firstVertex);
                t = (const char *)(g.tex.data() + 2 * (size_t)c.firstVertex);
                i = (const char *)(g.indices.data() + c.firstIndex);
            }
            glVertexPointer(3, GL_FLOAT, sizeof(VelVertex), v);
            glNormalPointer(GL_BYTE, sizeof(VelVertex), v + 12);
            if (g.textured) glTexCoordPointer(2, GL_FLOAT, 0, t);
            glDrawRangeElements(GL_TRIANGLES, 0, c.vertexCount - 1, c.indexCount, GL_UNSIGNED_SHORT, i);
        }
    }
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
}

void drawLines(const VelBatch *b)
{
    int any = 0;
    for (const VelLineGroup &g : b->lines) any |= g.vertexCount > 0;
    if (!any) return;
    currentKey = 0xffffffffu;
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_CULL_FACE);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    for (const VelLineGroup &g : b->lines) {
        if (g.vertexCount == 0) continue;
        const char *base;
        if (b->uploaded) {
            glBindBuffer(GL_ARRAY_BUFFER, g.glBuffer);
            base = BUFFER_OFFSET(0);
        } else {
            glBindBuffer(GL_ARRAY_BUFFER, 0);
            base = (const char *)g.vertices.data();
        }
        glLineWidth(std::min(g.width, maxLineWidth));
        glVertexPointer(3, GL_FLOAT, sizeof(VelLineVertex), base);
        glColorPointer(4, GL_UNSIGNED_BYTE, sizeof(VelLineVertex), base + 12);
        glDrawArrays(GL_LINES, 0, (GLsizei)g.vertexCount);
    }
    glDisableClientState(GL_COLOR_ARRAY);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
}

void drawBatch(VelBatch *b, int depth)
{
    if (!b || depth > 16) return;
    if (b->retained && !b->uploaded && b != velRecording) velGlUploadBatch(b);
    drawMeshes(b);
    drawLines(b);
    for (int id : b->calls)
        if (id > 0 && id < VEL_MAX_LISTS) drawBatch(velDisplayLists[id], depth + 1);
}

void setUpLights()
{
    const GLfloat ambientModel[4] = {0.15f, 0.15f, 0.15f, 1};
    const GLfloat keyPos[4] = {-0.45f, 0.55f, 0.7f, 0};   // upper left, in front
    const GLfloat keyDiffuse[4] = {0.7f, 0.7f, 0.7f, 1};
    const GLfloat keySpecular[4] = {0.4f, 0.4f, 0.4f, 1};
    const GLfloat fillPos[4] = {0.6f, -0.3f, 0.5f, 0};    // weaker, lower right
    const GLfloat fillDiffuse[4] = {0.2f, 0.2f, 0.2f, 1};
    const GLfloat black[4] = {0, 0, 0, 1};
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, ambientModel);
    glLightModeli(GL_LIGHT_MODEL_COLOR_CONTROL, GL_SEPARATE_SPECULAR_COLOR);
    glLightfv(GL_LIGHT0, GL_POSITION, keyPos);
    glLightfv(GL_LIGHT0, GL_AMBIENT, black);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, keyDiffuse);
    glLightfv(GL_LIGHT0, GL_SPECULAR, keySpecular);
    glLightfv(GL_LIGHT1, GL_POSITION, fillPos);
    glLightfv(GL_LIGHT1, GL_AMBIENT, black);
    glLightfv(GL_LIGHT1, GL_DIFFUSE, fillDiffuse);
    glLightfv(GL_LIGHT1, GL_SPECULAR, black);
    glEnable(GL_LIGHT0);
    glEnable(GL_LIGHT1);
}

} // namespace

void velGlInit(void)
{
    if (glReady) return;
    glReady = 1;
    GLfloat range[2] = {1, 10};
    glGetFloatv(GL_ALIASED_LINE_WIDTH_RANGE, range);
    maxLineWidth = range[1] > 1 ? range[1] : 1;
    velChatter("velkor: OpenGL %s, %s\n", (const char *)glGetString(GL_VERSION), velGlRenderer());
}

const char *velGlRenderer(void)
{
    const GLubyte *s = glGetString(GL_RENDERER);
    return s ? (const char *)s : "unknown";
}

void velGlRenderFrame(const VelFrame &frame)
{
    velGlInit();
    int w = velWindow.pixelWidth > 0 ? velWindow.pixelWidth : 1;
    int h = velWindow.pixelHeight > 0 ? velWindow.pixelHeight : 1;
    glViewport(0, 0, w, h);
    glClearColor(velWindow.background[0], velWindow.background[1], velWindow.background[2], 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glFrontFace(GL_CCW);
    glCullFace(GL_BACK);
    glShadeModel(GL_SMOOTH);
    glDisable(GL_BLEND);
    glDisable(GL_LINE_SMOOTH);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    vel_matrix proj = velProjectionMatrix(velWindow.view, w, h);
    vel_matrix view = velViewMatrix(velWindow.view);
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixf(proj.m);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    setUpLights();  // fixed to the eye
    glLoadMatrixf(view.m);
    currentKey = 0xffffffffu;
    for (int id : frame.lists)
        if (id > 0 && id < VEL_MAX_LISTS) drawBatch(velDisplayLists[id], 0);
    drawBatch(const_cast<VelBatch *>(&frame.immediate), 0);
    if (velCaptureOn) velGlCapture();
}

void velGlCapture(void)
{
    int w = velWindow.pixelWidth, h = velWindow.pixelHeight;
    if (w <= 0 || h <= 0) return;
    std::vector<uint8_t> raw((size_t)w * h * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, raw.data());
    velCapture.resize(raw.size());
    size_t row = (size_t)w * 4;
    for (int y = 0; y < h; y++)
        std::copy(raw.begin() + (size_t)y * row, raw.begin() + (size_t)(y + 1) * row,
                  velCapture.begin() + (size_t)(h - 1 - y) * row);
    velCaptureWidth = w;
    velCaptureHeight = h;
}

size_t velGlUploadChunk(VelMeshGroup *g, VelChunk *c)
{
    if (c->glBuffers[0] || c->vertexCount == 0) return 0;
    size_t vbytes = (size_t)c->vertexCount * sizeof(VelVertex), tbytes = g->textured ? (size_t)c->vertexCount * 8 : 0;
    size_t ibytes = (size_t)c->indexCount * 2;
    glGenBuffers(2, c->glBuffers);
    glBindBuffer(GL_ARRAY_BUFFER, c->glBuffers[0]);
    const VelVertex *vertices = g->vertices.data() + c->firstVertex;
    if (tbytes) {
        glBufferData(GL_ARRAY_BUFFER, (GLsizeiptr)(vbytes + tbytes), nullptr, GL_STATIC_DRAW);
        glBufferSubData(GL_ARRAY_BUFFER, 0, (GLsizeiptr)vbytes, vertices);
        glBufferSubData(GL_ARRAY_BUFFER, (GLintptr)vbytes, (GLsizeiptr)tbytes, g->tex.data() + 2 * (size_t)c->firstVertex);
    } else {
        glBufferData(GL_ARRAY_BUFFER, (GLsizeiptr)vbytes, vertices, GL_STATIC_DRAW);
    }
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, c->glBuffers[1]);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, (GLsizeiptr)ibytes, g->indices.data() + c->firstIndex, GL_STATIC_DRAW);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
    c->firstVertex = c->firstIndex = 0;  // ranges now start at the front of its buffers
    return vbytes + tbytes + ibytes;
}

void velGlUploadBatch(VelBatch *b)
{
    if (b->uploaded) return;
    size_t bytes = 0;
    for (VelMeshGroup &g : b->meshes) {
        for (VelChunk &c : g.chunks) bytes += velGlUploadChunk(&g, &c);
        std::vector<VelVertex>().swap(g.vertices);
        std::vector<float>().swap(g.tex);
        std::vector<uint16_t>().swap(g.indices);
    }
    for (VelLineGroup &g : b->lines) {
        if (g.vertexCount == 0) continue;
        glGenBuffers(1, &g.glBuffer);
        glBindBuffer(GL_ARRAY_BUFFER, g.glBuffer);
        size_t n = (size_t)g.vertexCount * sizeof(VelLineVertex);
        glBufferData(GL_ARRAY_BUFFER, (GLsizeiptr)n, g.vertices.data(), GL_STATIC_DRAW);
        bytes += n;
        std::vector<VelLineVertex>().swap(g.vertices);
    }
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    b->bytes += bytes;  // chunks streamed during recording are counted already
    b->uploaded = 1;
}

void velGlReleaseBatch(VelBatch *b)
{
    for (VelMeshGroup &g : b->meshes)
        for (VelChunk &c : g.chunks)
            if (c.glBuffers[0]) {
                glDeleteBuffers(2, c.glBuffers);
                c.glBuffers[0] = c.glBuffers[1] = 0;
            }
    for (VelLineGroup &g : b->lines)
        if (g.glBuffer) {
            glDeleteBuffers(1, &g.glBuffer);
            g.glBuffer = 0;
        }
    b->uploaded = 0;
}
