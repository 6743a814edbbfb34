// The blend kernels on random rectangles, pitches and pixels, through the
// kernel table of every instruction set this processor offers. Each table
// must leave exactly the bytes the portable table leaves, the portable table
// must agree with the reference model of the formulas, and nobody may touch a
// byte outside the destination rectangle or any source byte.
//
// Input: kernel, mode, width, height, layout flags, row padding, alpha,
// three colour factors, channel masks, then pixel bytes (used cyclically).
// The texel-alpha kernel reads its alpha from a third buffer of the same
// pixel size, or in mode 4 (when the padding byte is odd) from the source.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include <ddraw.h>

#include "BlendReference.h"
#include "FuzzSupport.h"
#include "pixel/BlendKernels.h"
#include "pixel/KernelTable.h"

using namespace ZorvUISystem;
using zivfuzz::check;

namespace {

uint32_t bytesPerPixel(uint32_t mode)
{
    return mode <= 2 ? 2 : mode == 3 ? 3 : 4;
}

// Channel masks of 16-bit layouts: the two fixed ones, their mirror images,
// 4-4-4(-4), 1-5-5-5 with the alpha bit elsewhere, and odd ones.
const std::array<std::array<uint32_t, 3>, 8> kMaskSets = {{
    {0xF800, 0x07E0, 0x001F},
    {0x7C00, 0x03E0, 0x001F},
    {0x0F00, 0x00F0, 0x000F},
    {0x001F, 0x07E0, 0xF800},
    {0xF000, 0x0F00, 0x00F0},
    {0x003E, 0x07C0, 0xF800},
    {0x0E00, 0x01C0, 0x0038},
    {0x7F00, 0x00F0, 0x000C},
}};

// A rectangle of width x height pixels inside a buffer of its own size, so
// that AddressSanitizer sees any access past either end. Row padding and the
// pixels before the rectangle on each row are guard bytes.
struct Buffer {
    std::vector<uint8_t> bytes;
    ptrdiff_t origin = 0; // first pixel of the rectangle
    ptrdiff_t pitch = 0;
    uint32_t bpp = 0;
    uint32_t lead = 0; // bytes before the rectangle on each row
    uint32_t width = 0;
    uint32_t height = 0;

    bool insideRect(size_t offset) const
    {
        const ptrdiff_t rowBytes = pitch < 0 ? -pitch : pitch;
        const size_t row = offset / static_cast<size_t>(rowBytes);
        const size_t column = offset % static_cast<size_t>(rowBytes);
        return row < height && column >= lead && column < lead + size_t{width} * bpp;
    }

