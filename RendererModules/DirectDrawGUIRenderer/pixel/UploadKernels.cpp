// The choice of the upload table, once per process: the blend kernels' level
// (processor, build and ZIV_SIMD), with each empty entry taken from the
// tables below it.

#include "pixel/UploadKernels.h"

#include "pixel/BlendKernels.h"

namespace ZorvUISystem {

namespace {

// The highest level this build has tables for.
constexpr KernelLevel kBuiltLevel =
#if defined(ZIV_X86_KERNELS)
    KernelLevel::Avx512;
#else
    KernelLevel::None;
#endif

const UploadTable* declaredTable(KernelLevel level)
{
    switch (level) {
    case KernelLevel::None:
        return &kPortableUpload;
#if defined(ZIV_X86_KERNELS)
    case KernelLevel::Sse2:
        return &kSse2Upload;
    case KernelLevel::Avx2:
        return &kAvx2Upload;
    case KernelLevel::Avx512:
        return &kAvx512Upload;
#endif
    default:
        return nullptr;
    }
}

UploadTable resolve(const UploadTable& declared)
{
    UploadTable resolved = declared;
    for (uint32_t mode = 0; mode < kUploadModeCount; ++mode)
        for (uint32_t layout = 0; layout < kUploadLayoutCount; ++layout) {
            const UploadTable* t = &declared;
            while (t->rows[mode][layout] == nullptr && t->fallback != nullptr)
                t = t->fallback;
            resolved.rows[mode][layout] = t->rows[mode][layout];
        }
    return resolved;
}

struct UploadSet {
    KernelLevel usable;                    // highest level both processor and build offer
    KernelLevel active;                    // the level in use
    UploadTable tables[kKernelLevelCount]; // resolved, valid up to usable
};

UploadSet chooseTables()
{
    UploadSet set{};
    const KernelLevel cpu = highestCpuKernelLevel();
    set.usable = cpu < kBuiltLevel ? cpu : kBuiltLevel;
    const KernelLevel blend = activeKernelLevel();
    set.active = blend < set.usable ? blend : set.usable;
    for (uint32_t i = 0; i <= static_cast<uint32_t>(set.usable); ++i)
        set.tables[i] = resolve(*declaredTable(static_cast<KernelLevel>(i)));
    return set;
}

const UploadSet& uploadSet()
{
    static const UploadSet set = chooseTables();
    return set;
}

} // namespace

const UploadTable& activeUploadTable()
{
    const UploadSet& set = uploadSet();
    return set.tables[static_cast<uint32_t>(set.active)];
}

const UploadTable* uploadTableFor(KernelLevel level)
{
    const UploadSet& set = uploadSet();
    if (level > set.usable)
        return nullptr;
    return &set.tables[static_cast<uint32_t>(level)];
}

} // namespace ZorvUISystem
