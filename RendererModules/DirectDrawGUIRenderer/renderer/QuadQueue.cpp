// STUB: replaced by the drawing work.
#include "renderer/CDDRender.h"
namespace ZorvUISystem {
void CDDRender::queueQuad(FloatRect, float, Texture*, FloatRect, CornerColours, uint32_t) {}
void CDDRender::renderQueue() {}
void CDDRender::clearQueue() { d_quadQueue.clear(); }
void CDDRender::forgetQueuedQuads(const Texture*) {}
}  // namespace ZorvUISystem
