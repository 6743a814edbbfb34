// A host of the loaded module over the software DirectDraw, for the
// reliability tests: the recording logger plug-in at a log level above 0, a
// target surface of the display's format, and helpers to fill and read it,
// to make textures from image files and pixels, and to draw a probe frame
// that shows whether a renderer still draws correctly.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ImageWriters.h"
#include "ModuleLoader.h"
#include "RecordingPlugin.h"
#include "SoftwareDirectDraw.h"
#include "SurfaceAccess.h"
#include "TempDirectory.h"
#include "TestRenderDevice.h"
#include "ddraw_test.h"

namespace ZivReliability {

using ZorvUISystem::CornerColours;
using ZorvUISystem::FloatRect;
using ZorvUISystem::Renderer;
using ZorvUISystem::Texture;

constexpr DWORD kWidth = 64;
constexpr DWORD kHeight = 48;

inline CornerColours corners(uint32_t colour)
{
    return CornerColours{colour, colour, colour, colour};
}

// Deterministic RGBA or RGB pixels: every third RGBA texel transparent, the
// others opaque or translucent, colours bright enough for 16 bits.
inline std::vector<uint8_t> testPixels(uint32_t width, uint32_t height, bool rgba, uint32_t seed)
{
    std::vector<uint8_t> pixels;
    uint32_t state = seed * 2654435761u + 12345u;
    for (uint32_t i = 0; i < width * height; ++i) {
        state = state * 1103515245u + 12345u;
        pixels.push_back(static_cast<uint8_t>(64 + (state >> 9) % 192));
        pixels.push_back(static_cast<uint8_t>(64 + (state >> 17) % 192));
        pixels.push_back(static_cast<uint8_t>(64 + (state >> 3) % 192));
        if (rgba)
            pixels.push_back(i % 3 == 0 ? 0 : i % 3 == 1 ? 255 : static_cast<uint8_t>(1 + (state >> 24) % 254));
    }
    return pixels;
}

// A PNG file of testPixels, written by libpng.
inline std::vector<uint8_t> pngFile(uint32_t width, uint32_t height, bool rgba, uint32_t seed)
{
    ZivTest::PngSpec spec;
    spec.width = static_cast<int>(width);
    spec.height = static_cast<int>(height);
    spec.colourType = rgba ? 6 : 2; // PNG_COLOR_TYPE_RGB_ALPHA, PNG_COLOR_TYPE_RGB
    spec.samples = testPixels(width, height, rgba, seed);
    return ZivTest::writePng(spec);
}

// The pixel rows of a surface (without the pitch padding), or nothing for a
// missing surface.
inline std::vector<uint8_t> surfaceRows(IDirectDrawSurface* surface)
{
    std::vector<uint8_t> rows;
    if (surface != nullptr && !ZivTest::readSurfaceRows(surface, rows))
        ADD_FAILURE() << "a surface does not lock";
    return rows;
}

// The loaded module with the recording plug-in beside it, shared by every
// host of a test program.
class LoadedModule {
public:
    LoadedModule() : plugin(ZivTest::installRecordingPlugin(directory.path())) { plugin.logLevel = 3; }

    ZivTest::ZivModule module;
    ZivTest::TempDirectory directory;
    ZivTest::RecorderState& plugin;

