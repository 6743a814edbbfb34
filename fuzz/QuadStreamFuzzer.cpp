// A byte stream decoded into renderer calls (the format is in QuadStream.h):
// textures of every pixel mode and size, from pixels, file bytes and files;
// quads with any float coordinates, colours and depths; queueing on and off,
// render passes, clearing, destruction, device resets, lost surfaces,
// display mode changes and DirectDraw failures armed at any point, in every
// blend mode, on a DirectDraw that can behave like a real one (garbage memory,
// unusable lost surfaces, refused restores, a busy blitter, a video memory
// budget, every surface lost at once, clipped targets). After every call each
// surface's guard bytes must be intact, a clipped target must be untouched
// outside its clip list, drawing must never raise, every failure must carry
// one of the texts the renderer defines, and log lines must be the ones it
// writes. At the end the renderer must recover:
// with the faults gone, a reset and the next frame must render a texture
// exactly, and destroying it must give back every surface.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

#include <ddraw.h>

#include "ExpectedTexts.h"
#include "FuzzSupport.h"
#include "ProcessorFeaturesOverride.h"
#include "QuadStream.h"
#include "RecordingPlovLogger.h"
#include "SoftwareDirectDraw.h"
#include "SurfaceAccess.h"
#include "TempDirectory.h"
#include "TestRenderDevice.h"
#include "corona_test.h"
#include "ddraw_test.h"
#include "diagnostics/ModuleState.h"
#include "pixel/RgbMode.h"
#include "renderer/CDDRender.h"
#include "texture/CDDTexture.h"

using namespace ZorvUISystem;
using namespace zivfuzz::quads;
using zivfuzz::check;
using zivfuzz::fail;

namespace {

constexpr size_t kMaxOperations = 200;
constexpr size_t kMaxTextures = 12;

const DWORD kDisplayDepths[] = {32, 24, 16, 8};
const int32_t kTextureFormats[] = {0, 565, 555};

const float kSpecialCoordinates[] = {
    std::numeric_limits<float>::quiet_NaN(),
    std::numeric_limits<float>::infinity(),
    -std::numeric_limits<float>::infinity(),
    1e30f,
    -1e30f,
    2147483648.0f,
    -2147483648.0f,
    2147483520.0f,
    -2147483520.0f,
    4294967296.0f,
    -0.0f,
    0.999f,
    -0.999f,
    16777217.0f,
    65536.0f,
    -65536.0f,
    std::numeric_limits<float>::denorm_min(),
    std::numeric_limits<float>::max(),
    -std::numeric_limits<float>::max(),
    1e-30f,
};

const uint32_t kPalette[] = {
    0xFFFFFFFF, 0x80FFFFFF, 0xFF808080, 0x00000000, 0x01FFFFFF, 0xFEFFFFFF, 0xFF000000, 0xFFFF0000,
    0x4000FF00, 0xC00000FF, 0xFFFFFF00, 0x7F7F7F7F, 0xFF0000FF, 0x80000000, 0x03FFFFFF, 0xFFFEFEFE,
};

const char* const kFaultOperations[] = {
    "CreateSurface",  "Lock",           "Unlock",      "Blt",         "BltFast",        "GetDC",          "ReleaseDC",
    "IsLost",         "Restore",        "SetColorKey", "GetColorKey", "GetSurfaceDesc", "GetPixelFormat", "GetCaps",
    "SetDisplayMode", "GetDisplayMode",
};

template <class T, size_t N> constexpr size_t countOf(const T (&)[N])
{
    return N;
}

// An uncompressed TGA file, top row first, RGBA (32-bit) or RGB (24-bit).
std::vector<uint8_t> tgaFile(uint32_t width, uint32_t height, bool rgba, uint32_t seed)
{
    std::vector<uint8_t> file(18, 0);
    file[2] = 2; // uncompressed true colour
    file[12] = static_cast<uint8_t>(width);
    file[13] = static_cast<uint8_t>(width >> 8);
    file[14] = static_cast<uint8_t>(height);
    file[15] = static_cast<uint8_t>(height >> 8);
    file[16] = rgba ? 32 : 24;
    file[17] = static_cast<uint8_t>((rgba ? 8 : 0) | 0x20);
    zivfuzz::Pattern pattern(seed);
    for (uint32_t i = 0; i < width * height; ++i) {
        const uint32_t v = pattern.next();
        file.push_back(static_cast<uint8_t>(v));       // blue
        file.push_back(static_cast<uint8_t>(v >> 8));  // green
        file.push_back(static_cast<uint8_t>(v >> 16)); // red
        if (rgba)
            file.push_back(i % 3 == 0 ? 0 : i % 3 == 1 ? 255 : static_cast<uint8_t>(v >> 24));
    }
    return file;
}

// The files that file textures load, written again whenever a stream has
// changed them.
class TextureFiles {
public:
    TextureFiles() { restore(); }

