// The DirectDraw texture: its surfaces, sizes and the device-reset protocol.
// Surface creation and pixel upload, and image loading, live beside it.
#include "texture/CDDTexture.h"

#include <string>

namespace ZorvUISystem {

CDDTexture::CDDTexture(CDDRender* owner) : Texture(owner) {}

uint32_t CDDTexture::getWidth() const
{
    return d_width;
}

uint32_t CDDTexture::getImageWidth() const
{
    return d_imageWidth;
}

uint32_t CDDTexture::getHeight() const
{
    return d_height;
}

uint32_t CDDTexture::getImageHeight() const
{
    return d_imageHeight;
}

void CDDTexture::loadFromMemory(const void* pixels, uint32_t width, uint32_t height, BufferFormat format)
{
    uploadPixels(pixels, width, height, format, d_memoryTexture);
}

void CDDTexture::reservedOperation(uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t) {}

CDDTexture::~CDDTexture()
{
    releaseSurfaces();
}

void CDDTexture::releaseForReset()
{
    if (!d_restoreOnly)
        releaseSurfaces();
}

void CDDTexture::recreateAfterReset()
{
    if (d_restoreOnly) {
        // Nothing to reload from: DirectDraw gets the surfaces back, whatever
        // became of their contents.
        if (d_ddtexture[0])
            d_ddtexture[0]->Restore();
        if (d_ddtexture[1] && d_ddtexture[1] != d_ddtexture[0])
            d_ddtexture[1]->Restore();
        return;
    }
    releaseSurfaces();
    try {
        // Kept pixels are the texture's source even when the host has turned
        // the memory-texture flag off since they were uploaded.
        if (d_fileDataHoldsPixels && d_fileData) {
            loadFromMemory(d_fileData, d_imageWidth, d_imageHeight, BUFFER_RGBA);
        } else if (!d_fileName.empty()) {
            // The load records its arguments again; they must not point into
            // the strings being replaced.
            const std::string name = d_fileName;
            const std::string directory = d_fileDirectory;
            loadFromFile(name.c_str(), directory.c_str());
        } else if (d_fileData && d_fileDataSize && !d_fileDataHoldsPixels) {
            loadFromFileData(d_fileData, d_fileDataSize);
        }
    } catch (...) {
        // A failed load leaves a texture restore-only, but a reload keeps its
        // recorded source: the next draw of the texture tries again.
        d_restoreOnly = false;
        throw;
    }
}

void CDDTexture::createSurfaces(uint32_t width, uint32_t height)
{
    CreateSurface(width, height, &d_ddtexture[0], true);
    CreateSurface(width, height, &d_ddtexture[1], true);
}

void CDDTexture::releaseSurfaces()
{
    if (d_ddtexture[1] && d_ddtexture[1] != d_ddtexture[0])
        d_ddtexture[1]->Release();
    d_ddtexture[1] = nullptr;
    if (d_ddtexture[0]) {
        d_ddtexture[0]->Release();
        d_ddtexture[0] = nullptr;
    }
}

void CDDTexture::dropPixelCopy()
{
    if (d_fileDataHoldsPixels) {
        Texture::loadFromFileData(nullptr, 0);
        d_fileDataHoldsPixels = false;
    }
}

} // namespace ZorvUISystem
