#include "PaletteObject.h"

#include <new>

namespace zivdd {

HRESULT createPalette(DWORD caps, const PALETTEENTRY* entries, IDirectDrawPalette** palette)
{
    if (palette != nullptr)
        *palette = nullptr;
    if (palette == nullptr || entries == nullptr)
        return DDERR_INVALIDPARAMS;
    const DWORD known = DDPCAPS_4BIT | DDPCAPS_8BIT | DDPCAPS_INITIALIZE | DDPCAPS_ALLOW256 | DDPCAPS_PRIMARYSURFACE;
    const bool four = (caps & DDPCAPS_4BIT) != 0;
    const bool eight = (caps & DDPCAPS_8BIT) != 0;
    if ((caps & DDPCAPS_8BITENTRIES) != 0)
        return DDERR_UNSUPPORTED;
    if ((caps & ~known) != 0 || four == eight)
        return DDERR_INVALIDPARAMS;
    Palette table;
    table.count = four ? 16 : 256;
    for (unsigned i = 0; i < table.count; ++i)
        table.entries[i] = entries[i];
    PaletteObject* made = new (std::nothrow) PaletteObject(caps & ~DWORD(DDPCAPS_INITIALIZE), table);
    if (made == nullptr)
        return DDERR_OUTOFMEMORY;
    *palette = made;
    return DD_OK;
}

PaletteObject* ownPalette(IDirectDrawPalette* palette)
{
    return palette == nullptr ? nullptr : dynamic_cast<PaletteObject*>(palette);
}

HRESULT PaletteObject::QueryInterface(REFIID, void** object)
{
    if (object == nullptr)
        return DDERR_INVALIDPARAMS;
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG PaletteObject::AddRef()
{
    return ++d_references;
}

ULONG PaletteObject::Release()
{
    const ULONG left = --d_references;
    if (left == 0)
        delete this;
    return left;
}

HRESULT PaletteObject::GetCaps(LPDWORD caps)
{
    if (caps == nullptr)
        return DDERR_INVALIDPARAMS;
    *caps = d_caps;
    return DD_OK;
}

HRESULT PaletteObject::GetEntries(DWORD flags, DWORD base, DWORD count, LPPALETTEENTRY entries)
{
    if (flags != 0 || entries == nullptr || base > d_table.count || count > d_table.count - base)
        return DDERR_INVALIDPARAMS;
    for (DWORD i = 0; i < count; ++i)
        entries[i] = d_table.entries[base + i];
    return DD_OK;
}

HRESULT PaletteObject::SetEntries(DWORD flags, DWORD start, DWORD count, LPPALETTEENTRY entries)
{
    if (flags != 0 || entries == nullptr || start > d_table.count || count > d_table.count - start)
        return DDERR_INVALIDPARAMS;
    for (DWORD i = 0; i < count; ++i)
        d_table.entries[start + i] = entries[i];
    return DD_OK;
}

HRESULT PaletteObject::Initialize(LPDIRECTDRAW, DWORD, LPPALETTEENTRY)
{
    return DDERR_ALREADYINITIALIZED;
}

} // namespace zivdd
