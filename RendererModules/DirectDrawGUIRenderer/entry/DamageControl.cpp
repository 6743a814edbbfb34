// The damage-aware frames' controls: a host's renderer checked to be one of
// this module's, then the call handed to its damage state.
#include "entry/DamageControl.h"

#include "renderer/CDDRender.h"
#include "renderer/Damage.h"

namespace ZorvUISystem {

namespace {

CDDRender* moduleRenderer(Renderer* renderer)
{
    return renderer != nullptr ? dynamic_cast<CDDRender*>(renderer) : nullptr;
}

DamageState* damageOf(Renderer* renderer)
{
    CDDRender* render = moduleRenderer(renderer);
    return render != nullptr ? render->damageState() : nullptr;
}

} // namespace

int damageSetTracking(Renderer* renderer, int enabled)
{
    try {
        CDDRender* render = moduleRenderer(renderer);
        if (render == nullptr)
            return 0;
        render->setDamageTracking(enabled != 0);
        return 1;
    } catch (...) {
        return 0;
    }
}

int damageInvalidateTarget(Renderer* renderer, IDirectDrawSurface* surface, const RECT* rect)
{
    DamageState* damage = damageOf(renderer);
    if (damage == nullptr)
        return 0;
    try {
        damage->invalidate(surface, rect);
    } catch (...) {
        // Out of memory for the rectangle: all of it then.
        damage->invalidate(surface, nullptr);
    }
    return 1;
}

int damageSetBackgroundColour(Renderer* renderer, uint32_t fillColour)
{
    DamageState* damage = damageOf(renderer);
    if (damage == nullptr)
        return 0;
    damage->setBackgroundColour(fillColour);
    return 1;
}

int damageSetBackgroundSurface(Renderer* renderer, IDirectDrawSurface* surface)
{
    DamageState* damage = damageOf(renderer);
    if (damage == nullptr)
        return 0;
    damage->setBackgroundSurface(surface);
    return 1;
}

int damageSetBufferSlot(Renderer* renderer, uint32_t slot)
{
    DamageState* damage = damageOf(renderer);
    if (damage == nullptr)
        return 0;
    damage->setBufferSlot(slot);
    return 1;
}

uint32_t damageRects(Renderer* renderer, RECT* rects, uint32_t capacity)
{
    DamageState* damage = damageOf(renderer);
    if (damage == nullptr)
        return 0;
    const std::vector<RECT>& last = damage->lastRects();
    for (uint32_t i = 0; rects != nullptr && i < capacity && i < last.size(); ++i)
        rects[i] = last[i];
    return static_cast<uint32_t>(last.size());
}

} // namespace ZorvUISystem
