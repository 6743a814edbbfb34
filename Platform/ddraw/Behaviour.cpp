#include "Behaviour.h"

#include <map>
#include <mutex>

#include "DirectDraw.h"
#include "ddraw_test.h"

namespace zivdd {

namespace {

struct Shared {
    std::mutex mutex;
    size_t videoMemoryUsed = 0;
    uint32_t garbageSeed = 0x9E3779B9u;
    std::map<HWND, RECT> clientRects;
};

Shared& shared()
{
    static Shared instance;
    return instance;
}

} // namespace

Behaviour& behaviour()
{
    static Behaviour instance;
    return instance;
}

bool takeVideoMemory(size_t bytes)
{
    if (bytes == 0)
        return true;
    Shared& s = shared();
    std::lock_guard<std::mutex> lock(s.mutex);
    const size_t budget = behaviour().videoMemoryBudget;
    if (budget != 0 && (s.videoMemoryUsed > budget || bytes > budget - s.videoMemoryUsed))
        return false;
    s.videoMemoryUsed += bytes;
    return true;
}

void giveBackVideoMemory(size_t bytes)
{
    Shared& s = shared();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.videoMemoryUsed -= bytes;
}

size_t videoMemoryInUse()
{
    Shared& s = shared();
    std::lock_guard<std::mutex> lock(s.mutex);
    return s.videoMemoryUsed;
}

uint32_t nextGarbageSeed()
{
    Shared& s = shared();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.garbageSeed = s.garbageSeed * 1664525u + 1013904223u;
    return s.garbageSeed;
}

RECT clientRect(HWND window)
{
    Shared& s = shared();
    std::lock_guard<std::mutex> lock(s.mutex);
    const auto found = s.clientRects.find(window);
    if (found != s.clientRects.end())
        return found->second;
    return RECT{0, 0, static_cast<LONG>(DirectDraw::defaultWidth), static_cast<LONG>(DirectDraw::defaultHeight)};
}

} // namespace zivdd

namespace ddrawtest {

void setLostSurfacesUsable(bool on)
{
    zivdd::behaviour().lostSurfacesUsable = on;
}

void setWrongModeOnRestore(bool on)
{
    zivdd::behaviour().wrongModeOnRestore = on;
}

void setGarbageMemory(bool on)
{
    zivdd::behaviour().garbageMemory = on;
}

void setBusyBlitter(unsigned calls)
{
    zivdd::behaviour().busyCalls = calls;
}

void setVideoMemoryBudget(size_t bytes)
{
    zivdd::behaviour().videoMemoryBudget = bytes;
}

size_t videoMemoryInUse()
{
    return zivdd::videoMemoryInUse();
}

bool setClientRect(HWND window, const RECT& client)
{
    if (window == nullptr || client.left > client.right || client.top > client.bottom)
        return false;
    zivdd::Shared& s = zivdd::shared();
    std::lock_guard<std::mutex> lock(s.mutex);
    try {
        s.clientRects[window] = client;
    } catch (...) {
        return false;
    }
    return true;
}

void resetBehaviours()
{
    zivdd::behaviour() = zivdd::Behaviour{};
    zivdd::Shared& s = zivdd::shared();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.clientRects.clear();
}

} // namespace ddrawtest
