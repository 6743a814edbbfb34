// One quad waiting in the render queue.
#pragma once

#include "ziv.h"

namespace ZorvUISystem {

struct QueuedQuad {
    Texture* texture;
    FloatRect destRect;
    float z;
    FloatRect textureRect;
    CornerColours colours;
    uint32_t auxValue;
};

} // namespace ZorvUISystem
