// The part of libpng's simplified interface that the demo host's image code
// uses (Hosts/demo/Image.cpp), answered by the Windows Imaging Component, so
// that the demo's own sources build for Windows unchanged. 8-bit RGB and
// RGBA only, rows packed (row stride 0).
#pragma once

#include <cstddef>
#include <cstdint>

#define PNG_IMAGE_VERSION 1
#define PNG_FORMAT_FLAG_ALPHA 0x01U
#define PNG_FORMAT_FLAG_COLOR 0x02U
#define PNG_FORMAT_RGB PNG_FORMAT_FLAG_COLOR
#define PNG_FORMAT_RGBA (PNG_FORMAT_RGB | PNG_FORMAT_FLAG_ALPHA)

struct png_control;

typedef struct {
    png_control* opaque;
    uint32_t version;
    uint32_t width;
    uint32_t height;
    uint32_t format;
    uint32_t flags;
    uint32_t colormap_entries;
    uint32_t warning_or_error;
    char message[64];
} png_image, *png_imagep;

#define PNG_IMAGE_PIXEL_CHANNELS(fmt) (((fmt)&PNG_FORMAT_FLAG_ALPHA) != 0 ? 4U : 3U)
#define PNG_IMAGE_SIZE(image)                                                                                          \
    (static_cast<size_t>((image).width) * (image).height * PNG_IMAGE_PIXEL_CHANNELS((image).format))

// 1 on success, 0 with a message on failure, as libpng answers.
int png_image_begin_read_from_file(png_imagep image, const char* fileName);
int png_image_finish_read(png_imagep image, const void* background, void* buffer, int32_t rowStride, void* colormap);
void png_image_free(png_imagep image);
int png_image_write_to_file(png_imagep image, const char* fileName, int convertTo8Bit, const void* buffer,
                            int32_t rowStride, const void* colormap);
