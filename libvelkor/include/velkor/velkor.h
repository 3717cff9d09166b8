// velkor.h - the public interface of libvelkor, a small immediate-and-retained
// 3D library on Qt 6 and OpenGL 3.3: one GL surface inside a Qt widget, input
// delivered from vel_eventsCheck(), a palette of colours, materials and
// textures, sphere and cylinder objects drawn from caller-owned records,
// object lists, display lists, lines, mouse navigation, picking, and the
// vector / matrix / quaternion maths that goes with them.
//
// LIFECYCLE
//   0. Optionally, first thing in main: vel_surfaceFormatDefaultSet(); and
//      once the library is initialised, vel_heapPrepare() (see
//      "Process-wide settings" below).
//   1. Create the QApplication and the widget to draw into; set vel_opt_disp
//      (and vel_opt_splash, vel_opt_output) before vel_initialise().
//   2. vel_initialise(&argc, argv) embeds the GL window below whatever the
//      widget already holds (a menu bar, say) and makes vel_win_current valid;
//      it returns 0 when the display has no OpenGL 3.3 to offer.
//   3. Each frame: vel_eventsCheck(); vel_frameBegin(); draw (objects, lists,
//      lines); vel_windowViewParamsSet(); vel_frameEnd(). vel_frameEnd()
//      draws the frame, presents it and paces the loop to about 60 frames a
//      second.
//   Everything runs on the thread that called vel_initialise(); callbacks,
//   navigators and the Qt slots of the caller's menus run synchronously
//   inside vel_eventsCheck(), never while vel_frameEnd() draws.
//
// DRIVER
//   OpenGL 3.3 with GLSL 3.30 (core or compatibility profile); the window
//   asks for a 3.3 core profile with 4 samples a pixel from a hardware
//   driver (none from a software rasterizer, where they cost too much). A
//   driver that cannot give 3.3 makes vel_initialise() print one line naming
//   what it offers and its renderer, and return 0; what then becomes of the
//   process is the caller's choice (the library never ends it).
//   On a software rasterizer a draw makes at most 49152 triangles (16384
//   line segments, 8192 sphere points, 4096 cylinder quads), and each waits
//   for the one before the last, so the driver holds two draws' triangles
//   at a time, not a frame's.
//
// MEMORY
//   A program that calls vel_heapPrepare() gets fixed malloc thresholds (big
//   buffers stay in the heap) and a heap grown once ahead, marked for
//   transparent huge pages: large lists and frames then fill fresh memory
//   2 MiB at a time. Without the call the library leaves the heap alone.
//
// OBJECTS, LISTS AND INSTANCES
//   Each sphere or cylinder is drawn as an instance of a unit mesh made once
//   per class and detail: drawing it copies its placement and size (48
//   bytes), nothing more. A display list keeps these instances, and its line
//   segments, in GL buffers: recording copies records and replaying costs a
//   few draws per unit mesh and surface. Identical instances in a list
//   (same mesh, surface and placement) are kept once: they draw the same
//   pixels. The records stay the caller's; picking reads them, never GPU
//   data. A list shows what its records held when it was recorded.
//   A sphere or cylinder too small on the screen for its facets to show is
//   drawn as a stand-in ray-cast per pixel; larger ones as the meshes their
//   tessellation asks for. Objects out of view cost next to nothing.
//
// FRAMES
//   vel_frameEnd() draws and presents only when the frame differs from the
//   picture the window shows (view, lists, geometry, palette, window size);
//   an unchanged frame just waits for its turn. The last complete picture is
//   kept: a window uncovered shows it again without drawing anything. While
//   a frame is drawn, Qt may open and hover menus and show the kept picture
//   between its draws; an event that would run the caller's code (a menu
//   item chosen, a key) breaks the frame off, unshown, and is delivered at
//   the start of the next vel_eventsCheck().
//
// CONVENTIONS
//   Units       lengths are the caller's (the scene's unit); angles given to
//               vel_quaternionSet() and vel_matrixSet() are in DEGREES; the
//               turns of the navigation primitives are in RADIANS.
//   Handedness  right-handed world coordinates. A positive angle turns
//               counter-clockwise when looking from the tip of the axis
//               towards the origin (right-hand rule). Example: the axis
//               (0, -1, 0) with 90 degrees turns -Z onto +X.
//   Matrices    vel_matrix is 16 floats in column-major order (OpenGL
//               layout): m[0..3] is the first column. Points are column
//               vectors, p' = M p; the translation is m[12], m[13], m[14].
//   Screen      vel_vectorScrnPos() gives x from -1 (left edge) to +1
//               (right edge), y from -1 (bottom) to +1 (top) and the window
//               depth: 0 at the near plane, 1 at the far plane, growing
//               with distance from the eye; a point behind the eye has a
//               depth outside 0..1.
//   Buttons     0 left, 1 middle, 2 right. A button state is 0 when pressed
//               and 1 when released.
//   Handles     vel_surface is a 32-bit index, 0 meaning "no surface"; it
//               fits the 32-bit surface field of the object records.
//               Objects and object lists are opaque pointers, null = none.
//   Failures    reported once as a line of text on standard output (unless
//               vel_opt_output is 0, which silences the library's chatter
//               but never a failure message); the call then carries on in
//               a sane way (a missing texture draws untextured) or returns
//               0 where its comment says so. The library never ends the
//               process.
#ifndef VELKOR_VELKOR_H
#define VELKOR_VELKOR_H

