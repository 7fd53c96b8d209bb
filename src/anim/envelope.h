// Envelopes evaluated at a time: span shapes and the behaviours before and after the keys.
#pragma once

#include <vector>

#include "model/envelope.h"
#include "model/motion.h"

namespace torvo {

// The envelope's value at a time in seconds; 0 without keys.
double lwEvaluateEnvelope(const LwEnvelope& envelope, double time);

// A channel without keys holds its neutral value: 1 for scale, 0 otherwise.
// channels[j] drives MotionKey::values[j]; the key comes back spline-flagged.
void lwEvaluateChannels(const std::vector<LwEnvelope>& channels, double time, MotionKey& out);

}  // namespace torvo
