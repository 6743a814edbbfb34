// PNG through libpng. Palettes, grey and low bit depths are expanded to RGB,
// transparency to an alpha channel, 16-bit channels scaled to 8 bits and
// interlaced images read whole.
#include <csetjmp>
#include <cstring>
#include <new>
#include <vector>

#include <png.h>

#include "decoders.h"

namespace corona::detail {

namespace {

// Limits of the ancillary chunks that libpng keeps.
constexpr png_alloc_size_t kChunkBytes = png_alloc_size_t{1} << 20;
constexpr png_uint_32 kChunkCount = 128;

struct PngReader {
    const uint8_t* data;
    size_t size;
    size_t position;
};

void readFromMemory(png_structp png, png_bytep out, size_t count)
{
    auto* reader = static_cast<PngReader*>(png_get_io_ptr(png));
    if (count > reader->size - reader->position)
        png_error(png, "truncated");
    std::memcpy(out, reader->data + reader->position, count);
    reader->position += count;
}

void ignoreWarning(png_structp, png_const_charp) {}

// Errors end the decoding quietly: back to runPng's setjmp.
void jumpOnError(png_structp png, png_const_charp)
{
    png_longjmp(png, 1);
}

// Everything that has to outlive a longjmp lives here, outside the frame that
// calls setjmp.
struct PngJob {
    PngReader reader;
    png_structp png = nullptr;
    png_infop info = nullptr;
    std::vector<png_bytep> rows;
    Decoded* out = nullptr;
};

// libpng reports errors by longjmp back into this function; only trivially
// destructible locals live here.
bool runPng(PngJob& job)
{
    if (setjmp(png_jmpbuf(job.png)))
        return false;
    png_set_read_fn(job.png, &job.reader, readFromMemory);
    // Of the ancillary chunks only the transparency matters here; the rest
    // (text, calibration, suggested palettes, profiles) are skipped unread,
    // so that a length field claiming gigabytes allocates nothing. What libpng
    // still keeps is capped at kChunkBytes a chunk and kChunkCount chunks;
    // the image data is bounded by the picture itself.
    png_set_keep_unknown_chunks(job.png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
    png_set_user_limits(job.png, static_cast<png_uint_32>(kMaxSide), static_cast<png_uint_32>(kMaxSide));
    png_set_chunk_malloc_max(job.png, kChunkBytes);
    png_set_chunk_cache_max(job.png, kChunkCount);
    png_read_info(job.png, job.info);

    const png_uint_32 width = png_get_image_width(job.png, job.info);
    const png_uint_32 height = png_get_image_height(job.png, job.info);
    // At most four bytes per pixel come out; refuse what could not fit.
    if (pixelBufferSize(width, height, 1) == 0)
        return false;

    png_set_expand(job.png);
    png_set_scale_16(job.png);
    png_set_gray_to_rgb(job.png);
    png_set_interlace_handling(job.png);
    png_read_update_info(job.png, job.info);

    const int channels = png_get_channels(job.png, job.info);
    if (channels != 3 && channels != 4)
        return false;
    job.out->pixels = allocatePixels(width, height, channels);
    if (!job.out->pixels)
        return false;
    job.out->width = static_cast<int>(width);
    job.out->height = static_cast<int>(height);
    job.out->format = channels == 4 ? PF_R8G8B8A8 : PF_R8G8B8;

    job.rows.resize(height);
    const size_t stride = static_cast<size_t>(width) * static_cast<size_t>(channels);
    for (png_uint_32 y = 0; y < height; ++y)
        job.rows[y] = job.out->pixels.get() + y * stride;
    png_read_image(job.png, job.rows.data());
    png_read_end(job.png, nullptr);
    return true;
}

} // namespace

bool isPng(const uint8_t* data, size_t size)
{
    return size >= 8 && png_sig_cmp(data, 0, 8) == 0;
}

bool decodePng(const uint8_t* data, size_t size, Decoded& out)
{
    PngJob job;
    job.reader = {data, size, 0};
    job.out = &out;
    job.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, jumpOnError, ignoreWarning);
    if (!job.png)
        return false;
    job.info = png_create_info_struct(job.png);
    bool ok = job.info != nullptr;
    if (ok) {
        try {
            ok = runPng(job);
        } catch (const std::bad_alloc&) {
            ok = false;
        }
    }
    png_destroy_read_struct(&job.png, job.info ? &job.info : nullptr, nullptr);
    if (!ok)
        out.pixels.reset();
    return ok;
}

} // namespace corona::detail
