// The pixel upload: the texture's surfaces are created, locked and filled
// from 8-bit RGBA or RGB pixels in the surface's own pixel mode.
#include <cstring>
#include <limits>
#include <stdexcept>
#include <string>

#include "diagnostics/Diagnostics.h"
#include "texture/CDDTexture.h"
#include "texture/PixelConversion.h"
#include "texture/SurfaceCalls.h"

namespace ZorvUISystem {

namespace {

const char* const kLockFailed = "CDDTexture::loadFromMemory  -- Failed to lock the surface for data filling.";
const char* const kUnsupportedFormat = "CDDTexture::loadFromMemory  -- Unsupported pixelformat of the texture.";
const char* const kGetDcFailed =
    "CDD7Texture::loadFromMemory  -- FAILED(d_ddtexture[0]->GetDC(&hdc) for 8bit texture create.";
const char* const kNoPixels = "CDDTexture::loadFromMemory  -- No pixels given.";
const char* const kBadCopySize =
    "CDDTexture::loadFromMemory  -- Texture size out of range for keeping a copy of its pixels.";

// Locks the whole surface; a failure is kept in `result` and raised.
void lockWhole(IDirectDrawSurface* surface, DDSURFACEDESC& desc, HRESULT& result)
{
    desc = lockDescription(DDSD_PITCH | DDSD_LPSURFACE | DDSD_PIXELFORMAT);
    const HRESULT locked = surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr);
    if (locked != DD_OK) {
        result = locked;
        throw std::runtime_error(kLockFailed);
    }
}

// Zeroes the first `rowBytes` bytes of every row of a locked surface.
void clearRows(const DDSURFACEDESC& desc, size_t rowBytes, uint32_t rows)
{
    auto* row = static_cast<uint8_t*>(desc.lpSurface);
    for (uint32_t y = 0; y < rows; ++y, row += desc.lPitch)
        std::memset(row, 0, rowBytes);
}

[[noreturn]] void reject(const char* text)
{
    logError(text);
    throw std::runtime_error(text);
}

} // namespace