#include <cstddef>
#include <cstdint>

class QWidget;

//------------------------------------------------------------------------------
// Types
//------------------------------------------------------------------------------
struct vel_vector { float x, y, z; };              // a point or direction
struct vel_quaternion { float x, y, z, w; };       // unit quaternion, w scalar
struct vel_matrix { float m[16]; };                 // column-major 4 x 4
struct vel_colour { float r, g, b, a; };           // components 0..1

typedef int32_t vel_window;                         // window handle
typedef int32_t vel_palette;                        // palette handle
typedef int32_t vel_surface;                        // surface handle, 0 = none
typedef int32_t vel_class;                          // object class
typedef struct vel_objectRec *vel_object;          // object handle
typedef struct vel_objListRec *vel_objList;        // object list handle

// The view of a window. The caller sets eye, view and up; a field left at
// zero takes its default (fov 45 degrees, near 1.0, far 10000.0, pivot the
// origin). The navigation primitives turn the eye about the pivot.
struct vel_viewParams {
    vel_vector eye;      // eye position (the first three floats)
    vel_vector view;     // view direction, need not be unit length
    vel_vector up;       // up vector, need not be unit or orthogonal to view
    vel_vector pivot;    // centre of the navigation turns
    float fov;           // vertical field of view in degrees; 0 = 45
    float nearClip;      // distance of the near plane; 0 = 1.0
    float farClip;       // distance of the far plane; 0 = 10000.0
};

// Sphere object record, 84 bytes, owned by the caller; the library keeps a
// pointer and reads it whenever it draws or picks the object.
// The sphere has 2 * tessellation1 segments around its axis and
// tessellation2 bands from pole to pole (each clamped to at least 3 and 2).
struct vel_sphereData {
    float radius;             // 0
    int32_t tessellation1;    // 4
    int32_t tessellation2;    // 8
    vel_surface surface;      // 12
    vel_matrix matrix;        // 16: placement
    int32_t reserved;         // 80: never written by the library
};

// Cylinder object record, 88 bytes. Centred on its local origin, axis along
// local Z, reaching height / 2 to either side; 2 * tessellation sides (at
// least 3). A height of zero or less draws nothing. Open tubes, like closed
// shapes, are drawn from outside only (back faces are culled). Texture coordinates:
// s runs once around, t from 0 at the -Z end to 1 at the +Z end, so the top
// half of a texture image (the first rows of its file) shows at the +Z end.
struct vel_cylinderData {
    float radius;             // 0
    float height;             // 4
    int32_t tessellation;     // 8
    int32_t endCaps;          // 12: 1 closed ends, 0 open tube
    vel_surface surface;      // 16
    vel_matrix matrix;        // 20: placement
    int32_t reserved;         // 84: never written by the library
};

// The records are shared byte for byte with the caller's tables.
static_assert(sizeof(vel_sphereData) == 84, "vel_sphereData must be 84 bytes");
static_assert(sizeof(vel_cylinderData) == 88, "vel_cylinderData must be 88 bytes");
static_assert(offsetof(vel_sphereData, matrix) == 16, "sphere matrix at offset 16");
static_assert(offsetof(vel_sphereData, reserved) == 80, "sphere reserved word at offset 80");
static_assert(offsetof(vel_cylinderData, matrix) == 20, "cylinder matrix at offset 20");
static_assert(offsetof(vel_cylinderData, reserved) == 84, "cylinder reserved word at offset 84");

// Event handed to a mouse callback.
struct vel_mouseEvent {
    int32_t button;   // 0 left, 1 middle, 2 right
    int32_t state;    // 0 press, 1 release
    int32_t x, y;     // pointer in window pixels, origin top left
};

