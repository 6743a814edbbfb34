// Every kernel x mode x instruction set against the reference model, over
// random pixels and every small shape: widths 1-67, heights 1-3, rows
// starting 0-15 pixels into their line, pitches wider than the row, both
// pitch signs. Every byte outside the destination rectangle and every source
// byte must come out as it was.

#include <gtest/gtest.h>

#include <array>
#include <sstream>
#include <string>
#include <tuple>

#include "BlendReference.h"
#include "KernelHarness.h"
#include "pixel/BlendKernels.h"

namespace {

using reference::Kernel;
using ZorvUISystem::KernelLevel;

using Masks = std::array<uint32_t, 3>;

// 16-bit layouts whose fields are 1-7 bits wide: the domain of the constant
// alpha blend's mode 2.
const Masks kNarrowLayouts[] = {
    {0x0F00, 0x00F0, 0x000F}, {0xF000, 0x0F00, 0x00F0}, {0x001F, 0x07E0, 0xF800}, {0xF800, 0x07C0, 0x003E},
    {0x7C00, 0x03E0, 0x001F}, {0xF800, 0x07E0, 0x001F}, {0xFE00, 0x01F0, 0x000F}, {0x00E0, 0x001C, 0x0003},
};
// Further layouts the other kernels must follow literally: wide fields,
// split runs, bits above the low 16.
const Masks kWideLayouts[] = {
    {0xFF00, 0x00F0, 0x000F},
    {0xFFFF, 0x0000, 0x0000},
    {0x0F0F, 0x00F0, 0xF000},
    {0x7C00, 0x03E0, 0x001F001F},
};

// Pixels with many transparent values: a row's share of zero pixels is one
// of none, a few, a third, most or all, so pairs and groups with one or more
// transparent members are common and fully transparent groups occur.
struct PixelSource {
    std::mt19937& rng;
    uint32_t mode;
    double zeroShare = 0.35;

    uint32_t next()
    {
        std::uniform_real_distribution<double> u(0.0, 1.0);
        if (u(rng) < zeroShare)
            return mode == 4 ? (rng() & 0xFF000000u) : 0; // 32-bit: the fourth byte does not count
        const uint32_t r = rng();
        switch (rng() % 8) {
        case 0:
            return mode <= 2 ? 0xFFFFu : 0xFFFFFFFFu;
        case 1:
            return 1u << (rng() % (mode <= 2 ? 16 : 24)); // one bit: tests channel separation
        default:
            return mode <= 2 ? (r & 0xFFFF) | (r & 0xFFFF ? 0 : 1) : mode == 3 ? (r & 0xFFFFFF) | 1 : r | 1;
        }
    }
};

int32_t pickAlpha(std::mt19937& rng)
{
    static const int32_t special[] = {-5, 0, 1, 2, 3, 4, 63, 64, 127, 128, 129, 253, 254, 255, 256, 300};
    if (rng() % 2 == 0)
        return special[rng() % std::size(special)];
    return static_cast<int32_t>(rng() % 257);
}

uint32_t pickFactor(std::mt19937& rng)
{
    static const uint32_t special[] = {0, 1, 2, 3, 4, 127, 128, 252, 253, 254, 255, 255, 255};
    if (rng() % 40 == 0)
        return 256 + rng() % 1000; // above the range: treated as 255
    if (rng() % 2 == 0)
        return special[rng() % std::size(special)];
    return rng() % 256;
}

std::string describeCall(const reference::Call& c, KernelLevel level, const harness::Layout& l)
{
    std::ostringstream o;
    o << reference::kernelName(c.kernel) << " mode " << c.mode << " level " << ZorvUISystem::kernelLevelName(level)
      << " width " << c.width << " height " << c.height << " offset " << l.startOffsetPixels << " padding "
      << l.rowPadding << (l.bottomUp ? " bottom-up" : "") << " alpha " << c.alpha << " factors " << c.red << ","
      << c.green << "," << c.blue << std::hex << " masks src " << c.sourceMasks[0] << "," << c.sourceMasks[1] << ","
      << c.sourceMasks[2] << " dst " << c.destinationMasks[0] << "," << c.destinationMasks[1] << ","
      << c.destinationMasks[2];
    return o.str();
}

// First byte where two buffers differ, or -1.
ptrdiff_t firstDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b)
{
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i] != b[i])
            return static_cast<ptrdiff_t>(i);
    return -1;
}

