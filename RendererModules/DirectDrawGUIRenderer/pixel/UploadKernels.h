// The texture upload's kernel tables: one per instruction set, each entry
// converting every row of a locked surface for one pixel mode and one source
// layout. Like the blend kernels, a table may leave entries empty; they are
// taken from the next lower table, down to the portable one, which fills
// them all. The table in use is chosen once per process, at the level of the
// blend kernels (ZIV_SIMD=none forces the portable table).
#pragma once

#include <cstddef>
#include <cstdint>

#include "pixel/CpuFeatures.h"

namespace ZorvUISystem {

// Locked surface memory. For RGBA sources alpha points at the alpha surface,
// which is the colour surface itself when that one holds alpha; for RGB
// sources it is ignored. The masks describe 16-bit layouts other than 565
// and 555.
struct UploadTarget {
    uint8_t* colour;
    ptrdiff_t colourPitch;
    uint8_t* alpha;
    ptrdiff_t alphaPitch;
    uint32_t width;
    uint32_t height;
    uint32_t redMask;
    uint32_t greenMask;
    uint32_t blueMask;
};

// One kernel call: the target and the source rows, of 4 bytes (red, green,
// blue, alpha) or 3 bytes (red, green, blue) per pixel, sourcePitch bytes
// apart; the surfaces' rows are stepped by their own pitches.
struct UploadJob : UploadTarget {
    const uint8_t* source;
    size_t sourcePitch;
};

// Where the source's alpha goes.
enum UploadLayout : uint32_t {
    UPLOAD_RGB = 0,            // no alpha
    UPLOAD_RGBA_IN_COLOUR = 1, // the colour surface holds it (only 32-bit pixels have room)
    UPLOAD_RGBA_SEPARATE = 2,  // a separate alpha surface of the same layout
};

constexpr uint32_t kUploadModeCount = 5;   // the pixel modes 0-4
constexpr uint32_t kUploadLayoutCount = 3; // the UploadLayout values

using UploadRowsFn = void (*)(const UploadJob& job);

struct UploadTable {
    KernelLevel level;
    const UploadTable* fallback; // next lower instruction set; null for the portable table
    UploadRowsFn rows[kUploadModeCount][kUploadLayoutCount];
};

// The tables as each instruction set defines them (entries may be empty).
// The vector tables are built only for x86 processors (ZIV_X86_KERNELS).
extern const UploadTable kPortableUpload;
extern const UploadTable kMmxUpload;
extern const UploadTable kSse2Upload;
extern const UploadTable kAvx2Upload;
extern const UploadTable kAvx512Upload;

// The complete table in use.
const UploadTable& activeUploadTable();

// The complete table of one level, or null when this processor or this
// build lacks the level.
const UploadTable* uploadTableFor(KernelLevel level);

} // namespace ZorvUISystem
