// ziv-bench-levels: every blend kernel x mode and every upload at each kernel
// level this processor and build offer, and the ratio of each level to the
// level below it. A level slower than the one below (ratio under 0.95) is
// flagged '!'; an entry a level takes from the level below (the same code)
// is marked '='. It needs nothing but the module, so the 32-bit build has it
// too, where it measures MMX against portable and SSE2.
//
//   ziv-bench-levels [--quick] [FILTER]   (FILTER: part of "blendAlphaMmx 565", "RGBA 24", ...)
//
// Blends: 256 x 256 tiles covering a 1024 x 768 target, alpha 128, colour
// 200, 150, 100 (the texel-alpha blend: drawn white at full alpha); mode 2 as
// a 4-4-4 layout. Uploads: a 512 x 512 image, as in
// ziv-bench. Rates are the best of several runs, the levels taking turns
// within each run, in Mpixels/s.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "pixel/BlendKernels.h"
#include "pixel/KernelTable.h"
#include "pixel/UploadKernels.h"
#include "texture/PixelConversion.h"

namespace {

using namespace ZorvUISystem;
using Clock = std::chrono::steady_clock;

int gRuns = 15;
double gRunSeconds = 0.01;

// The rate of op (which handles `pixels` pixels a call) in one run.
template <class Op> double rateOfRun(double pixels, const Op& op)
{
    uint64_t calls = 0;
    const auto start = Clock::now();
    double seconds = 0;
    do {
        op();
        ++calls;
        seconds = std::chrono::duration<double>(Clock::now() - start).count();
    } while (seconds < gRunSeconds);
    return pixels * static_cast<double>(calls) / seconds * 1e-6;
}

// The best rate of each level's op(level) over the runs; the levels take
// turns within every run, so that a machine busy with other work slows them
// alike.
template <class Op> std::vector<double> bestRates(size_t levels, double pixels, const Op& op)
{
    std::vector<double> best(levels, 0.0);
    for (int run = 0; run < gRuns; ++run)
        for (size_t i = 0; i < levels; ++i)
            best[i] = std::max(best[i], rateOfRun(pixels, [&] { op(i); }));
    return best;
}

uint32_t nextRandom(uint32_t& state)
{
    state = state * 1664525u + 1013904223u;
    return state >> 8;
}

enum class Kernel { AlphaMmx, HalfMmx, Modulated, Half, TexelAlpha };
const Kernel kKernels[] = {Kernel::AlphaMmx, Kernel::HalfMmx, Kernel::Modulated, Kernel::Half, Kernel::TexelAlpha};
const char* kKernelNames[] = {"blendAlphaMmx", "blendHalfMmx", "blendModulated", "blendHalf", "blendTexelAlpha"};
const char* kModeNames[] = {"555", "565", "4444", "24", "32"};

BlendRowsFn entryOf(const KernelTable& t, Kernel k, uint32_t mode)
{
    switch (k) {
    case Kernel::AlphaMmx:
        return t.alphaMmx[mode];
    case Kernel::HalfMmx:
        return t.halfMmx[mode];
    case Kernel::Modulated:
        return t.modulated[mode];
    case Kernel::Half:
        return t.half[mode];
    case Kernel::TexelAlpha:
        return t.texelAlpha[mode];
    }
    return nullptr;
}

struct BlendScene {
    static constexpr LONG kTile = 256, kWidth = 1024, kHeight = 768;
    uint32_t bytes;
    std::vector<uint8_t> texture, target;
    DDSURFACEDESC source{}, destination{};

    explicit BlendScene(uint32_t mode) : bytes(mode <= 2 ? 2 : mode == 3 ? 3 : 4)
    {
        texture.resize(size_t(kTile) * kTile * bytes);
        target.resize(size_t(kWidth) * kHeight * bytes);
        uint32_t state = 12345;
        // Mostly opaque texels, about one in sixteen transparent.
        for (size_t p = 0; p < texture.size(); p += bytes) {
            const bool transparent = (nextRandom(state) & 15) == 0;
            for (uint32_t b = 0; b < bytes; ++b)
                texture[p + b] = transparent ? 0 : uint8_t(nextRandom(state) | 1);
        }
        for (uint8_t& b : target)
            b = uint8_t(nextRandom(state));
        for (DDSURFACEDESC* d : {&source, &destination}) {
            d->dwSize = sizeof(DDSURFACEDESC);
            d->ddpfPixelFormat.dwRGBBitCount = 8 * bytes;
            d->ddpfPixelFormat.dwRBitMask = 0x0F00;
            d->ddpfPixelFormat.dwGBitMask = 0x00F0;
            d->ddpfPixelFormat.dwBBitMask = 0x000F;
        }
        source.lpSurface = texture.data();
        source.lPitch = LONG(kTile * bytes);
        destination.lPitch = LONG(kWidth * bytes);
    }

