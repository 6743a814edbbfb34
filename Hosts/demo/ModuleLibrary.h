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
};

class ModuleLibrary {
public:
    // Loads the module and binds its three exports, and setSoftEdges when it
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
