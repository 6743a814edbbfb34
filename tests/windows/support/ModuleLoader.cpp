// The module as a Windows host sees it: a private copy of the built ziv.dll
// loaded with LoadLibraryW and its exports bound with GetProcAddress.
#include "ModuleLoader.h"

#include <windows.h>

#include <stdexcept>

#include "WinTestSupport.h"

namespace ZivTest {

namespace {

template <typename Fn> Fn bindExport(HMODULE library, const char* name)
{
    const FARPROC symbol = GetProcAddress(library, name);
    if (symbol == nullptr)
        throw std::runtime_error(std::string("ziv.dll lacks ") + name);
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(symbol));
}

} // namespace

std::string ZivModule::builtPath()
{
    return ZivWinTest::toUtf8(ZivWinTest::programDirectory() + L"ziv.dll");
}

ZivModule::ZivModule()
{
    // A copy by another full path is a separate module for the loader, with
    // its own module state. Its GCC support DLL comes from the program's
    // directory, which the loader searches first.
    const std::wstring copy = ZivWinTest::widen(d_directory.path()) + L"\\ziv.dll";
    ZivWinTest::copyFile(ZivWinTest::programDirectory() + L"ziv.dll", copy);
    HMODULE library = LoadLibraryW(copy.c_str());
    if (library == nullptr)
        throw std::runtime_error("cannot load ziv.dll (error " + std::to_string(GetLastError()) + ")");
    d_library = library;
    createRenderer = bindExport<ZivCreateRendererFn>(library, "createRenderer");
    destroyRenderer = bindExport<ZivDestroyRendererFn>(library, "destroyRenderer");
    getLastErrorString = bindExport<ZivGetLastErrorStringFn>(library, "getLastErrorString");
}

ZivModule::~ZivModule()
{
    destroyRenderer(nullptr);
    FreeLibrary(static_cast<HMODULE>(d_library));
}

} // namespace ZivTest
