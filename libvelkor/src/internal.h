// internal.h - the state shared by the parts of libvelkor: palette, surfaces,
// objects and lists, retained batches, the frame, windows and input, trace.
// No GL and no Qt here: the GL backend and the Qt glue read these tables.
#ifndef VELKOR_INTERNAL_H
#define VELKOR_INTERNAL_H

#include <velkor/velkor.h>

#include <cstdint>
#include <string>
#include <vector>

//------------------------------------------------------------------------------
// Capacities
//------------------------------------------------------------------------------
inline constexpr int VEL_PALETTE_SIZE = 256;      // colour, material and texture indices 0..255
inline constexpr int VEL_MAX_LISTS = 4096;        // display list ids 1..4095
inline constexpr int VEL_MAX_BUTTONS = 3;         // left, middle, right
inline constexpr int VEL_CLASS_SPHERE = 1;        // value of vel_class_sphere
inline constexpr int VEL_CLASS_CYLINDER = 2;      // value of vel_class_cylinder
inline constexpr uint32_t VEL_CHUNK = 256;        // instances in a run culled and sized as one
inline constexpr float VEL_FACET_PIXELS = 0.5f;   // facets narrower than this against the true outline do not show

//------------------------------------------------------------------------------
// Palette and surfaces (palette.cpp)
//------------------------------------------------------------------------------
struct VelMaterial {
    vel_colour ambient, diffuse, specular, emission;
    float shininess;
};

struct VelTexture {
    int width = 0, height = 0;      // 0 when nothing usable is loaded
    std::vector<uint8_t> rgb;       // width * height * 3, first row = image top
    unsigned glName = 0;            // GL texture object, made by the backend
    int glDirty = 0;                // 1: pixels changed since the upload
};

// A surface is three palette indices and a mode, nothing else: surfaces
// share their textures by index and cost 16 bytes each.
struct VelSurface {
    int32_t mode;                   // a vel_surfaceMode
    int32_t colour, material, texture;
};

// The resolved drawing state of a surface, packed in 32 bits:
// kind (bits 0..7: a vel_surfaceMode),
// colour or material index (bits 8..15), texture index (bits 16..23).
typedef uint32_t VelStateKey;
inline int velStateKind(VelStateKey key) { return (int)(key & 0xff); }  // its vel_surfaceMode

extern vel_colour velColours[VEL_PALETTE_SIZE];      // flat colours by index
extern VelMaterial velMaterials[VEL_PALETTE_SIZE];   // lit materials by index
extern VelTexture velTextures[VEL_PALETTE_SIZE];     // textures by index
extern std::vector<VelSurface> velSurfaces;          // by surface handle; entry 0 unused
extern vel_surface velLineSurface;                   // surface selected for lines

VelStateKey velSurfaceState(vel_surface surface);    // drawing state of a surface
void velStateColour(VelStateKey key, uint8_t rgba[4]);  // flat colour of a state, as bytes
void velFailure(const char *format, ...);            // prints a failure, always
void velChatter(const char *format, ...);            // prints progress when vel_opt_output

//------------------------------------------------------------------------------
// PPM images (ppm.cpp)
//------------------------------------------------------------------------------
// Reads a P6 or P3 image with maxval <= 255 into rgb (rows top first).
// Returns 1 on success; on failure 0 and a reason in `error`.
int velPpmRead(const char *path, int *width, int *height, std::vector<uint8_t> *rgb, std::string *error);
int velPpmParse(const uint8_t *data, size_t size, int *width, int *height, std::vector<uint8_t> *rgb,
                std::string *error);

// Data files named by the caller (palette.cpp): the name as given (from the
// working directory, or absolute), then a relative name in each data folder.
std::vector<std::string> &velDataFolders();                // the folders in order, from the build
// The folders of a ':'-separated list, relative ones under programFolder
// (left out when it is empty), normalised, each once.
std::vector<std::string> velDataFolderList(const char *list, const std::string &programFolder);
int velFindDataFile(const char *name, std::string *path);  // 1 and the first path found

//------------------------------------------------------------------------------
// Tessellation (tessellate.cpp): unit meshes, made once per detail level
//------------------------------------------------------------------------------
struct VelMeshVertex {
    float p[3];                     // position on the unit shape
    float n[3];                     // unit normal
    float t[2];                     // texture coordinate
};

