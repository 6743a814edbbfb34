#include "ImageWriters.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <stdexcept>

#include <gif_lib.h>
#include <jpeglib.h>
#include <png.h>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#endif
#include <stb/stb_image_write.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace ZivTest {

namespace {

void appendPng(png_structp png, png_bytep data, size_t length)
{
    auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

void flushNothing(png_structp) {}

struct PngWriteJob {
    const PngSpec* spec;
    Bytes* out;
    png_structp png;
    png_infop info;
    std::vector<png_bytep> rows;
};

bool runPngWrite(PngWriteJob& job)
{
    if (setjmp(png_jmpbuf(job.png)))
        return false;
    const PngSpec& spec = *job.spec;
    png_set_write_fn(job.png, job.out, appendPng, flushNothing);
    png_set_IHDR(job.png, job.info, spec.width, spec.height, spec.bitDepth, spec.colourType,
                 spec.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (!spec.palette.empty()) {
        std::vector<png_color> colours(spec.palette.size() / 3);
        for (size_t i = 0; i < colours.size(); ++i)
            colours[i] = {spec.palette[3 * i], spec.palette[3 * i + 1], spec.palette[3 * i + 2]};
        png_set_PLTE(job.png, job.info, colours.data(), static_cast<int>(colours.size()));
    }
    if (!spec.paletteAlpha.empty())
        png_set_tRNS(job.png, job.info, spec.paletteAlpha.data(), static_cast<int>(spec.paletteAlpha.size()), nullptr);
    png_write_info(job.png, job.info);
    if (spec.headerOnly) {
        // The start of an image data chunk, so that a reader gets past the
        // header before it runs out of data.
        job.out->insert(job.out->end(), {0, 0, 0, 16, 'I', 'D', 'A', 'T'});
        return true;
    }
    const size_t stride = spec.samples.size() / static_cast<size_t>(spec.height);
    for (int y = 0; y < spec.height; ++y)
        job.rows.push_back(const_cast<png_bytep>(spec.samples.data() + y * stride));
    png_write_image(job.png, job.rows.data());
    png_write_end(job.png, nullptr);
    return true;
}

int appendGif(GifFileType* gif, const GifByteType* data, int length)
{
    auto* out = static_cast<Bytes*>(gif->UserData);
    out->insert(out->end(), data, data + length);
    return length;
}

void appendStb(void* context, void* data, int size)
{
    auto* out = static_cast<Bytes*>(context);
    const auto* bytes = static_cast<const uint8_t*>(data);
    out->insert(out->end(), bytes, bytes + size);
}

void put16(Bytes& out, size_t at, uint32_t value)
{
    out[at] = static_cast<uint8_t>(value);
    out[at + 1] = static_cast<uint8_t>(value >> 8);
}

void put32(Bytes& out, size_t at, uint32_t value)
{
    put16(out, at, value & 0xFFFF);
    put16(out, at + 2, value >> 16);
}

} // namespace

Bytes writePng(const PngSpec& spec)
{
    Bytes out;
    PngWriteJob job{&spec, &out, nullptr, nullptr, {}};
    job.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    job.info = png_create_info_struct(job.png);
    const bool ok = runPngWrite(job);
    png_destroy_write_struct(&job.png, &job.info);
    if (!ok)
        throw std::runtime_error("PNG encoder failed");
    return out;
}

Bytes writeJpeg(int width, int height, int components, const Bytes& pixels, int quality, bool progressive)
{
    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = components;
    info.in_color_space = components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    if (progressive)
        jpeg_simple_progression(&info);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(pixels.data() + info.next_scanline * width * components);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    Bytes out(buffer, buffer + size);
    std::free(buffer);
    return out;
}

Bytes writeGif(const GifSpec& spec)
{
    Bytes out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, appendGif, &error);
    if (!gif)
        throw std::runtime_error("GIF encoder failed");
    const int colours = static_cast<int>(spec.palette.size() / 3);
    std::vector<GifColorType> entries(colours);
    for (int i = 0; i < colours; ++i)
        entries[i] = {spec.palette[3 * i], spec.palette[3 * i + 1], spec.palette[3 * i + 2]};
    ColorMapObject* map = GifMakeMapObject(colours, entries.data());
    EGifSetGifVersion(gif, true);
    bool ok = EGifPutScreenDesc(gif, spec.screenWidth, spec.screenHeight, 8, 0, map) == GIF_OK;
    if (ok && spec.transparentIndex >= 0) {
        GraphicsControlBlock control{};
        control.DisposalMode = DISPOSAL_UNSPECIFIED;
        control.DelayTime = 0;
        control.TransparentColor = spec.transparentIndex;
        GifByteType extension[4];
        const size_t length = EGifGCBToExtension(&control, extension);
        ok = EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(length), extension) == GIF_OK;
    }
    ok = ok && EGifPutImageDesc(gif, spec.left, spec.top, spec.width, spec.height, spec.interlaced, nullptr) == GIF_OK;
    // Interlaced images are written in the order of their four passes.
    std::vector<int> order;
    if (spec.interlaced) {
        const int start[4] = {0, 4, 2, 1};
        const int step[4] = {8, 8, 4, 2};
        for (int pass = 0; pass < 4; ++pass)
            for (int y = start[pass]; y < spec.height; y += step[pass])
                order.push_back(y);
    } else {
        for (int y = 0; y < spec.height; ++y)
            order.push_back(y);
    }
    for (int y : order) {
        if (!ok)
            break;
        ok = EGifPutLine(gif, const_cast<GifPixelType*>(spec.indices.data() + y * spec.width), spec.width) == GIF_OK;
    }
    EGifCloseFile(gif, &error);
    GifFreeMapObject(map);
    if (!ok)
        throw std::runtime_error("GIF encoder failed");
    return out;
}

Bytes writeBmp(int width, int height, int components, const Bytes& pixels)
{
    Bytes out;
    if (!stbi_write_bmp_to_func(appendStb, &out, width, height, components, pixels.data()))
        throw std::runtime_error("BMP encoder failed");
    return out;
}

Bytes writeTga(int width, int height, int components, const Bytes& pixels, bool rle)
{
    Bytes out;
    stbi_write_tga_with_rle = rle ? 1 : 0;
    if (!stbi_write_tga_to_func(appendStb, &out, width, height, components, pixels.data()))
        throw std::runtime_error("TGA encoder failed");
    return out;
}

Bytes bmpHeaderOnly(int width, int height)
{
    Bytes out(54, 0);
    out[0] = 'B';
    out[1] = 'M';
    put32(out, 2, 54);
    put32(out, 10, 54);
    put32(out, 14, 40);
    put32(out, 18, static_cast<uint32_t>(width));
    put32(out, 22, static_cast<uint32_t>(height));
    put16(out, 26, 1);
    put16(out, 28, 24);
    return out;
}

void writeFile(const std::string& path, const Bytes& bytes)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!file)
        throw std::runtime_error("cannot write " + path);
}

} // namespace ZivTest
