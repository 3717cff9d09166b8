// maths.cpp - vectors, quaternions, matrices, the view and projection
// matrices and the screen projection of a point. Pure arithmetic, no GL.
#include "internal.h"

#include <cmath>
#include <cstring>

//------------------------------------------------------------------------------
// Vectors
//------------------------------------------------------------------------------
vel_vector vel_vectorSet(float x, float y, float z) { return vel_vector{x, y, z}; }
vel_vector vel_vectorAdd(vel_vector a, vel_vector b) { return vel_vector{a.x + b.x, a.y + b.y, a.z + b.z}; }
vel_vector vel_vectorSub(vel_vector a, vel_vector b) { return vel_vector{a.x - b.x, a.y - b.y, a.z - b.z}; }
vel_vector vel_vectorScalar(vel_vector v, float s) { return vel_vector{v.x * s, v.y * s, v.z * s}; }
float vel_vectorMag(vel_vector v) { return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z); }
float vel_vectorDotProduct(vel_vector a, vel_vector b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

vel_vector vel_vectorNormalize(vel_vector v)
{
    float m = vel_vectorMag(v);
    if (m == 0.0f || !std::isfinite(m)) return vel_vector{0, 0, 0};
    return vel_vector{v.x / m, v.y / m, v.z / m};
}

vel_vector vel_vectorCrossProduct(vel_vector a, vel_vector b)
{
    return vel_vector{a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

//------------------------------------------------------------------------------
// Quaternions and matrices
//------------------------------------------------------------------------------
vel_quaternion vel_quaternionSet(vel_vector axis, float degrees)
{
    vel_vector a = vel_vectorNormalize(axis);
    if (a.x == 0 && a.y == 0 && a.z == 0) return vel_quaternion{0, 0, 0, 1};
    double half = degrees * (M_PI / 180.0) * 0.5;
    float s = (float)std::sin(half);
    return vel_quaternion{a.x * s, a.y * s, a.z * s, (float)std::cos(half)};
}

vel_matrix vel_matrixQuaternionConvert(vel_quaternion q)
{
    float x = q.x, y = q.y, z = q.z, w = q.w;
    vel_matrix m = {};
    m.m[0] = 1 - 2 * (y * y + z * z);
    m.m[1] = 2 * (x * y + w * z);
    m.m[2] = 2 * (x * z - w * y);
    m.m[4] = 2 * (x * y - w * z);
    m.m[5] = 1 - 2 * (x * x + z * z);
    m.m[6] = 2 * (y * z + w * x);
    m.m[8] = 2 * (x * z + w * y);
    m.m[9] = 2 * (y * z - w * x);
    m.m[10] = 1 - 2 * (x * x + y * y);
    m.m[15] = 1;
    return m;
}

vel_matrix vel_matrixXYZSet(vel_matrix m, vel_vector t)
{
    m.m[12] = t.x;
    m.m[13] = t.y;
    m.m[14] = t.z;
    return m;
}

vel_vector vel_matrixXYZGet(vel_matrix m) { return vel_vector{m.m[12], m.m[13], m.m[14]}; }

vel_matrix velMatrixMultiply(const vel_matrix &a, const vel_matrix &b)
{
    vel_matrix r;
    for (int c = 0; c < 4; c++)
        for (int row = 0; row < 4; row++) {
            float s = 0;
            for (int k = 0; k < 4; k++) s += a.m[k * 4 + row] * b.m[c * 4 + k];
            r.m[c * 4 + row] = s;
        }
    return r;
}

vel_vector velMatrixPoint(const vel_matrix &m, vel_vector p)
{
    return vel_vector{m.m[0] * p.x + m.m[4] * p.y + m.m[8] * p.z + m.m[12],
                      m.m[1] * p.x + m.m[5] * p.y + m.m[9] * p.z + m.m[13],
                      m.m[2] * p.x + m.m[6] * p.y + m.m[10] * p.z + m.m[14]};
}

// Rotation about X by rx, then Y by ry, then Z by rz (degrees): R = Rz Ry Rx.
vel_matrix vel_matrixSet(float rx, float ry, float rz, float x, float y, float z)
{
    vel_matrix m = {};
    m.m[0] = m.m[5] = m.m[10] = m.m[15] = 1;
    if (rx != 0 || ry != 0 || rz != 0) {
        double d = M_PI / 180.0;
        float cx = (float)std::cos(rx * d), sx = (float)std::sin(rx * d);
        float cy = (float)std::cos(ry * d), sy = (float)std::sin(ry * d);
        float cz = (float)std::cos(rz * d), sz = (float)std::sin(rz * d);
        vel_matrix mx = m, my = m, mz = m;
        mx.m[5] = cx; mx.m[6] = sx; mx.m[9] = -sx; mx.m[10] = cx;
        my.m[0] = cy; my.m[2] = -sy; my.m[8] = sy; my.m[10] = cy;
        mz.m[0] = cz; mz.m[1] = sz; mz.m[4] = -sz; mz.m[5] = cz;
        m = velMatrixMultiply(mz, velMatrixMultiply(my, mx));
    }
    m.m[12] = x;
    m.m[13] = y;
    m.m[14] = z;
    return m;
}

//------------------------------------------------------------------------------
// View and projection
//------------------------------------------------------------------------------
// The view with its defaults: unit view direction, an up vector made
// orthogonal to it, and the clip planes and field of view filled in.
vel_viewParams velViewResolved(const vel_viewParams &in)
{
    vel_viewParams v = in;
    if (v.fov <= 0 || v.fov >= 180) v.fov = 45.0f;
    if (v.nearClip <= 0) v.nearClip = 1.0f;
    if (v.farClip <= v.nearClip) v.farClip = v.nearClip < 10000.0f ? 10000.0f : v.nearClip * 10.0f;
    vel_vector f = vel_vectorNormalize(v.view);
    if (f.x == 0 && f.y == 0 && f.z == 0) f = vel_vector{0, 0, -1};
    vel_vector r = vel_vectorNormalize(vel_vectorCrossProduct(f, v.up));
    if (r.x == 0 && r.y == 0 && r.z == 0) {
        // up missing or parallel to the view: take any perpendicular
        vel_vector guess = std::fabs(f.y) < 0.9f ? vel_vector{0, 1, 0} : vel_vector{0, 0, 1};
        r = vel_vectorNormalize(vel_vectorCrossProduct(f, guess));
    }
    v.view = f;
    v.up = vel_vectorCrossProduct(r, f);
    return v;
}

vel_matrix velViewMatrix(const vel_viewParams &in)
{
    vel_viewParams v = velViewResolved(in);
    vel_vector f = v.view, u = v.up;
    vel_vector s = vel_vectorCrossProduct(f, u);
    vel_matrix m = {};
    m.m[0] = s.x; m.m[4] = s.y; m.m[8] = s.z;
    m.m[1] = u.x; m.m[5] = u.y; m.m[9] = u.z;
    m.m[2] = -f.x; m.m[6] = -f.y; m.m[10] = -f.z;
    m.m[12] = -vel_vectorDotProduct(s, v.eye);
    m.m[13] = -vel_vectorDotProduct(u, v.eye);
    m.m[14] = vel_vectorDotProduct(f, v.eye);
    m.m[15] = 1;
    return m;
}

// The whole picture unless the off-screen frames draw a part of a larger one.
VelProjectionRegion velProjectionRegion;

// With a region, the picture's aspect ratio and the part of its frustum that
// the region covers, stretched over the framebuffer: tiles drawn this way
// join into the picture drawn whole.
vel_matrix velProjectionMatrix(const vel_viewParams &in, int width, int height)
{
    vel_viewParams v = velViewResolved(in);
    const VelProjectionRegion &r = velProjectionRegion;
    int part = r.pictureWidth > 0 && r.pictureHeight > 0 && r.width > 0 && r.height > 0;
    if (part) {
        width = r.pictureWidth;
        height = r.pictureHeight;
    }
    float aspect = (width > 0 && height > 0) ? (float)width / (float)height : 1.0f;
    double t = 1.0 / std::tan(v.fov * M_PI / 360.0);
    double n = v.nearClip, f = v.farClip;
    vel_matrix m = {};
    m.m[0] = (float)(t / aspect);
    m.m[5] = (float)t;
    m.m[10] = (float)(-(f + n) / (f - n));
    m.m[11] = -1;
    m.m[14] = (float)(-2 * f * n / (f - n));
    if (part) {
        // the region's edges in the picture's normalised coordinates (y up)
        double left = 2.0 * r.left / width - 1, right = 2.0 * (r.left + r.width) / width - 1;
        double top = 1 - 2.0 * r.top / height, bottom = 1 - 2.0 * (r.top + r.height) / height;
        double sx = 2 / (right - left), sy = 2 / (top - bottom);
        m.m[0] = (float)(sx * t / aspect);
        m.m[5] = (float)(sy * t);
        m.m[8] = (float)(sx * (left + right) / 2);   // times -w_eye = z_eye: the shift
        m.m[9] = (float)(sy * (top + bottom) / 2);
    }
    return m;
}

// Window position of a world point: x, y in -1..1, depth 0 (near) .. 1 (far).
vel_vector vel_vectorScrnPos(vel_vector p)
{
    // A pick projects every atom with the same view: the two matrices are
    // kept until the view or the window size changes.
    static vel_viewParams lastView;
    static VelProjectionRegion lastRegion;
    static int lastWidth = -1, lastHeight = -1;
    static vel_matrix vm, pm;
    const vel_viewParams &v = velWindow.view;
    if (lastWidth != velWindow.width || lastHeight != velWindow.height ||
        std::memcmp(&lastView, &v, sizeof v) != 0 ||
        std::memcmp(&lastRegion, &velProjectionRegion, sizeof lastRegion) != 0) {
        vm = velViewMatrix(v);
        pm = velProjectionMatrix(v, velWindow.width, velWindow.height);
        lastView = v;
        lastRegion = velProjectionRegion;
        lastWidth = velWindow.width;
        lastHeight = velWindow.height;
    }
    vel_vector e = velMatrixPoint(vm, p);
    double cx = pm.m[0] * e.x + pm.m[8] * e.z, cy = pm.m[5] * e.y + pm.m[9] * e.z;
    double cz = pm.m[10] * e.z + pm.m[14], w = -e.z;
    if (std::fabs(w) < 1e-12) return vel_vector{0, 0, 2.0f};
    return vel_vector{(float)(cx / w), (float)(cy / w), (float)((cz / w + 1.0) * 0.5)};
}
