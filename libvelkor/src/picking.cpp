// picking.cpp - ray casts from the pointer against the spheres of the object
// lists drawn in the last frame, and the dispatch of queued mouse input.
#include "internal.h"

#include <cmath>

void velPickRay(const vel_viewParams &in, int width, int height, int x, int y, vel_vector *origin,
                vel_vector *direction)
{
    vel_viewParams v = velViewResolved(in);
    if (width <= 0) width = 1;
    if (height <= 0) height = 1;
    float aspect = (float)width / (float)height;
    float nx = 2.0f * ((float)x + 0.5f) / (float)width - 1.0f;
    float ny = 1.0f - 2.0f * ((float)y + 0.5f) / (float)height;
    float t = (float)std::tan(v.fov * M_PI / 360.0);
    vel_vector r = vel_vectorCrossProduct(v.view, v.up);
    vel_vector d = vel_vectorAdd(v.view, vel_vectorAdd(vel_vectorScalar(r, nx * t * aspect), vel_vectorScalar(v.up, ny * t)));
    *origin = v.eye;
    *direction = vel_vectorNormalize(d);
}

float velRaySphere(vel_vector o, vel_vector d, vel_vector c, float radius)
{
    vel_vector oc = vel_vectorSub(o, c);
    float b = vel_vectorDotProduct(oc, d);
    float cc = vel_vectorDotProduct(oc, oc) - radius * radius;
    float disc = b * b - cc;
    if (disc < 0) return -1.0f;
    float s = std::sqrt(disc);
    float t = -b - s;
    if (t < 0) t = -b + s;  // the eye is inside the sphere
    return t >= 0 ? t : -1.0f;
}

vel_object velPickSphere(int x, int y)
{
    vel_vector o, d;
    velPickRay(velWindow.view, velWindow.width, velWindow.height, x, y, &o, &d);
    vel_object best = nullptr;
    float bestT = 0;
    uint64_t lastFrame = velFrameNumber - 1;
    for (vel_objList list : velLists) {
        if (list->drawnFrame != lastFrame || lastFrame == 0) continue;
        for (vel_object obj : list->objects) {
            if (!obj || obj->cls != VEL_CLASS_SPHERE) continue;
            const vel_sphereData *s = (const vel_sphereData *)obj->record;
            const float *m = s->matrix.m;
            float scale = std::sqrt(m[0] * m[0] + m[1] * m[1] + m[2] * m[2]);
            float t = velRaySphere(o, d, vel_vector{m[12], m[13], m[14]}, std::fabs(s->radius) * scale);
            if (t >= 0 && (!best || t < bestT)) {
                best = obj;
                bestT = t;
            }
        }
    }
    return best;
}

// Callbacks for the presses and releases since the last check, then one
// navigation step.
void velInputDispatch(void)
{
    if (!velWindow.events.empty()) {
        std::vector<VelMouseEvent> events;
        events.swap(velWindow.events);
        for (const VelMouseEvent &e : events) {
            vel_mouseCallback cb = velWindow.callbacks[e.button];
            if (!cb || velWindow.callbackClass[e.button] != VEL_CLASS_SPHERE) continue;
            vel_object hit = velPickSphere(e.x, e.y);
            if (!hit) continue;
            vel_mouseEvent ev{e.button, e.state, e.x, e.y};
            cb(hit, &ev);
        }
    }
    if (velWindow.navigation) velWindow.navigation(vel_win_current);
}
