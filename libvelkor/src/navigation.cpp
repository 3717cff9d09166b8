// navigation.cpp - the navigation primitives on a view record, the default
// mouse navigation and the registrations of navigators and mouse callbacks.
#include "internal.h"

#include <cmath>

namespace {

// Unit view, right and up directions of a view record.
void frameOf(const vel_viewParams *v, vel_vector *f, vel_vector *r, vel_vector *u)
{
    vel_viewParams rv = velViewResolved(*v);
    *f = rv.view;
    *u = rv.up;
    *r = vel_vectorCrossProduct(rv.view, rv.up);
}

void move(vel_viewParams *v, vel_vector dir, float distance)
{
    v->eye = vel_vectorAdd(v->eye, vel_vectorScalar(dir, distance));
}

// Three doubles: the turns work in double precision so that a spin of
// millions of small steps keeps its distances.
struct Vec3d {
    double x, y, z;
};

Vec3d toDouble(vel_vector v) { return Vec3d{v.x, v.y, v.z}; }
vel_vector toFloat(Vec3d v) { return vel_vector{(float)v.x, (float)v.y, (float)v.z}; }
double dot(Vec3d a, Vec3d b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vec3d scaled(Vec3d v, double s) { return Vec3d{v.x * s, v.y * s, v.z * s}; }
Vec3d minus(Vec3d a, Vec3d b) { return Vec3d{a.x - b.x, a.y - b.y, a.z - b.z}; }

Vec3d unit(Vec3d v)
{
    double m = std::sqrt(dot(v, v));
    return m > 0 ? scaled(v, 1.0 / m) : v;
}

// Rodrigues' rotation of v about the unit axis k, given cos and sin.
Vec3d rotated(Vec3d v, Vec3d k, double c, double s)
{
    Vec3d kxv{k.y * v.z - k.z * v.y, k.z * v.x - k.x * v.z, k.x * v.y - k.y * v.x};
    double kdv = dot(k, v) * (1 - c);
    return Vec3d{v.x * c + kxv.x * s + k.x * kdv, v.y * c + kxv.y * s + k.y * kdv, v.z * c + kxv.z * s + k.z * kdv};
}

// Turns eye, view and up together about an axis through the pivot. The eye
// keeps its distance from the pivot, and view and up come out unit and
// orthogonal, so no error builds up however many turns follow.
void turn(vel_viewParams *v, const vel_vector frame[3], int axis, float radians)
{
    Vec3d k = unit(toDouble(frame[axis]));
    double c = std::cos((double)radians), s = std::sin((double)radians);
    Vec3d pivot = toDouble(v->pivot);
    Vec3d rel = minus(toDouble(v->eye), pivot);
    double distance = std::sqrt(dot(rel, rel));
    Vec3d eye = unit(rotated(rel, k, c, s));
    v->eye = toFloat(Vec3d{pivot.x + eye.x * distance, pivot.y + eye.y * distance, pivot.z + eye.z * distance});
    Vec3d view = unit(rotated(toDouble(frame[0]), k, c, s));
    Vec3d up = rotated(toDouble(frame[2]), k, c, s);
    up = unit(minus(up, scaled(view, dot(up, view))));
    v->view = toFloat(view);
    v->up = toFloat(up);
}

// One navigation step along (move) or about (turn) one axis of the view's
// own frame: 0 forwards, 1 right, 2 up; a move goes `amount` times the
// linear speed ls, a turn `amount` times the angular speed as. `call` is
// the primitive's name, for the trace.
int step(const char *call, vel_viewParams *v, int axis, int isTurn, float amount, float ls, float as)
{
    VEL_TRACE("%s %g %g %g", call, amount, ls, as);
    if (!v) return 0;
    vel_vector frame[3];
    frameOf(v, &frame[0], &frame[1], &frame[2]);
    if (isTurn)
        turn(v, frame, axis, amount * as);
    else
        move(v, frame[axis], amount * ls);
    return 1;
}

} // namespace

int vel_navigateForwards(vel_viewParams *v, float amount, float ls, float as) { return step(__func__, v, 0, 0, amount, ls, as); }
int vel_navigateRight(vel_viewParams *v, float amount, float ls, float as) { return step(__func__, v, 1, 0, amount, ls, as); }
int vel_navigateUp(vel_viewParams *v, float amount, float ls, float as) { return step(__func__, v, 2, 0, amount, ls, as); }
int vel_navigateRotUp(vel_viewParams *v, float amount, float ls, float as) { return step(__func__, v, 2, 1, amount, ls, as); }
int vel_navigateRotRight(vel_viewParams *v, float amount, float ls, float as) { return step(__func__, v, 1, 1, amount, ls, as); }

//------------------------------------------------------------------------------
// Registrations
//------------------------------------------------------------------------------
void vel_navigationMouse(vel_window, vel_mouseNavigation navigation)
{
    VEL_TRACE("vel_navigationMouse");
    velWindow.navigation = navigation;
}

void vel_navigationMouseDefaultParams(vel_window, int button, vel_navigator xNavigator, float xLinearScale,
                                      float xAngularScale, vel_navigator yNavigator, float yLinearScale,
                                      float yAngularScale)
{
    VEL_TRACE("vel_navigationMouseDefaultParams %d %g %g %g %g", button, xLinearScale, xAngularScale, yLinearScale,
              yAngularScale);
    if (button < 0 || button >= VEL_MAX_BUTTONS) {
        velFailure("velkor: vel_navigationMouseDefaultParams: no button %d\n", button);
        return;
    }
    velWindow.navButtons[button] =
        VelNavButton{xNavigator, yNavigator, xLinearScale, xAngularScale, yLinearScale, yAngularScale};
}

void vel_callbackMouseSet(int button, vel_window, vel_class cls, vel_mouseCallback callback)
{
    VEL_TRACE("vel_callbackMouseSet %d %d", button, cls);
    if (button < 0 || button >= VEL_MAX_BUTTONS) {
        velFailure("velkor: vel_callbackMouseSet: no button %d\n", button);
        return;
    }
    velWindow.callbacks[button] = callback;
    velWindow.callbackClass[button] = cls;
}

int velButtonHeld(void)
{
    for (int b = 0; b < VEL_MAX_BUTTONS; b++)
        if (velWindow.buttons[b] == 0) return 1;
    return 0;
}

// One step for every held button that has navigators: the x navigator, then
// the y navigator, with the pointer's movement since the last step (x to
// the right, y upwards, in pixels) as the amounts.
void vel_navigationMouseDefault(vel_window)
{
    // With no button held the pointer is not read: the first press sets
    // where the movement counts from.
    if (!velButtonHeld()) return;
    int x = velWindow.pointerX, y = velWindow.pointerY, rx, ry;
    if (velInitialised) velGluePointer(&x, &y, &rx, &ry);
    float dx = (float)(x - velWindow.navLastX), dy = (float)(velWindow.navLastY - y);
    int stepped = 0;
    vel_viewParams *view = velWindow.viewSource ? velWindow.viewSource : &velWindow.view;
    for (int b = 0; b < VEL_MAX_BUTTONS; b++) {
        if (velWindow.buttons[b] != 0) continue;
        const VelNavButton &n = velWindow.navButtons[b];
        if (n.xNav) n.xNav(view, dx, n.xLinear, n.xAngular);
        if (n.yNav) n.yNav(view, dy, n.yLinear, n.yAngular);
        stepped = 1;
    }
    velWindow.navLastX = x;
    velWindow.navLastY = y;
    if (stepped && view != &velWindow.view) velWindow.view = *view;
}
