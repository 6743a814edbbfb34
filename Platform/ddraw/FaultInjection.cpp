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
                                                        "SetPixel"};

struct Fault {
    unsigned operation;
    HRESULT result;
    const IDirectDrawSurface* surface; // null: any
    unsigned callsToGo;                // 1: fires on the next matching call
    bool lasting;
};

struct State {
    std::mutex mutex;
    unsigned long calls[operationCount] = {};
    std::vector<Fault> faults;
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

} // namespace

HRESULT enterOperation(Operation operation, const IDirectDrawSurface* surface)
{
    const unsigned index = static_cast<unsigned>(operation);
    State& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    ++s.calls[index];
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

void reset()
{
    zivdd::State& s = zivdd::state();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.faults.clear();
    for (unsigned long& count : s.calls)
        count = 0;
}

} // namespace ddrawtest