void CDDTexture::uploadPixels(const void* pixels, uint32_t width, uint32_t height, BufferFormat format, bool keepCopy)
{
    releaseSurfaces();
    d_uploadResult = DD_OK;
    const bool rgba = format == BUFFER_RGBA;
    // Only RGBA pixels can be kept: a reload uploads the copy as RGBA.
    if (keepCopy && rgba) {
        const uint64_t bytes = uint64_t{width} * height * 4;
        if (bytes == 0 || bytes > std::numeric_limits<uint32_t>::max()) {
            d_restoreOnly = true;
            reject(kBadCopySize);
        }
        if (!pixels) {
            d_restoreOnly = true;
            reject(kNoPixels);
        }
        d_restoreOnly = false;
        d_width = d_imageWidth = width;
        d_height = d_imageHeight = height;
        Texture::loadFromFileData(pixels, static_cast<uint32_t>(bytes));
        d_fileDataHoldsPixels = true;
    } else {
        d_restoreOnly = true;
        if (keepCopy)
            dropPixelCopy();
        if (!pixels)
            reject(kNoPixels);
    }

    bool colourLocked = false;
    bool alphaLocked = false;
    try {
        CreateSurface(width, height, &d_ddtexture[0], rgba);
        if (!d_ddtexture[0])
            return;

        DDSURFACEDESC colour;
        lockWhole(d_ddtexture[0], colour, d_uploadResult);
        colourLocked = true;

        DDSURFACEDESC alpha = colour;
        if (rgba && !(colour.ddpfPixelFormat.dwFlags & DDPF_ALPHAPIXELS)) {
            CreateSurface(width, height, &d_ddtexture[1], true);
            if (!d_ddtexture[1]) {
                dropSurface(d_ddtexture[0], true);
                return;
            }
            lockWhole(d_ddtexture[1], alpha, d_uploadResult);
            alphaLocked = true;
        } else {
            d_ddtexture[1] = d_ddtexture[0];
        }
        const bool separateAlpha = d_ddtexture[1] != d_ddtexture[0];

        d_rgbMode = GetRGBMode(colour);

        // The surface's extent as 16-bit values, and never beyond the pixels
        // given.
        const uint32_t lockedWidth = static_cast<uint16_t>(colour.dwWidth);
        const uint32_t lockedHeight = static_cast<uint16_t>(colour.dwHeight);
        const uint32_t columns = lockedWidth < width ? lockedWidth : width;
        const uint32_t rows = lockedHeight < height ? lockedHeight : height;
        const size_t sourcePitch = size_t{width} * (rgba ? 4 : 3);
        const auto* source = static_cast<const uint8_t*>(pixels);

        if (d_rgbMode == DDS_RGBMODE_UNSUPPORTED)
            throw std::runtime_error(kUnsupportedFormat);

        if (d_rgbMode == DDS_RGBMODE_NONE) {
            // Palette surfaces take colours through GDI, which picks the
            // nearest palette entry.
            d_ddtexture[0]->Unlock(nullptr);
            colourLocked = false;
            if (separateAlpha && alphaLocked) {
                d_ddtexture[1]->Unlock(nullptr);
                alphaLocked = false;
            }
            HDC dc = nullptr;
            const HRESULT gotDc = d_ddtexture[0]->GetDC(&dc);
            if (FAILED(gotDc)) {
                d_uploadResult = gotDc;
                throw std::runtime_error(kGetDcFailed);
            }
            for (uint32_t y = 0; y < rows; ++y) {
                const uint8_t* row = source + y * sourcePitch;
                for (uint32_t x = 0; x < columns; ++x)
                    SetPixel(dc, static_cast<int>(x), static_cast<int>(y),
                             paletteColour(row + x * (rgba ? 4 : 3), rgba));
            }
            d_ddtexture[0]->ReleaseDC(dc);
        } else {
            // New surfaces hold whatever the memory held. With a separate
            // alpha surface the conversion leaves bytes of both unwritten
            // (the fourth byte of a 32-bit colour pixel, the rest of each
            // alpha pixel), which colour keys and blits would read as colour.
            if (separateAlpha) {
                const uint32_t bytes = bytesPerPixel(d_rgbMode);
                clearRows(colour, size_t{columns} * bytes, rows);
                clearRows(alpha, size_t{columns} * bytes, rows);
            }
            UploadTarget target;
            target.colour = static_cast<uint8_t*>(colour.lpSurface);
            target.colourPitch = colour.lPitch;
            target.alpha = static_cast<uint8_t*>(alpha.lpSurface);
            target.alphaPitch = alpha.lPitch;
            target.width = columns;
            target.height = rows;
            target.redMask = colour.ddpfPixelFormat.dwRBitMask;
            target.greenMask = colour.ddpfPixelFormat.dwGBitMask;
            target.blueMask = colour.ddpfPixelFormat.dwBBitMask;
            convertPixels(d_rgbMode, UploadSource{source, sourcePitch, rgba}, target);
            d_ddtexture[0]->Unlock(nullptr);
            colourLocked = false;
            if (separateAlpha && alphaLocked) {
                d_ddtexture[1]->Unlock(nullptr);
                alphaLocked = false;
            }
        }

        d_hasAlpha = rgba;
        if (rgba) {
            DDCOLORKEY black = {0, 0};
            d_ddtexture[0]->SetColorKey(DDCKEY_SRCBLT, &black);
        }
        d_width = d_imageWidth = width;
        d_height = d_imageHeight = height;
        endRetryStreak();
    } catch (...) {
        if (d_ddtexture[1] != d_ddtexture[0])
            dropSurface(d_ddtexture[1], alphaLocked);
        d_ddtexture[1] = nullptr;
        dropSurface(d_ddtexture[0], colourLocked);
        try {
            throw;
        } catch (const std::exception& e) {
            logError(e.what());
            throw std::runtime_error(e.what());
        }
    }
}

} // namespace ZorvUISystem