    const std::string& directory() const { return d_directory.path(); }
    void restore()
    {
        if (!d_dirty)
            return;
        write("a.tga", tgaFile(5, 3, true, 11));
        write("b.tga", tgaFile(2, 2, false, 12));
        d_dirty = false;
    }
    void change(uint8_t which)
    {
        d_dirty = true;
        switch (which % 4) {
        case 0:
            std::filesystem::remove(std::filesystem::path(directory()) / "a.tga");
            break;
        case 1:
            write("a.tga", {'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e'});
            break;
        case 2:
            write("a.tga", tgaFile(3, 7, false, which));
            break;
        default:
            write("b.tga", {});
            break;
        }
    }

private:
    void write(const char* name, const std::vector<uint8_t>& bytes)
    {
        std::ofstream out(std::filesystem::path(directory()) / name, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }

    ZivTest::TempDirectory d_directory;
    bool d_dirty = true;
};

TextureFiles& textureFiles()
{
    static TextureFiles files;
    return files;
}

// RGBA or RGB pixels of one of four kinds: random, opaque white, alpha 0 and
// 255 mixed, and colours too dark for 16 bits.
std::vector<uint8_t> texturePixels(uint32_t width, uint32_t height, bool rgba, uint8_t kind, uint8_t seed)
{
    zivfuzz::Pattern pattern(seed);
    const size_t bytes = rgba ? 4 : 3;
    std::vector<uint8_t> pixels(size_t(width) * height * bytes);
    for (size_t i = 0; i < size_t(width) * height; ++i) {
        const uint32_t v = pattern.next();
        uint8_t* p = &pixels[i * bytes];
        switch (kind % 4) {
        case 0:
            for (size_t k = 0; k < bytes; ++k)
                p[k] = static_cast<uint8_t>(v >> (8 * k));
            break;
        case 1:
            std::memset(p, 0xFF, bytes);
            break;
        case 2:
            p[0] = p[1] = p[2] = (v & 1) ? 0xFF : static_cast<uint8_t>(v >> 8);
            if (rgba)
                p[3] = (v & 2) ? 0xFF : 0;
            break;
        default:
            p[0] = static_cast<uint8_t>(v & 7);
            p[1] = static_cast<uint8_t>((v >> 3) & 3);
            p[2] = static_cast<uint8_t>((v >> 5) & 7);
            if (rgba)
                p[3] = 0xFF;
            break;
        }
    }
    return pixels;
}

IDirectDrawSurface* makeSurface(IDirectDraw* directDraw, DWORD width, DWORD height, int format)
{
    DDSURFACEDESC desc = ZivTest::offscreenSurfaceDesc(width, height);
    if (format >= 0) {
        static const DWORD bits[] = {16, 16, 24, 32};
        static const DWORD masks[][3] = {
            {0xF800, 0x07E0, 0x001F}, {0x7C00, 0x03E0, 0x001F}, {0xFF0000, 0xFF00, 0xFF}, {0xFF0000, 0xFF00, 0xFF}};
        desc.dwFlags |= DDSD_PIXELFORMAT;
        desc.ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
        desc.ddpfPixelFormat.dwFlags = DDPF_RGB;
        desc.ddpfPixelFormat.dwRGBBitCount = bits[format];
        desc.ddpfPixelFormat.dwRBitMask = masks[format][0];
        desc.ddpfPixelFormat.dwGBitMask = masks[format][1];
        desc.ddpfPixelFormat.dwBBitMask = masks[format][2];
    }
    IDirectDrawSurface* surface = nullptr;
    check(directDraw->CreateSurface(&desc, &surface, nullptr) == DD_OK && surface != nullptr, "a target surface");
    return surface;
}

struct Locked {
    DDSURFACEDESC desc;
    std::vector<uint8_t> rows; // bytes of the rectangle, row after row
};

// The bytes of a rectangle of a surface, and the surface's description.
Locked readRect(IDirectDrawSurface* surface, const RECT& rect)
{
    Locked out;
    std::memset(&out.desc, 0, sizeof(out.desc));
    out.desc.dwSize = sizeof(out.desc);
    check(surface->Lock(nullptr, &out.desc, DDLOCK_WAIT, nullptr) == DD_OK, "a surface locks");
    const size_t bpp = out.desc.ddpfPixelFormat.dwRGBBitCount / 8;
    for (LONG y = rect.top; y < rect.bottom; ++y) {
        const auto* row = static_cast<const uint8_t*>(out.desc.lpSurface) + ptrdiff_t(y) * out.desc.lPitch;
        out.rows.insert(out.rows.end(), row + rect.left * bpp, row + rect.right * bpp);
    }
    surface->Unlock(nullptr);
    return out;
}

class Stream {
public:
    Stream(const uint8_t* data, size_t size) : d_in(data, size) {}

