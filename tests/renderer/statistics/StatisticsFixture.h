// A renderer built from the module's code over a DirectDraw object of the
// test's choice, with helpers to make textures, queue quads and read the
// statistics of the last render pass.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ProcessorFeaturesOverride.h"
#include "TestRenderDevice.h"
#include "renderer/CDDRender.h"
#include "texture/CDDTexture.h"

namespace ZivTest {

using ZorvUISystem::CDDRender;
using ZorvUISystem::CDDTexture;
using ZorvUISystem::CornerColours;
using ZorvUISystem::FloatRect;
using ZorvUISystem::FrameStatistics;
using ZorvUISystem::Texture;

constexpr uint32_t kWithMmx = 0x00800000u;

inline CornerColours allCorners(uint32_t colour)
{
    return CornerColours{colour, colour, colour, colour};
}

// Opaque RGBA (black texels would be keyed out) or RGB pixels of one colour.
inline std::vector<uint8_t> solid(uint32_t width, uint32_t height, bool withAlpha = true)
{
    std::vector<uint8_t> pixels;
    for (uint32_t i = 0; i < width * height; ++i) {
        pixels.insert(pixels.end(), {200, 100, 50});
        if (withAlpha)
            pixels.push_back(255);
    }
    return pixels;
}

// Every count of a record, by name, for comparisons that name what differs.
inline std::vector<std::pair<std::string, uint64_t>> countsOf(const FrameStatistics& s)
{
    std::vector<std::pair<std::string, uint64_t>> out;
    auto path = [&](const std::string& name, const FrameStatistics::PathCount& c) {
        out.emplace_back(name + ".quads", c.quads);
        out.emplace_back(name + ".pixels", c.pixels);
    };
    path("plainCopy", s.plainCopy);
    path("keyedCopy", s.keyedCopy);
    path("stretchedCopy", s.stretchedCopy);
    path("tintedCopy", s.tintedCopy);
    for (uint32_t k = 0; k < FrameStatistics::KERNEL_COUNT; ++k)
        for (uint32_t m = 0; m < FrameStatistics::kPixelModeCount; ++m)
            path("blend[" + std::to_string(k) + "][" + std::to_string(m) + "]", s.blend[k][m]);
    path("stretchedBlend", s.stretchedBlend);
    path("bufferCopy", s.bufferCopy);
    for (uint32_t r = 0; r < FrameStatistics::SKIP_REASON_COUNT; ++r)
        out.emplace_back("skipped[" + std::to_string(r) + "]", s.skipped[r]);
    return out;
}

// The counts that are not zero, as "name=value" texts.
inline std::vector<std::string> nonZero(const FrameStatistics& s)
{
    std::vector<std::string> out;
    for (const auto& [name, value] : countsOf(s))
        if (value != 0)
            out.push_back(name + "=" + std::to_string(value));
    return out;
}

class StatisticsFixture : public ::testing::Test {
protected:
    void TearDown() override
    {
        renderer.reset();
        ZorvUISystem::setProcessorFeaturesOverride(nullptr);
    }

    CDDRender& makeRenderer(IDirectDraw* directDraw, int32_t blendMode, float width, float height,
                            int32_t texturePixelFormat = 0)
    {
        ZorvUISystem::setProcessorFeaturesOverride(&d_features);
        device.directDraw = directDraw;
        device.width = width;
        device.height = height;
        device.blendMode = blendMode;
        device.texturePixelFormat = texturePixelFormat;
        renderer = std::make_unique<CDDRender>(&device, 0, false);
        return *renderer;
    }

    CDDTexture* texture(uint32_t width, uint32_t height, const std::vector<uint8_t>& pixels, bool rgba = true,
                        bool memory = false)
    {
        auto* made = static_cast<CDDTexture*>(renderer->createTexture());
        made->setMemoryTexture(memory);
        made->loadFromMemory(pixels.data(), width, height, rgba ? ZorvUISystem::BUFFER_RGBA : ZorvUISystem::BUFFER_RGB);
        return made;
    }

    void queue(Texture* texture, FloatRect dest, FloatRect source, uint32_t colour = 0xFFFFFFFFu, float z = 0.0f)
    {
        renderer->queueQuad(dest, z, texture, source, allCorners(colour), 0);
    }

    const FrameStatistics& statistics() const { return renderer->getFrameStatistics(); }

    TestRenderDevice device;
    std::unique_ptr<CDDRender> renderer;

private:
    uint32_t d_features = kWithMmx;
};

} // namespace ZivTest
