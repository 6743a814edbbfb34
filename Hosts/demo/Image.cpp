#include "Image.h"

#include <png.h>

#include <algorithm>
#include <stdexcept>

namespace zivdemo {

Image::Image(uint32_t w, uint32_t h, uint32_t fill) : width(w), height(h), rgba(static_cast<size_t>(w) * h * 4)
{
    if (fill == 0) {
        return;
    }
    for (uint32_t y = 0; y < h; ++y) {
        for (uint32_t x = 0; x < w; ++x) {
            setArgb(x, y, fill);
        }
    }
}

uint32_t Image::argb(uint32_t x, uint32_t y) const
{
    const uint8_t* p = pixel(x, y);
    return static_cast<uint32_t>(p[3]) << 24 | static_cast<uint32_t>(p[0]) << 16 | static_cast<uint32_t>(p[1]) << 8 |
           p[2];
}

void Image::setArgb(uint32_t x, uint32_t y, uint32_t value)
{
    uint8_t* p = pixel(x, y);
    p[0] = static_cast<uint8_t>(value >> 16);
    p[1] = static_cast<uint8_t>(value >> 8);
    p[2] = static_cast<uint8_t>(value);
    p[3] = static_cast<uint8_t>(value >> 24);
}

bool Image::opaque() const
{
    for (size_t i = 3; i < rgba.size(); i += 4) {
        if (rgba[i] != 255) {
            return false;
        }
    }
    return true;
}

std::vector<uint8_t> Image::rgb() const
{
    std::vector<uint8_t> out(static_cast<size_t>(width) * height * 3);
    for (size_t i = 0, o = 0; i < rgba.size(); i += 4, o += 3) {
        out[o] = rgba[i];
        out[o + 1] = rgba[i + 1];
        out[o + 2] = rgba[i + 2];
    }
    return out;
}

// libpng's simplified interface does its own error handling (no setjmp in our
// frames); a failure leaves a message in the control structure.
Image readPng(const std::string& path)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (png_image_begin_read_from_file(&image, path.c_str()) == 0) {
        throw std::runtime_error("cannot read PNG '" + path + "': " + image.message);
    }
    image.format = PNG_FORMAT_RGBA;
    Image out;
    out.width = image.width;
    out.height = image.height;
    out.rgba.resize(PNG_IMAGE_SIZE(image));
    if (png_image_finish_read(&image, nullptr, out.rgba.data(), 0, nullptr) == 0) {
        std::string message = image.message;
        png_image_free(&image);
        throw std::runtime_error("cannot decode PNG '" + path + "': " + message);
    }
    return out;
}

void writePng(const std::string& path, const Image& source, bool withAlpha)
{
    if (source.width == 0 || source.height == 0) {
        throw std::runtime_error("cannot write PNG '" + path + "': the image is empty");
    }
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = source.width;
    image.height = source.height;
    image.format = withAlpha ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
    std::vector<uint8_t> rgb;
    const void* pixels = source.rgba.data();
    if (!withAlpha) {
        rgb = source.rgb();
        pixels = rgb.data();
    }
    if (png_image_write_to_file(&image, path.c_str(), 0, pixels, 0, nullptr) == 0) {
        throw std::runtime_error("cannot write PNG '" + path + "': " + image.message);
    }
}

ImageDifference compareImages(const Image& a, const Image& b)
{
    ImageDifference result;
    if (a.width != b.width || a.height != b.height) {
        result.pixels = std::max(static_cast<uint64_t>(a.width) * a.height, static_cast<uint64_t>(b.width) * b.height);
        return result;
    }
    for (uint32_t y = 0; y < a.height; ++y) {
        for (uint32_t x = 0; x < a.width; ++x) {
            if (a.argb(x, y) != b.argb(x, y)) {
                if (result.pixels == 0) {
                    result.firstX = x;
                    result.firstY = y;
                }
                ++result.pixels;
            }
        }
    }
    return result;
}

Image differenceImage(const Image& expected, const Image& actual)
{
    const uint32_t w = std::max(expected.width, actual.width);
    const uint32_t h = std::max(expected.height, actual.height);
    Image out(w, h, 0xFF000000u);
    for (uint32_t y = 0; y < h; ++y) {
        for (uint32_t x = 0; x < w; ++x) {
            const bool inExpected = x < expected.width && y < expected.height;
            const bool inActual = x < actual.width && y < actual.height;
            if (inExpected && inActual && expected.argb(x, y) == actual.argb(x, y)) {
                const uint8_t* p = expected.pixel(x, y);
                out.pixel(x, y)[0] = p[0] / 4;
                out.pixel(x, y)[1] = p[1] / 4;
                out.pixel(x, y)[2] = p[2] / 4;
            } else {
                out.setArgb(x, y, 0xFFFF00FFu);
            }
        }
    }
    return out;
}

} // namespace zivdemo
