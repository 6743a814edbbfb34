// A host device with settable answers that records the calls it receives.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ziv.h"

namespace ZivTest {

class TestRenderDevice final : public ZorvUISystem::RenderDevice {
public:
    explicit TestRenderDevice(IDirectDraw* directDraw = nullptr, float width = 640.0f, float height = 480.0f)
        : directDraw(directDraw), width(width), height(height)
    {
    }

    // Answers.
    IDirectDraw* directDraw;
    float width;
    float height;
    int32_t blendMode = 0;
    int32_t textureMemory = 0;
    int32_t texturePixelFormat = 0;

    // Every call, in order, by operation name.
    std::vector<std::string> calls;

    size_t count(std::string_view operation) const
    {
        size_t found = 0;
        for (const std::string& call : calls)
            found += call == operation ? 1 : 0;
        return found;
    }

    IDirectDraw* getDirectDraw() override
    {
        calls.emplace_back("getDirectDraw");
        return directDraw;
    }
    void reservedDeviceOperation() override { calls.emplace_back("reservedDeviceOperation"); }
    bool getTargetSize(float* w, float* h) override
    {
        calls.emplace_back("getTargetSize");
        *w = width;
        *h = height;
        return true;
    }
    int32_t getBlendMode() override
    {
        calls.emplace_back("getBlendMode");
        return blendMode;
    }
    int32_t getTextureMemory() override
    {
        calls.emplace_back("getTextureMemory");
        return textureMemory;
    }
    int32_t getTexturePixelFormat() override
    {
        calls.emplace_back("getTexturePixelFormat");
        return texturePixelFormat;
    }
};

} // namespace ZivTest
