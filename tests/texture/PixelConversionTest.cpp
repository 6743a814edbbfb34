// The upload's pixel conversion against a per-pixel reference written from
// the conversion rules, bit for bit, with the upload kernels of every level
// this processor offers: every mode, every alpha placement, every row width
// from 1 to 67 (across the vector widths and their tails), every colour and
// alpha pair, and memory outside the pixels (padding and guard bytes around
// each surface) left alone.
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "pixel/BlendKernels.h"
#include "pixel/RgbMode.h"
#include "pixel/UploadKernels.h"
#include "texture/PixelConversion.h"

namespace {

using namespace ZorvUISystem;

enum class Placement { Rgb, RgbaInColour, RgbaSeparate };

struct Masks {
    uint32_t red;
    uint32_t green;
    uint32_t blue;
};

// Scaling by alpha: alpha 0 clears, 255 keeps, anything else c * (a + 1) >> 8.
uint32_t scaledByAlphaPlusOne(uint32_t c, uint32_t a)
{
    if (a == 0)
        return 0;
    if (a == 255)
        return c;
    return c * (a + 1) >> 8;
}

uint32_t scaledByAlpha(uint32_t c, uint32_t a)
{
    return c * a >> 8;
}

void put(uint8_t* p, uint32_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}

// One pixel as the rules describe it.
void referencePixel(RgbMode mode, const uint8_t* s, bool rgba, bool separate, uint8_t* c, uint8_t* alpha,
                    const Masks& masks)
{
    const uint32_t a = rgba ? s[3] : 255;
    const bool otherLayout = mode == DDS_RGBMODE_16_OTHER;
    auto fold = [&](uint32_t v) {
        if (!rgba)
            return v;
        return otherLayout ? scaledByAlpha(v, a) : scaledByAlphaPlusOne(v, a);
    };
    const uint32_t r = fold(s[0]), g = fold(s[1]), b = fold(s[2]);
    switch (mode) {
    case DDS_RGBMODE_565:
        put(c, (r & 0xF8) << 8 | (g & 0xFC) << 3 | b >> 3, 2);
        if (rgba && separate)
            alpha[0] = uint8_t(a);
        break;
    case DDS_RGBMODE_555:
        put(c, (r & 0xF8) << 7 | (g & 0xF8) << 2 | b >> 3, 2);
        if (rgba && separate)
            alpha[0] = uint8_t(a);
        break;
    case DDS_RGBMODE_16_OTHER: {
        uint32_t pr = r, pg = g, pb = b;
        fitChannelToMask(masks.red, pr);
        fitChannelToMask(masks.green, pg);
        fitChannelToMask(masks.blue, pb);
        put(c, pr | pg | pb, 2);
        if (rgba && separate)
            put(alpha, a, 2);
        break;
    }
    case DDS_RGBMODE_24:
        c[0] = uint8_t(b);
        c[1] = uint8_t(g);
        c[2] = uint8_t(r);
        if (rgba && separate)
            alpha[0] = uint8_t(a);
        break;
    case DDS_RGBMODE_32:
        c[0] = uint8_t(b);
        c[1] = uint8_t(g);
        c[2] = uint8_t(r);
        if (!rgba)
            c[3] = 0xFF;
        else if (!separate)
            c[3] = uint8_t(a);
        else {
            if (a == 0)
                c[3] = 0;
            alpha[3] = uint8_t(a);
        }
        break;
    default:
        break;
    }
}

int bytesOf(RgbMode mode)
{
    return mode == DDS_RGBMODE_32 ? 4 : mode == DDS_RGBMODE_24 ? 3 : 2;
}

// Surface memory with padded rows and guard bytes before the first row and
// after the last, all filled with noise.
struct Surface {
    static constexpr size_t kGuard = 64;
    Surface(uint32_t width, uint32_t height, int bytes, std::mt19937& random)
        : pitch(ptrdiff_t(width) * bytes + 5), memory(size_t(pitch) * height + 2 * kGuard)
    {
        for (uint8_t& byte : memory)
            byte = uint8_t(random());
    }
    uint8_t* pixels() { return memory.data() + kGuard; }
    ptrdiff_t pitch;
    std::vector<uint8_t> memory;
};

struct Case {
    RgbMode mode;
    Masks masks;
};

void checkConversion(const UploadTable& kernels, const Case& c, Placement placement, uint32_t width, uint32_t height,
                     const std::vector<uint8_t>& source, std::mt19937& random)
{
    const bool rgba = placement != Placement::Rgb;
    const bool separate = placement == Placement::RgbaSeparate;
    const int bytes = bytesOf(c.mode);
    Surface colour(width, height, bytes, random);
    Surface alpha(width, height, bytes, random);
    Surface expectedColour = colour;
    Surface expectedAlpha = alpha;
    const size_t sourcePitch = size_t(width) * (rgba ? 4 : 3);

    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            uint8_t* ec = expectedColour.pixels() + y * expectedColour.pitch + x * bytes;
            uint8_t* ea = separate ? expectedAlpha.pixels() + y * expectedAlpha.pitch + x * bytes : ec;
            referencePixel(c.mode, source.data() + y * sourcePitch + x * (rgba ? 4 : 3), rgba, separate, ec, ea,
                           c.masks);
        }
    }

    UploadTarget target{};
    target.colour = colour.pixels();
    target.colourPitch = colour.pitch;
    target.alpha = separate ? alpha.pixels() : colour.pixels();
    target.alphaPitch = separate ? alpha.pitch : colour.pitch;
    target.width = width;
    target.height = height;
    target.redMask = c.masks.red;
    target.greenMask = c.masks.green;
    target.blueMask = c.masks.blue;
    convertPixels(kernels, c.mode, UploadSource{source.data(), sourcePitch, rgba}, target);
    // Floating-point code afterwards computes as before (an MMX kernel ends with EMMS).
    volatile double afterwards = 1.5;
    ASSERT_EQ(afterwards * 3.0, 4.5) << kernelLevelName(kernels.level) << " mode " << c.mode;

    ASSERT_EQ(colour.memory, expectedColour.memory) << kernelLevelName(kernels.level) << " mode " << c.mode
                                                    << " placement " << int(placement) << " width " << width;
    ASSERT_EQ(alpha.memory, expectedAlpha.memory) << kernelLevelName(kernels.level) << " mode " << c.mode
                                                  << " placement " << int(placement) << " width " << width;
}

