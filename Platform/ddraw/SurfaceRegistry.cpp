#include "SurfaceRegistry.h"

#include <algorithm>
#include <mutex>
#include <vector>

#include "DirectDraw.h"
#include "Surface.h"
#include "ddraw_test.h"

namespace zivdd {

namespace {

struct Registry {
    std::mutex mutex;
    std::vector<Surface*> surfaces;
    std::vector<DirectDraw*> directDraws;
};

Registry& registry()
{
    static Registry instance;
    return instance;
}

// The live surface behind an interface pointer, or null. The caller holds the
// mutex.
Surface* find(Registry& r, const IDirectDrawSurface* surface)
{
    for (Surface* live : r.surfaces)
        if (static_cast<const IDirectDrawSurface*>(live) == surface)
            return live;
    return nullptr;
}

} // namespace

bool registerSurface(Surface* surface)
{
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    try {
        r.surfaces.push_back(surface);
    } catch (...) {
        return false;
    }
    return true;
}

void unregisterSurface(Surface* surface)
{
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    r.surfaces.erase(std::remove(r.surfaces.begin(), r.surfaces.end(), surface), r.surfaces.end());
}

bool registerDirectDraw(DirectDraw* directDraw)
{
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    try {
        r.directDraws.push_back(directDraw);
    } catch (...) {
        return false;
    }
    return true;
}

void unregisterDirectDraw(DirectDraw* directDraw)
{
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    r.directDraws.erase(std::remove(r.directDraws.begin(), r.directDraws.end(), directDraw), r.directDraws.end());
}

} // namespace zivdd

namespace ddrawtest {

bool markLost(IDirectDrawSurface* surface)
{
    zivdd::Registry& r = zivdd::registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    zivdd::Surface* live = zivdd::find(r, surface);
    if (live == nullptr)
        return false;
    live->markLost();
    return true;
}

bool guardsIntact(IDirectDrawSurface* surface)
{
    zivdd::Registry& r = zivdd::registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    if (surface != nullptr) {
        const zivdd::Surface* live = zivdd::find(r, surface);
        return live != nullptr && live->guardsIntact();
    }
    for (const zivdd::Surface* live : r.surfaces)
        if (!live->guardsIntact())
            return false;
    return true;
}

size_t liveSurfaceCount()
{
    zivdd::Registry& r = zivdd::registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    return r.surfaces.size();
}

size_t liveDirectDrawCount()
{
    zivdd::Registry& r = zivdd::registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    return r.directDraws.size();
}

bool loseAllSurfaces(IDirectDraw* directDraw)
{
    zivdd::Registry& r = zivdd::registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    for (zivdd::DirectDraw* live : r.directDraws)
        if (static_cast<IDirectDraw*>(live) == directDraw) {
            live->loseSurfaces();
            return true;
        }
    return false;
}

} // namespace ddrawtest
