// STUB: replaced by the texture work.
#include "ziv.h"
namespace ZorvUISystem {
uint32_t Texture::getImageWidth() const { return getWidth(); }
float Texture::getInverseWidth() const { return 1.0f / static_cast<float>(getImageWidth()); }
uint32_t Texture::getImageHeight() const { return getHeight(); }
float Texture::getInverseHeight() const { return 1.0f / static_cast<float>(getImageHeight()); }
void Texture::loadFromFileData(const void*, uint32_t) {}
Texture::~Texture() { delete[] d_fileData; }
}  // namespace ZorvUISystem
