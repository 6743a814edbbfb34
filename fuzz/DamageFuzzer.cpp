// Damage-aware frames against full frames: see DamageSequence.h.
#include "DamageSequence.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    zivfuzz::damage::runSequence(data, size);
    zivfuzz::damage::runRegion(data, size);
    return 0;
}