    void draw(const KernelTable& table, Kernel k, uint32_t mode)
    {
        const RECT rect{0, 0, kTile, kTile};
        for (LONG y = 0; y < kHeight; y += kTile)
            for (LONG x = 0; x < kWidth; x += kTile) {
                destination.lpSurface = target.data() + size_t(y) * destination.lPitch + size_t(x) * bytes;
                switch (k) {
                case Kernel::AlphaMmx:
                    blendAlphaMmx(table, &source, &destination, 0, 0, &rect, 128, mode);
                    break;
                case Kernel::HalfMmx:
                    blendHalfMmx(table, &source, &destination, 0, 0, &rect, mode);
                    break;
                case Kernel::Modulated:
                    blendModulated(table, &source, &destination, 0, 0, &rect, 128, mode, 200, 150, 100);
                    break;
                case Kernel::Half:
                    blendHalf(table, &source, &destination, 0, 0, &rect, mode);
                    break;
                case Kernel::TexelAlpha:
                    // The texels' own bytes serve as their alpha: a mix of
                    // transparent, opaque and partly transparent ones.
                    blendTexelAlpha(table, &source, &source, &destination, 0, 0, &rect, 255, mode, 255, 255, 255);
                    break;
                }
            }
    }
};

struct UploadCase {
    const char* name;
    RgbMode mode;
    uint32_t bytes;
    bool alphaInColour;
};
const UploadCase kUploads[] = {
    {"565", DDS_RGBMODE_565, 2, false}, {"565k", DDS_RGBMODE_565, 2, true}, {"555", DDS_RGBMODE_555, 2, false},
    {"24", DDS_RGBMODE_24, 3, false},   {"32", DDS_RGBMODE_32, 4, false},   {"32a", DDS_RGBMODE_32, 4, true},
};

double uploadRate(const UploadTable& table, const UploadCase& c, bool rgba)
{
    constexpr uint32_t kSide = 512;
    static std::vector<uint8_t> images[2];
    std::vector<uint8_t>& image = images[rgba ? 1 : 0];
    if (image.empty()) {
        const uint32_t bytes = rgba ? 4 : 3;
        image.resize(size_t(kSide) * kSide * bytes);
        for (size_t i = 0; i < image.size(); ++i)
            image[i] = uint8_t(i * 2654435761u >> 24);
        if (rgba)
            for (size_t p = 0; p < size_t(kSide) * kSide; ++p) {
                const uint32_t x = p % kSide;
                image[4 * p + 3] = x < 8 ? 0 : x < 24 ? uint8_t(x * 10) : 255;
            }
    }
    const ptrdiff_t pitch = ptrdiff_t(kSide) * c.bytes;
    std::vector<uint8_t> colour(size_t(pitch) * kSide), alpha(size_t(pitch) * kSide);
    UploadTarget target{};
    target.colour = colour.data();
    target.colourPitch = pitch;
    target.alpha = rgba && !c.alphaInColour ? alpha.data() : colour.data();
    target.alphaPitch = pitch;
    target.width = kSide;
    target.height = kSide;
    const UploadSource from{image.data(), size_t(kSide) * (rgba ? 4 : 3), rgba};
    return rateOfRun(double(kSide) * kSide, [&] { convertPixels(table, c.mode, from, target); });
}

struct Levels {
    std::vector<KernelLevel> all;
    Levels()
    {
        for (uint32_t l = 0; l < kKernelLevelCount; ++l)
            if (kernelTableFor(KernelLevel(l)) != nullptr && uploadTableFor(KernelLevel(l)) != nullptr)
                all.push_back(KernelLevel(l));
    }
};

int gFlagged = 0;

// One line: the rate at each level, then each level over the one below.
void printLine(const char* what, const char* mode, const std::vector<double>& rates, const std::vector<bool>& same)
{
    std::printf("%-15s %-5s", what, mode);
    for (double r : rates)
        std::printf(" %8.0f", r);
    for (size_t i = 1; i < rates.size(); ++i) {
        const double ratio = rates[i] / rates[i - 1];
        const bool slow = !same[i] && ratio < 0.95;
        gFlagged += slow ? 1 : 0;
        std::printf(" %7.2f%c", ratio, same[i] ? '=' : slow ? '!' : ' ');
    }
    std::printf("\n");
}

void printHeader(const Levels& levels, const char* first, const char* second)
{
    std::printf("%-15s %-5s", first, second);
    for (KernelLevel l : levels.all)
        std::printf(" %8s", kernelLevelName(l));
    for (size_t i = 1; i < levels.all.size(); ++i) {
        const std::string name = std::string(kernelLevelName(levels.all[i])) + "/" + kernelLevelName(levels.all[i - 1]);
        std::printf(" %8s", name.size() <= 8 ? name.c_str() : kernelLevelName(levels.all[i]));
    }
    std::printf("\n");
}

} // namespace

