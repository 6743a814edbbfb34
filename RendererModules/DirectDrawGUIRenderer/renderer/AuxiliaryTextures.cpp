// STUB: replaced by the drawing work.
#include "renderer/CDDRender.h"
#include "texture/CDDTexture.h"
namespace ZorvUISystem {
void CDDRender::createScratchTexture(uint32_t, uint32_t) {}
void CDDRender::createBufferTexture() {}
bool CDDRender::updateDisplaySize(float, float) { return false; }
void CDDRender::destroyAuxiliaryTextures() {}
void CDDRender::prepareForReset() {}
void CDDRender::postD3DReset(bool* sizeChanged) { *sizeChanged = false; }
}  // namespace ZorvUISystem
