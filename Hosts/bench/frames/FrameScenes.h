// Whole GUI frames for the benchmarks: a list of textured quads with their
// textures, drawn the same way by ziv (through its public interface), by
// SDL2's software renderer and by pixman, and the plain memory traffic of the
// same pixels.
//
// Two frames: the demo's built-in desktop scene (its "hover" frame, laid out
// by the demo's own code) and a synthetic GUI frame of 500 quads.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "TargetFormat.h"
#include "ziv.h"

namespace zivbench {

// Pixels as the module takes them: rows of red, green, blue, alpha (alpha
// not premultiplied), or red, green, blue when rgb is set.
struct FrameTexture {
    uint32_t width = 0;
    uint32_t height = 0;
    bool rgb = false;
    bool memory = false; // a memory texture (tintable in blend mode 0)
    std::vector<uint8_t> pixels;

    // Texel (x, y) as straight RGBA (alpha 255 for RGB textures).
    void rgba(uint32_t x, uint32_t y, uint8_t out[4]) const;
};

struct FrameQuad {
    ZorvUISystem::FloatRect dest;
    ZorvUISystem::FloatRect source;
    float z = 0.5f;
    uint32_t texture = 0;
    ZorvUISystem::CornerColours colours = {0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu};
};

// A quad as the renderer draws it: whole-pixel rectangles and the
// per-channel averages of its corner colours.
struct DrawnQuad {
    int32_t destLeft, destTop, destWidth, destHeight;
    int32_t sourceLeft, sourceTop, sourceWidth, sourceHeight;
    uint32_t texture;
    uint8_t alpha, red, green, blue;
    bool stretched() const { return sourceWidth != destWidth || sourceHeight != destHeight; }
    bool white() const { return red == 255 && green == 255 && blue == 255; }
};

struct FrameScene {
    std::string name;
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t background = 0xFF000000u; // ARGB; every frame starts by clearing the target to it
    std::vector<FrameTexture> textures;
    std::vector<FrameQuad> quads; // in submission order

    // The quads in the order a render pass draws them (largest z first, equal
    // z in submission order), clipped to the display; quads left with nothing
    // to draw are dropped.
    std::vector<DrawnQuad> drawOrder() const;
    // Destination pixels of the drawn quads: the pixels a frame touches.
    uint64_t pixelsTouched() const;
};

// 500 quads of 16x16 to 256x64 from eight 256x128 skin textures onto a
// 1024x768 display: 30 % translucent, 20 % tinted, 10 % stretched, in random
// depth order. The same frame on every call (fixed seed).
const FrameScene& syntheticFrame();

// The demo's built-in desktop scene, its "hover" frame. Throws
// std::runtime_error when the scene or its pictures cannot be read.
const FrameScene& demoFrame();
// Another frame of the demo's scene by name ("idle", "hover", "pressed"),
// with the same words as demoFrame.
const FrameScene& demoFrameOf(const char* frameName);

// Corner colours of one colour.
inline ZorvUISystem::CornerColours sameCorners(uint32_t argb)
{
    return ZorvUISystem::CornerColours{argb, argb, argb, argb};
}

} // namespace zivbench
