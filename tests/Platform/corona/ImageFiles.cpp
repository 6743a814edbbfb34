#include "ImageFiles.h"

#include <algorithm>
#include <stdexcept>
#include <string>
#include <utility>

namespace ZivImageFiles {

namespace {

void put32(std::vector<uint8_t>& out, uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<uint8_t>(value >> shift));
}

void put16le(std::vector<uint8_t>& out, uint16_t value)
{
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

uint32_t crc32(const uint8_t* data, size_t size)
{
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void chunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& data)
{
    put32(out, static_cast<uint32_t>(data.size()));
    const size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    put32(out, crc32(out.data() + start, out.size() - start));
}

// A zlib stream of stored (uncompressed) deflate blocks.
std::vector<uint8_t> storedZlib(const std::vector<uint8_t>& data)
{
    std::vector<uint8_t> out = {0x78, 0x01};
    size_t at = 0;
    do {
        const size_t length = std::min<size_t>(data.size() - at, 65535);
        const bool last = at + length == data.size();
        out.push_back(last ? 1 : 0);
        out.push_back(static_cast<uint8_t>(length));
        out.push_back(static_cast<uint8_t>(length >> 8));
        out.push_back(static_cast<uint8_t>(~length));
        out.push_back(static_cast<uint8_t>(~length >> 8));
        out.insert(out.end(), data.begin() + static_cast<ptrdiff_t>(at),
                   data.begin() + static_cast<ptrdiff_t>(at + length));
        at += length;
    } while (at < data.size());
    uint32_t a = 1, b = 0;
    for (uint8_t byte : data) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    put32(out, (b << 16) | a);
    return out;
}

unsigned channels(uint8_t colourType)
{
    switch (colourType) {
    case 0:
    case 3:
        return 1;
    case 4:
        return 2;
    case 2:
        return 3;
    default:
        return 4;
    }
}

// LZW codes of a GIF image with 2-bit colours, a clear code before every
// two pixels so that the code width stays at 3 bits.
std::vector<uint8_t> gifImageData(const std::vector<uint8_t>& indices)
{
    const unsigned clear = 4, end = 5, width = 3;
    std::vector<uint8_t> bytes;
    uint32_t buffer = 0;
    unsigned bits = 0;
    auto emit = [&](unsigned code) {
        buffer |= code << bits;
        bits += width;
        while (bits >= 8) {
            bytes.push_back(static_cast<uint8_t>(buffer));
            buffer >>= 8;
            bits -= 8;
        }
    };
    for (size_t i = 0; i < indices.size(); ++i) {
        if (i % 2 == 0)
            emit(clear);
        emit(indices[i] & 3u);
    }
    emit(end);
    if (bits > 0)
        bytes.push_back(static_cast<uint8_t>(buffer));

    std::vector<uint8_t> out = {2}; // minimum code size
    for (size_t at = 0; at < bytes.size(); at += 255) {
        const size_t length = std::min<size_t>(bytes.size() - at, 255);
        out.push_back(static_cast<uint8_t>(length));
        out.insert(out.end(), bytes.begin() + static_cast<ptrdiff_t>(at),
                   bytes.begin() + static_cast<ptrdiff_t>(at + length));
    }
    out.push_back(0);
    return out;
}

} // namespace

PngSpec pngSpec(uint32_t width, uint32_t height, uint8_t bitDepth, uint8_t colourType, std::vector<uint8_t> rows,
                std::vector<uint8_t> palette, std::vector<uint8_t> transparency)
{
    PngSpec spec;
    spec.width = width;
    spec.height = height;
    spec.bitDepth = bitDepth;
    spec.colourType = colourType;
    spec.rows = std::move(rows);
    spec.palette = std::move(palette);
    spec.transparency = std::move(transparency);
    return spec;
}

std::vector<uint8_t> makePng(const PngSpec& spec)
{
    const size_t rowBytes = (size_t(spec.width) * channels(spec.colourType) * spec.bitDepth + 7) / 8;
    if (spec.rows.size() != rowBytes * spec.height)
        throw std::invalid_argument("makePng: the rows do not fill the image");
    std::vector<uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> header;
    put32(header, spec.claimedWidth != 0 ? spec.claimedWidth : spec.width);
    put32(header, spec.claimedHeight != 0 ? spec.claimedHeight : spec.height);
    header.insert(header.end(), {spec.bitDepth, spec.colourType, 0, 0, 0});
    chunk(out, "IHDR", header);
    if (!spec.palette.empty())
        chunk(out, "PLTE", spec.palette);
    if (!spec.transparency.empty())
        chunk(out, "tRNS", spec.transparency);
    std::vector<uint8_t> filtered;
    for (uint32_t y = 0; y < spec.height; ++y) {
        filtered.push_back(0);
        filtered.insert(filtered.end(), spec.rows.begin() + static_cast<ptrdiff_t>(y * rowBytes),
                        spec.rows.begin() + static_cast<ptrdiff_t>((y + 1) * rowBytes));
    }
    chunk(out, "IDAT", storedZlib(filtered));
    chunk(out, "IEND", {});
    return out;
}

std::vector<uint8_t> makeGif(const GifSpec& spec)
{
    if (spec.palette.size() != 12 || spec.indices.size() != size_t(spec.width) * spec.height)
        throw std::invalid_argument("makeGif: four colours and one index per pixel");
    std::vector<uint8_t> out = {'G', 'I', 'F', '8', '9', 'a'};
    put16le(out, spec.screenWidth);
    put16le(out, spec.screenHeight);
    out.insert(out.end(), {0x81, 0, 0}); // global table of 4 colours
    out.insert(out.end(), spec.palette.begin(), spec.palette.end());
    if (spec.transparentIndex >= 0)
        out.insert(out.end(), {0x21, 0xF9, 4, 0x01, 0, 0, static_cast<uint8_t>(spec.transparentIndex), 0});
    out.push_back(0x2C);
    put16le(out, spec.left);
    put16le(out, spec.top);
    put16le(out, spec.width);
    put16le(out, spec.height);
    out.push_back(0);
    const std::vector<uint8_t> data = gifImageData(spec.indices);
    out.insert(out.end(), data.begin(), data.end());
    out.push_back(0x3B);
    return out;
}

} // namespace ZivImageFiles