int main(int argc, char** argv)
{
    const char* filter = "";
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--quick") == 0) {
            gRuns = 3;
            gRunSeconds = 0.005;
        } else {
            filter = argv[i];
        }
    }
    // Only the lines whose "kernel mode" or "upload to" holds the filter.
    const auto wanted = [&](const char* what, const char* mode) {
        return (std::string(what) + " " + mode).find(filter) != std::string::npos;
    };
    const Levels levels;
    std::printf("ziv-bench-levels, %zu-bit build; Mpixels/s (best of %d), then each level / the level below\n"
                "('=' the level takes the lower level's code, '!' slower than the level below by more than 5 %%)\n\n",
                sizeof(void*) * 8, gRuns);
    printHeader(levels, "kernel", "mode");
    std::vector<double> mmxOverNone, mmxOverSse2On565;
    for (Kernel k : kKernels)
        for (uint32_t mode = 0; mode < kKernelModeCount; ++mode) {
            if (!wanted(kKernelNames[int(k)], kModeNames[mode]))
                continue;
            BlendScene scene(mode);
            const std::vector<double> rates =
                bestRates(levels.all.size(), double(BlendScene::kWidth) * BlendScene::kHeight,
                          [&](size_t i) { scene.draw(*kernelTableFor(levels.all[i]), k, mode); });
            std::vector<bool> same;
            for (size_t i = 0; i < levels.all.size(); ++i) {
                const KernelTable& table = *kernelTableFor(levels.all[i]);
                same.push_back(i > 0 &&
                               entryOf(table, k, mode) == entryOf(*kernelTableFor(levels.all[i - 1]), k, mode));
            }
            printLine(kKernelNames[int(k)], kModeNames[mode], rates, same);
            if (levels.all.size() > 1 && levels.all[1] == KernelLevel::Mmx) {
                mmxOverNone.push_back(rates[1] / rates[0]);
                if (mode == 1 && levels.all.size() > 2)
                    mmxOverSse2On565.push_back(rates[2] / rates[1]);
            }
        }
    std::printf("\n");
    printHeader(levels, "upload", "to");
    for (bool rgba : {true, false})
        for (const UploadCase& c : kUploads) {
            if ((!rgba && c.alphaInColour) || !wanted(rgba ? "RGBA" : "RGB", c.name))
                continue;
            std::vector<double> rates(levels.all.size(), 0.0);
            for (int run = 0; run < gRuns; ++run)
                for (size_t i = 0; i < levels.all.size(); ++i)
                    rates[i] = std::max(rates[i], uploadRate(*uploadTableFor(levels.all[i]), c, rgba));
            std::vector<bool> same;
            for (size_t i = 0; i < levels.all.size(); ++i) {
                const UploadTable& table = *uploadTableFor(levels.all[i]);
                const UploadLayout layout = !rgba             ? UPLOAD_RGB
                                            : c.alphaInColour ? UPLOAD_RGBA_IN_COLOUR
                                                              : UPLOAD_RGBA_SEPARATE;
                same.push_back(i > 0 &&
                               table.rows[c.mode][layout] == uploadTableFor(levels.all[i - 1])->rows[c.mode][layout]);
            }
            printLine(rgba ? "RGBA" : "RGB", c.name, rates, same);
        }
    std::printf("\n%d entries slower than the level below\n", gFlagged);
    if (!mmxOverNone.empty()) {
        std::printf("MMX / portable, blends: lowest %.2f, highest %.2f (goal at least 3)\n",
                    *std::min_element(mmxOverNone.begin(), mmxOverNone.end()),
                    *std::max_element(mmxOverNone.begin(), mmxOverNone.end()));
    }
    if (!mmxOverSse2On565.empty()) {
        std::printf("SSE2 / MMX, 565 blends: highest %.2f (goal at most 2)\n",
                    *std::max_element(mmxOverSse2On565.begin(), mmxOverSse2On565.end()));
    }
    return 0;
}
