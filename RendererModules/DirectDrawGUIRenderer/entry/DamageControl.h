// The damage-aware frames' controls behind the module's exports: each
// answers 1 on success, 0 for a renderer it cannot use, and never throws.
#pragma once

#include <cstdint>

#include "ziv.h"

namespace ZorvUISystem {

int damageSetTracking(Renderer* renderer, int enabled);
int damageInvalidateTarget(Renderer* renderer, IDirectDrawSurface* surface, const RECT* rect);
int damageSetBackgroundColour(Renderer* renderer, uint32_t fillColour);
int damageSetBackgroundSurface(Renderer* renderer, IDirectDrawSurface* surface);
int damageSetBufferSlot(Renderer* renderer, uint32_t slot);
uint32_t damageRects(Renderer* renderer, RECT* rects, uint32_t capacity);

} // namespace ZorvUISystem
