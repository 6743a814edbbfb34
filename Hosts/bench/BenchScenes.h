// The pixels every blend benchmark works on, one scene per pixel size (2, 3
// and 4 bytes), shared by the ziv kernels, the floors and the peers so that
// all of them touch the same buffers:
// - a 1024 x 768 screen of opaque noise;
// - a 256 x 256 texture of 78 % opaque noise and 22 % zero (transparent) pixels;
// - one 1024-pixel source row and one destination row, which stay in L1.
// Three shapes of work over them, each a list of rectangles:
// - "row": the L1 row once;
// - "tiles": the screen covered by twelve 256 x 256 copies of the texture;
// - "quads": 384 quads of 64 x 32 pixels from random places of the texture
//   to random places of the screen (as many pixels as the screen).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "BenchSupport.h"

namespace zivbench {

constexpr int kScreenWidth = 1024;
constexpr int kScreenHeight = 768;
constexpr int kTextureSize = 256;
constexpr int kRowPixels = 1024;

enum class Shape { Row, Tiles, Quads };
constexpr Shape kShapes[] = {Shape::Row, Shape::Tiles, Shape::Quads};
const char* shapeName(Shape shape);

// One rectangle of work: source and destination first pixels and pitches.
struct Blit {
    uint8_t* source;
    ptrdiff_t sourcePitch;
    int sourceX, sourceY; // position in the source image (for the peers)
    uint8_t* destination;
    ptrdiff_t destinationPitch;
    int destinationX, destinationY;
    int width, height;
};

struct Image {
    std::unique_ptr<uint8_t[], void (*)(void*)> bytes{nullptr, nullptr};
    int width = 0, height = 0;
    ptrdiff_t pitch = 0;
    uint8_t* at(int x, int y, int bytesPerPixel) const { return bytes.get() + y * pitch + x * bytesPerPixel; }
};

struct Scene {
    int bytesPerPixel;
    Image screen, texture, rowSource, rowDestination;
    std::vector<Blit> blits[3]; // by Shape

    const std::vector<Blit>& shape(Shape s) const { return blits[static_cast<int>(s)]; }
    int64_t pixels(Shape s) const;
};

// The scene of one pixel size, made on first use.
Scene& sceneFor(int bytesPerPixel);

// Runs blit over every rectangle of a shape once per iteration and reports
// megapixels per second.
template <class BlitFn> void runShape(benchmark::State& state, const Scene& scene, Shape shape, const BlitFn& blit)
{
    const std::vector<Blit>& blits = scene.shape(shape);
    for (auto _ : state) {
        for (const Blit& b : blits)
            blit(b);
        benchmark::ClobberMemory();
    }
    state.counters[kPixelRate] = benchmark::Counter(static_cast<double>(scene.pixels(shape)) * 1e-6,
                                                    benchmark::Counter::kIsIterationInvariantRate);
}

} // namespace zivbench