typedef int (*vel_navigator)(vel_viewParams *view, float amount, float linearScale, float angularScale);
typedef int (*vel_mouseCallback)(vel_object object, vel_mouseEvent *event);
typedef void (*vel_mouseNavigation)(vel_window window);

//------------------------------------------------------------------------------
// Globals
//------------------------------------------------------------------------------
extern QWidget *vel_opt_disp;            // widget to draw into; set before vel_initialise
extern int vel_opt_splash;               // 1 shows a splash text at start; 0 none
extern int vel_opt_output;               // 1 lets the library print progress; 0 quiet
extern vel_window vel_win_current;       // the window being drawn (1 after initialise)
extern const vel_window vel_win_all;     // "every window", for registrations
extern const vel_palette vel_palette_default;  // the one palette
extern const vel_class vel_class_sphere;       // objects drawn from vel_sphereData
extern const vel_class vel_class_cylinder;     // objects drawn from vel_cylinderData

//------------------------------------------------------------------------------
// Process-wide settings a program may ask for. The library never makes them
// by itself: they change how the whole process allocates memory or makes its
// GL surfaces, which is the program's business. Each is one call, made once,
// early; calling it again does no harm.
//------------------------------------------------------------------------------
void vel_heapPrepare(void);             // Sets fixed malloc thresholds and grows the heap ahead on huge pages; before the first frame
void vel_surfaceFormatDefaultSet(void); // Makes Qt's default surface format the library's (GL 3.3 core, depth, 4 samples); before the QApplication

//------------------------------------------------------------------------------
// Set-up and window
//------------------------------------------------------------------------------
// Embeds the GL window in vel_opt_disp (or a window of its own when it is
// null). Returns 1, or 0 after one line on standard output when no OpenGL
// 3.3 context can be made on the display or the driver offers an older
// version; the library then draws nothing, and later calls return 0 again.
int vel_initialise(int *argc, char **argv);
void vel_windowBackgroundColourSet(vel_window window, float r, float g, float b);  // clear colour
// Copies the view used by the frames from now on (and by vel_vectorScrnPos
// and picking). The record itself is remembered too: the mouse navigators
// are handed this record and change it in place, so it must stay valid.
void vel_windowViewParamsSet(vel_window window, const vel_viewParams *view);
void vel_windowSizeGet(vel_window window, int *width, int *height);               // drawing area in pixels

//------------------------------------------------------------------------------
// Off-screen drawing: pictures without a window, a widget or an X server.
// Call vel_initialiseOffscreen() INSTEAD of vel_initialise(); no Qt
// application is needed. The frames then draw into an off-screen framebuffer
// of the given size: vel_frameEnd() presents nothing and does not pace, and
// vel_frameRead() copies the last frame out. There is no input: the event
// check delivers nothing and the mouse reads as still and released.
//------------------------------------------------------------------------------
// Makes an OpenGL context without a window (EGL, surfaceless) and a
// framebuffer of width x height pixels, and makes vel_win_current valid. Called again, it only changes
// the size. Returns 1, or 0 after one line on standard error when no context
// or no framebuffer of that size can be had.
int vel_initialiseOffscreen(int width, int height);
int vel_offscreenMaxSize(void);                 // largest image side; 0 before initialisation
// Copies the last frame drawn (the background when none was) into rgba:
// width x height x 4 bytes, RGBA, top row first, alpha not premultiplied.
// Returns 1, or 0 when the library does not draw off-screen or the frame
// could not be drawn.
int vel_frameRead(unsigned char *rgba);
// The finish of the off-screen pictures, from the next frame on. The
// defaults (1 sample, no fog, no occlusion, opaque) give the frame exactly
// as a window shows it. Call them after vel_initialiseOffscreen().
int vel_offscreenSamplesSet(int samples);       // 1..16 a pixel (multisampled, or a grid drawn larger); returns those taken
// Depth cue: a point's colour moves towards the background by strength x
// (d - nearDistance) / (farDistance - nearDistance), kept within 0..strength,
// d being its distance from the eye along the view; over a transparent
// background it fades to transparent instead. Strength 0 turns it off.
void vel_offscreenFogSet(float nearDistance, float farDistance, float strength);
// Ambient occlusion from the picture's depth: a point darkens by up to
// strength as the surfaces within radius (scene units) around it rise
// towards the eye. nearest is the least distance from the eye of anything
// drawn: it bounds how far on the picture a point looks around. Strength 0
// turns it off.
void vel_offscreenOcclusionSet(float radius, float strength, float nearest);
void vel_offscreenTransparentSet(int transparent);  // 1: background alpha 0, edges the share covered
// Tiles: the framebuffer (the size vel_initialiseOffscreen() gave it) shows
// the part of a picture of width x height pixels whose top left pixel is
// (left, top), with the projection and finish of the whole picture, so
// tiles join without seams. (0, 0, 0, 0) shows a whole picture again, as
// does vel_initialiseOffscreen(). Returns 0 when the part is not inside.
int vel_offscreenTileSet(int width, int height, int left, int top);
// Largest tile side for a picture `height` pixels high that the samples, the
// occlusion and the view handed in last allow.
int vel_offscreenTileMaxSize(int height);

