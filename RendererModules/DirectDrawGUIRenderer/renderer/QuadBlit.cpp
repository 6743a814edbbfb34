// STUB: replaced by the drawing work.
#include "renderer/CDDRender.h"
namespace ZorvUISystem {
void CDDRender::drawQuad(IDirectDrawSurface*, const QueuedQuad&) {}
}  // namespace ZorvUISystem