    void run()
    {
        readHeader();
        textureFiles().restore();
        check(d_directDraw.get() != nullptr, "DirectDrawCreate");
        if (d_depth != 32)
            check(d_directDraw.get()->SetDisplayMode(640, 480, d_depth) == DD_OK, "SetDisplayMode");
        d_targets[0] = makeSurface(d_directDraw.get(), std::max<DWORD>(1, d_width), std::max<DWORD>(1, d_height), -1);
        d_targets[1] = makeSurface(d_directDraw.get(), d_width / 2 + 1, d_height / 2 + 3, d_targetFormat);

        ZivTest::TestRenderDevice device(d_directDraw.get(), float(d_width), float(d_height));
        device.blendMode = d_blendPreference;
        device.textureMemory = d_textureMemory;
        device.texturePixelFormat = d_texturePixelFormat;
        d_device = &device;

        CDDRender* renderer = nullptr;
        try {
            renderer = new CDDRender(&device, 0, false);
        } catch (const std::exception& e) {
            // Only a display the software DirectDraw refuses stops the start.
            check(d_width == 0 || d_height == 0, "the renderer is made for any display it can have", e.what());
            check(ZivExpect::isLoaderText(e.what()), "construction fails with a creation message", e.what());
        }
        afterCall("construction");
        if (renderer != nullptr) {
            d_renderer = renderer;
            renderer->setTargetSurface(d_targets[0]);
            for (size_t n = 0; n < kMaxOperations && !d_in.atEnd(); ++n)
                step();
            recover();
            delete renderer;
            d_renderer = nullptr;
            afterCall("destruction");
        }
        check(ddrawtest::liveSurfaceCount() == 2, "destroying the renderer gives back every surface");
        for (IDirectDrawSurface*& target : d_targets) {
            target->Release();
            target = nullptr;
        }
        for (IDirectDrawClipper*& clipper : d_clippers) {
            if (clipper != nullptr)
                clipper->Release();
            clipper = nullptr;
        }
        check(ddrawtest::liveSurfaceCount() == 0, "no surface outlives its owner");
        check(corona::test::liveObjects() == 0, "every image library object is destroyed");
    }

    ~Stream()
    {
        ddrawtest::reset();
        ddrawtest::resetBehaviours();
        setProcessorFeaturesOverride(nullptr);
        moduleState().logger = nullptr;
    }

private:
    void readHeader()
    {
        d_blendPreference = d_in.byte();
        d_depth = kDisplayDepths[d_in.byte() % countOf(kDisplayDepths)];
        d_texturePixelFormat = kTextureFormats[d_in.byte() % countOf(kTextureFormats)];
        d_textureMemory = d_in.byte() % 4;
        d_width = d_in.byte() % 72;
        d_height = d_in.byte() % 72;
        d_targetFormat = d_in.byte() % 4;
        const uint8_t flags = d_in.byte();
        if (flags & 1) {
            static const uint32_t noFeatures = 0;
            setProcessorFeaturesOverride(&noFeatures);
        }
        if (flags & 2)
            moduleState().logger = &d_logger;
    }

    // A texture argument: an index into the live textures, or null.
    Texture* textureArgument()
    {
        const size_t index = d_in.byte() % (d_textures.size() + 1);
        return index < d_textures.size() ? d_textures[index] : nullptr;
    }

