// GIF through giflib: the first frame, placed on the logical screen and
// expanded from its palette. A transparent colour, or screen area that the
// frame leaves uncovered, gives RGBA; otherwise RGB.
#include <algorithm>
#include <cstring>

#include <gif_lib.h>

#include "decoders.h"

namespace corona::detail {

namespace {

struct GifReader {
    const uint8_t* data;
    size_t size;
    size_t position;
};

int readFromMemory(GifFileType* gif, GifByteType* out, int count)
{
    auto* reader = static_cast<GifReader*>(gif->UserData);
    if (count <= 0)
        return 0;
    const size_t n = std::min(static_cast<size_t>(count), reader->size - reader->position);
    std::memcpy(out, reader->data + reader->position, n);
    reader->position += n;
    return static_cast<int>(n);
}

// Reads records up to the first image descriptor; answers the transparent
// palette index of the graphics control block that precedes it.
bool findFirstImage(GifFileType* gif, int& transparent)
{
    transparent = NO_TRANSPARENT_COLOR;
    for (;;) {
        GifRecordType type;
        if (DGifGetRecordType(gif, &type) == GIF_ERROR)
            return false;
        if (type == IMAGE_DESC_RECORD_TYPE)
            return DGifGetImageDesc(gif) != GIF_ERROR;
        if (type != EXTENSION_RECORD_TYPE)
            return false;
        int code = 0;
        GifByteType* block = nullptr;
        if (DGifGetExtension(gif, &code, &block) == GIF_ERROR)
            return false;
        if (code == GRAPHICS_EXT_FUNC_CODE && block && block[0] >= 4) {
            GraphicsControlBlock control;
            if (DGifExtensionToGCB(block[0], block + 1, &control) == GIF_OK)
                transparent = control.TransparentColor;
        }
        while (block) {
            if (DGifGetExtensionNext(gif, &block) == GIF_ERROR)
                return false;
        }
    }
}

bool readIndices(GifFileType* gif, uint8_t* indices, int width, int height)
{
    const size_t stride = static_cast<size_t>(width);
    if (!gif->Image.Interlace) {
        for (int y = 0; y < height; ++y) {
            if (DGifGetLine(gif, indices + y * stride, width) == GIF_ERROR)
                return false;
        }
        return true;
    }
    static constexpr int kStart[4] = {0, 4, 2, 1};
    static constexpr int kStep[4] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass) {
        for (int y = kStart[pass]; y < height; y += kStep[pass]) {
            if (DGifGetLine(gif, indices + y * stride, width) == GIF_ERROR)
                return false;
        }
    }
    return true;
}

bool decodeFirstFrame(GifFileType* gif, Decoded& out)
{
    int transparent = NO_TRANSPARENT_COLOR;
    if (!findFirstImage(gif, transparent))
        return false;
    const GifImageDesc& frame = gif->Image;
    const ColorMapObject* palette = frame.ColorMap ? frame.ColorMap : gif->SColorMap;
    if (!palette || !palette->Colors || frame.Left < 0 || frame.Top < 0)
        return false;
    const long long canvasWidth = std::max<long long>(gif->SWidth, static_cast<long long>(frame.Left) + frame.Width);
    const long long canvasHeight = std::max<long long>(gif->SHeight, static_cast<long long>(frame.Top) + frame.Height);
    if (pixelBufferSize(frame.Width, frame.Height, 1) == 0 || pixelBufferSize(canvasWidth, canvasHeight, 4) == 0)
        return false;

    const bool covers = frame.Left == 0 && frame.Top == 0 && frame.Width == canvasWidth && frame.Height == canvasHeight;
    const bool hasTransparentIndex = transparent >= 0 && transparent < palette->ColorCount;
    const bool rgba = hasTransparentIndex || !covers;
    const int bytes = rgba ? 4 : 3;

    PixelBuffer indices = allocatePixels(frame.Width, frame.Height, 1);
    PixelBuffer pixels = allocatePixels(canvasWidth, canvasHeight, bytes);
    if (!indices || !pixels || !readIndices(gif, indices.get(), frame.Width, frame.Height))
        return false;

    std::memset(pixels.get(), 0, pixelBufferSize(canvasWidth, canvasHeight, bytes));
    const size_t canvasStride = static_cast<size_t>(canvasWidth) * bytes;
    for (int y = 0; y < frame.Height; ++y) {
        const uint8_t* in = indices.get() + static_cast<size_t>(y) * frame.Width;
        uint8_t* o = pixels.get() + (static_cast<size_t>(frame.Top) + y) * canvasStride +
                     static_cast<size_t>(frame.Left) * bytes;
        for (int x = 0; x < frame.Width; ++x, o += bytes) {
            const int index = in[x];
            if (rgba && index == transparent)
                continue; // stays 0, 0, 0, 0
            if (index < palette->ColorCount) {
                const GifColorType& colour = palette->Colors[index];
                o[0] = colour.Red;
                o[1] = colour.Green;
                o[2] = colour.Blue;
            }
            if (rgba)
                o[3] = 0xFF;
        }
    }
    out.width = static_cast<int>(canvasWidth);
    out.height = static_cast<int>(canvasHeight);
    out.format = rgba ? PF_R8G8B8A8 : PF_R8G8B8;
    out.pixels = std::move(pixels);
    return true;
}

} // namespace

bool isGif(const uint8_t* data, size_t size)
{
    return size >= 6 && (std::memcmp(data, "GIF87a", 6) == 0 || std::memcmp(data, "GIF89a", 6) == 0);
}

bool decodeGif(const uint8_t* data, size_t size, Decoded& out)
{
    GifReader reader{data, size, 0};
    int error = 0;
    GifFileType* gif = DGifOpen(&reader, readFromMemory, &error);
    if (!gif)
        return false;
    bool ok = false;
    try {
        ok = decodeFirstFrame(gif, out);
    } catch (...) {
        DGifCloseFile(gif, &error);
        throw;
    }
    DGifCloseFile(gif, &error);
    return ok;
}

} // namespace corona::detail
