// spheres.cpp - the sphere records and objects of the atoms: one ball per
// present atom, element coloured, placed by a pure translation that the pick
// callback reads back to find the atom.
#include <cstddef>
#include <cstdio>

#include "app/settings.h"
#include "app/viewstate.h"
#include "scene/scene.h"

static_assert(sizeof(SphereRecord) == sizeof(vel_sphereData), "the library reads sphere records in place");
static_assert(offsetof(SphereRecord, surface) == offsetof(vel_sphereData, surface));
static_assert(offsetof(SphereRecord, matrix) == offsetof(vel_sphereData, matrix));
static_assert(offsetof(SphereRecord, reserved) == offsetof(vel_sphereData, reserved));

SphereRecord sphereRecords[maxAtoms];

void initSphereRecord(SphereRecord *record, const char *element)
{
    int colour = elementPaletteIndex(element);
    record->radius = drawSpaceFilled ? elementRadius(element) : 0.3f;
    record->tessellation1 = sphereDetail;
    record->tessellation2 = sphereDetail;
    record->surface = materialSurfaces[colour];
}

void buildAtomSpheres()
{
    std::printf("Generating atoms...\n");
    int last = lastAtomIndex();
    for (int i = 1; i <= last; i++) {
        const AtomRecord &atom = atoms[i];
        if (atom.present != 1)
            continue;
        SphereRecord *record = &sphereRecords[i];
        initSphereRecord(record, atom.element);
        record->matrix = vel_matrixSet(0.0f, 0.0f, 0.0f, atom.x, atom.y, atom.z);
        vel_SMSObjectAdd(sceneObjectList, vel_objectNew(vel_class_sphere, record));
    }
}
