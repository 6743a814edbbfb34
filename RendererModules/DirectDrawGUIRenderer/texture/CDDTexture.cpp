// STUB: replaced by the texture work.
#include "texture/CDDTexture.h"
namespace ZorvUISystem {
CDDTexture::CDDTexture(CDDRender* owner) : Texture(owner) {}
uint32_t CDDTexture::getWidth() const { return d_width; }
uint32_t CDDTexture::getImageWidth() const { return d_imageWidth; }
uint32_t CDDTexture::getHeight() const { return d_height; }
uint32_t CDDTexture::getImageHeight() const { return d_imageHeight; }
void CDDTexture::loadFromFile(const char*, const char*) {}
void CDDTexture::loadFromFileData(const void* data, uint32_t size) { Texture::loadFromFileData(data, size); }
void CDDTexture::loadFromMemory(const void*, uint32_t, uint32_t, BufferFormat) {}
void CDDTexture::reservedOperation(uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t) {}
CDDTexture::~CDDTexture() { releaseSurfaces(); }
void CDDTexture::releaseForReset() {}
void CDDTexture::recreateAfterReset() {}
void CDDTexture::createSurfaces(uint32_t, uint32_t) {}
void CDDTexture::releaseSurfaces() {}
}  // namespace ZorvUISystem
