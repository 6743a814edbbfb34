// Test-only control of the software DirectDraw (libddraw). Tests use it to
// make DirectDraw calls fail on purpose, to count calls, to lose surfaces and
// to prove that nobody wrote outside a surface. Not part of DirectDraw: code
// that must also build against the Windows SDK never includes this header.
//
// Operation names are the method names: "DirectDrawCreate",
// "SetCooperativeLevel", "SetDisplayMode", "RestoreDisplayMode",
// "GetDisplayMode", "CreateSurface", "Lock", "Unlock", "Blt", "BltFast",
// "GetDC", "ReleaseDC", "IsLost", "Restore", "SetColorKey", "GetColorKey",
// "GetSurfaceDesc", "GetPixelFormat", "GetCaps" (those can be made to fail),
// and "AddRef", "Release", "SetPixel" (counted only).
#pragma once

#include <cstddef>

#include <ddraw.h>

namespace ddrawtest {

// Arms a fault: the nth next call of `operation` (nth 1: the very next one)
// fails with `result` and does nothing else. With a surface, only calls made
// on that surface count and fail. Returns false, arming nothing, for an
// unknown or count-only operation name, a result that is not a failure, or
// nth 0.
ZIV_DDRAW_API bool failNext(const char* operation, HRESULT result, unsigned nth = 1,
                            IDirectDrawSurface* surface = nullptr);

// Arms a lasting fault: every call of `operation` (on `surface`, when given)
// fails with `result` until reset(). Same return value as failNext.
ZIV_DDRAW_API bool failAlways(const char* operation, HRESULT result, IDirectDrawSurface* surface = nullptr);

// The name of the index-th operation that can be made to fail, in the order
// listed above; null from index 19 on.
ZIV_DDRAW_API const char* failableOperation(size_t index);

// Faults armed and not yet fired (lasting faults stay counted).
ZIV_DDRAW_API size_t armedFaults();

// Calls of `operation` since the last reset(), failed ones included, on every
// surface. Unknown names count 0.
ZIV_DDRAW_API unsigned long callCount(const char* operation);

// Disarms every fault and sets every call count to 0. Surfaces and their
// lost state are left alone.
ZIV_DDRAW_API void reset();

// Loses one surface as a display mode change would. False when the surface is
// not a live surface of this library.
ZIV_DDRAW_API bool markLost(IDirectDrawSurface* surface);

// Every surface's pixels lie between guard bytes, and the padding at the end
// of each row is filled with a known pattern. True when they are untouched on
// `surface`, or on every live surface when it is null. False for a pointer
// that is not a live surface.
ZIV_DDRAW_API bool guardsIntact(IDirectDrawSurface* surface = nullptr);

// Live objects, for leak checks.
ZIV_DDRAW_API size_t liveSurfaceCount();
ZIV_DDRAW_API size_t liveDirectDrawCount();

} // namespace ddrawtest
