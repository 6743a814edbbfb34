// Test-only control of the software DirectDraw (libddraw). Tests use it to
// make DirectDraw calls fail on purpose, to count calls, to lose surfaces, to
// prove that nobody wrote outside a surface, and to switch on the harsher
// behaviours of real DirectDraws (at the end of this header). Not part of DirectDraw: code
// that must also build against the Windows SDK never includes this header.
//
// Operation names are the method names: "DirectDrawCreate",
// "SetCooperativeLevel", "SetDisplayMode", "RestoreDisplayMode",
// "GetDisplayMode", "CreateSurface", "Lock", "Unlock", "Blt", "BltFast",
// "GetDC", "ReleaseDC", "IsLost", "Restore", "SetColorKey", "GetColorKey",
// "GetSurfaceDesc", "GetPixelFormat", "GetCaps" (those can be made to fail),
// and "AddRef", "Release", "SetPixel", "GetClipper", "GetClipList" (counted
// only).
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

// The name of the index-th operation that is counted: the failable ones
// first, then the counted-only ones; null past the last.
ZIV_DDRAW_API const char* countedOperation(size_t index);

// Faults armed and not yet fired (lasting faults stay counted).
ZIV_DDRAW_API size_t armedFaults();

// Calls of `operation` since the last reset(), failed ones included, on every
// surface. Unknown names count 0.
ZIV_DDRAW_API unsigned long callCount(const char* operation);

// Disarms every fault and armed loss and sets every call count to 0.
// Surfaces and their lost state are left alone.
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

// ---------------------------------------------------------------------------
// Behaviours of a real DirectDraw. Out of the box the software DirectDraw is
// a kind one: it blits at once, zero-fills new and restored memory, loses
// surfaces only when its own SetDisplayMode changes the mode, restores every
// lost surface and has unlimited video memory. Each switch below puts on one
// harsher behaviour that drivers show; all are off until set, and
// resetBehaviours() puts them all off again (reset() leaves them alone).
// A program that cannot call these (a host run as it is) gets some of them
// from the environment: ZIV_DDRAW_BEHAVIOUR="garbage,lost-usable,wrong-mode,
// busy=N,budget=BYTES" (any of them, comma-separated).

// Loses every surface of a DirectDraw object at once, at any moment, as on
// Windows another program taking the focus from an exclusive-mode program
// (alt-tab) or changing the display mode does; the display mode stays. False
// for an object that is not a live DirectDraw object of this library.
ZIV_DDRAW_API bool loseAllSurfaces(IDirectDraw* directDraw);

// Arms such a loss in the middle of a run: on the nth next call of
// `operation` (any name above, counted-only ones included; on any surface),
// every surface of `directDraw` is lost just before the call does its work,
// so that the call itself already meets lost surfaces. A `directDraw` that
// is no longer live by then loses nothing. False, arming nothing, for an
// unknown operation name, nth 0 or a null object. reset() disarms.
ZIV_DDRAW_API bool loseAllSurfacesOn(const char* operation, unsigned nth, IDirectDraw* directDraw);
// Losses armed and not yet happened (not counted by armedFaults()).
ZIV_DDRAW_API size_t armedLosses();

// Wine and some drivers let Blt, BltFast, colour fills, GetDC and Lock work
// on a lost surface (on its stale memory). Off: they fail with
// DDERR_SURFACELOST, as the SDK says they do on Windows.
ZIV_DDRAW_API void setLostSurfacesUsable(bool on);

// Restore of a lost surface in video memory (asked for, or placed there for
// want of a memory flag) fails with DDERR_WRONGMODE when the display's colour
// depth is no longer the one the surface was created in: the SDK's rule that
// such a surface cannot be restored and must be created again. Surfaces in
// system memory still restore.
ZIV_DDRAW_API void setWrongModeOnRestore(bool on);

// New surfaces and restored ones hold a garbage pattern (different each
// time) instead of zeros: the SDK leaves their contents undefined. Row
// padding and guards are not touched.
ZIV_DDRAW_API void setGarbageMemory(bool on);

// A blitter that works behind the caller's back: after a blit or colour fill
// onto a surface, that surface and the blit's source stay busy for `calls`
// more calls. Blt, BltFast and Lock on a busy surface (as destination or
// source) made without their wait flag (DDBLT_WAIT, DDBLTFAST_WAIT,
// DDLOCK_WAIT) fail with DDERR_WASSTILLDRAWING, each such call counting one
// down; with the wait flag they succeed, having waited for the blitter. 0
// (the default) turns the busy blitter off.
ZIV_DDRAW_API void setBusyBlitter(unsigned calls);

// Video memory of `bytes` (pitch times height per surface), shared by every
// DirectDraw object of the library. Surfaces in video memory, asked for or
// placed there for want of a memory flag, that do not fit fail with
// DDERR_OUTOFVIDEOMEMORY; as on Wine, a surface without a memory flag does
// not fall back to system memory. IDirectDraw2::GetAvailableVidMem reports
// the budget and what is left of it. 0 (the default): unlimited.
ZIV_DDRAW_API void setVideoMemoryBudget(size_t bytes);
// Bytes of video memory that live surfaces hold, counted with or without a
// budget.
ZIV_DDRAW_API size_t videoMemoryInUse();

// The client rectangle of a window, which a clipper given the window with
// SetHWnd takes as its clip list (in the coordinates of the surfaces it clips:
// there is no screen here). Windows not set here have the default display
// mode's rectangle, 0, 0, 1024, 768. False for a null window or an inverted
// rectangle.
ZIV_DDRAW_API bool setClientRect(HWND window, const RECT& client);

// Reading a window's clip list while a surface is locked can hang older
// Windows (the window manager waits for the lock). On: GetClipList while any
// surface of the library is locked fails with DDERR_LOCKEDSURFACES instead.
ZIV_DDRAW_API void setClipListRefusedWhileLocked(bool on);

// Puts every behaviour above off and forgets the client rectangles.
ZIV_DDRAW_API void resetBehaviours();

} // namespace ddrawtest