//------------------------------------------------------------------------------
// Palette and surfaces
//------------------------------------------------------------------------------
void vel_paletteColourSet(vel_palette palette, int index, float r, float g, float b, float a);  // flat colour index
void vel_paletteMaterialSet(vel_palette palette, int index, vel_colour ambient, vel_colour diffuse,
                            vel_colour specular, vel_colour emission, float shininess);        // lit material index
// A relative ppmFile is looked for in the working directory, then in the data
// folders the library was built with (the compile definition
// VELKOR_DATA_FOLDERS, ':'-separated; relative ones from the program's
// folder). Files found nowhere in a run of these calls are reported together
// in one line naming the folders searched, when the run ends (the next other
// palette or surface call, or the first draw); their surfaces draw in their
// material. A file found but not usable (unreadable, malformed, short of its
// pixels, larger than 4096 x 4096) joins that report with its reason; no
// more of a file is read than its header says its pixels take.
void vel_paletteTextureSet(vel_palette palette, int index, const char *ppmFile);               // loads a P6/P3 image
int vel_paletteTextureSize(vel_palette palette, int index, int *width, int *height);           // 1 and its size when loaded
// What a surface draws with: the `mode` of vel_surfaceParamsNew, which takes
// these names or the same numbers.
enum vel_surfaceMode : int32_t {
    vel_surface_flat = 1,      // flat colour `colour`, unlit
    vel_surface_material = 2,  // lit material `material`
    vel_surface_textured = 4,  // texture `texture` lit by `material`
};
// Identical parameters give the same handle: surfaces are never freed, and
// asking again for one that exists costs nothing.
vel_surface vel_surfaceParamsNew(int mode, int colour, int material, int texture);             // surface handle
int vel_surfaceCount(void);                                                                    // surfaces made so far
void vel_surfaceParamsUse(vel_surface surface);                                                // surface for lines from now on

//------------------------------------------------------------------------------
// Objects and object lists
//------------------------------------------------------------------------------
vel_object vel_objectNew(vel_class cls, void *record);           // object drawing `record` in place
void *vel_objectDataGet(vel_object object);                      // the record the object was made with
vel_objList vel_SMSObjListNew(void);                             // a new empty list
void vel_SMSObjectAdd(vel_objList list, vel_object object);      // appends an object
int vel_SMSObjectCount(vel_objList list);                        // number of objects in the list
void vel_SMSDelete(vel_objList list, int deleteObjects);         // frees the list (and its objects when 1)
void vel_SMSDisplayUnCulled(vel_window window, vel_objList list);  // draws every object, no culling

//------------------------------------------------------------------------------
// Frames and display lists
//------------------------------------------------------------------------------
int vel_eventsCheck(void);              // delivers pending input (held-back events first), runs navigators and callbacks
void vel_frameBegin(void);              // starts collecting a frame
void vel_frameEnd(void);                // draws and presents the frame if changed, paced to about 60 per second
long vel_frameDrawnCount(void);         // frames drawn and presented so far (unchanged or broken-off ones are not)
void vel_gfxListNew(int id, int mode);  // starts recording list `id`; mode 2 also draws while recording
void vel_gfxListEnd(void);              // ends the recording
void vel_gfxListExec(int id);           // replays list `id`; an id never recorded draws nothing
void vel_gfxListsDelete(int id, int count);  // deletes lists id .. id + count - 1

//------------------------------------------------------------------------------
// Lines: vertices between one begin and its end form one polyline. Width and
// surface hold until changed, also between two vertices of one line; each
// vertex takes the surface selected last before it.
//------------------------------------------------------------------------------
void vel_gfxLineWidthSet(float width);  // 1 to 10 pixels, times the device-pixel ratio; any driver
void vel_gfxLineBegin(void);            // starts a polyline
void vel_gfxVertex(vel_vector point);   // adds a point to the polyline
void vel_gfxLineEnd(void);              // ends the polyline

