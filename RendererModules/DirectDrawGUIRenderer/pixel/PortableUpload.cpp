// The portable upload kernels: the per-pixel conversions of UploadPixels.h,
// row after row. The bottom of the upload table chain, complete for every
// mode and source layout.
//
// Memory contract: reads width pixels of each source row and writes the
// width pixels of each colour row (and, for a separate alpha surface, the
// alpha bytes of each alpha row, reading the 32-bit colour pixel's fourth
// byte), rows stepped by their pitches; nothing in the pitch padding.

#include "pixel/UploadKernels.h"
#include "pixel/UploadPixels.h"

namespace ZorvUISystem {

namespace {

template <class Mode, bool Rgba, bool Separate> void portableRows(const Mode& mode, const UploadJob& job)
{
    for (uint32_t y = 0; y < job.height; ++y) {
        const uint8_t* src = job.source + y * job.sourcePitch;
        uint8_t* c = job.colour + static_cast<ptrdiff_t>(y) * job.colourPitch;
        uint8_t* alpha = Separate ? job.alpha + static_cast<ptrdiff_t>(y) * job.alphaPitch : nullptr;
        uploadPixelsPlain<Mode, Rgba, Separate>(mode, src, c, alpha, job.width);
    }
}

template <class Mode, bool Rgba, bool Separate> void fixedRows(const UploadJob& job)
{
    portableRows<Mode, Rgba, Separate>(Mode{}, job);
}

template <bool Rgba, bool Separate> void maskedRows(const UploadJob& job)
{
    portableRows<UploadMasked, Rgba, Separate>(UploadMasked(job.redMask, job.greenMask, job.blueMask), job);
}

template <class Mode> constexpr void fill(UploadRowsFn (&entries)[kUploadLayoutCount])
{
    entries[UPLOAD_RGB] = fixedRows<Mode, false, false>;
    entries[UPLOAD_RGBA_IN_COLOUR] = fixedRows<Mode, true, false>;
    entries[UPLOAD_RGBA_SEPARATE] = fixedRows<Mode, true, true>;
}

constexpr UploadTable makePortableTable()
{
    UploadTable table{KernelLevel::None, nullptr, {}};
    fill<Upload555>(table.rows[DDS_RGBMODE_555]);
    fill<Upload565>(table.rows[DDS_RGBMODE_565]);
    table.rows[DDS_RGBMODE_16_OTHER][UPLOAD_RGB] = maskedRows<false, false>;
    table.rows[DDS_RGBMODE_16_OTHER][UPLOAD_RGBA_IN_COLOUR] = maskedRows<true, false>;
    table.rows[DDS_RGBMODE_16_OTHER][UPLOAD_RGBA_SEPARATE] = maskedRows<true, true>;
    fill<Upload24>(table.rows[DDS_RGBMODE_24]);
    fill<Upload32>(table.rows[DDS_RGBMODE_32]);
    return table;
}

} // namespace

constinit const UploadTable kPortableUpload = makePortableTable();

} // namespace ZorvUISystem