    float coordinate()
    {
        const uint8_t selector = d_in.byte();
        if (selector < kSpecialCoordinate)
            return float(int(selector % 80) - kSmallCoordinateOffset) + ((selector & 0x40) ? 0.75f : 0.0f);
        if (selector < kRawCoordinate)
            return kSpecialCoordinates[(selector - kSpecialCoordinate) % countOf(kSpecialCoordinates)];
        return d_in.f32();
    }

    uint32_t colour()
    {
        const uint8_t selector = d_in.byte();
        return selector < kRawColour ? kPalette[selector % countOf(kPalette)] : d_in.u32();
    }

    CornerColours colours()
    {
        if (d_in.byte() & 1) {
            const uint32_t all = colour();
            return {all, all, all, all};
        }
        CornerColours c;
        c.topLeft = colour();
        c.topRight = colour();
        c.bottomLeft = colour();
        c.bottomRight = colour();
        return c;
    }

    void addTexture(Texture* texture)
    {
        check(texture != nullptr, "a created texture");
        d_textures.push_back(texture);
    }

    void forgetTexture(Texture* texture)
    {
        d_textures.erase(std::remove(d_textures.begin(), d_textures.end(), texture), d_textures.end());
    }

    // A failure that reached the caller must carry one of the texts the
    // renderer and its loaders define.
    static void expectLoaderText(const std::exception& e, const char* call)
    {
        check(ZivExpect::isLoaderText(e.what()), call, std::string("unexpected failure text \"") + e.what() + "\"");
    }

    static void expectPrefixed(const std::exception& e, const std::string& prefix, const char* call)
    {
        const std::string text = e.what();
        const bool framed = text.size() > prefix.size() + 2 && text.compare(0, prefix.size(), prefix) == 0 &&
                            text[prefix.size()] == '(' && text.back() == ')';
        check(framed && ZivExpect::isLoaderText(text.substr(prefix.size() + 1, text.size() - prefix.size() - 2)), call,
              "unexpected failure text \"" + text + "\"");
    }

    void loadPixels(Texture* texture)
    {
        const uint32_t width = 1 + d_in.byte() % 32;
        const uint32_t height = 1 + d_in.byte() % 32;
        const uint8_t flags = d_in.byte();
        const uint8_t seed = d_in.byte();
        const bool rgba = flags & 1;
        const std::vector<uint8_t> pixels = texturePixels(width, height, rgba, flags >> 4, seed);
        try {
            texture->loadFromMemory(pixels.data(), width, height, rgba ? BUFFER_RGBA : BUFFER_RGB);
            auto* t = static_cast<CDDTexture*>(texture);
            check(t->colourSurface() == nullptr || (t->getWidth() == width && t->getHeight() == height),
                  "an upload sets the texture's size");
        } catch (const std::exception& e) {
            expectLoaderText(e, "loadFromMemory");
            auto* t = static_cast<CDDTexture*>(texture);
            check(t->colourSurface() == nullptr && t->alphaSurface() == nullptr,
                  "a failed upload leaves the texture without surfaces");
        }
    }

