// A palette object of the software DirectDraw (CreatePalette): 16 or 256
// entries that a palette-indexed surface of the same size takes with
// SetPalette. Surfaces without one use the built-in default palette.
#pragma once

#include <ddraw.h>

#include "Palette.h"

namespace zivdd {

class PaletteObject final : public IDirectDrawPalette {
public:
    PaletteObject(DWORD caps, const Palette& table) : d_caps(caps), d_table(table) {}

    // IUnknown
    HRESULT QueryInterface(REFIID riid, void** object) override;
    ULONG AddRef() override;
    ULONG Release() override;

    // IDirectDrawPalette
    HRESULT GetCaps(LPDWORD caps) override;
    HRESULT GetEntries(DWORD flags, DWORD base, DWORD count, LPPALETTEENTRY entries) override;
    HRESULT Initialize(LPDIRECTDRAW directDraw, DWORD flags, LPPALETTEENTRY colourTable) override;
    HRESULT SetEntries(DWORD flags, DWORD start, DWORD count, LPPALETTEENTRY entries) override;

    const Palette& table() const { return d_table; }
    unsigned bits() const { return d_table.count == 16 ? 4 : 8; }

private:
    ~PaletteObject() = default;

    ULONG d_references = 1;
    DWORD d_caps;
    Palette d_table;
};

// Makes a palette as CreatePalette does: DD_OK, DDERR_INVALIDPARAMS,
// DDERR_UNSUPPORTED (caps not offered) or DDERR_OUTOFMEMORY.
HRESULT createPalette(DWORD caps, const PALETTEENTRY* entries, IDirectDrawPalette** palette);

// Our own palette behind an interface pointer, or null for anything else.
PaletteObject* ownPalette(IDirectDrawPalette* palette);

} // namespace zivdd
