// navigation.cpp - the navigation primitives on a view record, the default
// mouse navigation and the registrations of navigators and mouse callbacks.
#include "internal.h"

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

// Turns eye, view and up together about an axis through the pivot.
void turn(vel_viewParams *v, vel_vector axis, float radians)
{
    vel_vector rel = vel_vectorSub(v->eye, v->pivot);
    v->eye = vel_vectorAdd(v->pivot, velRotate(rel, axis, radians));
    v->view = velRotate(v->view, axis, radians);
    v->up = velRotate(v->up, axis, radians);
}

// One navigation step along (move) or about (turn) one axis of the view's
// own frame: 0 forwards, 1 right, 2 up.
int step(vel_viewParams *v, int axis, int isTurn, float by)
{
    if (!v) return 0;
    vel_vector frame[3];
    frameOf(v, &frame[0], &frame[1], &frame[2]);
    if (isTurn)
        turn(v, frame[axis], by);
    else
        move(v, frame[axis], by);
    return 1;
}

} // namespace

int vel_navigateForwards(vel_viewParams *v, float amount, float ls, float as)
{
    VEL_TRACE("vel_navigateForwards %g %g %g", amount, ls, as);
    return step(v, 0, 0, amount * ls);
}

int vel_navigateRight(vel_viewParams *v, float amount, float ls, float as)
{
    VEL_TRACE("vel_navigateRight %g %g %g", amount, ls, as);
    return step(v, 1, 0, amount * ls);
}

int vel_navigateUp(vel_viewParams *v, float amount, float ls, float as)
{
    VEL_TRACE("vel_navigateUp %g %g %g", amount, ls, as);
    return step(v, 2, 0, amount * ls);
}

int vel_navigateRotUp(vel_viewParams *v, float amount, float ls, float as)
{
    VEL_TRACE("vel_navigateRotUp %g %g %g", amount, ls, as);
    return step(v, 2, 1, amount * as);
}

int vel_navigateRotRight(vel_viewParams *v, float amount, float ls, float as)
{
    VEL_TRACE("vel_navigateRotRight %g %g %g", amount, ls, as);
    return step(v, 1, 1, amount * as);
}

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

// One step for every held button that has navigators: the x navigator, then
// the y navigator, with the pointer's movement since the last step (x to
// the right, y upwards, in pixels) as the amounts.
void vel_navigationMouseDefault(vel_window)
{
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
