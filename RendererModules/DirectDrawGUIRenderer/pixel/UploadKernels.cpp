// The choice of the upload table, once per process: the blend kernels' level
// (processor, build and ZIV_SIMD), with each empty entry taken from the
// tables below it.

#include "pixel/UploadKernels.h"

#include "pixel/BlendKernels.h"
#include "pixel/LevelTables.h"

namespace ZorvUISystem {

namespace {

const UploadTable* const kDeclaredUpload[] = {
    &kPortableUpload,
#if defined(ZIV_X86_KERNELS)
    &kMmxUpload,      &kSse2Upload, &kAvx2Upload, &kAvx512Upload,
#endif
};

UploadTable resolve(const UploadTable& declared)
{
    UploadTable resolved = declared;
    for (uint32_t mode = 0; mode < kUploadModeCount; ++mode)
        for (uint32_t layout = 0; layout < kUploadLayoutCount; ++layout)
            resolved.rows[mode][layout] =
                entryFromChain(declared, [&](const UploadTable& t) { return t.rows[mode][layout]; });
    return resolved;
}

const LevelTables<UploadTable>& uploadSet()
{
    static const LevelTables<UploadTable> set = chooseLevelTables(
        kDeclaredUpload,
        [](KernelLevel usable) {
            const KernelLevel blend = activeKernelLevel();
            return blend < usable ? blend : usable;
        },
        resolve);
    return set;
}

} // namespace

const UploadTable& activeUploadTable()
{
    return uploadSet().activeTable();
}

const UploadTable* uploadTableFor(KernelLevel level)
{
    return uploadSet().tableFor(level);
}

} // namespace ZorvUISystem
