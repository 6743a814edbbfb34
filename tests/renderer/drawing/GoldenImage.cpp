#include "GoldenImage.h"

#include <cstdio>
#include <fstream>
#include <sstream>
#include <vector>

#if !defined(ZIV_GOLDEN_WITHOUT_PNG)
#include <png.h>
#endif

namespace ZivTest {

namespace {

// A channel of a pixel widened to 8 bits.
[[maybe_unused]] uint8_t channel(uint32_t pixel, uint32_t mask)
{
    if (mask == 0)
        return 0;
    unsigned shift = 0;
    while (((mask >> shift) & 1u) == 0)
        ++shift;
    const uint32_t top = mask >> shift;
    const uint32_t value = (pixel & mask) >> shift;
    return static_cast<uint8_t>(value * 255u / top);
}

} // namespace

std::string pixelHash(const SurfaceImage& image)
{
    uint64_t hash = 0xCBF29CE484222325ull;
    auto mix = [&hash](uint8_t byte) {
        hash ^= byte;
        hash *= 0x100000001B3ull;
    };
    for (uint32_t value : {uint32_t(image.width), uint32_t(image.height), uint32_t(image.format.dwRGBBitCount)})
        for (int i = 0; i < 4; ++i)
            mix(uint8_t(value >> (8 * i)));
    const size_t rowBytes = size_t(image.width) * image.bytesPerPixel;
    for (DWORD y = 0; y < image.height; ++y)
        for (size_t i = 0; i < rowBytes; ++i)
            mix(image.bytes[size_t(y) * image.pitch + i]);
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return text;
}

std::map<std::string, std::string> readGoldenHashes(const std::string& path)
{
    std::map<std::string, std::string> hashes;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream fields(line);
        std::string name;
        std::string hash;
        if (fields >> name >> hash)
            hashes[name] = hash;
    }
    return hashes;
}

bool writeGoldenHashes(const std::string& path, const std::map<std::string, std::string>& hashes)
{
    std::ofstream out(path, std::ios::trunc);
    out << "# Pixel hashes of the golden frames (GoldenFrameTest). Regenerate deliberately with\n"
           "# ZIV_UPDATE_GOLDENS=1 and look at the frames (ZIV_GOLDEN_PNG_DIR) before committing.\n";
    for (const auto& [name, hash] : hashes)
        out << name << ' ' << hash << '\n';
    return static_cast<bool>(out);
}

#if defined(ZIV_GOLDEN_WITHOUT_PNG)
// A build without libpng (the 32-bit build) writes no frames.
bool writePng(const std::string&, const SurfaceImage&)
{
    return false;
}
#else
bool writePng(const std::string& path, const SurfaceImage& image)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    if (png == nullptr || info == nullptr || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, image.width, image.height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    const bool indexed = image.format.dwRGBBitCount == 8;
    std::vector<png_byte> row(size_t(image.width) * 3);
    for (DWORD y = 0; y < image.height; ++y) {
        for (DWORD x = 0; x < image.width; ++x) {
            const uint32_t pixel = image.get(LONG(x), LONG(y));
            png_byte* rgb = &row[size_t(x) * 3];
            if (indexed) {
                rgb[0] = rgb[1] = rgb[2] = static_cast<png_byte>(pixel);
            } else {
                rgb[0] = channel(pixel, image.format.dwRBitMask);
                rgb[1] = channel(pixel, image.format.dwGBitMask);
                rgb[2] = channel(pixel, image.format.dwBBitMask);
            }
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fclose(file) == 0;
}
#endif

} // namespace ZivTest
