// STUB: replaced by the spine work.
#include "renderer/CDDRender.h"
#include "texture/CDDTexture.h"
namespace ZorvUISystem {
CDDRender::CDDRender(RenderDevice* device, uint32_t, bool hostFlag) : Renderer(hostFlag), d_device(device) {}
CDDRender::~CDDRender() { destroyAuxiliaryTextures(); destroyAllTextures(); }
void CDDRender::setQueueing(bool enabled) { d_queueingEnabled = enabled; }
bool CDDRender::isQueueing() const { return d_queueingEnabled; }
float CDDRender::getDisplayWidth() const { return static_cast<float>(d_displayWidth); }
float CDDRender::getDisplayHeight() const { return static_cast<float>(d_displayHeight); }
void CDDRender::getDisplaySize(float*, float*) const {}
void CDDRender::getDisplayRect(float*, float*, float*, float*) const {}
uint32_t CDDRender::getTextureSizeLimit() const { return d_textureSizeLimit; }
uint32_t CDDRender::getDpiX() const { return 96; }
uint32_t CDDRender::getDpiY() const { return 96; }
void CDDRender::reservedOperationA(uint32_t, uint32_t) {}
void CDDRender::reservedOperationB(uint32_t, uint32_t, uint32_t) {}
void CDDRender::setTargetSurface(IDirectDrawSurface* surface) { d_targetSurface = surface; }
void CDDRender::reservedOperationC() {}
void CDDRender::reservedOperationD() {}
void CDDRender::initDisplay(float, float) {}
uint32_t queryProcessorFeatures() { return 0; }
void setProcessorFeaturesOverride(const uint32_t*) {}
}  // namespace ZorvUISystem
