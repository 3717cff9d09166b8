// draw.cpp - drawing one frame into the bound framebuffer: every display
// list and the frame's own geometry, group by group in runs of instances
// that are culled when out of view and drawn as meshes or, when too small
// on the screen for facets to show, as stand-ins (a sphere as a point, a
// cylinder as a quad, each ray-cast per pixel); then the line segments.
// Between two draws the frame may be broken off (velFrameBreak), so the
// window stays answerable while a large frame is drawn.
//
// Index of this file:
// [SECTION] State of the frame being drawn
// [SECTION] Drawing state
// [SECTION] Pacing and breaks
// [SECTION] Instances
// [SECTION] Lines
// [SECTION] Lists and the frame
#include "gl/backend.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

//------------------------------------------------------------------------------
// [SECTION] State of the frame being drawn
//------------------------------------------------------------------------------
uint64_t velStandInsDrawn = 0;

namespace {

// State of the frame being drawn: velGlRenderFrame sets the frame's view,
// the drawing below keeps the rest as it binds and draws.
struct FrameState {
    uint64_t number = 0;                 // frames drawn so far, this one included
    int width = 1, height = 1;           // framebuffer size in device pixels
    float pixelRatio = 1;                // device pixels a window pixel
    vel_matrix view, projection;         // the frame's matrices
    VelLodView lod;                      // the view as the culling reads it
    VelGlProgram *program = nullptr;     // program in use
    VelStateKey key = 0xffffffffu;       // state last applied to it
    int mesh = -1;                       // unit mesh whose buffers are bound
    unsigned instanceBuffer = 0;         // buffer the instances' buffer texture views
    int mirrored = -1;                   // front faces wound clockwise
    int cull = -1;                       // GL_CULL_FACE
    int broken = 0;                      // the frame was broken off: draw nothing more
    GLsync inFlight[2] = {nullptr, nullptr};  // fences after the last two draws, oldest first
    std::vector<VelChunk> chunks;        // runs of the frame's own groups (lists keep theirs)
    std::vector<int> drawAs;             // each run's VEL_DRAW_... in the group being drawn
};
FrameState frame;

//------------------------------------------------------------------------------
// [SECTION] Drawing state
//------------------------------------------------------------------------------
float luminance(const vel_colour &c) { return (c.r + c.g + c.b) / 3.0f; }

void setCull(int on)
{
    if (on == frame.cull) return;
    frame.cull = on;
    if (on) glEnable(GL_CULL_FACE);
    else glDisable(GL_CULL_FACE);
}

// The drawing state of `key` with the program of its kind that draws
// `what` (VEL_GL_...: meshes or stand-ins).
void applyState(VelStateKey key, int mirrored, int what)
{
    if (mirrored != frame.mirrored) {
        frame.mirrored = mirrored;
        glFrontFace(mirrored ? GL_CW : GL_CCW);
    }
    int kind = velStateKind(key), index = (key >> 8) & 0xff, texture = (key >> 16) & 0xff;
    if (kind == vel_surface_textured && velTextures[texture].width == 0)
        kind = vel_surface_material;  // unloaded since: the material alone
    VelGlProgram *program = velGlInstanceProgram(what, kind);
    // meshes show their outside only (open tubes too); stand-ins are seen
    // from the front whichever way they wind
    setCull(what == VEL_GL_MESHES);
    if (key == frame.key && program == frame.program) return;
    frame.key = key;
    if (program != frame.program) {
        frame.program = program;
        glUseProgram(program->name);
        frame.mesh = -1;  // the mesh's uniforms are the program's
        if (program->frame != frame.number) {
            program->frame = frame.number;
            glUniformMatrix4fv(program->viewMatrix, 1, GL_FALSE, frame.view.m);
            glUniformMatrix4fv(program->projection, 1, GL_FALSE, frame.projection.m);
            glUniform2f(program->viewport, (float)frame.width, (float)frame.height);
        }
    }
    if (kind == vel_surface_flat) {
        glUniform4fv(program->flatColour, 1, &velColours[index].r);
        return;
    }
    const VelMaterial &m = velMaterials[index];
    if (kind == vel_surface_material) {
        glUniform3fv(program->ambient, 1, &m.ambient.r);
        glUniform3fv(program->diffuse, 1, &m.diffuse.r);
        glUniform3fv(program->specular, 1, &m.specular.r);
        glUniform3fv(program->emission, 1, &m.emission.r);
    } else {
        // colour from the texture; from the material only how much of each
        // light it takes, relative to its diffuse part
        float d = luminance(m.diffuse);
        if (!(d > 1e-6f)) d = 1;
        float a = luminance(m.ambient) / d, s = luminance(m.specular) / d, e = luminance(m.emission) / d;
        glUniform3f(program->ambient, a, a, a);
        glUniform3f(program->diffuse, 1, 1, 1);
        glUniform3f(program->specular, s, s, s);
        glUniform3f(program->emission, e, e, e);
        VelTexture &t = velTextures[texture];
        glActiveTexture(GL_TEXTURE0 + VEL_UNIT_IMAGE);
        if (t.glName == 0 || t.glDirty) velGlUploadTexture(t);
        else glBindTexture(GL_TEXTURE_2D, t.glName);
    }
    glUniform1f(program->shininess, m.shininess);
}

void bindMesh(int id)
{
    if (id == frame.mesh) return;
    frame.mesh = id;
    VelMesh &m = *velMeshTable[id];
    velGlMeshBuffers(m);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, m.glBuffers[1]);
    glActiveTexture(GL_TEXTURE0 + VEL_UNIT_MESH);
    glTexBuffer(GL_TEXTURE_BUFFER, GL_RGBA32F, m.glBuffers[0]);
    glActiveTexture(GL_TEXTURE0);
    glUniform1i(frame.program->meshVertexCount, (GLint)m.vertices.size());
}

