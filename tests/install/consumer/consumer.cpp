// A host's first steps against an installed ziv: the headers compile on their
// own, the software DirectDraw links and draws into memory, and the module and
// the logger plug-in sit in the library folder with their exports.
//
//   consumer <library folder>
#include <ziv/PlovLogger.h>
#include <ziv/ziv.h>

#include <ddraw.h>
#include <windows.h>
#if __has_include(<corona.h>)
#include <corona.h>
#endif

#include <cstdio>
#include <cstring>
#include <dlfcn.h>
#include <string>

namespace {

int failures = 0;

void check(bool ok, const char* what)
{
    if (!ok) {
        std::fprintf(stderr, "consumer: FAILED: %s\n", what);
        ++failures;
    }
}

void checkResult(HRESULT result, const char* what)
{
    if (result != DD_OK) {
        std::fprintf(stderr, "consumer: FAILED: %s returned 0x%08X\n", what, static_cast<unsigned>(result));
        ++failures;
    }
}

void drawIntoMemory()
{
    IDirectDraw* directDraw = nullptr;
    checkResult(DirectDrawCreate(nullptr, &directDraw, nullptr), "DirectDrawCreate");
    if (directDraw == nullptr) {
        check(false, "DirectDrawCreate gives an object");
        return;
    }
    checkResult(directDraw->SetCooperativeLevel(nullptr, DDSCL_NORMAL), "SetCooperativeLevel");

    DDSURFACEDESC desc;
    std::memset(&desc, 0, sizeof desc);
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
    desc.dwWidth = 37;
    desc.dwHeight = 5;
    IDirectDrawSurface* surface = nullptr;
    checkResult(directDraw->CreateSurface(&desc, &surface, nullptr), "CreateSurface");
    if (surface != nullptr) {
        DDSURFACEDESC locked;
        std::memset(&locked, 0, sizeof locked);
        locked.dwSize = sizeof locked;
        checkResult(surface->Lock(nullptr, &locked, DDLOCK_WAIT, nullptr), "Lock");
        if (locked.lpSurface != nullptr) {
            check(locked.dwWidth == 37 && locked.dwHeight == 5, "the locked surface has the requested size");
            const DWORD bytesPerPixel = locked.ddpfPixelFormat.dwRGBBitCount / 8;
            check(bytesPerPixel >= 1 && locked.lPitch >= LONG(37 * bytesPerPixel), "the pitch holds a row");
            // Every byte of the surface is writable.
            auto* pixels = static_cast<unsigned char*>(locked.lpSurface);
            for (DWORD y = 0; y < 5; ++y)
                std::memset(pixels + y * locked.lPitch, 0x5A, 37 * bytesPerPixel);
            checkResult(surface->Unlock(nullptr), "Unlock");
        } else {
            check(false, "Lock gives the pixels");
        }
        surface->Release();
    }
    directDraw->Release();
}

void findExports(const std::string& path, const char* const* names)
{
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        std::fprintf(stderr, "consumer: FAILED: cannot load %s: %s\n", path.c_str(), dlerror());
        ++failures;
        return;
    }
    for (; *names != nullptr; ++names)
        if (dlsym(library, *names) == nullptr) {
            std::fprintf(stderr, "consumer: FAILED: %s lacks %s\n", path.c_str(), *names);
            ++failures;
        }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: consumer <library folder>\n");
        return 2;
    }
    drawIntoMemory();

    const std::string folder = std::string(argv[1]) + "/";
    const char* const moduleExports[] = {"createRenderer", "destroyRenderer", "getLastErrorString", nullptr};
    findExports(folder + "libziv.so", moduleExports);
    const char* const pluginExports[] = {"CreatePlovLogger", "unRecoveryError", "GetLogLevelFromIniFile", nullptr};
    findExports(folder + "dll_logger.dll", pluginExports);

    if (failures != 0)
        return 1;
    std::printf("consumer: ok\n");
    return 0;
}
