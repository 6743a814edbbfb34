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

// 1 with set(damage) done, 0 for a renderer without damage-aware frames.
template <class Set> int withDamage(Renderer* renderer, const Set& set)
{
    DamageState* damage = damageOf(renderer);
    if (damage == nullptr)
        return 0;
    set(*damage);
    return 1;
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
    return withDamage(renderer, [&](DamageState& damage) { damage.setBackgroundColour(fillColour); });
}

int damageSetBackgroundSurface(Renderer* renderer, IDirectDrawSurface* surface)
{
    return withDamage(renderer, [&](DamageState& damage) { damage.setBackgroundSurface(surface); });
}

int damageSetBufferSlot(Renderer* renderer, uint32_t slot)
{
    return withDamage(renderer, [&](DamageState& damage) { damage.setBufferSlot(slot); });
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
