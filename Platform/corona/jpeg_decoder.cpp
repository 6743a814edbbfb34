// JPEG through libjpeg(-turbo): colour and grey images come out as RGB, CMYK
// images are converted to RGB the way image editors write them (inverted, as
// Adobe applications store CMYK). Data that ends early or is corrupt is
// refused, not filled in. Two kinds of damage leave the picture whole and
// are read past: an application segment or comment with a wrong length
// (jpeg_segments.cpp), and a missing end marker after the last scan's
// data, which is added. A file cut inside its entropy-coded data still
// runs into that marker while data is wanted, and is refused; so are an
// arithmetic-coded file, whose decoder reads zeros past a marker without a
// word, and a progressive one whose scans stop before every coefficient is
// whole.
#include <csetjmp>
#include <cstdio>
#include <new>
#include <vector>

#include <jpeglib.h>
// After jpeglib.h, which it needs.
#include <jerror.h>

#include "decoders.h"

namespace corona::detail {

namespace {

struct JpegErrors {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

void jumpOnError(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<JpegErrors*>(info->err)->jump, 1);
}

// Warnings that mean the data is damaged: it ends early, or its entropy
// coded data is broken. libjpeg would decode on and fill the rest grey.
// Other warnings (stray bytes before a marker, odd profiles) leave the
// picture whole.
void refuseDamage(j_common_ptr info, int level)
{
    if (level >= 0)
        return;
    switch (info->err->msg_code) {
    case JWRN_JPEG_EOF:
    case JWRN_HIT_MARKER:
    case JWRN_HUFF_BAD_CODE:
    case JWRN_ARITH_BAD_CODE:
    case JWRN_MUST_RESYNC:
        jumpOnError(info);
        break;
    default:
        break;
    }
}

void ignoreMessage(j_common_ptr) {}

struct JpegJob {
    jpeg_decompress_struct info;
    JpegErrors errors;
    PixelBuffer row;
    Decoded* out = nullptr;
    const uint8_t* data = nullptr;
    size_t size = 0;
    bool endAdded = false; // the last two bytes are an end marker added here
};

// Whether the decoder has read the end marker that was added: the file
// ended without one.
bool readAddedEnd(const JpegJob& job)
{
    return job.endAdded && job.info.src->bytes_in_buffer == 0;
}

// Whether a progressive picture's scans made every coefficient of every
// component whole (its last approximation bit 0).
bool coefficientsWhole(const jpeg_decompress_struct& info)
{
    if (!info.progressive_mode || info.coef_bits == nullptr)
        return true;
    for (int c = 0; c < info.num_components; ++c)
        for (int k = 0; k < DCTSIZE2; ++k)
            if (info.coef_bits[c][k] != 0)
                return false;
    return true;
}

// libjpeg reports errors by longjmp back into this function; only trivially
// destructible locals live here.
bool runJpeg(JpegJob& job)
{
    if (setjmp(job.errors.jump))
        return false;
    jpeg_create_decompress(&job.info);
    jpeg_mem_src(&job.info, job.data, static_cast<unsigned long>(job.size));
    job.info.mem->max_memory_to_use = static_cast<long>(kMaxPixelBytes);
    if (jpeg_read_header(&job.info, TRUE) != JPEG_HEADER_OK)
        return false;
    if (pixelBufferSize(job.info.image_width, job.info.image_height, 3) == 0)
        return false;

    const bool cmyk = job.info.jpeg_color_space == JCS_CMYK || job.info.jpeg_color_space == JCS_YCCK;
    job.info.out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
    jpeg_start_decompress(&job.info);
    // Files of several scans are read whole by now.
    if (readAddedEnd(job) && (job.info.arith_code || !coefficientsWhole(job.info)))
        return false;

    const JDIMENSION width = job.info.output_width;
    const JDIMENSION height = job.info.output_height;
    const int components = job.info.output_components;
    if ((cmyk && components != 4) || (!cmyk && components != 3))
        return false;
    job.out->pixels = allocatePixels(width, height, 3);
    job.row = allocatePixels(width, 1, components);
    if (!job.out->pixels || !job.row)
        return false;
    job.out->width = static_cast<int>(width);
    job.out->height = static_cast<int>(height);
    job.out->format = PF_R8G8B8;

    const size_t stride = static_cast<size_t>(width) * 3;
    while (job.info.output_scanline < height) {
        uint8_t* target = job.out->pixels.get() + job.info.output_scanline * stride;
        JSAMPROW row = cmyk ? job.row.get() : target;
        if (jpeg_read_scanlines(&job.info, &row, 1) != 1)
            return false;
        if (cmyk) {
            const uint8_t* in = job.row.get();
            for (JDIMENSION x = 0; x < width; ++x, in += 4, target += 3) {
                const unsigned k = in[3];
                target[0] = static_cast<uint8_t>(in[0] * k / 255);
                target[1] = static_cast<uint8_t>(in[1] * k / 255);
                target[2] = static_cast<uint8_t>(in[2] * k / 255);
            }
        }
    }
    jpeg_finish_decompress(&job.info);
    return !(readAddedEnd(job) && job.info.arith_code);
}

} // namespace

bool isJpeg(const uint8_t* data, size_t size)
{
    return size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF;
}

bool decodeJpeg(const uint8_t* data, size_t size, Decoded& out)
{
    // A copy only when the file needs mending.
    std::vector<uint8_t> mended;
    const bool endAdded = mendJpeg(data, size, mended, true);
    JpegJob* job = new (std::nothrow) JpegJob();
    if (!job)
        return false;
    job->out = &out;
    job->data = data;
    job->size = size;
    job->endAdded = endAdded;
    job->info.err = jpeg_std_error(&job->errors.manager);
    job->errors.manager.error_exit = jumpOnError;
    job->errors.manager.output_message = ignoreMessage;
    job->errors.manager.emit_message = refuseDamage;
    const bool ok = runJpeg(*job);
    jpeg_destroy_decompress(&job->info);
    delete job;
    if (!ok)
        out.pixels.reset();
    return ok;
}

} // namespace corona::detail
