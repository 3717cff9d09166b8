// velkor_bench.cpp - times libvelkor on a scene of the program's largest
// size: 120000 spheres and 140000 cylinders (open, half of them textured
// with a surface each) in an 800 x 600 GL window, at the program's Low
// detail (sphere tessellation 4, cylinder 3) or, given --detail high, its
// High detail (9 and 8). Reports object creation, recording time and memory of the
// display list with the peak reached by the end of recording, replay frame
// time against the floor of a plain instanced draw of the same meshes (one
// draw per unit mesh, one material), and a frame of 100000 two-segment
// lines plus crosses. Every timed frame is forced to draw (an unchanged
// frame would otherwise be skipped). VEL_RSS=1 prints the process memory
// after each timed replay.
#include <epoxy/gl.h>
#include <sys/resource.h>

#include "internal.h"

#include <QApplication>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <ctime>
#include <vector>

namespace {

constexpr int SPHERES = 120000;
constexpr int CYLINDERS = 140000;
constexpr int GRID = 50;           // 50 x 50 x 48 atoms
constexpr float SPACING = 1.5f;
constexpr int ROUNDS = 5;            // timed frames of each kind
int sphereDetail = 4, cylinderDetail = 3;  // the program's Low detail; --detail high: 9 and 8

std::vector<vel_sphereData> spheres(SPHERES);
std::vector<vel_cylinderData> cylinders(CYLINDERS);
vel_viewParams view;

long minorFaults()
{
    struct rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

double now()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

long rssKb()
{
    FILE *f = std::fopen("/proc/self/statm", "r");
    long pages = 0, resident = 0;
    if (f) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(f);
    }
    return resident * 4;
}

long peakKb()
{
    FILE *f = std::fopen("/proc/self/status", "r");
    long kb = 0;
    char line[256];
    while (f && std::fgets(line, sizeof line, f))
        if (std::sscanf(line, "VmHWM: %ld", &kb) == 1) break;
    if (f) std::fclose(f);
    return kb;
}

vel_vector atom(int i)
{
    int x = i % GRID, y = (i / GRID) % GRID, z = i / (GRID * GRID);
    return vel_vectorSet((x - GRID / 2) * SPACING, (y - GRID / 2) * SPACING, (z - 24) * SPACING);
}

// The program's cylinder placement: local -Z onto the bond direction.
void placeCylinder(vel_cylinderData *c, vel_vector a, vel_vector b, vel_surface s)
{
    vel_vector d = vel_vectorSub(b, a), n = vel_vectorNormalize(d), v0 = vel_vectorSet(0, 0, -1);
    vel_vector axis = vel_vectorNormalize(vel_vectorCrossProduct(v0, n));
    if (vel_vectorMag(axis) == 0) axis = vel_vectorSet(1, 0, 0);
    float angle = std::acos(vel_vectorDotProduct(v0, n)) / 0.017453292f;
    vel_matrix r = vel_matrixQuaternionConvert(vel_quaternionSet(axis, angle));
    c->radius = 0.15f;
    c->height = vel_vectorMag(d) - 0.3f;
    c->tessellation = cylinderDetail;
    c->endCaps = 0;
    c->surface = s;
    c->matrix = vel_matrixXYZSet(r, vel_vectorAdd(a, vel_vectorScalar(d, 0.5f)));
}

double cpuNow()
{
    timespec t;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return (double)t.tv_sec + 1e-9 * (double)t.tv_nsec;
}

double lastFrameCpu = 0;

// The picture of the next timed frame, as a PPM file, when $VEL_BENCH_PICTURE names one.
void savePicture(const char *path)
{
    FILE *out = std::fopen(path, "wb");
    if (!out) return;
    std::fprintf(out, "P6\n%d %d\n255\n", velCapture.width, velCapture.height);
    for (size_t i = 0; i < velCapture.rgba.size(); i += 4) std::fwrite(&velCapture.rgba[i], 1, 3, out);
    std::fclose(out);
}  // processor time of every thread of the process in the last timed frame

double timedFrame(void (*draw)())
{
    vel_eventsCheck();
    vel_frameBegin();
    draw();
    vel_windowViewParamsSet(vel_win_current, &view);
    velFrames.drawForced = 1;
    static const char *picture = std::getenv("VEL_BENCH_PICTURE");  // the first timed frame only
    velCapture.on = picture != nullptr;
    double t0 = now(), c0 = cpuNow();
    vel_frameEnd();
    glFinish();
    lastFrameCpu = cpuNow() - c0;
    if (picture) savePicture(picture);
    picture = nullptr;
    velCapture.on = 0;
    return now() - t0;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

vel_objList sceneList;
void drawReplay() { vel_gfxListExec(1); }
void drawFloor() { vel_gfxListExec(2); }
void drawNothing() {}

void drawLines()
{
    for (int i = 0; i + 1 < SPHERES && i < 100000; i++) {
        vel_vector a = atom(i), b = atom(i + 1), m = vel_vectorScalar(vel_vectorAdd(a, b), 0.5f);
        vel_gfxLineWidthSet((float)(1 + i % 10));
        vel_surfaceParamsUse(spheres[i].surface);
        vel_gfxLineBegin();
        vel_gfxVertex(a);
        vel_gfxVertex(m);
        vel_surfaceParamsUse(spheres[i + 1].surface);
        vel_gfxVertex(b);
        vel_gfxLineEnd();
    }
    for (int i = 0; i < SPHERES; i++) {
        vel_vector p = atom(i);
        vel_surfaceParamsUse(spheres[i].surface);
        for (int axis = 0; axis < 3; axis++) {
            vel_vector a = p, b = p;
            (&a.x)[axis] -= 0.3f;
            (&b.x)[axis] += 0.3f;
            vel_gfxLineBegin();
            vel_gfxVertex(a);
            vel_gfxVertex(b);
            vel_gfxLineEnd();
        }
    }
}

} // namespace

int main(int argc, char **argv)
{
    vel_surfaceFormatDefaultSet();
    QApplication app(argc, argv);
    if (argc > 2 && std::strcmp(argv[1], "--detail") == 0 && std::strcmp(argv[2], "high") == 0) {
        sphereDetail = 9;
        cylinderDetail = 8;
    }
    vel_opt_disp = nullptr;  // a window of its own, 800 x 600
    vel_opt_splash = 0;
    vel_opt_output = 0;
    if (!vel_initialise(&argc, argv))
        return 2;
    vel_heapPrepare();  // as the viewer does: the figures compare with its frames
    GLint samples = 0;
    glGetIntegerv(GL_SAMPLES, &samples);
    std::printf("renderer: %s, window %d x %d, %d samples a pixel; detail: spheres %d, cylinders %d\n",
                velGlRenderer(), velWindow.width, velWindow.height, samples, sphereDetail, cylinderDetail);

    // palette: twelve materials, one texture
    vel_surface materials[12];
    for (int i = 0; i < 12; i++) {
        float r = 0.3f + 0.05f * i, g = 1 - 0.07f * i, b = (i % 3) * 0.4f;
        vel_colour c{r, g, b, 1}, e{0.2f * r, 0.2f * g, 0.2f * b, 1};
        vel_paletteMaterialSet(vel_palette_default, 5 + i, c, c, c, e, 30);
        materials[i] = vel_surfaceParamsNew(vel_surface_material, 0, 5 + i, 0);
    }
    const char *texPath = "/tmp/velkor_bench_texture.ppm";
    FILE *f = std::fopen(texPath, "wb");
    std::fprintf(f, "P6\n8 16\n255\n");
    for (int y = 0; y < 16; y++)
        for (int x = 0; x < 8; x++) std::fputs(y < 8 ? "\xb3\xb3\xb3" : "\xf0\x01\x01", f);
    std::fclose(f);
    vel_paletteTextureSet(vel_palette_default, 5, texPath);

    view.eye = vel_vectorSet(0, 0, 150);
    view.view = vel_vectorSet(0, 0, -1);
    view.up = vel_vectorSet(0, 1, 0);
    vel_windowViewParamsSet(vel_win_current, &view);

    // records and objects, as the program makes them
    long rss0 = rssKb();
    double t0 = now();
    for (int i = 0; i < SPHERES; i++) {
        vel_vector p = atom(i);
        spheres[i] = vel_sphereData{0.3f, sphereDetail, sphereDetail, materials[i % 12], vel_matrixSet(0, 0, 0, p.x, p.y, p.z), 0};
    }
    int made = 0;
    for (int i = 0; i < SPHERES && made < CYLINDERS; i++) {
        int x = i % GRID, y = (i / GRID) % GRID;
        if (x + 1 < GRID && made < CYLINDERS) {
            vel_surface s = (made & 1) ? vel_surfaceParamsNew(vel_surface_textured, 0, 5, 5) : materials[i % 12];
            placeCylinder(&cylinders[made++], atom(i), atom(i + 1), s);
        }
        if (y + 1 < GRID && made < CYLINDERS) placeCylinder(&cylinders[made++], atom(i), atom(i + GRID), materials[i % 12]);
    }
    double t1 = now();
    sceneList = vel_SMSObjListNew();
    for (int i = 0; i < SPHERES; i++) vel_SMSObjectAdd(sceneList, vel_objectNew(vel_class_sphere, &spheres[i]));
    for (int i = 0; i < made; i++) vel_SMSObjectAdd(sceneList, vel_objectNew(vel_class_cylinder, &cylinders[i]));
    double t2 = now();
    std::printf("records (incl. %d surfaces): %.1f ms; %d objects created and listed: %.1f ms\n", made / 2,
                (t1 - t0) * 1e3, vel_SMSObjectCount(sceneList), (t2 - t1) * 1e3);

    // recording
    long rss1 = rssKb();
    vel_eventsCheck();
    vel_frameBegin();
    long f0 = minorFaults();
    double r0 = now();
    vel_gfxListNew(1, 2);
    vel_SMSDisplayUnCulled(vel_win_current, sceneList);
    double r1 = now();
    long f1 = minorFaults();
    long rssTessellated = rssKb();
    vel_gfxListEnd();
    double r2 = now();
    long f2 = minorFaults();
    long rssUploaded = rssKb();
    long peakUploaded = peakKb();
    vel_windowViewParamsSet(vel_win_current, &view);
    vel_frameEnd();
    glFinish();
    double r3 = now();
    long rss2 = rssKb();
    size_t triangles = 0, instances = 0;
    for (const VelInstanceGroup &g : velFrames.displayLists[1]->groups) {
        triangles += (size_t)g.count * velMeshTable[g.mesh]->indices.size() / 3;
        instances += g.count;
    }
    std::printf("record: copy %.1f ms + upload %.1f ms; first frame %.1f ms; pages first touched: %ld by the copy, "
                "%ld by the upload\n",
                (r1 - r0) * 1e3, (r2 - r1) * 1e3, (r3 - r2) * 1e3, f1 - f0, f2 - f1);
    std::printf("list: %zu instances (%zu triangles) in %zu groups, %.1f MB of buffers = %.1f bytes an object; "
                "process memory +%.1f MB while recording, +%.1f MB once uploaded, +%.1f MB after the first frame\n",
                instances, triangles, velFrames.displayLists[1]->groups.size(), velBatchBytes(velFrames.displayLists[1]) / 1048576.0,
                (double)velBatchBytes(velFrames.displayLists[1]) / (double)instances, (rssTessellated - rss1) / 1024.0,
                (rssUploaded - rss1) / 1024.0, (rss2 - rss1) / 1024.0);
    std::printf("peak process memory by the end of recording: %.1f MB (+%.1f MB over its start)\n",
                peakUploaded / 1024.0, (peakUploaded - rss1) / 1024.0);

    // the floor: every instance of a unit mesh in one group of one material,
    // drawn as list 2; interleaved with the replay so other load hits both
    VelBatch flat;
    for (vel_object o : sceneList->objects) velBatchAddObject(&flat, o);
    VelBatch *floorBatch = new VelBatch;
    for (const VelInstanceGroup &g : flat.groups) {
        VelInstanceGroup *target = nullptr;
        for (VelInstanceGroup &h : floorBatch->groups)
            if (h.mesh == g.mesh && h.mirrored == g.mirrored) target = &h;
        if (!target) {
            floorBatch->groups.emplace_back();
            target = &floorBatch->groups.back();
            target->key = velSurfaceState(materials[0]);
            target->mesh = g.mesh;
            target->mirrored = g.mirrored;
        }
        target->instances.insert(target->instances.end(), g.instances.begin(), g.instances.end());
        target->count += g.count;
    }
    velBatchClear(&flat);
    floorBatch->retained = 1;
    floorBatch->generation = 1u << 30;
    velFrames.displayLists[2] = floorBatch;
    std::vector<double> replay, floor, replayCpu, floorCpu;
    for (int i = 0; i < ROUNDS; i++) {
        replay.push_back(timedFrame(drawReplay));
        replayCpu.push_back(lastFrameCpu);
        if (std::getenv("VEL_RSS")) std::printf("  rss after replay %d: %.1f MB\n", i, rssKb() / 1024.0);
        floor.push_back(timedFrame(drawFloor));
        floorCpu.push_back(lastFrameCpu);
        if (std::getenv("VEL_RSS")) std::printf("  rss after floor %d: %.1f MB\n", i, rssKb() / 1024.0);
    }
    double rmin = *std::min_element(replay.begin(), replay.end()), fmin = *std::min_element(floor.begin(), floor.end());
    std::printf("replay frame: best %.1f ms, median %.1f ms (of %d)\n", rmin * 1e3, median(replay) * 1e3, ROUNDS);
    std::printf("floor, plain instanced draw of the same %zu triangles in %zu draws (one material, no texture): "
                "best %.1f ms, median %.1f ms\n",
                triangles, floorBatch->groups.size(), fmin * 1e3, median(floor) * 1e3);
    std::printf("replay / floor: %.2f (best), %.2f (median)\n", rmin / fmin, median(replay) / median(floor));
    // on a shared machine the processor time varies less than the wall clock
    std::printf("processor time of all threads a frame: replay best %.1f ms, median %.1f ms; floor best %.1f ms\n",
                *std::min_element(replayCpu.begin(), replayCpu.end()) * 1e3, median(replayCpu) * 1e3,
                *std::min_element(floorCpu.begin(), floorCpu.end()) * 1e3);
    vel_gfxListsDelete(2, 1);

    // rebuilds: each records the scene again in place of the last list
    std::printf("process memory after each of 4 rebuilds:");
    double copies[4];
    for (int i = 0; i < 4; i++) {
        vel_frameBegin();
        double c0 = now();
        vel_gfxListNew(1, 1);
        vel_SMSDisplayUnCulled(vel_win_current, sceneList);
        copies[i] = now() - c0;
        vel_gfxListEnd();
        velFrames.drawForced = 1;
        vel_frameEnd();
        std::printf(" %.1f", rssKb() / 1024.0);
    }
    std::printf(" MB; their copies %.1f %.1f %.1f %.1f ms\n", copies[0] * 1e3, copies[1] * 1e3, copies[2] * 1e3,
                copies[3] * 1e3);

    // per-frame lines with widths that follow the distance
    vel_gfxListsDelete(1, 1);
    std::vector<double> lines;
    for (int i = 0; i < 5; i++) lines.push_back(timedFrame(drawLines));
    double l0 = now();
    vel_frameBegin();
    drawLines();
    double l1 = now();
    velFrames.drawForced = 1;
    vel_frameEnd();
    std::printf("lines frame (100000 two-segment lines + 120000 crosses, widths 1..10): median %.1f ms, "
                "of which the calls %.1f ms; empty frame %.1f ms\n",
                median(lines) * 1e3, (l1 - l0) * 1e3, timedFrame(drawNothing) * 1e3);

    double d0 = now();
    vel_SMSDelete(sceneList, 1);
    std::printf("list deleted in %.1f ms; memory before the scene %.1f MB, now %.1f MB\n", (now() - d0) * 1e3,
                rss0 / 1024.0, rssKb() / 1024.0);
    std::remove(texPath);
    return 0;
}
