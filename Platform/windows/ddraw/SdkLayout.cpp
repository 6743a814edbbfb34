// The module hands DirectDraw its surface and blit descriptions with the
// SDK's sizes in dwSize; the 32-bit layout is the one the module was written
// for, and hosts built with other compilers must agree with it byte for byte.
#include <windows.h>

#include <ddraw.h>

#include <cstddef>

static_assert(sizeof(DDPIXELFORMAT) == 32, "DDPIXELFORMAT is 32 bytes");
static_assert(sizeof(DDCOLORKEY) == 8, "DDCOLORKEY is 8 bytes");
static_assert(sizeof(RECT) == 16, "RECT is four 32-bit values");

#if defined(_M_IX86) || defined(__i386__)
static_assert(sizeof(DDSURFACEDESC) == 108, "DDSURFACEDESC is 108 bytes on 32-bit x86");
static_assert(offsetof(DDSURFACEDESC, lPitch) == 16);
static_assert(offsetof(DDSURFACEDESC, lpSurface) == 36);
static_assert(offsetof(DDSURFACEDESC, ddckCKSrcBlt) == 64);
static_assert(offsetof(DDSURFACEDESC, ddpfPixelFormat) == 72);
static_assert(offsetof(DDSURFACEDESC, ddsCaps) == 104);
static_assert(sizeof(DDBLTFX) == 100, "DDBLTFX is 100 bytes on 32-bit x86");
static_assert(offsetof(DDBLTFX, dwFillColor) == 80);
#elif defined(_M_X64) || defined(__x86_64__)
// The pointer in the middle moves everything after it by 4 and pads the end.
static_assert(sizeof(DDSURFACEDESC) == 120, "DDSURFACEDESC is 120 bytes on x64");
static_assert(offsetof(DDSURFACEDESC, lpSurface) == 40);
static_assert(offsetof(DDSURFACEDESC, ddpfPixelFormat) == 80);
#endif
