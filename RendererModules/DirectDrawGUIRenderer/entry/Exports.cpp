// The module's exports, the only names it shows: the three of every
// renderer module, and the opt-in switches and controls.
#include "entry/DamageControl.h"
#include "entry/RendererFactory.h"
#include "ziv.h"

extern "C" {

ZIV_EXPORT ZorvUISystem::Renderer* createRenderer(ZorvUISystem::RenderDevice* device, uint32_t reserved, bool hostFlag,
                                                  const char* loggerDirectory, uint32_t loggerArg1, uint32_t loggerArg2)
{
    // Failures are reported through the last-error text; even one that comes
    // before the text can be kept (out of memory for it) ends here.
    try {
        return ZorvUISystem::createModuleRenderer(device, reserved, hostFlag, loggerDirectory, loggerArg1, loggerArg2);
    } catch (...) {
        return nullptr;
    }
}

ZIV_EXPORT void destroyRenderer(ZorvUISystem::Renderer* renderer)
{
    ZorvUISystem::destroyModuleRenderer(renderer);
}

ZIV_EXPORT const char* getLastErrorString()
{
    return ZorvUISystem::moduleLastError();
}

ZIV_EXPORT int32_t zivSetSoftEdges(ZorvUISystem::Renderer* renderer, int32_t enabled)
{
    return ZorvUISystem::setModuleSoftEdges(renderer, enabled != 0);
}

ZIV_EXPORT int zivSetDamageTracking(ZorvUISystem::Renderer* renderer, int enabled)
{
    return ZorvUISystem::damageSetTracking(renderer, enabled);
}

ZIV_EXPORT int zivInvalidateTarget(ZorvUISystem::Renderer* renderer, IDirectDrawSurface* surface, const RECT* rect)
{
    return ZorvUISystem::damageInvalidateTarget(renderer, surface, rect);
}

ZIV_EXPORT int zivSetDamageBackgroundColour(ZorvUISystem::Renderer* renderer, uint32_t fillColour)
{
    return ZorvUISystem::damageSetBackgroundColour(renderer, fillColour);
}

ZIV_EXPORT int zivSetDamageBackgroundSurface(ZorvUISystem::Renderer* renderer, IDirectDrawSurface* surface)
{
    return ZorvUISystem::damageSetBackgroundSurface(renderer, surface);
}

ZIV_EXPORT int zivSetDamageBufferSlot(ZorvUISystem::Renderer* renderer, uint32_t slot)
{
    return ZorvUISystem::damageSetBufferSlot(renderer, slot);
}

ZIV_EXPORT uint32_t zivGetDamageRects(ZorvUISystem::Renderer* renderer, RECT* rects, uint32_t capacity)
{
    return ZorvUISystem::damageRects(renderer, rects, capacity);
}
}
