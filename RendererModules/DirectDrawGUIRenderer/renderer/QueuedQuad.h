// One quad waiting in the render queue, and the queue's depth order.
#pragma once

#include <cmath>
#include <map>

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
// so the tree's ordering stays strict and such quads are drawn last.
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

// A multimap inserts equal keys after the ones already there, so quads of
// equal depth keep their submission order.
using QuadQueue = std::multimap<float, QueuedQuad, DepthGreater>;

} // namespace ZorvUISystem
