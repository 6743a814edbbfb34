// STUB: replaced by the texture work.
#include "renderer/CDDRender.h"
#include "texture/CDDTexture.h"
namespace ZorvUISystem {
Texture* CDDRender::createTexture(float) { return createTexture(); }
Texture* CDDRender::createTexture(const void*, uint32_t) { return createTexture(); }
Texture* CDDRender::createTexture(const char*, const char*) { return createTexture(); }
Texture* CDDRender::createTexture() { auto* t = new CDDTexture(this); d_textures.push_back(t); return t; }
void CDDRender::destroyTexture(Texture* texture) { if (!texture) return; d_textures.remove(texture); delete texture; }
void CDDRender::destroyAllTextures() { while (!d_textures.empty()) destroyTexture(d_textures.front()); }
}  // namespace ZorvUISystem
