#include "Behaviour.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <mutex>
#include <string>

#include "DirectDraw.h"
#include "ddraw_test.h"

namespace zivdd {

namespace {

struct Shared {
    std::mutex mutex;
    size_t videoMemoryUsed = 0;
    unsigned lockedSurfaces = 0;
    uint32_t garbageSeed = 0x9E3779B9u;
    std::map<HWND, RECT> clientRects;
};

Shared& shared()
{
    static Shared instance;
    return instance;
}

} // namespace

namespace {

// A program run as it is (a host, the demo) cannot call the test controls;
// ZIV_DDRAW_BEHAVIOUR puts behaviours on for its whole process instead: a
// comma-separated list of "garbage", "lost-usable", "wrong-mode", "busy=N"
// and "budget=BYTES". Unknown words are ignored.
Behaviour fromEnvironment()
{
    Behaviour b;
    const char* list = std::getenv("ZIV_DDRAW_BEHAVIOUR");
    if (list == nullptr)
        return b;
    std::string text(list);
    size_t start = 0;
    while (start <= text.size()) {
        const size_t end = std::min(text.find(',', start), text.size());
        const std::string word = text.substr(start, end - start);
        const size_t equals = word.find('=');
        const std::string name = word.substr(0, equals);
        const unsigned long long number =
            equals == std::string::npos ? 0 : std::strtoull(word.c_str() + equals + 1, nullptr, 10);
        if (name == "garbage")
            b.garbageMemory = true;
        else if (name == "lost-usable")
            b.lostSurfacesUsable = true;
        else if (name == "wrong-mode")
            b.wrongModeOnRestore = true;
        else if (name == "busy")
            b.busyCalls = static_cast<unsigned>(std::min<unsigned long long>(number, 1000));
        else if (name == "budget")
            b.videoMemoryBudget = static_cast<size_t>(number);
        start = end + 1;
    }
    return b;
}

} // namespace

Behaviour& behaviour()
{
    static Behaviour instance = fromEnvironment();
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

void countLock(int change)
{
    Shared& s = shared();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.lockedSurfaces = static_cast<unsigned>(static_cast<int>(s.lockedSurfaces) + change);
}

unsigned lockedSurfaces()
{
    Shared& s = shared();
    std::lock_guard<std::mutex> lock(s.mutex);
    return s.lockedSurfaces;
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

void setClipListRefusedWhileLocked(bool on)
{
    zivdd::behaviour().clipListRefusedWhileLocked = on;
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