struct VelMesh {
    std::vector<VelMeshVertex> vertices;
    std::vector<uint16_t> indices;  // triangles, counter-clockwise seen from outside
    int id = 0;                     // index in velMeshTable
    int shape = 0;                  // VEL_CLASS_SPHERE or VEL_CLASS_CYLINDER
    int around = 0;                 // segments (sphere) or sides (cylinder) around the axis
    int rows = 0;                   // bands from pole to pole (sphere); 1 for a cylinder
    int caps = 0;                   // cylinder with closed ends
    int textured = 0;               // carries texture coordinates of its own at the seams
    unsigned glBuffers[2] = {0, 0}; // vertex buffer and repeated index buffer, made by the backend
    uint32_t glRepeat = 0;          // instances the repeated index buffer covers
};

int velSphereSegments(int tessellation1);   // 2 * t1, at least 3
int velSphereBands(int tessellation2);      // t2, at least 2
int velCylinderSides(int tessellation);     // 2 * t, at least 3
// Unit sphere (radius 1) and unit cylinder (radius 1, z from -0.5 to 0.5),
// cached by detail; the reference stays valid for the whole run.
// `textured` meshes repeat the seam and pole vertices so each has its own
// texture coordinate; the plain ones share them.
const VelMesh &velSphereMesh(int segments, int bands, int textured);
const VelMesh &velCylinderMesh(int sides, int caps, int textured);
extern std::vector<VelMesh *> velMeshTable;  // every unit mesh made so far, by id

//------------------------------------------------------------------------------
// Objects and object lists (objects.cpp)
//------------------------------------------------------------------------------
struct vel_objectRec {
    int32_t cls;                    // VEL_CLASS_SPHERE or VEL_CLASS_CYLINDER; 0 when free
    void *record;                   // the caller's record
    vel_objectRec *nextFree;        // free-pool chain
};

struct vel_objListRec {
    std::vector<vel_object> objects;  // in the order added
    uint64_t drawnFrame;              // last frame that drew the list, 0 never
    int live;                         // 1 until vel_SMSDelete
};

extern std::vector<vel_objList> velLists;   // every live object list

//------------------------------------------------------------------------------
// Retained batches (batch.cpp): the geometry of a display list or a frame
//------------------------------------------------------------------------------
// One sphere or cylinder: its placement with the object's size folded into
// the axes, 48 bytes. World point = x * axis[0] + y * axis[1] + z * axis[2]
// + origin for a point (x, y, z) of the unit mesh.
struct VelInstance {
    float axis[3][3];
    float origin[3];
};

// A run of instances of one group with the bounds of its objects: culled,
// and drawn as meshes or stand-ins, as one (lod.cpp).
struct VelChunk {
    float centre[3];
    float radius;                       // a sphere about centre that holds every object whole
    float thickness;                    // the largest sphere or tube radius among them
    uint32_t first, count;              // instances first .. first + count - 1 of the group
};

// Every instance of one unit mesh in one drawing state. A placement that
// mirrors goes to a group of its own, drawn with the other winding.
struct VelInstanceGroup {
    VelStateKey key;
    int mesh;                           // id in velMeshTable
    int mirrored;                       // 1: the placement mirrors
    std::vector<VelInstance> instances; // CPU copy, freed once a list is uploaded
    uint32_t count = 0;                 // instances, kept after the CPU copy is freed
    std::vector<VelChunk> chunks;       // runs of VEL_CHUNK instances with their bounds, made at upload
    std::vector<unsigned> glBuffers;    // instance buffers of the backend's chunk size each, once uploaded
};

// A line segment with its colour, 32 bytes: drawn as a screen-space quad.
struct VelLineVertex {
    float p[3];
    uint8_t c[4];
};

struct VelLineGroup {
    float width;
    std::vector<VelLineVertex> vertices;  // segment ends in pairs
    uint32_t vertexCount = 0;
    std::vector<unsigned> glBuffers;      // segment buffers of the backend's chunk size each, once uploaded
};

struct VelBatch {
    std::vector<VelInstanceGroup> groups;
    std::vector<VelLineGroup> lines;
    std::vector<int> calls;             // display lists replayed from inside this one
    std::vector<vel_objList> sources;   // object lists drawn into it (for picking)
    int retained = 0;                   // 1: display list (uploaded once, CPU copy freed)
    int uploaded = 0;                   // 1: the GL buffers hold the geometry
    size_t bytes = 0;                   // geometry size in bytes once uploaded
    uint64_t generation = 0;            // unique per recording: tells two recordings apart
    int lastGroups[2] = {-1, -1};       // lookup caches: the groups used last
    int lastLine = -1;
};

// Leaves one instance of each set of identical ones in every group (the
// same mesh, surface and placement draw the same pixels), keeping the first
// of each in its place; returns how many went.
size_t velBatchDropDuplicates(VelBatch *batch);