    void step()
    {
        CDDRender& renderer = *d_renderer;
        const auto operation = static_cast<Operation>(d_in.byte() % kOperationCount);
        switch (operation) {
        case CreateTexture: {
            const uint32_t width = 1 + d_in.byte() % 32;
            const uint32_t height = 1 + d_in.byte() % 32;
            const uint8_t flags = d_in.byte();
            const uint8_t seed = d_in.byte();
            if (d_textures.size() >= kMaxTextures)
                break;
            Texture* texture = (flags & 4) ? renderer.createTexture(float(width)) : renderer.createTexture();
            addTexture(texture);
            texture->setMemoryTexture(flags & 2);
            const bool rgba = flags & 1;
            const std::vector<uint8_t> pixels = texturePixels(width, height, rgba, flags >> 4, seed);
            try {
                texture->loadFromMemory(pixels.data(), width, height, rgba ? BUFFER_RGBA : BUFFER_RGB);
            } catch (const std::exception& e) {
                expectLoaderText(e, "loadFromMemory of a new texture");
            }
            break;
        }
        case CreateFromFileData: {
            const uint8_t kind = d_in.byte();
            const uint32_t width = 1 + d_in.byte() % 24;
            const uint32_t height = 1 + d_in.byte() % 24;
            const uint8_t seed = d_in.byte();
            if (d_textures.size() >= kMaxTextures)
                break;
            std::vector<uint8_t> file = tgaFile(width, height, kind & 1, seed);
            if (kind & 2)
                file.resize(file.size() / 2);
            try {
                addTexture(renderer.createTexture(file.data(), static_cast<uint32_t>(file.size())));
            } catch (const std::exception& e) {
                expectPrefixed(e, ZivExpect::kFileDataPrefix, "createTexture from file bytes");
            }
            break;
        }
        case CreateFromFile: {
            const uint8_t which = d_in.byte();
            if (d_textures.size() >= kMaxTextures)
                break;
            static const char* const names[] = {"a.tga", "b.tga", "missing.tga", ""};
            const char* name = names[which % 4];
            const std::string directory = textureFiles().directory() + ((which & 4) ? "/" : "");
            const char* dir = (which & 8) ? nullptr : directory.c_str();
            try {
                addTexture(renderer.createTexture(name, dir));
            } catch (const std::exception& e) {
                expectPrefixed(e, ZivExpect::kFilePrefix + (dir ? directory : std::string()) + name,
                               "createTexture from a file");
            }
            break;
        }
        case LoadFromMemory: {
            Texture* texture = textureArgument();
            if (texture == nullptr) {
                d_in.bytes(4);
                break;
            }
            loadPixels(texture);
            break;
        }
        case QueueQuad: {
            Texture* texture = textureArgument();
            const FloatRect dest{coordinate(), coordinate(), coordinate(), coordinate()};
            const float z = coordinate();
            const FloatRect source{coordinate(), coordinate(), coordinate(), coordinate()};
            const CornerColours c = colours();
            const Snapshot before = snapshotTarget();
            try {
                renderer.queueQuad(dest, z, texture, source, c, d_in.byte());
            } catch (const std::exception& e) {
                fail("drawing a quad raises nothing", e.what());
            }
            checkClipped(before, "queueQuad");
            break;
        }
        case RenderQueue: {
            const Snapshot before = snapshotTarget();
            try {
                renderer.renderQueue();
            } catch (const std::exception& e) {
                fail("renderQueue raises nothing", e.what());
            }
            checkClipped(before, "renderQueue");
            break;
        }
        case ClearQueue:
            renderer.clearQueue();
            check(renderer.quadQueue().empty(), "clearQueue empties the queue");
            break;
        case SetQueueing:
            renderer.setQueueing(d_in.byte() & 1);
            break;
        case DestroyTexture: {
            Texture* texture = textureArgument();
            renderer.destroyTexture(texture);
            forgetTexture(texture);
            break;
        }
        case DestroyAllTextures:
            renderer.destroyAllTextures();
            d_textures.clear();
            check(renderer.textures().empty(), "destroyAllTextures empties the registry");
            break;
        case PrepareForReset:
            renderer.prepareForReset();
            check(renderer.scratchTexture() == nullptr && renderer.bufferTexture() == nullptr,
                  "no auxiliary texture while a reset is pending");
            break;
        case PostD3DReset: {
            const uint8_t width = d_in.byte();
            const uint8_t height = d_in.byte();
            if (width != 0xFF)
                d_device->width = width < 0xF0 ? float(width % 72) + (width & 0x40 ? 0.7f : 0.0f)
                                               : kSpecialCoordinates[width % countOf(kSpecialCoordinates)];
            if (height != 0xFF)
                d_device->height = height < 0xF0 ? float(height % 72) + (height & 0x40 ? 0.2f : 0.0f)
                                                 : kSpecialCoordinates[height % countOf(kSpecialCoordinates)];
            bool changed = false;
            try {
                renderer.postD3DReset(&changed);
            } catch (const std::exception& e) {
                const bool noDirectDraw = std::string(e.what()) == ZivExpect::kNoDirectDraw;
                check(noDirectDraw == (d_device->directDraw == nullptr),
                      "postD3DReset names a missing DirectDraw object exactly when it is missing", e.what());
                if (!noDirectDraw)
                    expectLoaderText(e, "postD3DReset");
            }
            break;
        }
        case LoseSurface: {
            const uint8_t which = d_in.byte();
            Texture* texture = textureArgument();
            auto* t = static_cast<CDDTexture*>(texture);
            IDirectDrawSurface* surface = nullptr;
            switch (which % 4) {
            case 0:
                surface = t ? t->colourSurface() : nullptr;
                break;
            case 1:
                surface = t ? t->alphaSurface() : nullptr;
                break;
            case 2:
                surface = d_targets[(which >> 2) & 1];
                break;
            default:
                surface = (which & 4)
                              ? (renderer.bufferTexture() ? renderer.bufferTexture()->colourSurface() : nullptr)
                              : (renderer.scratchTexture() ? renderer.scratchTexture()->alphaSurface() : nullptr);
                break;
            }
            if (surface != nullptr)
                ddrawtest::markLost(surface);
            break;
        }
        case SetDisplayMode:
            d_directDraw.get()->SetDisplayMode(640, 480, kDisplayDepths[d_in.byte() % countOf(kDisplayDepths)]);
            break;
        case ArmFault: {
            const char* name = kFaultOperations[d_in.byte() % countOf(kFaultOperations)];
            const std::vector<HRESULT> codes = ZivExpect::faultCodes();
            const HRESULT code = codes[d_in.byte() % codes.size()];
            const unsigned nth = 1 + d_in.byte() % 6;
            if (d_in.byte() & 1)
                ddrawtest::failAlways(name, code);
            else
                ddrawtest::failNext(name, code, nth);
            break;
        }
        case DisarmFaults:
            ddrawtest::reset();
            break;
        case SetTarget: {
            const uint8_t which = d_in.byte() % 3;
            renderer.setTargetSurface(which == 0 ? nullptr : d_targets[which - 1]);
            break;
        }
        case SetTextureFormat:
            d_device->texturePixelFormat = kTextureFormats[d_in.byte() % countOf(kTextureFormats)];
            d_device->textureMemory = d_in.byte() % 4;
            break;
        case SetDirectDraw:
            d_device->directDraw = (d_in.byte() & 1) ? d_directDraw.get() : nullptr;
            break;
        case RestoreTargets:
            for (IDirectDrawSurface* target : d_targets)
                target->Restore();
            break;
        case SetMemoryTexture: {
            Texture* texture = textureArgument();
            const bool on = d_in.byte() & 1;
            if (texture != nullptr)
                texture->setMemoryTexture(on);
            break;
        }
        case ChangeFile:
            textureFiles().change(d_in.byte());
            break;
        case LoseAllSurfaces: {
            static const char* const calls[] = {"Blt",    "BltFast", "Lock",         "Unlock",
                                                "IsLost", "Restore", "CreateSurface"};
            const uint8_t when = d_in.byte();
            const unsigned nth = 1 + d_in.byte() % 8;
            if (when == 0)
                check(ddrawtest::loseAllSurfaces(d_directDraw.get()), "loseAllSurfaces");
            else
                check(ddrawtest::loseAllSurfacesOn(calls[when % countOf(calls)], nth, d_directDraw.get()),
                      "loseAllSurfacesOn");
            break;
        }
        case SetBehaviour: {
            const uint8_t which = d_in.byte();
            const uint8_t value = d_in.byte();
            switch (which % 5) {
            case 0:
                ddrawtest::setGarbageMemory(value & 1);
                break;
            case 1:
                ddrawtest::setLostSurfacesUsable(value & 1);
                break;
            case 2:
                ddrawtest::setWrongModeOnRestore(value & 1);
                break;
            case 3:
                ddrawtest::setBusyBlitter(value % 5);
                break;
            default:
                ddrawtest::setVideoMemoryBudget(value == 0 ? 0 : ddrawtest::videoMemoryInUse() + value * 64u);
                break;
            }
            break;
        }
        case ClipTarget: {
            const uint8_t which = d_in.byte();
            RECT client{};
            client.left = LONG(d_in.byte() % 80) - 8;
            client.top = LONG(d_in.byte() % 80) - 8;
            client.right = client.left + LONG(d_in.byte() % 80);
            client.bottom = client.top + LONG(d_in.byte() % 80);
            clip(which & 1, (which & 2) ? nullptr : &client);
            break;
        }
        case kOperationCount:
            break;
        }
        afterCall("an operation");
    }