const Case kCases[] = {
    {DDS_RGBMODE_555, {0x7C00, 0x03E0, 0x001F}},
    {DDS_RGBMODE_565, {0xF800, 0x07E0, 0x001F}},
    {DDS_RGBMODE_16_OTHER, {0x0F00, 0x00F0, 0x000F}},
    {DDS_RGBMODE_16_OTHER, {0x001F, 0x07E0, 0xF800}},
    {DDS_RGBMODE_16_OTHER, {0xFF00, 0x00F0, 0x0F0F}},
    {DDS_RGBMODE_24, {0, 0, 0}},
    {DDS_RGBMODE_32, {0, 0, 0}},
};

const Placement kPlacements[] = {Placement::Rgb, Placement::RgbaInColour, Placement::RgbaSeparate};

class PixelConversionTest : public ::testing::TestWithParam<KernelLevel> {
protected:
    void SetUp() override
    {
        kernels = uploadTableFor(GetParam());
        if (kernels == nullptr)
            GTEST_SKIP() << "no " << kernelLevelName(GetParam()) << " upload kernels on this processor or build";
    }
    const UploadTable* kernels = nullptr;
};

TEST_P(PixelConversionTest, RowsOfEveryWidthMatchTheRules)
{
    std::mt19937 random(1234);
    for (const Case& c : kCases) {
        for (Placement placement : kPlacements) {
            for (uint32_t width = 1; width <= 67; ++width) {
                std::vector<uint8_t> source(size_t(width) * 3 * 4);
                for (uint8_t& byte : source)
                    byte = uint8_t(random());
                // Some fully transparent and fully opaque texels among them.
                for (size_t i = 3; i < source.size(); i += 12)
                    source[i] = 0;
                for (size_t i = 7; i < source.size(); i += 12)
                    source[i] = 255;
                checkConversion(*kernels, c, placement, width, 3, source, random);
            }
        }
    }
}

TEST_P(PixelConversionTest, EveryColourAndAlphaPair)
{
    // 256 x 256 texels: row a, column c; the channels c, 255 - c and c ^ 0x5A.
    std::vector<uint8_t> source;
    for (uint32_t a = 0; a < 256; ++a)
        for (uint32_t c = 0; c < 256; ++c)
            source.insert(source.end(), {uint8_t(c), uint8_t(255 - c), uint8_t(c ^ 0x5A), uint8_t(a)});
    std::mt19937 random(99);
    for (const Case& c : kCases)
        for (Placement placement : {Placement::RgbaInColour, Placement::RgbaSeparate})
            checkConversion(*kernels, c, placement, 256, 256, source, random);
}

TEST_P(PixelConversionTest, NothingHappensForOtherModes)
{
    std::vector<uint8_t> source(16, 0xFF);
    std::vector<uint8_t> memory(64, 0x33);
    UploadTarget target{memory.data(), 16, memory.data(), 16, 4, 4, 0, 0, 0};
    for (RgbMode mode : {DDS_RGBMODE_UNSUPPORTED, DDS_RGBMODE_NONE, RgbMode(9)})
        convertPixels(*kernels, mode, UploadSource{source.data(), 16, true}, target);
    EXPECT_EQ(memory, std::vector<uint8_t>(64, 0x33));
}

INSTANTIATE_TEST_SUITE_P(EveryLevel, PixelConversionTest,
                         ::testing::Values(KernelLevel::None, KernelLevel::Mmx, KernelLevel::Sse2, KernelLevel::Avx2,
                                           KernelLevel::Avx512),
                         [](const ::testing::TestParamInfo<KernelLevel>& info) {
                             return std::string(kernelLevelName(info.param));
                         });

TEST(UploadKernels, TheUploadUsesTheBlendKernelsLevel)
{
    // ZIV_SIMD=none, which turns the vector blend kernels off, turns the
    // vector upload off with them.
    EXPECT_EQ(activeUploadTable().level, activeKernelLevel());
    const UploadTable* portable = uploadTableFor(KernelLevel::None);
    ASSERT_NE(portable, nullptr);
    for (uint32_t mode = 0; mode < kUploadModeCount; ++mode)
        for (uint32_t layout = 0; layout < kUploadLayoutCount; ++layout)
            EXPECT_NE(activeUploadTable().rows[mode][layout], nullptr) << mode << " " << layout;
}

TEST(PaletteColour, RedInTheLowByteScaledByAlpha)
{
    const uint8_t opaque[4] = {255, 128, 1, 255};
    EXPECT_EQ(paletteColour(opaque, true), 254u | 127u << 8 | 0u << 16);
    EXPECT_EQ(paletteColour(opaque, false), 255u | 128u << 8 | 1u << 16);
    const uint8_t half[4] = {200, 100, 50, 128};
    EXPECT_EQ(paletteColour(half, true), 100u | 50u << 8 | 25u << 16);
}

} // namespace