using Param = std::tuple<Kernel, uint32_t, KernelLevel>;

class BlendKernelProperty : public testing::TestWithParam<Param> {};

TEST_P(BlendKernelProperty, MatchesReferenceAndTouchesOnlyTheRectangle)
{
    const auto [kernel, mode, level] = GetParam();
    const ZorvUISystem::KernelTable* table = ZorvUISystem::kernelTableFor(level);
    if (table == nullptr)
        GTEST_SKIP() << "this processor lacks " << ZorvUISystem::kernelLevelName(level);

    std::mt19937 rng(1000u * static_cast<uint32_t>(kernel) + 10u * mode + static_cast<uint32_t>(level));
    const uint32_t bpp = mode <= 2 ? 2 : mode == 3 ? 3 : 4;
    const uint32_t align = mode == 3 ? 1 : 2; // 16- and 32-bit rows start at even addresses
    int failures = 0;
    for (uint32_t width = 1; width <= 67 && failures < 3; ++width) {
        for (uint32_t height = 1; height <= 3; ++height) {
            for (uint32_t offset = 0; offset < 16; ++offset) {
                reference::Call call{};
                call.kernel = kernel;
                call.mode = mode;
                call.width = width;
                call.height = height;
                call.alpha = pickAlpha(rng);
                call.red = pickFactor(rng);
                call.green = pickFactor(rng);
                call.blue = pickFactor(rng);
                const bool narrowOnly = kernel == Kernel::AlphaMmx;
                auto pickMasks = [&]() -> Masks {
                    if (!narrowOnly && rng() % 4 == 0)
                        return kWideLayouts[rng() % std::size(kWideLayouts)];
                    return kNarrowLayouts[rng() % std::size(kNarrowLayouts)];
                };
                const Masks dstMasks = pickMasks();
                const Masks srcMasks = rng() % 4 == 0 ? pickMasks() : dstMasks;
                std::copy(srcMasks.begin(), srcMasks.end(), call.sourceMasks);
                std::copy(dstMasks.begin(), dstMasks.end(), call.destinationMasks);

                harness::Layout srcLayout{width,
                                          height,
                                          bpp,
                                          static_cast<uint32_t>(rng() % 16),
                                          align * static_cast<uint32_t>(rng() % 9),
                                          align * static_cast<uint32_t>(rng() % 8),
                                          (rng() % 3 == 0) ? 0u : align * static_cast<uint32_t>(rng() % 8),
                                          rng() % 8 == 0};
                harness::Layout dstLayout{width,
                                          height,
                                          bpp,
                                          offset,
                                          align * static_cast<uint32_t>(rng() % 9),
                                          align * static_cast<uint32_t>(rng() % 8),
                                          (rng() % 3 == 0) ? 0u : align * static_cast<uint32_t>(rng() % 8),
                                          rng() % 8 == 0};
                harness::Surface src = harness::makeSurface(srcLayout, rng);
                harness::Surface dst = harness::makeSurface(dstLayout, rng);
                static const double shares[] = {0.0, 0.1, 0.35, 0.35, 0.8, 1.0};
                PixelSource pixels{rng, mode};
                for (uint32_t y = 0; y < height; ++y) {
                    pixels.zeroShare = shares[rng() % std::size(shares)];
                    for (uint32_t x = 0; x < width; ++x)
                        src.setPixel(x, y, pixels.next());
                }

                // The texel-alpha kernel: an alpha surface of its own, or (32-bit)
                // the source itself; alpha 0, 255 and anything between.
                harness::Layout alphaLayout = srcLayout;
                alphaLayout.startOffsetPixels = static_cast<uint32_t>(rng() % 16);
                alphaLayout.rowPadding = align * static_cast<uint32_t>(rng() % 9);
                harness::Surface ownAlpha = harness::makeSurface(alphaLayout, rng);
                const bool alphaInSource = mode == 4 && rng() % 2 == 0;
                harness::Surface& alphas = alphaInSource ? src : ownAlpha;
                const uint32_t alphaShift = mode == 4 ? 24 : 0;
                for (uint32_t y = 0; y < height; ++y) {
                    const uint32_t zeroShare = static_cast<uint32_t>(rng() % 5); // 4: an opaque row
                    for (uint32_t x = 0; x < width; ++x) {
                        const uint32_t pick = static_cast<uint32_t>(rng() % 4);
                        const uint32_t a = zeroShare == 4 || pick == 3 ? 255 : pick < zeroShare ? 0 : rng() & 0xFF;
                        const uint32_t keep = ~(0xFFu << alphaShift) & (bpp == 4 ? ~0u : (1u << (8 * bpp)) - 1);
                        alphas.setPixel(x, y, (alphas.pixel(x, y) & keep) | a << alphaShift);
                    }
                }
                if (kernel == Kernel::TexelAlpha && rng() % 2 == 0) { // full alpha, half of them white
                    call.alpha = 255;
                    if (rng() % 2 == 0)
                        call.red = call.green = call.blue = 255;
                }
                const reference::View alphaView = alphas.view();
                call.alphaSurface = alphaView;
                const std::vector<uint8_t> srcBefore = src.bytes;
                std::vector<uint8_t> expected = dst.bytes;
                reference::View expectedView{&expected, dst.origin, dst.pitch};
                ASSERT_EQ(reference::apply(call, src.view(), expectedView), 0);

                const int32_t result = harness::run(*table, call, src, dst, rng() % 4 != 0, &alphas);
                // Floating-point code after the call computes as before: an
                // MMX kernel has handed the x87 registers back (EMMS).
                volatile double afterwards = 1.5;
                const bool floatsWork = afterwards * 3.0 == 4.5;
                const ptrdiff_t diff = firstDifference(dst.bytes, expected);
                const bool sourceKept = src.bytes == srcBefore;
                if (result != 0 || diff >= 0 || !sourceKept || !floatsWork) {
                    ++failures;
                    std::ostringstream where;
                    if (diff >= 0) {
                        const ptrdiff_t rel = diff - dst.origin;
                        where << " first wrong byte " << diff << " (origin " << dst.origin << ", pitch " << dst.pitch
                              << ", relative " << rel << "): got " << int(dst.bytes[diff]) << " expected "
                              << int(expected[diff]);
                    }
                    ADD_FAILURE() << describeCall(call, level, dstLayout) << " result " << result
                                  << (sourceKept ? "" : " source changed")
                                  << (floatsWork ? "" : " floating point broken afterwards") << where.str();
                    if (failures >= 3)
                        return;
                }
            }
        }
    }
}

std::string paramName(const testing::TestParamInfo<Param>& info)
{
    const auto [kernel, mode, level] = info.param;
    return std::string(reference::kernelName(kernel)) + "_mode" + std::to_string(mode) + "_" +
           ZorvUISystem::kernelLevelName(level);
}

INSTANTIATE_TEST_SUITE_P(AllKernels, BlendKernelProperty,
                         testing::Combine(testing::Values(Kernel::Modulated, Kernel::Half, Kernel::AlphaMmx,
                                                          Kernel::HalfMmx, Kernel::TexelAlpha),
                                          testing::Values(0u, 1u, 2u, 3u, 4u),
                                          testing::Values(KernelLevel::None, KernelLevel::Mmx, KernelLevel::Sse2,
                                                          KernelLevel::Avx2, KernelLevel::Avx512)),
                         paramName);

} // namespace