    // What must hold after every call: no surface written outside its
    // pixels, and only the log lines the renderer writes.
    void afterCall(const char* call)
    {
        check(ddrawtest::guardsIntact(), "every surface's guard bytes are intact", call);
        for (const ZivTest::RecordedCall& line : d_record.calls) {
            const std::string& text = line.function == "logMessage" ? line.args[0] : line.args.back();
            if (line.function == "logMessage") {
                check(line.args[1] == "1", "errors are logged at level 1", text);
                check(ZivExpect::isLoaderText(text) || text == ZivExpect::kNoDirectDraw ||
                          text == ZivExpect::kPixelsLost || text == ZivExpect::kBufferUnrecoverable,
                      "a logged error text", text);
            } else if (line.args[0] == "4") {
                check(text.rfind("CDD7Render::postD3DReset (width ", 0) == 0, "the reset trace", text);
            } else {
                check(line.args[0] == "1", "errors are logged at level 1", text);
                check(text.rfind(ZivExpect::kBlendStretchContext, 0) == 0 ||
                          text.rfind(ZivExpect::kCopyStretchContext, 0) == 0,
                      "a reported DirectDraw failure", text);
            }
        }
        d_record.calls.clear();
    }

    // With the faults gone, the display and the files as at the start and the
    // targets restored, a reset must succeed and the next frame must show a
    // new texture exactly where it was drawn.
    void recover()
    {
        CDDRender& renderer = *d_renderer;
        ddrawtest::reset();
        ddrawtest::resetBehaviours();
        clip(0, nullptr);
        clip(1, nullptr);
        textureFiles().restore();
        d_device->directDraw = d_directDraw.get();
        d_device->width = float(d_width);
        d_device->height = float(d_height);
        d_device->texturePixelFormat = d_texturePixelFormat;
        check(d_directDraw.get()->SetDisplayMode(640, 480, d_depth) == DD_OK, "SetDisplayMode");
        for (IDirectDrawSurface* target : d_targets) {
            // A failed unlock leaves a surface locked; the host unlocks its
            // own.
            target->Unlock(nullptr);
            const HRESULT restored = target->Restore();
            check(restored == DD_OK, "the host restores its targets", std::to_string(restored));
        }
        renderer.prepareForReset();
        try {
            bool changed = false;
            renderer.postD3DReset(&changed);
        } catch (const std::exception& e) {
            fail("a reset without faults succeeds", e.what());
        }
        afterCall("the recovering reset");
        for (Texture* texture : d_textures) {
            auto* t = static_cast<CDDTexture*>(texture);
            check(t->restoreOnly() || t->colourSurface() != nullptr,
                  "a reset without faults reloads every texture that has a source");
        }
        check(renderer.scratchTexture() != nullptr, "a reset makes the scratch texture");
        check((renderer.bufferTexture() != nullptr) == (renderer.blendMode() == 0),
              "a reset makes the buffer texture in blend mode 0");

        renderer.clearQueue();
        renderer.setQueueing(true);
        renderer.setTargetSurface(d_targets[0]);
        Texture* texture = renderer.createTexture();
        std::vector<uint8_t> pixels(6 * 5 * 3);
        for (size_t i = 0; i < pixels.size(); i += 3) {
            pixels[i] = 200;
            pixels[i + 1] = static_cast<uint8_t>(40 + i);
            pixels[i + 2] = 90;
        }
        texture->loadFromMemory(pixels.data(), 6, 5, BUFFER_RGB);
        renderer.queueQuad({3.0f, 2.0f, 9.0f, 7.0f}, 0.0f, texture, {0.0f, 0.0f, 6.0f, 5.0f},
                           {0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF}, 0);
        renderer.renderQueue();
        afterCall("the frame after recovery");

        auto* t = static_cast<CDDTexture*>(texture);
        check(t->colourSurface() != nullptr, "an upload without faults succeeds");
        if (d_width >= 9 && d_height >= 7) {
            const Locked target = readRect(d_targets[0], RECT{3, 2, 9, 7});
            const Locked drawn = readRect(t->colourSurface(), RECT{0, 0, 6, 5});
            const RgbMode mode = GetRGBMode(drawn.desc);
            if (mode == GetRGBMode(target.desc) && mode != DDS_RGBMODE_NONE)
                check(target.rows == drawn.rows, "the frame after recovery shows the texture");
        }
        renderer.clearQueue();
    }

