// The texture interface's shared state: the kept source and the defaults that
// make the image size the texture size.
#include <cstring>

#include "ziv.h"

namespace ZorvUISystem {

uint32_t Texture::getImageWidth() const
{
    return getWidth();
}

float Texture::getInverseWidth() const
{
    return 1.0f / static_cast<float>(getImageWidth());
}

uint32_t Texture::getImageHeight() const
{
    return getHeight();
}

float Texture::getInverseHeight() const
{
    return 1.0f / static_cast<float>(getImageHeight());
}

// Keeps a private copy of the bytes. Given the copy itself, as a reload does,
// it leaves it in place; a null or empty buffer only drops the old copy.
void Texture::loadFromFileData(const void* data, uint32_t size)
{
    if (data == d_fileData)
        return;
    uint8_t* copy = nullptr;
    if (data && size) {
        // Copied before the old copy goes, so a buffer inside it is safe.
        // Without memory for the new copy the old one goes all the same: it
        // no longer matches what the texture shows.
        copy = new (std::nothrow) uint8_t[size];
        if (!copy) {
            delete[] d_fileData;
            d_fileData = nullptr;
            d_fileDataSize = 0;
            throw std::bad_alloc();
        }
        std::memcpy(copy, data, size);
    }
    delete[] d_fileData;
    d_fileData = copy;
    d_fileDataSize = copy ? size : 0;
}

Texture::~Texture()
{
    delete[] d_fileData;
}

} // namespace ZorvUISystem
