// Image file bytes through createTexture on a renderer over the software
// DirectDraw. The input is the file itself; its length picks the texture
// surface format (display depth and the host's 565/555 answer) and the blend
// mode. The image library is asked directly as well, and the renderer must
// agree with it: a decodable image becomes a texture of its size whose
// pixels are the image's converted by the upload rules, and survives a
// device reset unchanged; anything else fails with the texts the loader
// defines, leaving no surface, image object or registry entry behind.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include <ddraw.h>

#include "FuzzSupport.h"
#include "SoftwareDirectDraw.h"
#include "SurfaceAccess.h"
#include "TestRenderDevice.h"
#include "corona.h"
#include "corona_test.h"
#include "ddraw_test.h"
#include "renderer/CDDRender.h"
#include "texture/CDDTexture.h"

using namespace ZorvUISystem;
using zivfuzz::check;
using zivfuzz::fail;

namespace {

struct Configuration {
    DWORD displayBits;
    int32_t texturePixelFormat;
    bool conversionFails;
};

const Configuration kConfigurations[] = {
    {32, 0, false}, {24, 0, false}, {16, 0, false}, {8, 0, false}, {32, 565, false}, {32, 555, false}, {32, 0, true},
};
constexpr size_t kConfigurationCount = sizeof(kConfigurations) / sizeof(kConfigurations[0]);

const char* const kPrefix = "CDDRender::createTexture failed from file data : ";

// Images above this many pixels are decoded here but not handed to the
// renderer: they would only measure the speed of the upload loop.
constexpr uint64_t kMaxPixels = uint64_t{1} << 20;
// Files whose headers claim more are not even decoded (see claimedPixels).
constexpr uint64_t kMaxClaimedPixels = uint64_t{1} << 22;

uint32_t bigEndian16(const uint8_t* p)
{
    return uint32_t(p[0]) << 8 | p[1];
}
uint32_t littleEndian16(const uint8_t* p)
{
    return uint32_t(p[1]) << 8 | p[0];
}
uint64_t magnitude(int64_t value)
{
    return static_cast<uint64_t>(value < 0 ? -value : value);
}

// The largest picture the file's headers claim, read the way the decoders
// would, or 0. A few bytes can claim a picture of hundreds of megabytes that
// the decoders then fill in at length; such files measure nothing but the
// decoders' speed and are left out.
uint64_t claimedPixels(const uint8_t* data, size_t size)
{
    uint64_t largest = 0;
    auto claim = [&largest](uint64_t width, uint64_t height) { largest = std::max(largest, width * height); };
    if (size >= 24 && data[0] == 0x89 && data[1] == 'P' && data[2] == 'N' && data[3] == 'G')
        claim(uint64_t(data[16]) << 24 | uint64_t(data[17]) << 16 | uint64_t(data[18]) << 8 | data[19],
              uint64_t(data[20]) << 24 | uint64_t(data[21]) << 16 | uint64_t(data[22]) << 8 | data[23]);
    if (size >= 10 && data[0] == 'G' && data[1] == 'I' && data[2] == 'F')
        claim(littleEndian16(data + 6), littleEndian16(data + 8));
    if (size >= 26 && data[0] == 'B' && data[1] == 'M') {
        // A core (OS/2) header of 12 bytes holds 16-bit sides.
        int32_t width, height;
        std::memcpy(&width, data + 18, 4);
        std::memcpy(&height, data + 22, 4);
        if (data[14] == 12 && data[15] == 0 && data[16] == 0 && data[17] == 0)
            claim(littleEndian16(data + 18), littleEndian16(data + 20));
        else
            claim(magnitude(width), magnitude(height));
    }
    if (size >= 4 && data[0] == 0xFF && data[1] == 0xD8) {
        // Start-of-frame markers carry the height, then the width.
        for (size_t i = 2; i + 8 < size; ++i) {
            const uint8_t m = data[i + 1];
            if (data[i] == 0xFF && m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC)
                claim(bigEndian16(data + i + 7), bigEndian16(data + i + 5));
        }
    }
    // A TGA has no signature: a colour-map type of 0 or 1 and a known image
    // type make one, with the size at bytes 12 to 15.
    const bool tgaType =
        size >= 18 && (data[2] == 1 || data[2] == 2 || data[2] == 3 || data[2] == 9 || data[2] == 10 || data[2] == 11);
    if (tgaType && data[1] <= 1)
        claim(littleEndian16(data + 12), littleEndian16(data + 14));
    return largest;
}

// What the image library makes of the bytes, in the form the loader hands
// to the upload: RGBA or RGB, or the loader's text for why not.
struct Decoded {
    std::string failure; // empty when the image loads
    int width = 0;
    int height = 0;
    bool rgba = false;
    std::vector<uint8_t> pixels;
};

Decoded decodeDirectly(const uint8_t* data, size_t size, bool conversionFails)
{
    Decoded out;
    if (data == nullptr || size == 0) {
        out.failure = "CDDTexture::loadFromFileData -- Failed to load image from file data.";
        return out;
    }
    corona::File* file = corona::CorCreateMemoryFile(data, static_cast<int>(size));
    check(file != nullptr, "a memory file over any bytes");
    corona::Image* image = corona::CorOpenImageFromFile(file, corona::FF_AUTODETECT);
    file->destroy();
    if (image == nullptr) {
        out.failure = "Unable to load image, corona::OpenImage failed";
        return out;
    }
    const corona::PixelFormat format = image->getFormat();
    if (format == corona::PF_B8G8R8A8 || format == corona::PF_B8G8R8) {
        if (conversionFails) {
            image->destroy();
            out.failure = "Unable to convert image to RGBA or RGB";
            return out;
        }
        image = corona::CorConvertImage(image, format == corona::PF_B8G8R8A8 ? corona::PF_R8G8B8A8 : corona::PF_R8G8B8);
        check(image != nullptr, "a swap of the colour bytes succeeds");
    } else if (format != corona::PF_R8G8B8A8 && format != corona::PF_R8G8B8) {
        image->destroy();
        out.failure = "Unable to load image, unsurpotted image format.";
        return out;
    }
    out.width = image->getWidth();
    out.height = image->getHeight();
    out.rgba = image->getFormat() == corona::PF_R8G8B8A8;
    const size_t bytes = size_t(out.width) * size_t(out.height) * (out.rgba ? 4 : 3);
    if (uint64_t(out.width) * uint64_t(out.height) <= kMaxPixels) {
        const auto* pixels = static_cast<const uint8_t*>(image->getPixels());
        out.pixels.assign(pixels, pixels + bytes);
    }
    image->destroy();
    return out;
}

// The colour bytes and the alpha byte one RGBA or RGB pixel becomes, in
// memory order, by the texture's pixel mode. Only the bytes marked in
// `checked` are defined (a 32-bit colour pixel keeps its fourth byte unless
// the pixel is transparent; 16-bit alpha goes into the low byte only).
struct Expected {
    uint8_t colour[4];
    bool colourChecked[4];
    uint8_t alpha[4];
    bool alphaChecked[4];
};

Expected expectedPixel(const uint8_t* p, bool rgba, RgbMode mode)
{
    Expected e{};
    uint32_t r = p[0], g = p[1], b = p[2];
    const uint32_t a = rgba ? p[3] : 255;
    if (rgba && a != 255) {
        r = a == 0 ? 0 : r * (a + 1) >> 8;
        g = a == 0 ? 0 : g * (a + 1) >> 8;
        b = a == 0 ? 0 : b * (a + 1) >> 8;
    }
    switch (mode) {
    case DDS_RGBMODE_565:
    case DDS_RGBMODE_555: {
        const uint32_t value = mode == DDS_RGBMODE_565 ? (r & 0xF8) << 8 | (g & 0xFC) << 3 | b >> 3
                                                       : (r & 0xF8) << 7 | (g & 0xF8) << 2 | b >> 3;
        e.colour[0] = static_cast<uint8_t>(value);
        e.colour[1] = static_cast<uint8_t>(value >> 8);
        e.colourChecked[0] = e.colourChecked[1] = true;
        e.alpha[0] = static_cast<uint8_t>(a);
        e.alphaChecked[0] = rgba;
        break;
    }
    case DDS_RGBMODE_24:
    case DDS_RGBMODE_32:
        e.colour[0] = static_cast<uint8_t>(b);
        e.colour[1] = static_cast<uint8_t>(g);
        e.colour[2] = static_cast<uint8_t>(r);
        e.colourChecked[0] = e.colourChecked[1] = e.colourChecked[2] = true;
        if (mode == DDS_RGBMODE_32) {
            // RGB pixels are opaque; a transparent RGBA pixel is all zero;
            // any other keeps what the new surface held.
            e.colour[3] = rgba ? 0 : 0xFF;
            e.colourChecked[3] = !rgba || a == 0;
            e.alpha[3] = static_cast<uint8_t>(a);
            e.alphaChecked[3] = rgba;
        } else {
            e.alpha[0] = static_cast<uint8_t>(a);
            e.alphaChecked[0] = rgba;
        }
        break;
    default:
        break;
    }
    return e;
}

uint32_t bytesPerPixel(RgbMode mode)
{
    switch (mode) {
    case DDS_RGBMODE_555:
    case DDS_RGBMODE_565:
        return 2;
    case DDS_RGBMODE_24:
        return 3;
    case DDS_RGBMODE_32:
        return 4;
    default:
        return 0;
    }
}

// A copy of a surface's pixel rows (without the pitch padding).
std::vector<uint8_t> readSurface(IDirectDrawSurface* surface)
{
    std::vector<uint8_t> rows;
    check(ZivTest::readSurfaceRows(surface, rows), "a texture surface locks");
    return rows;
}

void checkPixels(CDDTexture& texture, const Decoded& image)
{
    const uint32_t bpp = bytesPerPixel(texture.rgbMode());
    if (bpp == 0 || image.pixels.empty())
        return; // palette surfaces take colours through GDI
    const std::vector<uint8_t> colour = readSurface(texture.colourSurface());
    const std::vector<uint8_t> alpha =
        texture.alphaSurface() != texture.colourSurface() ? readSurface(texture.alphaSurface()) : colour;
    const size_t sourceBytes = image.rgba ? 4 : 3;
    for (size_t i = 0; i < size_t(image.width) * size_t(image.height); ++i) {
        const Expected e = expectedPixel(&image.pixels[i * sourceBytes], image.rgba, texture.rgbMode());
        for (uint32_t k = 0; k < bpp; ++k) {
            if (e.colourChecked[k] && colour[i * bpp + k] != e.colour[k])
                fail("uploaded colour", "pixel " + std::to_string(i) + " byte " + std::to_string(k));
            if (e.alphaChecked[k] && alpha[i * bpp + k] != e.alpha[k])
                fail("uploaded alpha", "pixel " + std::to_string(i) + " byte " + std::to_string(k));
        }
    }
}

IDirectDrawSurface* makeTarget(IDirectDraw* directDraw, DWORD width, DWORD height)
{
    DDSURFACEDESC desc = ZivTest::offscreenSurfaceDesc(width, height);
    IDirectDrawSurface* surface = nullptr;
    check(directDraw->CreateSurface(&desc, &surface, nullptr) == DD_OK && surface, "the target surface");
    return surface;
}

void run(const uint8_t* data, size_t size)
{
    const Configuration& config = kConfigurations[size % kConfigurationCount];
    const int32_t blendMode = static_cast<int32_t>(size / kConfigurationCount % 3);
    if (claimedPixels(data, size) > kMaxClaimedPixels)
        return;
    corona::test::setConversionFailure(config.conversionFails);
    const Decoded image = decodeDirectly(data, size, config.conversionFails);
    if (image.failure.empty() && uint64_t(image.width) * uint64_t(image.height) > kMaxPixels)
        return;

    ZivTest::SoftwareDirectDraw directDraw;
    check(directDraw.get() != nullptr, "DirectDrawCreate");
    if (config.displayBits != 32)
        check(directDraw.get()->SetDisplayMode(640, 480, config.displayBits) == DD_OK, "SetDisplayMode");
    ZivTest::TestRenderDevice device(directDraw.get(), 48.0f, 40.0f);
    device.blendMode = blendMode;
    device.texturePixelFormat = config.texturePixelFormat;

    {
        CDDRender renderer(&device, 0, false);
        IDirectDrawSurface* target = makeTarget(directDraw.get(), 48, 40);
        renderer.setTargetSurface(target);
        const size_t registered = renderer.textures().size();

        Texture* created = nullptr;
        try {
            created = renderer.createTexture(data, static_cast<uint32_t>(size));
        } catch (const std::exception& e) {
            const std::string expected = std::string(kPrefix) + "(" + image.failure + ")";
            if (image.failure.empty() || expected != e.what())
                fail("createTexture from file bytes fails as the image library does",
                     std::string("raised \"") + e.what() + "\", expected \"" + expected + "\"");
            check(renderer.textures().size() == registered, "a failed creation leaves the registry alone");
        }
        check(ddrawtest::guardsIntact(), "every surface's guard bytes after createTexture");

        if (created != nullptr) {
            check(image.failure.empty(), "createTexture fails where the image library does", image.failure);
            auto* texture = static_cast<CDDTexture*>(created);
            check(texture->getWidth() == uint32_t(image.width) && texture->getHeight() == uint32_t(image.height),
                  "the texture has the image's size");
            check(texture->colourSurface() != nullptr && texture->alphaSurface() != nullptr, "the texture's surfaces");
            check(texture->hasAlpha() == image.rgba, "RGBA images carry the colour key");
            check(!texture->restoreOnly(), "a texture from file bytes reloads after a reset");
            checkPixels(*texture, image);

            // Drawn stretched over the whole target and once at its own size,
            // translucent and tinted.
            const FloatRect whole{0.0f, 0.0f, float(image.width), float(image.height)};
            renderer.queueQuad({-3.0f, -2.0f, 51.0f, 43.0f}, 1.0f, created, whole,
                               {0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF}, 0);
            renderer.queueQuad({5.0f, 4.0f, 5.0f + float(image.width), 4.0f + float(image.height)}, 0.5f, created,
                               whole, {0x80FF8040, 0x80FF8040, 0x80FF8040, 0x80FF8040}, 0);
            renderer.renderQueue();
            renderer.clearQueue();
            check(ddrawtest::guardsIntact(), "every surface's guard bytes after drawing");

            // A reset reloads the kept bytes into the same pixels.
            const std::vector<uint8_t> before = readSurface(texture->colourSurface());
            renderer.prepareForReset();
            bool changed = true;
            renderer.postD3DReset(&changed);
            check(!changed, "the display size stays");
            check(texture->colourSurface() != nullptr, "the texture is reloaded");
            check(readSurface(texture->colourSurface()) == before, "a reload gives the same pixels");
            renderer.destroyTexture(created);
        }
        check(renderer.textures().size() == registered, "only the renderer's own textures are left");
        target->Release();
    }
    check(ddrawtest::liveSurfaceCount() == 0, "every surface is released");
    check(corona::test::liveObjects() == 0, "every image library object is destroyed");
    corona::test::setConversionFailure(false);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    run(data, size);
    return 0;
}