    // A target's clipper, made on first use, given a window of the client
    // rectangle; null takes it away.
    void clip(size_t which, const RECT* client)
    {
        IDirectDrawSurface* target = d_targets[which];
        if (client == nullptr) {
            target->SetClipper(nullptr);
            d_clipped[which] = false;
            return;
        }
        const HWND window = reinterpret_cast<HWND>(uintptr_t{0x100 + which});
        if (!ddrawtest::setClientRect(window, *client))
            return;
        if (d_clippers[which] == nullptr) {
            check(d_directDraw.get()->CreateClipper(0, &d_clippers[which], nullptr) == DD_OK, "CreateClipper");
            check(d_clippers[which]->SetHWnd(0, window) == DD_OK, "SetHWnd");
        }
        check(target->SetClipper(d_clippers[which]) == DD_OK, "SetClipper");
        d_clipped[which] = true;
        d_clientRects[which] = *client;
    }

    // The pixels of the renderer's target when it is clipped, before a call
    // that draws.
    struct Snapshot {
        IDirectDrawSurface* surface = nullptr;
        RECT client{};
        Locked pixels;
    };
    Snapshot snapshotTarget()
    {
        Snapshot snapshot;
        // Reading the target must not take a fault armed for the renderer.
        if (ddrawtest::armedFaults() != 0 || ddrawtest::armedLosses() != 0)
            return snapshot;
        for (size_t i = 0; i < 2; ++i) {
            if (d_renderer->targetSurface() == d_targets[i] && d_clipped[i] && readTarget(i, snapshot.pixels)) {
                snapshot.surface = d_targets[i];
                snapshot.client = d_clientRects[i];
            }
        }
        return snapshot;
    }

