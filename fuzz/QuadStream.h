// The byte format of the quad-stream fuzz target, shared with the seed
// generator. A stream is an 8-byte header followed by operations, each an
// operation byte (taken modulo kOperationCount) and its arguments:
//
//   header: blend preference, display depth, texture pixel format, texture
//           memory, display width, display height, target format, flags
//           (bit 0: a processor without MMX, bit 1: a logger object)
//   CreateTexture      size, size, flags, seed     (flags: bit 0 RGBA, bit 1 memory
//                                                   texture, bit 2 sized creation,
//                                                   bits 4-5 pixel pattern)
//   CreateFromFileData kind, size, size, seed      (kind: bit 0 RGBA, bit 1 damaged)
//   CreateFromFile     which
//   LoadFromMemory     texture, size, size, flags, seed
//   QueueQuad          texture, 4 coordinates, depth, 4 coordinates, colours
//   RenderQueue, ClearQueue, DestroyAllTextures, PrepareForReset, RestoreTargets,
//   DisarmFaults       (no arguments)
//   SetQueueing        on
//   DestroyTexture     texture
//   PostD3DReset       width, height (255: unchanged)
//   LoseSurface        which, texture
//   SetDisplayMode     depth
//   ArmFault           operation, result, nth, lasting
//   SetTarget          which (0 none, 1 the display-format target, 2 the other)
//   SetTextureFormat   pixel format, memory
//   SetDirectDraw      present
//   SetMemoryTexture   texture, on
//   ChangeFile         which
//   LoseAllSurfaces    when, nth               (when: 0 at once, else under the nth
//                                                   next call of an operation)
//   SetBehaviour       which, value            (which: 0 garbage memory, 1 lost surfaces
//                                                   usable, 2 restore refused after a depth
//                                                   change, 3 busy blitter, 4 video memory
//                                                   budget)
//   ClipTarget         which, 4 coordinates    (which: bit 0 the target, bit 1 no clipper)
//
// A texture argument is an index into the live textures; the count itself
// stands for a null texture. A coordinate is one byte: below 0xC0 a small
// value, 0xC0 to 0xEF a special value (not a number, infinities, the ends of
// the 32-bit range, ...), 0xF0 and above a raw float in the next 4 bytes.
// Colours: one byte, bit 0 set for one colour on all four corners; then one
// or four colours, each a byte below 0xE0 choosing from a palette or a byte
// from 0xE0 and a raw ARGB value in the next 4 bytes.
#pragma once

#include <cstdint>

#include "FuzzSupport.h"

namespace zivfuzz::quads {

enum Operation : uint8_t {
    CreateTexture,
    CreateFromFileData,
    CreateFromFile,
    LoadFromMemory,
    QueueQuad,
    RenderQueue,
    ClearQueue,
    SetQueueing,
    DestroyTexture,
    DestroyAllTextures,
    PrepareForReset,
    PostD3DReset,
    LoseSurface,
    SetDisplayMode,
    ArmFault,
    DisarmFaults,
    SetTarget,
    SetTextureFormat,
    SetDirectDraw,
    RestoreTargets,
    SetMemoryTexture,
    ChangeFile,
    LoseAllSurfaces,
    SetBehaviour,
    ClipTarget,
    kOperationCount
};

struct Header {
    uint8_t blendPreference = 0;
    uint8_t displayDepth = 0;       // 0: 32 bits, 1: 24, 2: 16, 3: 8
    uint8_t texturePixelFormat = 0; // 0: the display's, 1: 565, 2: 555
    uint8_t textureMemory = 0;
    uint8_t displayWidth = 48;
    uint8_t displayHeight = 40;
    uint8_t targetFormat = 0; // the second target: 0 RGB 565, 1 RGB 555, 2 24-bit, 3 32-bit
    uint8_t flags = 0;
};

// Coordinate bytes.
constexpr uint8_t kSpecialCoordinate = 0xC0; // + index into the special values
constexpr uint8_t kRawCoordinate = 0xF0;
constexpr int kSmallCoordinateOffset = 12; // small values are byte % 80 - 12 (+0.75 with bit 6)

inline uint8_t smallCoordinate(int value)
{
    return static_cast<uint8_t>(value + kSmallCoordinateOffset);
}

// Colour bytes.
constexpr uint8_t kRawColour = 0xE0;
constexpr uint8_t kPaletteWhite = 0;
constexpr uint8_t kPaletteHalfWhite = 1; // 0x80FFFFFF
constexpr uint8_t kPaletteGrey = 2;      // 0xFF808080
constexpr uint8_t kPaletteClear = 3;     // 0x00000000

class StreamWriter {
public:
    explicit StreamWriter(const Header& header)
    {
        d_out.byte(header.blendPreference)
            .byte(header.displayDepth)
            .byte(header.texturePixelFormat)
            .byte(header.textureMemory)
            .byte(header.displayWidth)
            .byte(header.displayHeight)
            .byte(header.targetFormat)
            .byte(header.flags);
    }

    StreamWriter& op(Operation operation)
    {
        d_out.byte(operation);
        return *this;
    }
    StreamWriter& arg(uint32_t value)
    {
        d_out.byte(value);
        return *this;
    }
    StreamWriter& createTexture(uint8_t width, uint8_t height, uint8_t flags, uint8_t seed)
    {
        return op(CreateTexture).arg(width - 1u).arg(height - 1u).arg(flags).arg(seed);
    }
    StreamWriter& quad(uint8_t texture, int left, int top, int right, int bottom, int z, int u0, int v0, int u1, int v1,
                       uint8_t colour)
    {
        op(QueueQuad).arg(texture);
        for (int value : {left, top, right, bottom, z, u0, v0, u1, v1})
            arg(smallCoordinate(value));
        return arg(1).arg(colour);
    }
    StreamWriter& rawFloat(float value)
    {
        d_out.byte(kRawCoordinate).f32(value);
        return *this;
    }
    const std::vector<uint8_t>& data() const { return d_out.data(); }

private:
    Writer d_out;
};

} // namespace zivfuzz::quads
