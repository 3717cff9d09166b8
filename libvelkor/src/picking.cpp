// picking.cpp - ray casts from the pointer against the spheres (or
// cylinders) of the object lists drawn in the last frame, and the dispatch
// of queued mouse input to the callbacks and the navigation.
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

// Distance along the ray to a cylinder of radius r centred on the origin of
// the placement m with its axis along local Z from -h/2 to +h/2 (the caps
// only when closed), or a negative value for a miss. m must be rigid.
float velRayCylinder(vel_vector o, vel_vector d, const vel_matrix &m, float r, float h, int caps)
{
    // into the cylinder's frame: transpose of the rotation, minus the translation
    vel_vector c0{m.m[0], m.m[1], m.m[2]}, c1{m.m[4], m.m[5], m.m[6]}, c2{m.m[8], m.m[9], m.m[10]};
    vel_vector rel = vel_vectorSub(o, vel_vector{m.m[12], m.m[13], m.m[14]});
    vel_vector lo{vel_vectorDotProduct(c0, rel), vel_vectorDotProduct(c1, rel), vel_vectorDotProduct(c2, rel)};
    vel_vector ld{vel_vectorDotProduct(c0, d), vel_vectorDotProduct(c1, d), vel_vectorDotProduct(c2, d)};
    float best = -1.0f, half = h * 0.5f;
    float a = ld.x * ld.x + ld.y * ld.y;
    if (a > 1e-12f) {
        float b = lo.x * ld.x + lo.y * ld.y, c = lo.x * lo.x + lo.y * lo.y - r * r;
        float disc = b * b - a * c;
        if (disc >= 0) {
            float s = std::sqrt(disc);
            for (float t : {(-b - s) / a, (-b + s) / a}) {
                float z = lo.z + t * ld.z;
                if (t >= 0 && z >= -half && z <= half && (best < 0 || t < best)) best = t;
            }
        }
    }
    if (caps && std::fabs(ld.z) > 1e-12f) {
        for (float zc : {-half, half}) {
            float t = (zc - lo.z) / ld.z;
            float x = lo.x + t * ld.x, y = lo.y + t * ld.y;
            if (t >= 0 && x * x + y * y <= r * r && (best < 0 || t < best)) best = t;
        }
    }
    return best;
}

// Distance along the ray to an object, or a negative value for a miss.
static float rayObject(vel_vector o, vel_vector d, vel_object obj)
{
    if (obj->cls == VEL_CLASS_SPHERE) {
        const vel_sphereData *s = (const vel_sphereData *)obj->record;
        const float *m = s->matrix.m;
        float scale = std::sqrt(m[0] * m[0] + m[1] * m[1] + m[2] * m[2]);
        return velRaySphere(o, d, vel_vector{m[12], m[13], m[14]}, std::fabs(s->radius) * scale);
    }
    const vel_cylinderData *c = (const vel_cylinderData *)obj->record;
    if (!(c->height > 0)) return -1.0f;
    return velRayCylinder(o, d, c->matrix, std::fabs(c->radius), c->height, c->endCaps != 0);
}

vel_object velPickObject(int x, int y, vel_class cls)
{
    vel_vector o, d;
    velPickRay(velWindow.view, velWindow.width, velWindow.height, x, y, &o, &d);
    vel_object best = nullptr;
    float bestT = 0;
    uint64_t lastFrame = velFrames.number - 1;
    for (vel_objList list : velLists) {
        if (list->drawnFrame != lastFrame || lastFrame == 0) continue;
        for (vel_object obj : list->objects) {
            if (!obj || obj->cls != cls || !obj->record) continue;
            float t = rayObject(o, d, obj);
            if (t >= 0 && (!best || t < bestT)) {
                best = obj;
                bestT = t;
            }
        }
    }
    return best;
}

vel_object velPickSphere(int x, int y) { return velPickObject(x, y, VEL_CLASS_SPHERE); }

// Callbacks for the presses and releases since the last check, then one
// navigation step.
void velInputDispatch(void)
{
    if (!velWindow.events.empty()) {
        std::vector<VelMouseEvent> events;
        events.swap(velWindow.events);
        for (const VelMouseEvent &e : events) {
            vel_mouseCallback cb = velWindow.callbacks[e.button];
            if (!cb) continue;
            vel_object hit = velPickObject(e.x, e.y, velWindow.callbackClass[e.button]);
            if (!hit) continue;
            vel_mouseEvent ev{e.button, e.state, e.x, e.y};
            cb(hit, &ev);
        }
    }
    if (velWindow.navigation) velWindow.navigation(vel_win_current);
}