void bindInstances(unsigned buffer)
{
    if (buffer == frame.instanceBuffer) return;
    frame.instanceBuffer = buffer;
    glActiveTexture(GL_TEXTURE0 + VEL_UNIT_INSTANCES);
    glTexBuffer(GL_TEXTURE_BUFFER, GL_RGBA32F, buffer);
    glActiveTexture(GL_TEXTURE0);
}

//------------------------------------------------------------------------------
// [SECTION] Pacing and breaks
//------------------------------------------------------------------------------
// A software driver bins the triangles of each draw in memory of its own and
// rasterises them on other threads. Given a whole large frame at once it
// queues several such scenes, and the memory they took stays in the heap.
// So a draw makes at most VEL_SOFTWARE_TRIANGLES triangles or VEL_QUADS
// quads there, and before each draw it waits for the one before the last:
// with two draws in flight the driver holds two draws' triangles, not a
// frame's, and frames come as fast. Lines count too. The wait goes in
// slices, with a break between them: one draw of large objects can keep the
// rasterisers busy for seconds.
constexpr GLuint64 WAIT_SLICE_NS = 4000000;

void waitFor(GLsync fence)
{
    while (!frame.broken && glClientWaitSync(fence, GL_SYNC_FLUSH_COMMANDS_BIT, WAIT_SLICE_NS) == GL_TIMEOUT_EXPIRED)
        frame.broken = velFrameBreak();
}

// After each draw: 1 when the frame is broken off.
int afterDraw()
{
    if (velGl.software) {
        if (frame.inFlight[0]) {
            waitFor(frame.inFlight[0]);
            glDeleteSync(frame.inFlight[0]);
        }
        frame.inFlight[0] = frame.inFlight[1];
        frame.inFlight[1] = glFenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0);
    }
    if (!frame.broken) frame.broken = velFrameBreak();
    return frame.broken;
}

// The frame's last draws, waited for with breaks (unless it was broken off).
void endPacing()
{
    for (GLsync &f : frame.inFlight)
        if (f) {
            waitFor(f);
            glDeleteSync(f);
            f = nullptr;
        }
}

