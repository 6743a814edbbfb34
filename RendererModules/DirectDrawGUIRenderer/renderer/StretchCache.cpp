#include "renderer/StretchCache.h"

#include <cstring>
#include <utility>

#include "texture/CDDTexture.h"
#include "texture/SurfaceCalls.h"

namespace ZorvUISystem {

namespace {

// A surface of the size asked for, made in the memory and pixel format of
// another; null when DirectDraw will not.
IDirectDrawSurface* surfaceLike(IDirectDraw* directDraw, IDirectDrawSurface* like, LONG width, LONG height)
{
    DDSURFACEDESC desc;
    std::memset(&desc, 0, sizeof(desc));
    desc.dwSize = sizeof(desc);
    if (directDraw == nullptr || like == nullptr || like->GetSurfaceDesc(&desc) != DD_OK)
        return nullptr;
    DDSURFACEDESC made;
    std::memset(&made, 0, sizeof(made));
    made.dwSize = sizeof(made);
    made.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
    made.dwWidth = static_cast<DWORD>(width);
    made.dwHeight = static_cast<DWORD>(height);
    made.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | (desc.ddsCaps.dwCaps & (DDSCAPS_SYSTEMMEMORY | DDSCAPS_VIDEOMEMORY));
    made.ddpfPixelFormat = desc.ddpfPixelFormat;
    IDirectDrawSurface* surface = nullptr;
    if (directDraw->CreateSurface(&made, &surface, nullptr) != DD_OK)
        return nullptr;
    return surface;
}

} // namespace

struct StretchCache::Entry {
    Entry() = default;
    Entry(Entry&& other) noexcept { *this = std::move(other); }
    Entry& operator=(Entry&& other) noexcept
    {
        std::swap(texture, other.texture);
        std::swap(version, other.version);
        std::swap(source, other.source);
        std::swap(width, other.width);
        std::swap(height, other.height);
        std::swap(copy, other.copy);
        std::swap(used, other.used);
        return *this;
    }
    ~Entry()
    {
        if (copy != nullptr)
            copy->Release();
    }
    const CDDTexture* texture = nullptr;
    uint64_t version = 0; // the texture's when the copy was made
    RECT source = {0, 0, 0, 0};
    LONG width = 0;
    LONG height = 0;
    IDirectDrawSurface* copy = nullptr;
    uint64_t used = 0;
};

StretchCache::StretchCache() = default;
StretchCache::~StretchCache() = default;

void StretchCache::clear()
{
    d_entries.clear();
    d_pixels = 0;
}

IDirectDrawSurface* StretchCache::stretched(IDirectDraw* directDraw, IDirectDrawSurface* like, uint64_t likeVersion,
                                            const CDDTexture& texture, const RECT& source, LONG width, LONG height,
                                            uint64_t budget)
{
    if (likeVersion != d_likeVersion) {
        clear();
        d_likeVersion = likeVersion;
    }
    ++d_uses;
    // A small stretch costs little to make again: the kept ones are the few
    // large ones, found by a short walk.
    constexpr uint64_t kSmallest = 16 * 16;
    constexpr size_t kMostKept = 32;
    const uint64_t pixels = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
    if (width <= 0 || height <= 0 || pixels < kSmallest || pixels > budget || texture.colourSurface() == nullptr)
        return nullptr;
    for (auto it = d_entries.begin(); it != d_entries.end(); ++it) {
        Entry& entry = *it;
        if (entry.texture != &texture || entry.width != width || entry.height != height ||
            entry.source.left != source.left || entry.source.top != source.top || entry.source.right != source.right ||
            entry.source.bottom != source.bottom)
            continue;
        // A copy whose texture changed since, or whose surface was lost, is
        // made again.
        if (entry.version == texture.contentVersion() && !surfaceLost(entry.copy)) {
            entry.used = d_uses;
            return entry.copy;
        }
        d_pixels -= pixels;
        d_entries.erase(it);
        break;
    }
    // Room under the budget: the least recently used go.
    while (!d_entries.empty() && (d_pixels + pixels > budget || d_entries.size() >= kMostKept)) {
        auto oldest = d_entries.begin();
        for (auto it = d_entries.begin(); it != d_entries.end(); ++it)
            if (it->used < oldest->used)
                oldest = it;
        d_pixels -= static_cast<uint64_t>(oldest->width) * static_cast<uint64_t>(oldest->height);
        d_entries.erase(oldest);
    }
    Entry entry;
    entry.copy = surfaceLike(directDraw, like, width, height);
    if (entry.copy == nullptr)
        return nullptr;
    RECT whole = {0, 0, width, height};
    RECT from = source;
    if (entry.copy->Blt(&whole, texture.colourSurface(), &from, DDBLT_WAIT, nullptr) < 0)
        return nullptr;
    entry.texture = &texture;
    entry.version = texture.contentVersion();
    entry.source = source;
    entry.width = width;
    entry.height = height;
    entry.used = d_uses;
    d_entries.push_back(std::move(entry));
    d_pixels += pixels;
    return d_entries.back().copy;
}

} // namespace ZorvUISystem
