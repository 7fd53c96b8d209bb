// Motion keys evaluated at whole frames: splines, end behaviours, alignment and targets.
#pragma once

#include <cstdint>
#include <vector>

#include "model/motion.h"

namespace torvo {

// A view of one item's keys (not owned).
struct Motion {
  const MotionKey* keys = nullptr;
  std::int32_t keyCount = 0;
  std::int32_t endBehavior = kEndStop;
  // Optional: smallest key frame of keys[i..] for each i (see lwMotionView); makes
  // the key search logarithmic for long motions, whatever the key order.
  const std::int32_t* suffixMinFrames = nullptr;
};

// False when the motion has no keys (out untouched), else true with out = state at frame.
bool lwEvaluateMotion(const Motion& motion, MotionKey& out, int frame);
// The cubic Hermite curve from p0 to p1 with tangents m0 and m1 (over the span), at t in [0, 1].
double lwHermite(double p0, double p1, double m0, double m1, double t);
// As lwEvaluateMotion, then heading and pitch face the target (if any, with keys)
// or the item's own position lookAhead frames later.
bool lwEvaluateAligned(const Motion& motion, MotionKey& out, int frame, int lookAhead, const Motion* target);
// Heading and pitch of out turned to face the position of aim.
void lwAimAt(MotionKey& out, const MotionKey& aim);

// Largest index whose key frame is at or before frame, or -1.
std::int32_t lwFindKey(const Motion& motion, long long frame);
// A view of an item's keys; with storage, also the search index kept in storage.
Motion lwMotionView(const std::vector<MotionKey>& keys, std::int32_t endBehavior,
                    std::vector<std::int32_t>* storage = nullptr);

}  // namespace torvo
