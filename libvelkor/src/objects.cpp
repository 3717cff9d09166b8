// objects.cpp - sphere and cylinder objects in a pooled free list, and the
// object lists that hold them. Creating an object allocates only when a new
// block of the pool is needed.
#include "internal.h"

#include <algorithm>
#include <memory>

const vel_class vel_class_sphere = VEL_CLASS_SPHERE;
const vel_class vel_class_cylinder = VEL_CLASS_CYLINDER;

std::vector<vel_objList> velLists;

namespace {

inline constexpr int POOL_BLOCK = 16384;                    // objects per pool block
std::vector<std::unique_ptr<vel_objectRec[]>> poolBlocks;   // never moved or freed
vel_objectRec *poolFree = nullptr;                          // free objects, chained

vel_objectRec *poolTake()
{
    if (!poolFree) {
        poolBlocks.emplace_back(new vel_objectRec[POOL_BLOCK]);
        vel_objectRec *block = poolBlocks.back().get();
        for (int i = POOL_BLOCK - 1; i >= 0; i--) {
            block[i].cls = 0;
            block[i].record = nullptr;
            block[i].nextFree = poolFree;
            poolFree = &block[i];
        }
    }
    vel_objectRec *o = poolFree;
    poolFree = o->nextFree;
    o->nextFree = nullptr;
    return o;
}

void poolGive(vel_objectRec *o)
{
    if (!o || o->cls == 0) return;  // already free: an object in two deleted lists
    o->cls = 0;
    o->record = nullptr;
    o->nextFree = poolFree;
    poolFree = o;
}

int listLive(vel_objList list)
{
    return list && std::find(velLists.begin(), velLists.end(), list) != velLists.end();
}

} // namespace

vel_object vel_objectNew(vel_class cls, void *record)
{
    VEL_TRACE("vel_objectNew %d", cls);
    if (cls != VEL_CLASS_SPHERE && cls != VEL_CLASS_CYLINDER) {
        velFailure("velkor: vel_objectNew: unknown class %d\n", cls);
        return nullptr;
    }
    if (!record) {
        velFailure("velkor: vel_objectNew: null record\n");
        return nullptr;
    }
    vel_objectRec *o = poolTake();
    o->cls = cls;
    o->record = record;
    return o;
}

void *vel_objectDataGet(vel_object object) { return object && object->cls ? object->record : nullptr; }

vel_objList vel_SMSObjListNew(void)
{
    VEL_TRACE("vel_SMSObjListNew");
    vel_objList list = new vel_objListRec;
    list->drawnFrame = 0;
    list->live = 1;
    velLists.push_back(list);
    return list;
}

void vel_SMSObjectAdd(vel_objList list, vel_object object)
{
    VEL_TRACE("vel_SMSObjectAdd");
    if (!list || !object) return;
    list->objects.push_back(object);
}

int vel_SMSObjectCount(vel_objList list) { return list ? (int)list->objects.size() : 0; }

void vel_SMSDelete(vel_objList list, int deleteObjects)
{
    VEL_TRACE("vel_SMSDelete %d", deleteObjects);
    if (!listLive(list)) return;
    velLists.erase(std::find(velLists.begin(), velLists.end(), list));
    // no display list may keep pointing at it
    for (VelBatch *b : velFrames.displayLists)
        if (b) b->sources.erase(std::remove(b->sources.begin(), b->sources.end(), list), b->sources.end());
    if (velFrames.recording)
        velFrames.recording->sources.erase(std::remove(velFrames.recording->sources.begin(), velFrames.recording->sources.end(), list),
                                    velFrames.recording->sources.end());
    for (VelFrame *f : {&velFrames.current, &velFrames.last})
        f->immediate.sources.erase(std::remove(f->immediate.sources.begin(), f->immediate.sources.end(), list),
                                   f->immediate.sources.end());
    if (deleteObjects)
        for (vel_object o : list->objects) poolGive(o);
    list->live = 0;
    delete list;
}

void vel_SMSDisplayUnCulled(vel_window, vel_objList list)
{
    VEL_TRACE("vel_SMSDisplayUnCulled %d", vel_SMSObjectCount(list));
    if (!list) return;
    VelBatch *target = velFrames.recording ? velFrames.recording : &velFrames.current.immediate;
    if (std::find(target->sources.begin(), target->sources.end(), list) == target->sources.end())
        target->sources.push_back(list);
    velBatchAddObjects(target, list->objects.data(), list->objects.size());
}