//------------------------------------------------------------------------------
// Mouse, navigation and picking
//------------------------------------------------------------------------------
// Window and root (screen) pointer coordinates; buttons[0..2] (may be null).
// A button pressed during the latest vel_eventsCheck() reads as pressed until
// the next one, even when it was released again within the same check. The
// position is read from the display at most once per event pass and 2 ms:
// calls in between share that reading.
int vel_mouseGet(vel_window window, int *x, int *y, int *rootX, int *rootY, int *buttons);
// Calls `callback` when `button` is pressed or released over an object of
// class `cls`: the nearest one under the pointer, found by a ray cast against
// the spheres or the cylinders (by `cls`) of the lists that the last frame drew.
void vel_callbackMouseSet(int button, vel_window window, vel_class cls, vel_mouseCallback callback);
// Calls `callback` at the end of the vel_eventsCheck() after a drop, with the local path of the first file dropped on the window; null stops it.
void vel_callbackDropSet(void (*callback)(const char *path));
// Sets the function run in each vel_eventsCheck() that drives navigation.
void vel_navigationMouse(vel_window window, vel_mouseNavigation navigation);
// The default navigation: while a button is held (with none held it does
// not read the pointer; the first press sets the start), once per event check, the
// x navigator then the y navigator registered for it, each with the pointer's
// movement in pixels since the last step as the amount (x positive to the
// right, y positive upwards), on the record last handed to
// vel_windowViewParamsSet (the window's own copy when there is none).
void vel_navigationMouseDefault(vel_window window);
void vel_navigationMouseDefaultParams(vel_window window, int button,
                                      vel_navigator xNavigator, float xLinearScale, float xAngularScale,
                                      vel_navigator yNavigator, float yLinearScale, float yAngularScale);
// Navigation primitives, usable as navigators. Moves go by amount x linear
// scale along the view direction, the right direction (view x up) and the up
// direction; turns go by amount x angular scale radians about the up and the
// right direction through the pivot, turning eye, view and up together. A
// turn keeps the eye's distance from the pivot and leaves view and up unit
// and orthogonal, so any number of turns in a row neither zoom nor skew.
int vel_navigateForwards(vel_viewParams *view, float amount, float linearScale, float angularScale);
int vel_navigateRight(vel_viewParams *view, float amount, float linearScale, float angularScale);
int vel_navigateUp(vel_viewParams *view, float amount, float linearScale, float angularScale);
int vel_navigateRotUp(vel_viewParams *view, float amount, float linearScale, float angularScale);
int vel_navigateRotRight(vel_viewParams *view, float amount, float linearScale, float angularScale);

//------------------------------------------------------------------------------
// Maths (pure; no window or GL needed)
//------------------------------------------------------------------------------
vel_vector vel_vectorSet(float x, float y, float z);
vel_vector vel_vectorAdd(vel_vector a, vel_vector b);            // a + b
vel_vector vel_vectorSub(vel_vector a, vel_vector b);            // a - b
vel_vector vel_vectorScalar(vel_vector v, float s);              // s v
float vel_vectorMag(vel_vector v);                               // length
vel_vector vel_vectorNormalize(vel_vector v);                    // v / |v|; zero stays zero
float vel_vectorDotProduct(vel_vector a, vel_vector b);          // a . b
vel_vector vel_vectorCrossProduct(vel_vector a, vel_vector b);   // a x b
vel_vector vel_vectorScrnPos(vel_vector point);                  // screen position in the current window
vel_quaternion vel_quaternionSet(vel_vector axis, float degrees);  // turn about a unit axis
vel_matrix vel_matrixQuaternionConvert(vel_quaternion q);        // rotation matrix of q
vel_matrix vel_matrixXYZSet(vel_matrix m, vel_vector translation);  // m with its translation replaced
vel_vector vel_matrixXYZGet(vel_matrix m);                       // translation of m
// Rotation by rx about X, then ry about Y, then rz about Z (degrees), then
// translation (x, y, z). With no rotation the result is a pure translation.
vel_matrix vel_matrixSet(float rx, float ry, float rz, float x, float y, float z);

//------------------------------------------------------------------------------
// Call trace, for tests and debugging: while on, every drawing, palette,
// list, object and navigation call appends one line ("vel_gfxVertex 1 2 3")
// to a buffer: the function's name, then its numeric arguments printed with
// %g (handles and pointers left out), one space apart.
//------------------------------------------------------------------------------
void vel_traceEnable(int on);           // 1 starts recording, 0 stops
const char *vel_traceText(void);        // the lines recorded so far
void vel_traceClear(void);              // empties the buffer

#endif