void velBatchAddObject(VelBatch *batch, vel_object object);
void velBatchAddObjects(VelBatch *batch, const vel_object *objects, size_t count);  // a whole list
void velBatchAddSegment(VelBatch *batch, float width, const vel_vector &a, const vel_vector &b,
                        const uint8_t rgba[4]);
void velBatchClear(VelBatch *batch);    // frees CPU data (GL names must be released first)
void velBatchReset(VelBatch *batch);    // empties it, keeping the arrays' capacity
size_t velBatchBytes(const VelBatch *batch);
int velBatchSame(const VelBatch &a, const VelBatch &b);  // 1: both draw exactly the same

//------------------------------------------------------------------------------
// The frame (frame.cpp)
//------------------------------------------------------------------------------
struct VelFrame {
    std::vector<int> lists;         // display lists drawn in this frame, in order
    VelBatch immediate;             // geometry drawn outside any list
};

// The state of frames, lines and display lists: one record, written by the
// drawing calls of frame.cpp unless a field says otherwise.
struct VelFrameState {
    VelFrame current;               // the frame being assembled: vel_frameBegin empties it, drawing calls fill it
    VelFrame last;                  // the frame the window shows (the last presented or skipped as the same); vel_frameEnd swaps it in
    int open = 0;                   // 1 between vel_frameBegin and vel_frameEnd
    uint64_t number = 1;            // frames presented so far + 1; vel_frameEnd counts it, objects and picking read it
    // lines (vel_gfxLine...)
    float lineWidth = 1.0f;         // current line width, 1..10 (vel_gfxLineWidthSet)
    int lineOpen = 0;               // 1 inside vel_gfxLineBegin .. End
    int lineHasPoint = 0;           // the open line has a previous point
    vel_vector linePoint = {0, 0, 0};  // that point (vel_gfxVertex)
    // counts kept by vel_frameEnd, read by tests and benchmarks
    uint64_t drawn = 0;             // frames drawn and presented
    uint64_t skipped = 0;           // frames that showed the last picture again and drew nothing
    uint64_t broken = 0;            // frames broken off half-drawn: a command was waiting, or the window resized
    uint64_t keptShown = 0;         // times the kept picture was copied to the window again (exposes; the Qt glue counts them)
    // settings made by tests and benchmarks
    int drawForced = 0;             // 1: the next frame is drawn even when unchanged; vel_frameEnd clears it once drawn
    int breakMs = 40;               // a frame being drawn lets events through at most this often, milliseconds
    // display lists (vel_gfxList...)
    VelBatch *displayLists[VEL_MAX_LISTS] = {};  // recorded lists by id, null = none
    VelBatch *recording = nullptr;  // list being recorded, or null
    int recordingId = 0;            // its id
    int recordingDraws = 0;         // 1: mode 2, also drawn in this frame
    uint64_t recordings = 0;        // lists recorded so far: each gets its own generation
};
extern VelFrameState velFrames;     // the one record of frames and lists (frame.cpp)

// Between two draws of a frame in the window: lets Qt deliver what it may
// (menus opening and hovered, exposes showing the kept picture) at most
// every velFrames.breakMs, and returns 1 when the frame must be broken off: an
// event that would run the caller's code was held back for the next event
// check, or the window changed size. Always 0 off-screen.
int velFrameBreak(void);

//------------------------------------------------------------------------------
// Window, view and input (state in frame.cpp, filled by the Qt glue)
//------------------------------------------------------------------------------
struct VelMouseEvent {
    int button, state, x, y;        // as vel_mouseEvent
};

struct VelNavButton {
    vel_navigator xNav, yNav;
    float xLinear, xAngular, yLinear, yAngular;
};

struct VelWindowState {
    int width = 0, height = 0;      // drawing area in pixels
    int pixelWidth = 0, pixelHeight = 0;  // the same in device pixels (GL viewport)
    int samples = 0;                // samples a pixel of the frames drawn: 0 on software drivers
    float background[3] = {0, 0, 0};
    vel_viewParams view;            // copy of the last view handed in
    vel_viewParams *viewSource = nullptr;  // the caller's record of that view
    int buttons[VEL_MAX_BUTTONS] = {1, 1, 1};   // 0 pressed, 1 released
    int pressSeen[VEL_MAX_BUTTONS] = {0, 0, 0}; // a press arrived in the latest event check
    int pointerX = 0, pointerY = 0;             // last pointer position seen (window pixels)
    int navLastX = 0, navLastY = 0;             // pointer at the last navigation step
    std::vector<VelMouseEvent> events;          // presses and releases not yet handled
    vel_mouseNavigation navigation = nullptr;
    VelNavButton navButtons[VEL_MAX_BUTTONS] = {};
    vel_mouseCallback callbacks[VEL_MAX_BUTTONS] = {};
    vel_class callbackClass[VEL_MAX_BUTTONS] = {};
};