//------------------------------------------------------------------------------
// [SECTION] Instances
//------------------------------------------------------------------------------
// Instances first .. first + count - 1 of a group, all as meshes or all as
// stand-ins, in draws of the driver's budget.
void drawRun(const VelInstanceGroup &g, const VelMesh &m, int as, uint32_t first, uint32_t count)
{
    int sphere = m.shape == VEL_CLASS_SPHERE;
    applyState(g.key, g.mirrored, as == VEL_DRAW_MESH ? VEL_GL_MESHES : sphere ? VEL_GL_SPHERES : VEL_GL_CYLINDERS);
    uint32_t step;
    if (as != VEL_DRAW_MESH) velStandInsDrawn += count;
    if (as == VEL_DRAW_MESH) {
        bindMesh(m.id);
        step = m.glRepeat;
    } else if (sphere) {
        step = VEL_POINTS;
    } else {
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, velGl.quadIndices);
        frame.mesh = -1;
        glUniform1i(frame.program->closed, m.caps);
        step = VEL_CYLINDER_QUADS;
    }
    GLsizei meshIndices = (GLsizei)m.indices.size();
    for (uint32_t at = first; at < first + count;) {
        // the group's instances lie in buffers of velGl.chunkInstances each
        size_t buffer = at / velGl.chunkInstances;
        if (buffer >= g.glBuffers.size()) return;
        uint32_t local = at - (uint32_t)buffer * velGl.chunkInstances;
        uint32_t n = std::min({step, first + count - at, velGl.chunkInstances - local});
        bindInstances(g.glBuffers[buffer]);
        glUniform1i(frame.program->firstInstance, (GLint)local);
        if (as == VEL_DRAW_MESH) glDrawElements(GL_TRIANGLES, meshIndices * (GLsizei)n, GL_UNSIGNED_INT, nullptr);
        else if (sphere) glDrawArrays(GL_POINTS, 0, (GLsizei)n);
        else glDrawElements(GL_TRIANGLES, 6 * (GLsizei)n, GL_UNSIGNED_INT, nullptr);
        if (afterDraw()) return;
        at += n;
    }
}

void drawGroups(VelBatch *b)
{
    int any = 0;
    for (const VelInstanceGroup &g : b->groups) any |= g.count > 0;
    if (!any) return;
    frame.program = nullptr;
    frame.key = 0xffffffffu;
    frame.mesh = -1;
    frame.instanceBuffer = 0;
    glBindVertexArray(velGl.emptyVao);
    for (VelInstanceGroup &g : b->groups) {
        if (g.count == 0 || g.mesh < 0 || g.mesh >= (int)velMeshTable.size()) continue;
        const VelMesh &m = *velMeshTable[g.mesh];
        if (!b->uploaded) {
            velGlFillBuffers(&g.glBuffers, g.instances.data(), g.count, sizeof(VelInstance), velGl.chunkInstances,
                             GL_STREAM_DRAW);
            frame.instanceBuffer = 0;
            velChunkBounds(g.instances.data(), g.count, m.shape, &frame.chunks);
        }
        const std::vector<VelChunk> &chunks = b->uploaded ? g.chunks : frame.chunks;
        frame.drawAs.resize(chunks.size());
        for (size_t c = 0; c < chunks.size(); c++) frame.drawAs[c] = velChunkDrawAs(frame.lod, chunks[c], m);
        // neighbouring runs drawn the same way go in one series of draws
        for (size_t c = 0; c < chunks.size();) {
            size_t d = c + 1;
            while (d < chunks.size() && frame.drawAs[d] == frame.drawAs[c]) d++;
            if (frame.drawAs[c] != VEL_DRAW_NONE)
                drawRun(g, m, frame.drawAs[c], chunks[c].first, chunks[d - 1].first + chunks[d - 1].count - chunks[c].first);
            if (frame.broken) return;
            c = d;
        }
    }
    glBindVertexArray(0);
}

