// A renderer built straight from the module's code over the recording
// DirectDraw, with a recording logger installed as the module's logger
// object, and helpers to make textures and quads as the GUI library does.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ProcessorFeaturesOverride.h"
#include "RecordingDirectDraw.h"
#include "RecordingPlovLogger.h"
#include "TestRenderDevice.h"
#include "diagnostics/ModuleState.h"
#include "renderer/CDDRender.h"
#include "texture/CDDTexture.h"

namespace ZivTest {

using ZorvUISystem::CDDRender;
using ZorvUISystem::CDDTexture;
using ZorvUISystem::CornerColours;
using ZorvUISystem::FloatRect;
using ZorvUISystem::Texture;

constexpr uint32_t kMmxFeatures = 0x00800000u;
constexpr uint32_t kNoFeatures = 0;

inline CornerColours corners(uint32_t colour)
{
    return CornerColours{colour, colour, colour, colour};
}

// Solid RGBA or RGB pixels.
inline std::vector<uint8_t> solidPixels(uint32_t width, uint32_t height, uint8_t r, uint8_t g, uint8_t b,
                                        uint8_t a = 255, bool withAlpha = true)
{
    std::vector<uint8_t> pixels;
    for (uint32_t i = 0; i < width * height; ++i) {
        pixels.insert(pixels.end(), {r, g, b});
        if (withAlpha)
            pixels.push_back(a);
    }
    return pixels;
}

class DrawingFixture : public ::testing::Test {
protected:
    static constexpr DWORD kWidth = 64;
    static constexpr DWORD kHeight = 48;

    void TearDown() override
    {
        renderer.reset();
        ZorvUISystem::moduleState().logger = nullptr;
        ZorvUISystem::setProcessorFeaturesOverride(nullptr);
    }

    // A renderer of the given blend mode (1 and 2 with MMX) over a display
    // of the given format, with a display-sized target surface.
    CDDRender& make(int32_t blendMode, FakeFormat display = kFormatXrgb32, int32_t texturePixelFormat = 0,
                    uint32_t features = kMmxFeatures)
    {
        d_features = features;
        ZorvUISystem::setProcessorFeaturesOverride(&d_features);
        dd.displayFormat = display;
        device.blendMode = blendMode;
        device.texturePixelFormat = texturePixelFormat;
        renderer = std::make_unique<CDDRender>(&device, 0, false);
        ZorvUISystem::moduleState().logger = &logger;
        target = dd.addSurface("target", kWidth, kHeight, display);
        renderer->setTargetSurface(target);
        nameAuxiliarySurfaces();
        dd.clearCalls();
        return *renderer;
    }

    // Names the surfaces of the current scratch and buffer textures
    // "scratch", "scratchAlpha", "buffer" and "bufferAlpha".
    void nameAuxiliarySurfaces()
    {
        if (CDDTexture* scratch = renderer->scratchTexture()) {
            dd.rename(scratch->colourSurface(), "scratch");
            if (scratch->alphaSurface() != scratch->colourSurface())
                dd.rename(scratch->alphaSurface(), "scratchAlpha");
        }
        if (CDDTexture* buffer = renderer->bufferTexture()) {
            dd.rename(buffer->colourSurface(), "buffer");
            if (buffer->alphaSurface() != buffer->colourSurface())
                dd.rename(buffer->alphaSurface(), "bufferAlpha");
        }
    }

    // A texture filled by loadFromMemory, its surfaces named name and
    // name + "Alpha" (when separate).
    CDDTexture* texture(const std::string& name, uint32_t width, uint32_t height, const std::vector<uint8_t>& pixels,
                        bool rgba = true, bool memoryTexture = false)
    {
        auto* made = static_cast<CDDTexture*>(renderer->createTexture());
        made->setMemoryTexture(memoryTexture);
        made->loadFromMemory(pixels.data(), width, height, rgba ? ZorvUISystem::BUFFER_RGBA : ZorvUISystem::BUFFER_RGB);
        EXPECT_NE(made->colourSurface(), nullptr) << "texture " << name << " has no surface";
        dd.rename(made->colourSurface(), name);
        if (made->alphaSurface() != nullptr && made->alphaSurface() != made->colourSurface())
            dd.rename(made->alphaSurface(), name + "Alpha");
        return made;
    }

    // An opaque white 16 x 16 texture with black key texels (RGBA) or
    // without (RGB).
    CDDTexture* plainTexture(const std::string& name, bool rgba = true, uint32_t size = 16)
    {
        return texture(name, size, size, solidPixels(size, size, 200, 100, 50, 255, rgba), rgba);
    }

    void queue(Texture* texture, FloatRect dest, FloatRect source, uint32_t colour = 0xFFFFFFFFu, float z = 0.0f,
               uint32_t aux = 0)
    {
        renderer->queueQuad(dest, z, texture, source, corners(colour), aux);
    }

    // Draws one quad at once onto the target and returns the calls it made.
    std::vector<std::string> drawNow(Texture* texture, FloatRect dest, FloatRect source, uint32_t colour = 0xFFFFFFFFu,
                                     std::vector<std::string_view> ops = {})
    {
        dd.clearCalls();
        const bool queueing = renderer->isQueueing();
        renderer->setQueueing(false);
        queue(texture, dest, source, colour);
        renderer->setQueueing(queueing);
        return dd.texts(ops);
    }

    RecordingDirectDraw dd;
    TestRenderDevice device{&dd, float(kWidth), float(kHeight)};
    LoggerRecord log;
    RecordingPlovLogger logger{log};
    std::unique_ptr<CDDRender> renderer;
    FakeSurface* target = nullptr;

private:
    uint32_t d_features = 0;
};

// The calls that draw: blits, locks, colour keys, restores.
inline const std::vector<std::string_view> kDrawingOps = {
    "Blt", "BltFast", "Lock", "Unlock", "IsLost", "Restore", "GetColorKey", "SetColorKey", "CreateSurface"};

} // namespace ZivTest
