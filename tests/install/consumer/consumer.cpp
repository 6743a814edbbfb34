// A host's first steps against an installed ziv: the headers compile on their
// own, the software DirectDraw links and draws into memory, the Win32 calls of
// <windows.h> link and work on its surfaces (GetDC + SetPixel, as DirectDraw
// programs draw), and the module and the logger plug-in sit in the library
// folder with their exports. It is started without LD_LIBRARY_PATH.
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

// GDI on a surface's device context, then the pixel read back from memory.
void drawThroughDeviceContext(IDirectDrawSurface* surface)
{
    HDC dc = nullptr;
    checkResult(surface->GetDC(&dc), "GetDC");
    if (dc == nullptr)
        return;
    SetPixel(dc, 3, 2, RGB(255, 128, 0));
    checkResult(surface->ReleaseDC(dc), "ReleaseDC");
    DDSURFACEDESC locked;
    std::memset(&locked, 0, sizeof locked);
    locked.dwSize = sizeof locked;
    checkResult(surface->Lock(nullptr, &locked, DDLOCK_WAIT, nullptr), "Lock after GetDC");
    if (locked.lpSurface == nullptr)
        return;
    uint32_t pixel = 0;
    std::memcpy(&pixel, static_cast<unsigned char*>(locked.lpSurface) + 2 * locked.lPitch + 3 * 4, 4);
    check((pixel & 0xFFFFFF) == 0xFF8000, "SetPixel on the surface's device context writes the pixel");
    surface->Unlock(nullptr);
}

// The USER and kernel calls of <windows.h>.
void callWin32()
{
    const RECT a{0, 0, 37, 5}, b{30, 3, 50, 9};
    RECT both{};
    check(IntersectRect(&both, &a, &b) && both.left == 30 && both.top == 3 && both.right == 37 && both.bottom == 5,
          "IntersectRect");
    check(!IsRectEmpty(&both), "IsRectEmpty");
    WCHAR wide[8] = {};
    check(MultiByteToWideChar(CP_UTF8, 0, "h\xC3\xA9llo", -1, wide, 8) == 6 && wide[1] == 0xE9, "MultiByteToWideChar");
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
    checkResult(directDraw->SetDisplayMode(64, 64, 32), "SetDisplayMode");

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
        drawThroughDeviceContext(surface);
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
    callWin32();

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