//------------------------------------------------------------------------------
// [SECTION] Lines
//------------------------------------------------------------------------------
void drawLines(VelBatch *b)
{
    int any = 0;
    for (const VelLineGroup &g : b->lines) any |= g.vertexCount > 0;
    if (!any) return;
    vel_matrix vp = velMatrixMultiply(frame.projection, frame.view);
    VelGlLineProgram *wide = velGlLineProgram(0), *thin = velGlLineProgram(1);
    for (VelGlLineProgram *p : {thin, wide})
        if (p->frame != frame.number) {
            p->frame = frame.number;
            glUseProgram(p->name);
            glUniformMatrix4fv(p->viewProjection, 1, GL_FALSE, vp.m);
            glUniform2f(p->viewport, (float)frame.width, (float)frame.height);
        }
    glUseProgram(wide->name);
    glBindVertexArray(velGl.emptyVao);
    setCull(0);
    frame.program = nullptr;
    frame.key = 0xffffffffu;
    for (VelLineGroup &g : b->lines) {
        uint32_t segments = g.vertexCount / 2;
        if (segments == 0) continue;
        if (!b->uploaded)
            velGlFillBuffers(&g.glBuffers, g.vertices.data(), segments, 2 * sizeof(VelLineVertex), velGl.chunkSegments,
                             GL_STREAM_DRAW);
        // one device pixel: a plain line, which any driver draws and fastest
        float width = g.width * frame.pixelRatio;
        int quads = width > 1.0f;
        glUniform1f(wide->halfWidth, 0.5f * width);
        for (size_t i = 0; i < g.glBuffers.size() && i * velGl.chunkSegments < segments; i++) {
            uint32_t n = std::min<uint32_t>(velGl.chunkSegments, segments - (uint32_t)i * velGl.chunkSegments);
            if (!quads) {
                glUseProgram(thin->name);
                glBindVertexArray(velGl.lineVao);
                glBindBuffer(GL_ARRAY_BUFFER, g.glBuffers[i]);
                const GLsizei stride = sizeof(VelLineVertex);
                glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, stride, (const void *)offsetof(VelLineVertex, p));
                glVertexAttribPointer(1, 4, GL_UNSIGNED_BYTE, GL_TRUE, stride, (const void *)offsetof(VelLineVertex, c));
                for (uint32_t first = 0; first < n; first += VEL_QUADS) {
                    glDrawArrays(GL_LINES, (GLint)(2 * first), (GLsizei)(2 * std::min(VEL_QUADS, n - first)));
                    if (afterDraw()) return;
                }
                glUseProgram(wide->name);
                glBindVertexArray(velGl.emptyVao);
                continue;
            }
            glActiveTexture(GL_TEXTURE0 + VEL_UNIT_SEGMENTS);
            glTexBuffer(GL_TEXTURE_BUFFER, GL_RGBA32UI, g.glBuffers[i]);
            glActiveTexture(GL_TEXTURE0);
            glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, velGl.quadIndices);
            for (uint32_t first = 0; first < n; first += VEL_QUADS) {
                glUniform1i(wide->firstSegment, (GLint)first);
                glDrawElements(GL_TRIANGLES, (GLsizei)(6 * std::min(VEL_QUADS, n - first)), GL_UNSIGNED_INT, nullptr);
                if (afterDraw()) return;
            }
        }
    }
    glBindVertexArray(0);
}

//------------------------------------------------------------------------------
// [SECTION] Lists and the frame
//------------------------------------------------------------------------------
void drawBatch(VelBatch *b, int depth)
{
    if (!b || depth > 16 || frame.broken) return;
    if (b->retained && !b->uploaded && b != velFrames.recording) velGlUploadBatch(b);
    drawGroups(b);
    if (!frame.broken) drawLines(b);
    for (int id : b->calls)
        if (id > 0 && id < VEL_MAX_LISTS) drawBatch(velFrames.displayLists[id], depth + 1);
}

} // namespace

int velGlRenderFrame(const VelFrame &f)
{
    velGlInit();
    frame.number++;
    frame.width = velWindow.pixelWidth > 0 ? velWindow.pixelWidth : 1;
    frame.height = velWindow.pixelHeight > 0 ? velWindow.pixelHeight : 1;
    frame.pixelRatio = velWindow.width > 0 ? (float)velWindow.pixelWidth / (float)velWindow.width : 1.0f;
    if (!(frame.pixelRatio > 0)) frame.pixelRatio = 1;
    frame.projection = velProjectionMatrix(velWindow.view, frame.width, frame.height);
    frame.view = velViewMatrix(velWindow.view);
    frame.lod = velLodViewOf(velWindow.view, frame.width, frame.height, velGl.pointLimit);
    frame.broken = 0;
    velStandInsDrawn = 0;
    frame.mirrored = 0;
    frame.cull = -1;
    glViewport(0, 0, frame.width, frame.height);
    glClearColor(velWindow.background[0], velWindow.background[1], velWindow.background[2], 1);
    glDepthMask(GL_TRUE);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glFrontFace(GL_CCW);
    glCullFace(GL_BACK);
    glDisable(GL_BLEND);
    glActiveTexture(GL_TEXTURE0);
    for (int id : f.lists)
        if (id > 0 && id < VEL_MAX_LISTS) drawBatch(velFrames.displayLists[id], 0);
    drawBatch(const_cast<VelBatch *>(&f.immediate), 0);
    endPacing();
    glBindVertexArray(0);
    glUseProgram(0);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glFrontFace(GL_CCW);
    velGlReportErrors("a frame");
    return !frame.broken;
}
