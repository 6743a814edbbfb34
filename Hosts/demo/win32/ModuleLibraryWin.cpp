// The demo host's module loader on Windows: ziv.dll with LoadLibraryW and
// GetProcAddress, as a Windows host loads it.
#include "ModuleLibrary.h"

#include <windows.h>

#include <stdexcept>
#include <string>

namespace zivdemo {

namespace {

std::wstring widen(const std::string& utf8)
{
    const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
    std::wstring wide(length > 0 ? static_cast<size_t>(length) : 1, L'\0');
    if (length > 0)
        MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, wide.data(), length);
    return wide;
}

std::string narrow(const std::wstring& wide)
{
    const int length = WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string text(length > 0 ? static_cast<size_t>(length) : 1, '\0');
    if (length > 0)
        WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, text.data(), length, nullptr, nullptr);
    text.resize(text.size() - 1);
    return text;
}

template <typename Fn> Fn bind(HMODULE module, const char* name, const std::string& path)
{
    const FARPROC symbol = GetProcAddress(module, name);
    if (symbol == nullptr)
        throw std::runtime_error("the module '" + path + "' has no export " + name);
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(symbol));
}

} // namespace

ModuleLibrary::ModuleLibrary(const std::string& path)
{
    HMODULE module = LoadLibraryW(widen(path).c_str());
    if (module == nullptr)
        throw std::runtime_error("cannot load the renderer module '" + path + "' (error " +
                                 std::to_string(GetLastError()) + ")");
    d_handle = module;
    try {
        d_api.createRenderer = bind<ZivCreateRendererFn>(module, "createRenderer", path);
        d_api.destroyRenderer = bind<ZivDestroyRendererFn>(module, "destroyRenderer", path);
        d_api.getLastErrorString = bind<ZivGetLastErrorStringFn>(module, "getLastErrorString", path);
        if (const FARPROC soft = GetProcAddress(module, "zivSetSoftEdges"); soft != nullptr)
            d_api.setSoftEdges = reinterpret_cast<ZivSetSoftEdgesFn>(reinterpret_cast<void (*)()>(soft));
        bindDamageControls(
            d_api, [module](const char* name) { return reinterpret_cast<void (*)()>(GetProcAddress(module, name)); });
    } catch (...) {
        FreeLibrary(module);
        throw;
    }
    std::wstring location(MAX_PATH, L'\0');
    const DWORD length = GetModuleFileNameW(module, location.data(), static_cast<DWORD>(location.size()));
    d_location = length > 0 && length < location.size() ? narrow(location.substr(0, length)) : path;
}

ModuleLibrary::~ModuleLibrary()
{
    FreeLibrary(static_cast<HMODULE>(d_handle));
}

} // namespace zivdemo
