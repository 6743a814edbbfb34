// Call counting and armed faults of the software DirectDraw: every operation
// announces itself here first and fails with an armed fault's result when
// one is due (see ddraw_test.h for the control side).
#pragma once

#include <ddraw.h>

namespace zivdd {

enum class Operation : unsigned {
    DirectDrawCreate,
    SetCooperativeLevel,
    SetDisplayMode,
    RestoreDisplayMode,
    GetDisplayMode,
    CreateSurface,
    Lock,
    Unlock,
    Blt,
    BltFast,
    GetDC,
    ReleaseDC,
    IsLost,
    Restore,
    SetColorKey,
    GetColorKey,
    GetSurfaceDesc,
    GetPixelFormat,
    GetCaps,
    // Counted only: their results are not result codes.
    AddRef,
    Release,
    SetPixel,
    GetClipper,
    GetClipList,
    Count
};

// Counts a call of `operation`, made on `surface` (null: on the DirectDraw
// object or no object). Returns the result of the fault that fires on this
// call, or DD_OK.
HRESULT enterOperation(Operation operation, const IDirectDrawSurface* surface = nullptr);

} // namespace zivdd