    // Level-1 lines written since the record was last cleared: logMessage
    // texts and logFormat lines as a printf-style logger renders them.
    std::vector<std::string> errorLines() const
    {
        std::vector<std::string> lines;
        for (const ZivTest::RecordedCall& call : plugin.record.calls) {
            if (call.function == "logMessage" && call.args.at(1) == "1")
                lines.push_back(call.args.at(0));
            else if (call.function == "logFormat" && call.args.at(0) == "1")
                lines.push_back(call.args.at(2));
        }
        return lines;
    }
    std::vector<std::string> unrecoverableTexts() const
    {
        std::vector<std::string> texts;
        for (const ZivTest::RecordedCall& call : plugin.record.callsTo("unRecoveryError"))
            texts.push_back(call.args.at(0));
        return texts;
    }
};

// One host: a device, a target surface and, once created, a renderer.
class Host {
public:
    Host(LoadedModule& loaded, IDirectDraw* directDraw, int32_t blendMode)
        : d_loaded(loaded), device(directDraw, float(kWidth), float(kHeight))
    {
        device.blendMode = blendMode;
        DDSURFACEDESC desc = ZivTest::offscreenSurfaceDesc(kWidth, kHeight);
        EXPECT_EQ(directDraw->CreateSurface(&desc, &target, nullptr), DD_OK);
    }
    ~Host()
    {
        destroy();
        if (target != nullptr)
            target->Release();
    }
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    bool create()
    {
        renderer = d_loaded.module.createRenderer(&device, 0, false, d_loaded.directory.prefix().c_str(), 0, 0);
        if (renderer != nullptr)
            renderer->setTargetSurface(target);
        return renderer != nullptr;
    }
    void destroy()
    {
        if (renderer != nullptr)
            d_loaded.module.destroyRenderer(renderer);
        renderer = nullptr;
    }

    // Fills the target with a colour that no test texture has.
    void fillTarget()
    {
        DDSURFACEDESC desc;
        std::memset(&desc, 0, sizeof(desc));
        desc.dwSize = sizeof(desc);
        target->GetSurfaceDesc(&desc);
        const DWORD bits = desc.ddpfPixelFormat.dwRGBBitCount;
        DDBLTFX effects;
        std::memset(&effects, 0, sizeof(effects));
        effects.dwSize = sizeof(effects);
        effects.dwFillColor = bits >= 32 ? 0x00563412u : (0x00563412u & ((1u << bits) - 1u));
        target->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &effects);
    }

    // The target's pixel rows.
    std::vector<uint8_t> targetBytes() { return surfaceRows(target); }

    Texture* pixelTexture(uint32_t width, uint32_t height, bool rgba, uint32_t seed, bool memoryTexture = false)
    {
        Texture* texture = renderer->createTexture();
        texture->setMemoryTexture(memoryTexture);
        const std::vector<uint8_t> pixels = testPixels(width, height, rgba, seed);
        texture->loadFromMemory(pixels.data(), width, height,
                                rgba ? ZorvUISystem::BUFFER_RGBA : ZorvUISystem::BUFFER_RGB);
        return texture;
    }

    // A frame of fresh textures over a filled target: an unstretched keyed
    // quad, a stretched one, a translucent one and a tinted one.
    std::vector<uint8_t> probeFrame()
    {
        fillTarget();
        renderer->setTargetSurface(target);
        renderer->clearQueue();
        renderer->setQueueing(true);
        Texture* keyed = pixelTexture(8, 8, true, 901);
        Texture* plain = pixelTexture(6, 4, false, 902);
        renderer->queueQuad({2, 2, 10, 10}, 0.5f, keyed, {0, 0, 8, 8}, corners(0xFFFFFFFF), 0);
        renderer->queueQuad({12, 3, 30, 17}, 0.5f, plain, {0, 0, 6, 4}, corners(0xFFFFFFFF), 0);
        renderer->queueQuad({20, 20, 26, 24}, 0.25f, plain, {0, 0, 6, 4}, corners(0x80FFFFFF), 0);
        renderer->queueQuad({33, 30, 49, 46}, 0.75f, keyed, {0, 0, 8, 8}, corners(0xFF80C040), 0);
        renderer->renderQueue();
        renderer->clearQueue();
        renderer->destroyTexture(keyed);
        renderer->destroyTexture(plain);
        return targetBytes();
    }

private:
    LoadedModule& d_loaded;

public:
    ZivTest::TestRenderDevice device;
    IDirectDrawSurface* target = nullptr;
    Renderer* renderer = nullptr;
};

} // namespace ZivReliability
