// framing.cpp - molvane-render's first view: the viewer's direction, with
// the eye moved back or forth and the centre across until the whole
// structure fits the picture, whatever its aspect ratio; and the depth of
// the structure along the view, which the depth cue spans. Reads the atom
// table and the drawing settings.
#include <algorithm>
#include <cmath>
#include <vector>

#include "tools/picture.h"
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

// With the eye at distance D behind the centre c (across one axis; half
// the frustum's width a unit of depth T), an atom at x, with its nearest
// surface z from the centre along the view and radius r, is in the picture
// when |x - c| + r <= T (D + z). For the centre chosen, the least such D
// over the atoms is the eye's distance; the centre is where the atoms'
// extent seen from the eye is even on both sides.
void frameStructure(ViewParams *view, int width, int height, float margin)
{
    Axes axes = axesOf(*view);
    if (vel_vectorMag(axes.right) == 0.0f || width < 1 || height < 1)
        return;
    double up = std::tan(((view->fov > 0 && view->fov < 180) ? view->fov : 45.0) * M_PI / 360.0);
    const double half[2] = {up * width / height * (1.0 - 2.0 * margin), up * (1.0 - 2.0 * margin)};
    struct Disc {
        double x[2], z, r;  // across, up, nearest depth from the pivot, radius
    };
    std::vector<Disc> discs;
    int last = lastAtomIndex();
    for (int i = 1; i <= last; i++) {
        if (atoms[i].present != 1)
            continue;
        vel_vector p = vel_vectorSub(vel_vectorSet(atoms[i].x, atoms[i].y, atoms[i].z), view->pivot);
        double r = drawnRadius(atoms[i]);
        discs.push_back({{vel_vectorDotProduct(p, axes.right), vel_vectorDotProduct(p, axes.up)},
                         vel_vectorDotProduct(p, axes.forward) - r, r});
    }
    if (discs.empty())
        return;
    // The eye no nearer than twice the near plane, nor than half the
    // structure's depth (the far side at most three times as far as the
    // near one: a structure seen end on stays a structure, not a tunnel).
    double front = INFINITY, back = -INFINITY, centre[2] = {0, 0};
    for (const Disc &d : discs) {
        front = std::min(front, d.z);
        back = std::max(back, d.z + 2 * d.r);
    }
    double least = std::max(2.0 * (view->nearClip > 0 ? view->nearClip : 1.0), (back - front) / 2) - front;
    auto fit = [&]() {
        double distance = least;
        for (const Disc &d : discs)
            for (int k = 0; k < 2; k++)
                distance = std::max(distance, (std::fabs(d.x[k] - centre[k]) + d.r) / half[k] - d.z);
        return distance;
    };
    // the seen extent of one axis, from the eye at `distance`: its two ends
    // summed, which falls as the centre moves up the axis
    auto uneven = [&](int k, double distance) {
        double low = INFINITY, high = -INFINITY;
        for (const Disc &d : discs) {
            double depth = distance + d.z;
            low = std::min(low, (d.x[k] - d.r - centre[k]) / depth);
            high = std::max(high, (d.x[k] + d.r - centre[k]) / depth);
        }
        return low + high;
    };
    double distance = fit();
    for (int round = 0; round < 2; round++) {
        for (int k = 0; k < 2; k++) {
            double low = INFINITY, high = -INFINITY;
            for (const Disc &d : discs) {
                low = std::min(low, d.x[k] - d.r);
                high = std::max(high, d.x[k] + d.r);
            }
            for (int step = 0; step < 40; step++) {
                centre[k] = (low + high) / 2;
                (uneven(k, distance) > 0 ? low : high) = centre[k];
            }
        }
        distance = fit();
    }
    vel_vector middle = vel_vectorAdd(view->pivot, vel_vectorAdd(vel_vectorScalar(axes.right, (float)centre[0]),
                                                                 vel_vectorScalar(axes.up, (float)centre[1])));
    view->pivot = middle;
    view->eye = vel_vectorSub(middle, vel_vectorScalar(axes.forward, (float)distance));
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