    // All the bytes of a target, unless it is lost or left locked.
    bool readTarget(size_t which, Locked& out)
    {
        IDirectDrawSurface* target = d_targets[which];
        std::memset(&out.desc, 0, sizeof(out.desc));
        out.desc.dwSize = sizeof(out.desc);
        if (target->Lock(nullptr, &out.desc, DDLOCK_WAIT, nullptr) != DD_OK)
            return false;
        const size_t rowBytes = size_t{out.desc.dwWidth} * (out.desc.ddpfPixelFormat.dwRGBBitCount / 8);
        out.rows.clear();
        for (DWORD y = 0; y < out.desc.dwHeight; ++y) {
            const auto* row = static_cast<const uint8_t*>(out.desc.lpSurface) + ptrdiff_t(y) * out.desc.lPitch;
            out.rows.insert(out.rows.end(), row, row + rowBytes);
        }
        target->Unlock(nullptr);
        return true;
    }

    // Outside its clip list a clipped target keeps its pixels.
    void checkClipped(const Snapshot& before, const char* call)
    {
        Locked after;
        if (before.surface == nullptr || ddrawtest::armedFaults() != 0 || ddrawtest::armedLosses() != 0 ||
            !readTarget(before.surface == d_targets[0] ? 0 : 1, after))
            return;
        const DDSURFACEDESC& desc = before.pixels.desc;
        const size_t bytes = desc.ddpfPixelFormat.dwRGBBitCount / 8;
        for (size_t i = 0; i < after.rows.size(); ++i) {
            const LONG x = LONG((i / bytes) % desc.dwWidth);
            const LONG y = LONG(i / bytes / desc.dwWidth);
            const RECT& c = before.client;
            if (x < c.left || x >= c.right || y < c.top || y >= c.bottom)
                check(after.rows[i] == before.pixels.rows[i], "a clipped target is untouched outside its clip list",
                      call);
        }
    }

    zivfuzz::Reader d_in;
    ZivTest::SoftwareDirectDraw d_directDraw;
    ZivTest::LoggerRecord d_record;
    ZivTest::RecordingPlovLogger d_logger{d_record};
    IDirectDrawSurface* d_targets[2] = {nullptr, nullptr};
    IDirectDrawClipper* d_clippers[2] = {nullptr, nullptr};
    bool d_clipped[2] = {false, false};
    RECT d_clientRects[2] = {};
    ZivTest::TestRenderDevice* d_device = nullptr;
    CDDRender* d_renderer = nullptr;
    std::vector<Texture*> d_textures;

    int32_t d_blendPreference = 0;
    DWORD d_depth = 32;
    int32_t d_texturePixelFormat = 0;
    int32_t d_textureMemory = 0;
    DWORD d_width = 0;
    DWORD d_height = 0;
    int d_targetFormat = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Stream(data, size).run();
    return 0;
}
