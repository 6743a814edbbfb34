#include "Clipper.h"

#include <cstring>

#include "Behaviour.h"
#include "FaultInjection.h"

namespace zivdd {

namespace {

bool emptyRect(const RECT& rect)
{
    return rect.left >= rect.right || rect.top >= rect.bottom;
}

RECT intersection(const RECT& a, const RECT& b)
{
    return RECT{a.left > b.left ? a.left : b.left, a.top > b.top ? a.top : b.top, a.right < b.right ? a.right : b.right,
                a.bottom < b.bottom ? a.bottom : b.bottom};
}

// The rectangles follow the header; Buffer is only their first byte.
char* rectsOf(LPRGNDATA data)
{
    return reinterpret_cast<char*>(data) + sizeof(RGNDATAHEADER);
}

} // namespace

Clipper* ownClipper(IDirectDrawClipper* clipper)
{
    return clipper == nullptr ? nullptr : dynamic_cast<Clipper*>(clipper);
}

HRESULT Clipper::QueryInterface(REFIID, void** object)
{
    if (object == nullptr)
        return DDERR_INVALIDPARAMS;
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG Clipper::AddRef()
{
    return ++d_references;
}

ULONG Clipper::Release()
{
    const ULONG left = --d_references;
    if (left == 0)
        delete this;
    return left;
}

HRESULT Clipper::clipRects(std::vector<RECT>& rects) const
{
    rects.clear();
    if (d_window == nullptr && !d_hasList)
        return DDERR_NOCLIPLIST;
    try {
        if (d_window != nullptr) {
            const RECT client = clientRect(d_window);
            if (!emptyRect(client))
                rects.push_back(client);
        } else {
            rects = d_list;
        }
    } catch (...) {
        return DDERR_OUTOFMEMORY;
    }
    return DD_OK;
}

HRESULT Clipper::GetClipList(LPRECT rect, LPRGNDATA clipList, LPDWORD size)
{
    enterOperation(Operation::GetClipList);
    if (behaviour().clipListRefusedWhileLocked && lockedSurfaces() != 0)
        return DDERR_LOCKEDSURFACES;
    if (size == nullptr)
        return DDERR_INVALIDPARAMS;
    std::vector<RECT> rects;
    const HRESULT listed = clipRects(rects);
    if (listed < 0)
        return listed;
    // Cut to the rectangle asked about, dropping what falls outside it.
    if (rect != nullptr) {
        std::vector<RECT> cut;
        for (const RECT& r : rects) {
            const RECT inside = intersection(r, *rect);
            if (!emptyRect(inside))
                cut.push_back(inside);
        }
        rects.swap(cut);
    }
    const DWORD needed = static_cast<DWORD>(sizeof(RGNDATAHEADER) + rects.size() * sizeof(RECT));
    if (clipList == nullptr) {
        *size = needed;
        return DD_OK;
    }
    if (*size < needed) {
        *size = needed;
        return DDERR_REGIONTOOSMALL;
    }
    RGNDATAHEADER& header = clipList->rdh;
    header.dwSize = sizeof(RGNDATAHEADER);
    header.iType = RDH_RECTANGLES;
    header.nCount = static_cast<DWORD>(rects.size());
    header.nRgnSize = static_cast<DWORD>(rects.size() * sizeof(RECT));
    header.rcBound = RECT{0, 0, 0, 0};
    for (size_t i = 0; i < rects.size(); ++i) {
        const RECT& r = rects[i];
        RECT& bound = header.rcBound;
        if (i == 0)
            bound = r;
        else
            bound =
                RECT{r.left < bound.left ? r.left : bound.left, r.top < bound.top ? r.top : bound.top,
                     r.right > bound.right ? r.right : bound.right, r.bottom > bound.bottom ? r.bottom : bound.bottom};
    }
    if (!rects.empty())
        std::memcpy(rectsOf(clipList), rects.data(), rects.size() * sizeof(RECT));
    return DD_OK;
}

HRESULT Clipper::SetClipList(LPRGNDATA clipList, DWORD flags)
{
    if (flags != 0)
        return DDERR_INVALIDPARAMS;
    if (d_window != nullptr)
        return DDERR_CLIPPERISUSINGHWND;
    // No list takes the list away.
    if (clipList == nullptr) {
        d_hasList = false;
        d_list.clear();
        return DD_OK;
    }
    const RGNDATAHEADER& header = clipList->rdh;
    if (header.dwSize != sizeof(RGNDATAHEADER) || header.iType != RDH_RECTANGLES)
        return DDERR_INVALIDCLIPLIST;
    std::vector<RECT> list;
    try {
        list.reserve(header.nCount);
        for (DWORD i = 0; i < header.nCount; ++i) {
            RECT r;
            std::memcpy(&r, rectsOf(clipList) + i * sizeof(RECT), sizeof(RECT));
            if (r.left > r.right || r.top > r.bottom)
                return DDERR_INVALIDCLIPLIST;
            if (!emptyRect(r))
                list.push_back(r);
        }
    } catch (...) {
        return DDERR_OUTOFMEMORY;
    }
    d_list.swap(list);
    d_hasList = true;
    return DD_OK;
}

HRESULT Clipper::SetHWnd(DWORD flags, HWND window)
{
    if (flags != 0)
        return DDERR_INVALIDPARAMS;
    d_window = window;
    return DD_OK;
}

HRESULT Clipper::GetHWnd(HWND* window)
{
    if (window == nullptr)
        return DDERR_INVALIDPARAMS;
    *window = d_window;
    return DD_OK;
}

HRESULT Clipper::Initialize(LPDIRECTDRAW, DWORD)
{
    return DDERR_ALREADYINITIALIZED;
}

HRESULT Clipper::IsClipListChanged(WINBOOL* changed)
{
    if (changed == nullptr)
        return DDERR_INVALIDPARAMS;
    *changed = FALSE;
    return DD_OK;
}

} // namespace zivdd
