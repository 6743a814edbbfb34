// The renderer module, loaded at run time as a host loads ziv.dll with
// LoadLibrary and GetProcAddress: here with dlopen and dlsym.
#pragma once

#include <string>

#include "ziv.h"

namespace zivdemo {

struct ModuleApi {
    ZivCreateRendererFn createRenderer = nullptr;
    ZivDestroyRendererFn destroyRenderer = nullptr;
    ZivGetLastErrorStringFn getLastErrorString = nullptr;
    ZivSetSoftEdgesFn setSoftEdges = nullptr; // null for a module without soft edges
    // The damage-aware frames' controls; null from a module without them.
    ZivSetDamageTrackingFn setDamageTracking = nullptr;
    ZivInvalidateTargetFn invalidateTarget = nullptr;
    ZivSetDamageBackgroundColourFn setDamageBackgroundColour = nullptr;
    ZivSetDamageBackgroundSurfaceFn setDamageBackgroundSurface = nullptr;
    ZivSetDamageBufferSlotFn setDamageBufferSlot = nullptr;
    ZivGetDamageRectsFn getDamageRects = nullptr;
};

// Binds the damage-aware frames' controls that lookUp(name) finds.
template <class LookUp> void bindDamageControls(ModuleApi& api, const LookUp& lookUp)
{
    api.setDamageTracking = reinterpret_cast<ZivSetDamageTrackingFn>(lookUp("zivSetDamageTracking"));
    api.invalidateTarget = reinterpret_cast<ZivInvalidateTargetFn>(lookUp("zivInvalidateTarget"));
    api.setDamageBackgroundColour =
        reinterpret_cast<ZivSetDamageBackgroundColourFn>(lookUp("zivSetDamageBackgroundColour"));
    api.setDamageBackgroundSurface =
        reinterpret_cast<ZivSetDamageBackgroundSurfaceFn>(lookUp("zivSetDamageBackgroundSurface"));
    api.setDamageBufferSlot = reinterpret_cast<ZivSetDamageBufferSlotFn>(lookUp("zivSetDamageBufferSlot"));
    api.getDamageRects = reinterpret_cast<ZivGetDamageRectsFn>(lookUp("zivGetDamageRects"));
}

class ModuleLibrary {
public:
    // Loads the module and binds its three exports, and zivSetSoftEdges when it
    // has it. A bare name is looked up
    // as the dynamic loader does (the demo's run path finds the build's
    // libziv.so). Throws std::runtime_error with the loader's message.
    explicit ModuleLibrary(const std::string& path);
    ~ModuleLibrary();
    ModuleLibrary(const ModuleLibrary&) = delete;
    ModuleLibrary& operator=(const ModuleLibrary&) = delete;

    const ModuleApi& api() const { return d_api; }
    // Where the loader found the module.
    const std::string& location() const { return d_location; }

private:
    void* d_handle = nullptr;
    ModuleApi d_api;
    std::string d_location;
};

} // namespace zivdemo