extern VelWindowState velWindow;    // the one window
int velButtonHeld(void);              // 1 while any mouse button is held (navigation.cpp)
extern int velInitialised;          // 1 after vel_initialise

//------------------------------------------------------------------------------
// Maths helpers (maths.cpp)
//------------------------------------------------------------------------------
vel_viewParams velViewResolved(const vel_viewParams &view);  // defaults filled in, directions usable
vel_matrix velMatrixMultiply(const vel_matrix &a, const vel_matrix &b);
vel_matrix velViewMatrix(const vel_viewParams &view);        // world to eye
// A part of a larger picture: pixels of the picture, top left origin. All
// zero (the default) means the whole picture, the framebuffer's own size.
struct VelProjectionRegion {
    int pictureWidth = 0, pictureHeight = 0;   // the whole picture
    int left = 0, top = 0, width = 0, height = 0;  // the part the framebuffer shows
};
extern VelProjectionRegion velProjectionRegion;  // set by the off-screen tiles only
// Projection for a framebuffer of width x height, or of velProjectionRegion's part when it is set.
// Hands a file dropped since the last event check to the caller (drop.cpp).
void velDropsDeliver();
vel_matrix velProjectionMatrix(const vel_viewParams &view, int width, int height);
vel_vector velMatrixPoint(const vel_matrix &m, vel_vector p);

//------------------------------------------------------------------------------
// Culling and level of detail (lod.cpp)
//------------------------------------------------------------------------------
// The view of a frame as the culling and the choice of stand-ins read it.
struct VelLodView {
    vel_vector eye, forward, right, up;  // unit directions
    float nearClip, farClip;
    float tanX, tanY;                    // half the field of view, across and up
    float pixelsPerUnit;                 // device pixels a unit length spans at unit distance
    float pointLimit;                    // largest point the driver draws, in pixels
};

inline constexpr int VEL_DRAW_NONE = 0;      // out of view
inline constexpr int VEL_DRAW_MESH = 1;      // the unit mesh the records ask for
inline constexpr int VEL_DRAW_STAND_IN = 2;  // a ray-cast point (sphere) or quad (cylinder)

extern int velStandInsOn;  // 1: small objects may be drawn as stand-ins; 0: meshes only (tests, benchmarks)
extern uint64_t velStandInsDrawn;  // objects the last frame drawn drew as stand-ins (gl/draw.cpp)

// Bounds of runs of VEL_CHUNK instances of a group of `shape` (VEL_CLASS_SPHERE or _CYLINDER).
void velChunkBounds(const VelInstance *instances, uint32_t count, int shape, std::vector<VelChunk> *out);
VelLodView velLodViewOf(const vel_viewParams &view, int pixelWidth, int pixelHeight, float pointLimit);
// 1 when an object of `mesh` whose radius spans radiusPixels on the screen
// shows no facets: it may be drawn as a stand-in.
int velStandInFits(const VelMesh &mesh, float radiusPixels, float pointLimit);
int velChunkDrawAs(const VelLodView &view, const VelChunk &chunk, const VelMesh &mesh);  // VEL_DRAW_...

//------------------------------------------------------------------------------
// Picking (picking.cpp)
//------------------------------------------------------------------------------
// Ray from the eye through window pixel (x, y); direction is unit length.
void velPickRay(const vel_viewParams &view, int width, int height, int x, int y, vel_vector *origin,
                vel_vector *direction);
// Distance along the ray to the sphere's surface, or a negative value for a miss.
float velRaySphere(vel_vector origin, vel_vector direction, vel_vector centre, float radius);
float velRayCylinder(vel_vector origin, vel_vector direction, const vel_matrix &placement, float radius,
                     float height, int caps);
// Nearest object of class `cls` under pixel (x, y) among the lists drawn in
// the last frame; null when none.
vel_object velPickObject(int x, int y, vel_class cls);
vel_object velPickSphere(int x, int y);
void velInputDispatch(void);        // runs callbacks and navigation for the queued input
void velFrameMarkDrawn(const VelFrame &frame);  // stamps the object lists a frame drew

