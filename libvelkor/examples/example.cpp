// example.cpp - a few spheres and cylinders on libvelkor: the left button
// turns them, the right button moves the eye forwards and back, the middle
// button on a sphere prints which one it is. Runs until the window closes.
#include <velkor/velkor.h>

#include <QApplication>
#include <QVBoxLayout>
#include <QWidget>

#include <cmath>
#include <cstdio>

static vel_sphereData spheres[5];       // the records the library draws from
static vel_cylinderData cylinders[4];
static vel_viewParams viewParams;       // the one view

// Dragging right turns the scene right, dragging up tips it back.
static int turnX(vel_viewParams *v, float amount, float, float angular) { return vel_navigateRotUp(v, -amount, 0, angular); }
static int turnY(vel_viewParams *v, float amount, float, float angular) { return vel_navigateRotRight(v, amount, 0, angular); }
static int zoom(vel_viewParams *v, float amount, float linear, float) { return vel_navigateForwards(v, amount, linear, 0); }

static int picked(vel_object object, vel_mouseEvent *event)
{
    if (event->state != 0) return 1;
    vel_sphereData *s = (vel_sphereData *)vel_objectDataGet(object);
    vel_vector p = vel_matrixXYZGet(s->matrix);
    std::printf("sphere %d at (%g, %g, %g)\n", (int)(s - spheres), p.x, p.y, p.z);
    return 1;
}

// A cylinder from a to b: local -Z turned onto the direction a -> b.
static void placeCylinder(vel_cylinderData *c, vel_vector a, vel_vector b, vel_surface surface)
{
    vel_vector d = vel_vectorSub(b, a);
    vel_vector n = vel_vectorNormalize(d);
    vel_vector minusZ = vel_vectorSet(0, 0, -1);
    vel_vector axis = vel_vectorCrossProduct(minusZ, n);
    float angle = std::acos(vel_vectorDotProduct(minusZ, n)) * 57.29578f;
    if (vel_vectorMag(axis) < 1e-6f) axis = vel_vectorSet(1, 0, 0);
    vel_matrix r = vel_matrixQuaternionConvert(vel_quaternionSet(vel_vectorNormalize(axis), angle));
    c->radius = 0.15f;
    c->height = vel_vectorMag(d);
    c->tessellation = 8;
    c->endCaps = 1;
    c->surface = surface;
    c->matrix = vel_matrixXYZSet(r, vel_vectorAdd(a, vel_vectorScalar(d, 0.5f)));
}

int main(int argc, char **argv)
{
    vel_surfaceFormatDefaultSet();
    QApplication app(argc, argv);
    QWidget box;
    new QVBoxLayout(&box);
    box.resize(640, 480);
    box.show();
    vel_opt_disp = &box;
    if (!vel_initialise(&argc, argv))
        return 2;  // no OpenGL 3.3: the library has said why
    vel_windowBackgroundColourSet(vel_win_current, 0, 0, 0);

    const float colours[4][3] = {{0.94f, 0, 0}, {0.56f, 0.56f, 1}, {0.7f, 0.7f, 0.7f}, {1, 1, 1}};
    vel_surface surfaces[4];
    for (int i = 0; i < 4; i++) {
        vel_colour c{colours[i][0], colours[i][1], colours[i][2], 1};
        vel_colour e{c.r * 0.2f, c.g * 0.2f, c.b * 0.2f, 1};
        vel_paletteMaterialSet(vel_palette_default, i + 1, c, c, c, e, 30);
        surfaces[i] = vel_surfaceParamsNew(vel_surface_material, 0, i + 1, 0);
    }
    vel_objList list = vel_SMSObjListNew();
    const vel_vector centres[5] = {{0, 0, 0}, {1.5f, 0, 0}, {-1.5f, 0, 0}, {0, 1.5f, 0}, {0, 0, 1.5f}};
    for (int i = 0; i < 5; i++) {
        spheres[i] = vel_sphereData{i == 0 ? 0.6f : 0.4f, 9, 9, surfaces[i % 4], vel_matrixSet(0, 0, 0, centres[i].x, centres[i].y, centres[i].z), 0};
        vel_SMSObjectAdd(list, vel_objectNew(vel_class_sphere, &spheres[i]));
    }
    for (int i = 0; i < 4; i++) {
        placeCylinder(&cylinders[i], centres[0], centres[i + 1], surfaces[2]);
        vel_SMSObjectAdd(list, vel_objectNew(vel_class_cylinder, &cylinders[i]));
    }
    viewParams.eye = vel_vectorSet(0, 0, 8);
    viewParams.view = vel_vectorSet(0, 0, -1);
    viewParams.up = vel_vectorSet(0, 1, 0);
    vel_windowViewParamsSet(vel_win_current, &viewParams);
    vel_navigationMouseDefaultParams(vel_win_all, 0, turnX, 0, 0.01f, turnY, 0, 0.01f);
    vel_navigationMouseDefaultParams(vel_win_all, 2, zoom, 0.05f, 0, zoom, 0.05f, 0);
    vel_navigationMouse(vel_win_all, vel_navigationMouseDefault);
    vel_callbackMouseSet(1, vel_win_all, vel_class_sphere, picked);

    int recorded = 0;
    while (box.isVisible()) {
        vel_eventsCheck();
        vel_frameBegin();
        if (!recorded) {
            vel_gfxListNew(1, 2);
            vel_SMSDisplayUnCulled(vel_win_current, list);
            vel_gfxListEnd();
            recorded = 1;
        } else {
            vel_gfxListExec(1);
        }
        vel_windowViewParamsSet(vel_win_current, &viewParams);
        vel_frameEnd();
    }
    vel_SMSDelete(list, 1);
    return 0;
}
