// Stretched copies of texture rectangles, kept between damage-aware frames.
// A stretch samples its source by the two rectangles' sizes alone, so the
// part of a large stretched quad that a small damage needs cannot be
// stretched on its own; stretched whole once, it is copied in parts from
// here on later frames, until its texture changes.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include <ddraw.h>

namespace ZorvUISystem {

class CDDTexture;

class StretchCache {
public:
    StretchCache();
    ~StretchCache();
    StretchCache(const StretchCache&) = delete;
    StretchCache& operator=(const StretchCache&) = delete;

    // The source rectangle of the texture's colour surface stretched to a
    // surface of width x height (at 0,0) made like `like` (the scratch),
    // made now or kept from before; null when it cannot be had (it is then
    // stretched as before). What is kept stays under `budget` pixels, the
    // least recently used going first.
    // A new `like` (likeVersion changed: the scratch made anew, maybe in
    // another format) gives back every copy made like the old one.
    IDirectDrawSurface* stretched(IDirectDraw* directDraw, IDirectDrawSurface* like, uint64_t likeVersion,
                                  const CDDTexture& texture, const RECT& source, LONG width, LONG height,
                                  uint64_t budget);
    // Everything kept is given back (a device reset, the mode off).
    void clear();

private:
    struct Entry;
    std::vector<Entry> d_entries;
    uint64_t d_pixels = 0;
    uint64_t d_uses = 0;
    uint64_t d_likeVersion = 0;
};

} // namespace ZorvUISystem
