#include "FaultInjection.h"

#include <cstring>
#include <mutex>
#include <vector>

#include "ddraw_test.h"

namespace zivdd {

namespace {

constexpr unsigned operationCount = static_cast<unsigned>(Operation::Count);
constexpr unsigned firstCountOnly = static_cast<unsigned>(Operation::AddRef);

// Names in the order of Operation.
constexpr const char* operationNames[operationCount] = {"DirectDrawCreate",
                                                        "SetCooperativeLevel",
                                                        "SetDisplayMode",
                                                        "RestoreDisplayMode",
                                                        "GetDisplayMode",
                                                        "CreateSurface",
                                                        "Lock",
                                                        "Unlock",
                                                        "Blt",
                                                        "BltFast",
                                                        "GetDC",
                                                        "ReleaseDC",
                                                        "IsLost",
                                                        "Restore",
                                                        "SetColorKey",
                                                        "GetColorKey",
                                                        "GetSurfaceDesc",
                                                        "GetPixelFormat",
                                                        "GetCaps",
                                                        "AddRef",
                                                        "Release",
                                                        "SetPixel",
                                                        "GetClipper",
                                                        "GetClipList"};

struct Fault {
    unsigned operation;
    HRESULT result;
    const IDirectDrawSurface* surface; // null: any
    unsigned callsToGo;                // 1: fires on the next matching call
    bool lasting;
};

// A loss of every surface of a DirectDraw object, due on a call.
struct Loss {
    unsigned operation;
    IDirectDraw* directDraw;
    unsigned callsToGo; // 1: on the next call of the operation
};

struct State {
    std::mutex mutex;
    unsigned long calls[operationCount] = {};
    std::vector<Fault> faults;
    std::vector<Loss> losses;
};

State& state()
{
    static State instance;
    return instance;
}

int lookUp(const char* name)
{
    if (name == nullptr)
        return -1;
    for (unsigned i = 0; i < operationCount; ++i)
        if (std::strcmp(name, operationNames[i]) == 0)
            return static_cast<int>(i);
    return -1;
}

bool arm(const char* name, HRESULT result, unsigned nth, IDirectDrawSurface* surface, bool lasting)
{
    const int operation = lookUp(name);
    if (operation < 0 || static_cast<unsigned>(operation) >= firstCountOnly || result >= 0 || nth == 0)
        return false;
    State& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    try {
        s.faults.push_back(Fault{static_cast<unsigned>(operation), result, surface, nth, lasting});
    } catch (...) {
        return false;
    }
    return true;
}

// The DirectDraw object whose surfaces are lost on this call of the
// operation, or null. The caller holds the mutex.
IDirectDraw* dueLoss(State& s, unsigned index)
{
    for (auto it = s.losses.begin(); it != s.losses.end(); ++it) {
        if (it->operation != index)
            continue;
        if (it->callsToGo > 1) {
            --it->callsToGo;
            continue;
        }
        IDirectDraw* directDraw = it->directDraw;
        s.losses.erase(it);
        return directDraw;
    }
    return nullptr;
}

HRESULT decide(Operation operation, const IDirectDrawSurface* surface, IDirectDraw*& lose)
{
    const unsigned index = static_cast<unsigned>(operation);
    State& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    ++s.calls[index];
    lose = dueLoss(s, index);
    HRESULT result = DD_OK;
    bool fired = false;
    for (auto it = s.faults.begin(); it != s.faults.end();) {
        Fault& fault = *it;
        if (fault.operation != index || (fault.surface != nullptr && fault.surface != surface)) {
            ++it;
            continue;
        }
        if (fault.callsToGo > 1) {
            --fault.callsToGo;
            ++it;
            continue;
        }
        // Due. The earliest armed fault fires; another one due on the same
        // call stays armed for the next.
        if (fired) {
            ++it;
            continue;
        }
        fired = true;
        result = fault.result;
        it = fault.lasting ? it + 1 : s.faults.erase(it);
    }
    return result;
}

} // namespace

HRESULT enterOperation(Operation operation, const IDirectDrawSurface* surface)
{
    IDirectDraw* lose = nullptr;
    const HRESULT result = decide(operation, surface, lose);
    // Outside the lock: losing takes the registry's own.
    if (lose != nullptr)
        ddrawtest::loseAllSurfaces(lose);
    return result;
}

} // namespace zivdd

namespace ddrawtest {

bool failNext(const char* operation, HRESULT result, unsigned nth, IDirectDrawSurface* surface)
{
    return zivdd::arm(operation, result, nth, surface, false);
}

bool failAlways(const char* operation, HRESULT result, IDirectDrawSurface* surface)
{
    return zivdd::arm(operation, result, 1, surface, true);
}

const char* failableOperation(size_t index)
{
    return index < zivdd::firstCountOnly ? zivdd::operationNames[index] : nullptr;
}

const char* countedOperation(size_t index)
{
    return index < zivdd::operationCount ? zivdd::operationNames[index] : nullptr;
}

size_t armedFaults()
{
    zivdd::State& s = zivdd::state();
    std::lock_guard<std::mutex> lock(s.mutex);
    return s.faults.size();
}

unsigned long callCount(const char* operation)
{
    const int index = zivdd::lookUp(operation);
    if (index < 0)
        return 0;
    zivdd::State& s = zivdd::state();
    std::lock_guard<std::mutex> lock(s.mutex);
    return s.calls[index];
}

bool loseAllSurfacesOn(const char* operation, unsigned nth, IDirectDraw* directDraw)
{
    const int index = zivdd::lookUp(operation);
    if (index < 0 || nth == 0 || directDraw == nullptr)
        return false;
    zivdd::State& s = zivdd::state();
    std::lock_guard<std::mutex> lock(s.mutex);
    try {
        s.losses.push_back(zivdd::Loss{static_cast<unsigned>(index), directDraw, nth});
    } catch (...) {
        return false;
    }
    return true;
}

size_t armedLosses()
{
    zivdd::State& s = zivdd::state();
    std::lock_guard<std::mutex> lock(s.mutex);
    return s.losses.size();
}

void reset()
{
    zivdd::State& s = zivdd::state();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.faults.clear();
    s.losses.clear();
    for (unsigned long& count : s.calls)
        count = 0;
}

} // namespace ddrawtest
