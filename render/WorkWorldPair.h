#pragma once
// The driver's two working worlds in the layer's format, held together with its blur extents.
#include "share/AEUtil/AEWorldSuite.h"

// The four blur lengths in the order alpha, red, green, blue.
struct BlurExtents {
    double alpha;
    double red;
    double green;
    double blue;
};
static_assert(sizeof(BlurExtents) == 4 * sizeof(double));

struct WorkWorldPair {
    WorkWorldPair(const AEUtil::EffectWorldPtr& w1, const AEUtil::EffectWorldPtr& w2, const BlurExtents& e)
        : first(w1), second(w2), extents(e) {}
    AEUtil::EffectWorldPtr first;  // W1
    AEUtil::EffectWorldPtr second; // W2
    BlurExtents extents;
};