    // The offset of the pixel that byte i of `other` (a buffer of the same
    // rectangle size) belongs to, in this buffer.
    size_t matchingOffset(const Buffer& other, size_t i) const
    {
        const size_t otherRowBytes = static_cast<size_t>(other.pitch < 0 ? -other.pitch : other.pitch);
        const size_t row = i / otherRowBytes;
        const size_t column = i % otherRowBytes;
        const size_t y = other.pitch < 0 ? other.height - 1 - row : row;
        const size_t x = column < other.lead ? 0 : (column - other.lead) / other.bpp;
        return static_cast<size_t>(origin + static_cast<ptrdiff_t>(y) * pitch + static_cast<ptrdiff_t>(x * bpp));
    }
};

Buffer makeBuffer(uint32_t width, uint32_t height, uint32_t bpp, uint32_t leadPixels, uint32_t padding, bool bottomUp,
                  const std::vector<uint8_t>& fill, size_t& fillPosition, zivfuzz::Pattern& pattern)
{
    Buffer b;
    b.bpp = bpp;
    b.lead = leadPixels * bpp;
    b.width = width;
    b.height = height;
    const ptrdiff_t pitch = static_cast<ptrdiff_t>(b.lead + width * bpp + padding);
    b.bytes.resize(static_cast<size_t>(pitch) * height);
    for (uint8_t& byte : b.bytes) {
        if (!fill.empty()) {
            byte = fill[fillPosition % fill.size()];
            ++fillPosition;
        } else {
            byte = static_cast<uint8_t>(pattern.next());
        }
    }
    if (bottomUp) {
        b.origin = static_cast<ptrdiff_t>(height - 1) * pitch + b.lead;
        b.pitch = -pitch;
    } else {
        b.origin = b.lead;
        b.pitch = pitch;
    }
    return b;
}

DDSURFACEDESC describe(Buffer& buffer, const std::array<uint32_t, 3>& masks)
{
    DDSURFACEDESC desc;
    std::memset(&desc, 0, sizeof(desc));
    desc.dwSize = sizeof(DDSURFACEDESC);
    desc.dwFlags = DDSD_PITCH | DDSD_LPSURFACE | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
    desc.dwWidth = buffer.width;
    desc.dwHeight = buffer.height;
    desc.lPitch = static_cast<LONG>(buffer.pitch);
    desc.lpSurface = buffer.bytes.data() + buffer.origin;
    desc.ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
    desc.ddpfPixelFormat.dwFlags = DDPF_RGB;
    desc.ddpfPixelFormat.dwRGBBitCount = buffer.bpp * 8;
    desc.ddpfPixelFormat.dwRBitMask = masks[0];
    desc.ddpfPixelFormat.dwGBitMask = masks[1];
    desc.ddpfPixelFormat.dwBBitMask = masks[2];
    return desc;
}

// Width in bits of the run of set bits that starts at the lowest set bit.
uint32_t fieldWidth(uint32_t mask)
{
    if (mask == 0)
        return 0;
    while ((mask & 1u) == 0)
        mask >>= 1;
    uint32_t width = 0;
    while (mask & 1u) {
        mask >>= 1;
        ++width;
    }
    return width;
}

int32_t runKernel(const KernelTable& table, const reference::Call& call, Buffer& source, Buffer& destination,
                  const std::array<uint32_t, 3>& sourceMasks, const std::array<uint32_t, 3>& destinationMasks,
                  bool passRect, Buffer& alphas)
{
    const DDSURFACEDESC src = describe(source, sourceMasks);
    DDSURFACEDESC dst = describe(destination, destinationMasks);
    // Only the rectangle's size counts; its position is somewhere else.
    const RECT rect{-9, 40, -9 + static_cast<LONG>(call.width), 40 + static_cast<LONG>(call.height)};
    const RECT* r = passRect ? &rect : nullptr;
    switch (call.kernel) {
    case reference::Kernel::Modulated:
        return blendModulated(table, &src, &dst, 3, 4, r, call.alpha, call.mode, call.red, call.green, call.blue);
    case reference::Kernel::Half:
        return blendHalf(table, &src, &dst, 3, 4, r, call.mode);
    case reference::Kernel::AlphaMmx:
        return blendAlphaMmx(table, &src, &dst, 3, 4, r, call.alpha, call.mode);
    case reference::Kernel::HalfMmx:
        return blendHalfMmx(table, &src, &dst, 3, 4, r, call.mode);
    case reference::Kernel::TexelAlpha: {
        const DDSURFACEDESC alphaDesc = describe(alphas, sourceMasks);
        return blendTexelAlpha(table, &src, &alphaDesc, &dst, 3, 4, r, call.alpha, call.mode, call.red, call.green,
                               call.blue);
    }
    }
    return -2;
}

// The four bytes from the pixel holding byte i, as hexadecimal, for reports.
std::string bytesAt(const std::vector<uint8_t>& bytes, size_t i, uint32_t bpp)
{
    static const char digits[] = "0123456789abcdef";
    std::string text;
    const size_t start = i - i % bpp;
    for (size_t k = start; k < start + 4 && k < bytes.size(); ++k) {
        text += digits[bytes[k] >> 4];
        text += digits[bytes[k] & 15];
        text += ' ';
    }
    return text;
}

std::string describeCall(const reference::Call& call, KernelLevel level)
{
    return std::string(reference::kernelName(call.kernel)) + " mode " + std::to_string(call.mode) + " " +
           std::to_string(call.width) + "x" + std::to_string(call.height) + " alpha " + std::to_string(call.alpha) +
           " factors " + std::to_string(call.red) + "," + std::to_string(call.green) + "," + std::to_string(call.blue) +
           " level " + kernelLevelName(level);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    zivfuzz::Reader in(data, size);
    reference::Call call{};
    call.kernel = static_cast<reference::Kernel>(in.byte() % 5);
    call.mode = in.byte() % 7; // 5 and 6 are refused
    call.width = 1 + in.byte() % 67;
    call.height = 1 + in.byte() % 9;
    const uint8_t layout = in.byte();
    const uint8_t padding = in.byte();

    switch (in.byte() % 4) {
    case 0:
        call.alpha = in.byte();
        break;
    case 1:
        call.alpha = 256;
        break;
    case 2:
        call.alpha = 1 + in.byte() % 254;
        break;
    default:
        call.alpha = static_cast<int32_t>(in.u32());
        break;
    }
    if (layout & 0x80) {
        call.red = in.u32();
        call.green = in.u32();
        call.blue = in.u32();
    } else {
        call.red = in.byte();
        call.green = in.byte();
        call.blue = in.byte();
    }
    const uint8_t maskChoice = in.byte();
    std::array<uint32_t, 3> sourceMasks = kMaskSets[maskChoice % kMaskSets.size()];
    bool realLayout = true;
    if ((maskChoice & 0x70) == 0x70) {
        if (maskChoice & 0x08) {
            // Any three 16-bit masks: overlapping, scattered or empty fields
            // are no pixel layout, but must not take a kernel off its
            // surfaces either.
            sourceMasks = {in.u16(), in.u16(), in.u16()};
            realLayout = false;
        } else {
            // Three adjacent fields of 1 to 6 bits from a start bit, blue
            // lowest.
            const uint8_t widths = in.byte();
            uint32_t position = in.byte() % 4;
            for (int c = 2; c >= 0; --c) {
                const uint32_t width = 1 + ((widths >> (2 * c)) & 3) + (c == 1 ? (widths >> 6) & 1 : 0);
                sourceMasks[c] = ((1u << width) - 1u) << position;
                position += width;
            }
        }
    }
    const bool sharedLayout = (maskChoice & 0x80) == 0;
    std::array<uint32_t, 3> destinationMasks = sharedLayout ? sourceMasks : kMaskSets[(maskChoice >> 3) % 8];
    for (int c = 0; c < 3; ++c) {
        call.sourceMasks[c] = sourceMasks[c];
        call.destinationMasks[c] = destinationMasks[c];
    }
    const std::vector<uint8_t> pixels = in.bytes(in.remaining());

    // 16- and 32-bit pixels keep their natural alignment on every row, as
    // surface pitches do; 24-bit rows may start anywhere.
    const uint32_t bpp = bytesPerPixel(call.mode);
    const uint32_t unit = call.mode == 3 ? 1 : bpp;
    const bool passRect = (layout & 0x04) == 0;
    zivfuzz::Pattern pattern(static_cast<uint32_t>(size));
    size_t fillPosition = 0;
    Buffer source = makeBuffer(call.width, call.height, bpp, (layout >> 3) & 3, (padding & 0x0F) * unit, layout & 1,
                               pixels, fillPosition, pattern);
    Buffer destination = makeBuffer(call.width, call.height, bpp, (layout >> 5) & 3, (padding >> 4) * unit,
                                    (layout & 2) != 0, pixels, fillPosition, pattern);
    Buffer ownAlphas = makeBuffer(call.width, call.height, bpp, (layout >> 4) & 3, (padding >> 2) * unit,
                                  (layout & 8) != 0, pixels, fillPosition, pattern);
    Buffer& alphas = call.mode == 4 && (padding & 1) != 0 ? source : ownAlphas;
    const std::vector<uint8_t> sourceBefore = source.bytes;
    const std::vector<uint8_t> alphasBefore = ownAlphas.bytes;
    const std::vector<uint8_t> destinationBefore = destination.bytes;

    // The portable table first: it is what the others are held to.
    const KernelTable* portable = kernelTableFor(KernelLevel::None);
    check(portable != nullptr, "the portable kernel table exists");
    const int32_t portableResult =
        runKernel(*portable, call, source, destination, sourceMasks, destinationMasks, passRect, alphas);
    const std::vector<uint8_t> portableBytes = destination.bytes;
    check(source.bytes == sourceBefore && ownAlphas.bytes == alphasBefore, "kernels never write the source",
          describeCall(call, KernelLevel::None));
    check(portableResult == (call.mode <= 4 ? 0 : -1), "kernel result",
          describeCall(call, KernelLevel::None) + " gave " + std::to_string(portableResult));
    for (size_t i = 0; i < destination.bytes.size(); ++i) {
        if (!destination.insideRect(i) || call.mode > 4)
            check(destination.bytes[i] == destinationBefore[i], "no byte outside the rectangle changes",
                  describeCall(call, KernelLevel::None) + " at byte " + std::to_string(i));
    }

    // The formulas, inside the kernels' domain: one shared pixel layout (of
    // real channel fields in mode 2), and for
    // the constant-alpha kernel in mode 2 three fields of at most 7 bits.
    bool inDomain = call.mode <= 4 && sharedLayout && (realLayout || call.mode != 2);
    if (call.mode == 2 && call.kernel == reference::Kernel::AlphaMmx) {
        for (uint32_t mask : destinationMasks)
            inDomain = inDomain && mask != 0 && fieldWidth(mask) <= 7;
    }
    if (inDomain) {
        std::vector<uint8_t> expected = destinationBefore;
        std::vector<uint8_t> sourceCopy = sourceBefore;
        std::vector<uint8_t> alphaCopy = alphas.bytes;
        const reference::View sourceView{&sourceCopy, source.origin, source.pitch};
        call.alphaSurface = reference::View{&alphaCopy, alphas.origin, alphas.pitch};
        const reference::View destinationView{&expected, destination.origin, destination.pitch};
        reference::apply(call, sourceView, destinationView);
        for (size_t i = 0; i < expected.size(); ++i) {
            if (expected[i] != portableBytes[i])
                zivfuzz::fail("the portable kernel follows the formulas",
                              describeCall(call, KernelLevel::None) + " differs at byte " + std::to_string(i) +
                                  ": destination " + bytesAt(destinationBefore, i, bpp) + "became " +
                                  bytesAt(portableBytes, i, bpp) + "instead of " + bytesAt(expected, i, bpp) +
                                  "(source " + bytesAt(sourceBefore, source.matchingOffset(destination, i), bpp) + ")");
        }
    }

    // Every vector level this processor and build offer, on the same bytes.
    for (uint32_t level = 1; level < kKernelLevelCount; ++level) {
        const KernelTable* table = kernelTableFor(static_cast<KernelLevel>(level));
        if (table == nullptr)
            continue;
        destination.bytes = destinationBefore;
        const int32_t result =
            runKernel(*table, call, source, destination, sourceMasks, destinationMasks, passRect, alphas);
        const std::string what = describeCall(call, static_cast<KernelLevel>(level));
        check(result == portableResult, "every level gives the portable result", what);
        check(source.bytes == sourceBefore && ownAlphas.bytes == alphasBefore, "kernels never write the source", what);
        if (!inDomain && call.mode <= 4) {
            // Outside the domain only the bytes outside the rectangle are
            // held to the portable table's.
            for (size_t i = 0; i < destination.bytes.size(); ++i) {
                if (!destination.insideRect(i))
                    check(destination.bytes[i] == destinationBefore[i], "no byte outside the rectangle changes",
                          what + " at byte " + std::to_string(i));
            }
            continue;
        }
        for (size_t i = 0; i < destination.bytes.size(); ++i) {
            if (destination.bytes[i] != portableBytes[i])
                zivfuzz::fail("every level leaves the portable table's bytes",
                              what + " differs at byte " + std::to_string(i));
        }
    }
    return 0;
}
