// framing.cpp - molvane-render's first view: the viewer's direction, with
// the eye moved back or forth and the centre across until the whole
// structure fits the picture, whatever its aspect ratio; and the depth of
// the structure along the view, which the depth cue spans. Reads the atom
// table and the drawing settings.
#include <algorithm>
#include <cmath>

#include "app/picture.h"
#include "app/settings.h"
#include "molecule/molecule.h"

namespace {

// The view's axes: right, up and forward, unit and orthogonal.
struct Axes {
    vel_vector right, up, forward;
};

Axes axesOf(const ViewParams &view)
{
    Axes a;
    a.forward = vel_vectorNormalize(view.view);
    a.right = vel_vectorNormalize(vel_vectorCrossProduct(a.forward, view.up));
    a.up = vel_vectorCrossProduct(a.right, a.forward);
    return a;
}

// The radius an atom is drawn with: its element's in space filling, else
// the small balls' (which also covers the crosses' arms and the sticks).
float drawnRadius(const AtomRecord &atom)
{
    return drawSpaceFilled ? atom.vdwRadius : 0.3f;
}

} // namespace

void frameStructure(ViewParams *view, int width, int height, float margin)
{
    Axes axes = axesOf(*view);
    if (vel_vectorMag(axes.right) == 0.0f || width < 1 || height < 1)
        return;
    double up = std::tan(((view->fov > 0 && view->fov < 180) ? view->fov : 45.0) * M_PI / 360.0);
    double across = up * width / height * (1.0 - 2.0 * margin);
    up *= 1.0 - 2.0 * margin;
    double nearest = 2.0 * (view->nearClip > 0 ? view->nearClip : 1.0);
    vel_vector pivot = view->pivot;
    int last = lastAtomIndex();
    // Each atom as a disc: across, up and along the view from the pivot.
    auto place = [&](int i, double *x, double *y, double *z) {
        vel_vector p = vel_vectorSub(vel_vectorSet(atoms[i].x, atoms[i].y, atoms[i].z), pivot);
        *x = vel_vectorDotProduct(p, axes.right);
        *y = vel_vectorDotProduct(p, axes.up);
        *z = vel_vectorDotProduct(p, axes.forward);
    };
    // The centre starts in the middle of the extent across the view; the
    // eye stands back until every disc is inside the frustum at its own
    // depth (and the nearest twice the near plane away); then the centre
    // moves to the middle of what the eye sees, and the eye again.
    double low[2] = {INFINITY, INFINITY}, high[2] = {-INFINITY, -INFINITY};
    for (int i = 1; i <= last; i++) {
        double x, y, z, r = drawnRadius(atoms[i]);
        if (atoms[i].present != 1)
            continue;
        place(i, &x, &y, &z);
        low[0] = std::min(low[0], x - r);
        high[0] = std::max(high[0], x + r);
        low[1] = std::min(low[1], y - r);
        high[1] = std::max(high[1], y + r);
    }
    if (!(low[0] <= high[0]))
        return;
    double mid[2] = {(low[0] + high[0]) / 2, (low[1] + high[1]) / 2}, distance = 0;
    for (int pass = 0; pass < 4; pass++) {
        double front = INFINITY;
        distance = 0;
        for (int i = 1; i <= last; i++) {
            double x, y, z, r = drawnRadius(atoms[i]);
            if (atoms[i].present != 1)
                continue;
            place(i, &x, &y, &z);
            double reach = std::max((std::fabs(x - mid[0]) + r) / across, (std::fabs(y - mid[1]) + r) / up);
            distance = std::max(distance, reach - (z - r));
            front = std::min(front, z - r);
        }
        distance = std::max(distance, nearest - front);
        if (pass == 3)
            break;
        // the seen extent, as tangents from the eye, centred
        double seenLow[2] = {INFINITY, INFINITY}, seenHigh[2] = {-INFINITY, -INFINITY};
        for (int i = 1; i <= last; i++) {
            double x, y, z, r = drawnRadius(atoms[i]);
            if (atoms[i].present != 1)
                continue;
            place(i, &x, &y, &z);
            double depth = distance + z - r;
            seenLow[0] = std::min(seenLow[0], (x - mid[0] - r) / depth);
            seenHigh[0] = std::max(seenHigh[0], (x - mid[0] + r) / depth);
            seenLow[1] = std::min(seenLow[1], (y - mid[1] - r) / depth);
            seenHigh[1] = std::max(seenHigh[1], (y - mid[1] + r) / depth);
        }
        for (int k = 0; k < 2; k++)
            mid[k] += (seenLow[k] + seenHigh[k]) / 2 * distance;
    }
    vel_vector centre = vel_vectorAdd(pivot, vel_vectorAdd(vel_vectorScalar(axes.right, (float)mid[0]),
                                                           vel_vectorScalar(axes.up, (float)mid[1])));
    view->pivot = centre;
    view->eye = vel_vectorSub(centre, vel_vectorScalar(axes.forward, (float)distance));
}

bool structureDepth(const ViewParams &view, float *nearest, float *farthest)
{
    vel_vector forward = vel_vectorNormalize(view.view);
    float low = INFINITY, high = -INFINITY;
    int last = lastAtomIndex();
    for (int i = 1; i <= last; i++) {
        if (atoms[i].present != 1)
            continue;
        vel_vector p = vel_vectorSub(vel_vectorSet(atoms[i].x, atoms[i].y, atoms[i].z), view.eye);
        float d = vel_vectorDotProduct(p, forward), r = drawnRadius(atoms[i]);
        low = std::min(low, d - r);
        high = std::max(high, d + r);
    }
    *nearest = low;
    *farthest = high;
    return low <= high;
}
