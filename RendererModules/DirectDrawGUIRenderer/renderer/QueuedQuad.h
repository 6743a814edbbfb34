// One quad waiting in the render queue, and the queue's depth order.
#pragma once

#include <cmath>

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

// Largest depth first. A depth that is not a number sorts after every number,
// so the ordering stays strict and such quads are drawn last (DepthQueue's
// keys give the same order).
struct DepthGreater {
    bool operator()(float a, float b) const
    {
        if (std::isnan(a))
            return false;
        if (std::isnan(b))
            return true;
        return a > b;
    }
};

} // namespace ZorvUISystem
