// The module as a host sees it: the built libziv.so loaded at run time with
// its exports bound. Every ZivModule loads its own copy of the file, so
// each starts with fresh module state (no plug-in bound, no logger object, an
// empty last-error text).
#pragma once

#include <string>

#include "TempDirectory.h"
#include "ziv.h"

namespace ZivTest {

class ZivModule {
public:
    ZivModule();
    // Destroys the module's logger object (destroyRenderer(nullptr)), then
    // unloads the copy. Renderers must be destroyed before.
    ~ZivModule();
    ZivModule(const ZivModule&) = delete;
    ZivModule& operator=(const ZivModule&) = delete;

    ZivCreateRendererFn createRenderer = nullptr;
    ZivDestroyRendererFn destroyRenderer = nullptr;
    ZivGetLastErrorStringFn getLastErrorString = nullptr;
    ZivSetSoftEdgesFn setSoftEdges = nullptr;

    // The libziv.so the build made.
    static std::string builtPath();
    // The folder the copy was loaded from.
    const std::string& directory() const { return d_directory.path(); }

private:
    TempDirectory d_directory;
    void* d_library = nullptr;
};

} // namespace ZivTest