//------------------------------------------------------------------------------
// GL backend (gl/*.cpp) and Qt glue (qt_glue.cpp)
//------------------------------------------------------------------------------
// The backend needs OpenGL 3.3 (core or compatibility profile) and loads its
// functions from whatever context is current: the Qt window's or another
// made by the caller. It draws into the framebuffer bound when
// velGlRenderFrame is called, with the viewport velWindow.pixelWidth x
// pixelHeight.
int velGlCheckVersion(char *message, size_t size);  // 1 when the current context will do; else 0 and one line why
void velGlInit(void);                            // once, with the context current
// Clears the bound framebuffer and draws the frame into it, with
// velFrameBreak between draws; 0 when it was broken off half-drawn.
int velGlRenderFrame(const VelFrame &frame);
void velGlReleaseBatch(VelBatch *batch);         // frees a batch's GL objects
void velGlUploadBatch(VelBatch *batch);          // moves a recorded batch into GL buffers
const char *velGlRenderer(void);                 // GL_RENDERER string
int velGlSoftware(void);                         // 1: the driver rasterises on the CPU
// A copy of the frames drawn, for tests and benchmarks.
struct VelCaptureState {
    int on = 0;                     // 1: vel_frameEnd keeps a copy of each frame (set by tests and benchmarks)
    std::vector<uint8_t> rgba;      // RGBA rows, top row first (written by velGlCapture)
    int width = 0, height = 0;      // its size in pixels (written by velGlCapture)
};
extern VelCaptureState velCapture;               // the copy (gl/backend.cpp)
void velGlCapture(void);                         // reads the bound draw framebuffer into velCapture
// The window's frames (gl/target.cpp) are drawn into a framebuffer of their
// own; the last complete one is kept for exposes.
int velGlTargetBegin(int samples);               // binds the framebuffer for a frame of the window's size
void velGlTargetFinish(void);                    // the frame is complete: kept, and copied into the back buffer
void velGlTargetShowKept(void);                  // the kept frame into the back buffer, bindings as they were
void velGlTargetCapture(void);                   // reads the kept frame into velCapture

int velGlueMakeCurrent(void);       // 1 when the GL context is current on the window
void velGlueSwap(void);             // presents the back buffer
// Lets Qt deliver everything pending, the events held back by the last
// frame first.
void velGlueProcessEvents(void);
// Lets Qt deliver what it can while a frame is drawn, holding back every
// event that could run the caller's code (a menu item chosen, a key, a
// shortcut, a window closed) or the library's input handling (the GL
// window's buttons) for the next velGlueProcessEvents. Returns 1 when it
// held back one that runs the caller's code.
int velGlueInFramePass(void);
void velGluePointer(int *x, int *y, int *rootX, int *rootY);  // live pointer position
extern uint64_t velPointerReads;    // round trips made to read the pointer
extern int velPointerReuseMs;        // a pointer reading is used again for this long within an event pass (2; tests lengthen it)
void velGlueWindowToRoot(int x, int y, int *rootX, int *rootY);  // window pixel to screen

//------------------------------------------------------------------------------
// Off-screen drawing (gl/offscreen.cpp)
//------------------------------------------------------------------------------
extern int velOffscreen;                         // 1: frames draw into the off-screen framebuffer
void velOffscreenDraw(const VelFrame &frame);    // draws a frame into it (context always current)
extern int velOffscreenMultisample;              // -1 the driver decides; 0 never, 1 whenever it can (tests)

// The finishing pass (gl/postprocess.cpp): what a frame drew, in pixels of
// the picture with GL's orientation (y up, origin at the lower left).
struct VelFinishInput {
    unsigned colour, depth;          // the frame's textures (2D, or 2D multisample)
    int multisampled;                // 1: `samples` samples a texel; 0: grid x grid texels a pixel
    int samples, grid;               // samples a pixel; texels a pixel across
    int drawLeft, drawBottom;        // the drawn region's lower left pixel in the picture
    int drawWidth, drawHeight;       // its size in pixels
    int tileLeft, tileBottom;        // the framebuffer's lower left pixel in the drawn region
    int pictureWidth, pictureHeight; // the whole picture
    float background[3];
    vel_viewParams view;
};
int velFinishDraw(const VelFinishInput &in);     // the finished pixels into the bound framebuffer's viewport; 0 when the pass cannot be built
int velFinishMargin(const vel_viewParams &view, int pictureHeight);  // pixels drawn around a tile for the occlusion

//------------------------------------------------------------------------------
// Call trace (trace.cpp)
//------------------------------------------------------------------------------
extern int velTraceOn;              // 1 while calls are recorded
void velTrace(const char *format, ...);  // appends one line; call only when velTraceOn

#define VEL_TRACE(...) do { if (velTraceOn) velTrace(__VA_ARGS__); } while (0)

#endif
