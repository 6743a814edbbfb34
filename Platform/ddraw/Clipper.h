// A clipper of the software DirectDraw: a list of rectangles that Blt draws
// into on the surfaces the clipper is attached to. The list is set with
// SetClipList, or follows a window given with SetHWnd (its client
// rectangle). Coordinates are those of the surfaces clipped: there is no
// screen to map them from.
#pragma once

#include <vector>

#include <ddraw.h>

namespace zivdd {

class Clipper final : public IDirectDrawClipper {
public:
    Clipper() = default;

    // IUnknown
    HRESULT QueryInterface(REFIID riid, void** object) override;
    ULONG AddRef() override;
    ULONG Release() override;

    // IDirectDrawClipper
    HRESULT GetClipList(LPRECT rect, LPRGNDATA clipList, LPDWORD size) override;
    HRESULT GetHWnd(HWND* window) override;
    HRESULT Initialize(LPDIRECTDRAW directDraw, DWORD flags) override;
    HRESULT IsClipListChanged(WINBOOL* changed) override;
    HRESULT SetClipList(LPRGNDATA clipList, DWORD flags) override;
    HRESULT SetHWnd(DWORD flags, HWND window) override;

    // The rectangles to draw into, none empty: DD_OK, DDERR_NOCLIPLIST when
    // the clipper has neither a list nor a window, or DDERR_OUTOFMEMORY.
    HRESULT clipRects(std::vector<RECT>& rects) const;

private:
    ~Clipper() = default;

    ULONG d_references = 1;
    HWND d_window = nullptr;
    bool d_hasList = false;
    std::vector<RECT> d_list;
};

// Our own clipper behind an interface pointer, or null for anything else.
Clipper* ownClipper(IDirectDrawClipper* clipper);

} // namespace zivdd
