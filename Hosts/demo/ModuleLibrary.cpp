#include "ModuleLibrary.h"

#include <dlfcn.h>
#include <link.h>

#include <stdexcept>

namespace zivdemo {

namespace {

void* bind(void* handle, const char* name, const std::string& path)
{
    dlerror();
    void* symbol = dlsym(handle, name);
    if (symbol == nullptr) {
        const char* error = dlerror();
        throw std::runtime_error("the module '" + path + "' has no export " + name +
                                 (error != nullptr ? std::string(" (") + error + ")" : std::string()));
    }
    return symbol;
}

} // namespace

ModuleLibrary::ModuleLibrary(const std::string& path)
{
    d_handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (d_handle == nullptr) {
        const char* error = dlerror();
        throw std::runtime_error("cannot load the renderer module '" + path +
                                 "': " + (error != nullptr ? error : "unknown error"));
    }
    try {
        d_api.createRenderer = reinterpret_cast<ZivCreateRendererFn>(bind(d_handle, "createRenderer", path));
        d_api.destroyRenderer = reinterpret_cast<ZivDestroyRendererFn>(bind(d_handle, "destroyRenderer", path));
        d_api.getLastErrorString =
            reinterpret_cast<ZivGetLastErrorStringFn>(bind(d_handle, "getLastErrorString", path));
        d_api.setSoftEdges = reinterpret_cast<ZivSetSoftEdgesFn>(dlsym(d_handle, "zivSetSoftEdges"));
        bindDamageControls(d_api, [this](const char* name) { return dlsym(d_handle, name); });
    } catch (...) {
        dlclose(d_handle);
        throw;
    }
    const link_map* map = nullptr;
    d_location =
        dlinfo(d_handle, RTLD_DI_LINKMAP, &map) == 0 && map != nullptr && map->l_name != nullptr ? map->l_name : path;
}

ModuleLibrary::~ModuleLibrary()
{
    dlclose(d_handle);
}

} // namespace zivdemo
