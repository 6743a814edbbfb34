#include "ModuleLoader.h"

#include <dlfcn.h>

#include <filesystem>
#include <stdexcept>

namespace ZivTest {

namespace {

template <typename Fn> Fn bindExport(void* library, const char* name)
{
    void* symbol = dlsym(library, name);
    if (symbol == nullptr)
        throw std::runtime_error(std::string("libziv.so lacks ") + name);
    return reinterpret_cast<Fn>(symbol);
}

} // namespace

std::string ZivModule::builtPath()
{
    return ZIV_TEST_MODULE_PATH;
}

ZivModule::ZivModule()
{
    // A copy under another path and inode is a separate library for the
    // loader, even though it carries the same soname.
    const std::filesystem::path copy = std::filesystem::path(d_directory.path()) / "libziv.so";
    std::filesystem::copy_file(builtPath(), copy);
    d_library = dlopen(copy.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (d_library == nullptr)
        throw std::runtime_error(std::string("cannot load libziv.so: ") + dlerror());
    createRenderer = bindExport<ZivCreateRendererFn>(d_library, "createRenderer");
    destroyRenderer = bindExport<ZivDestroyRendererFn>(d_library, "destroyRenderer");
    getLastErrorString = bindExport<ZivGetLastErrorStringFn>(d_library, "getLastErrorString");
    setSoftEdges = bindExport<ZivSetSoftEdgesFn>(d_library, "zivSetSoftEdges");
}

ZivModule::~ZivModule()
{
    destroyRenderer(nullptr);
    dlclose(d_library);
}

} // namespace ZivTest
