// Per-channel envelopes of LightWave 5.6 and later scenes, as stored.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace torvo {

// Span shapes; a key's shape is the shape of the span that ends at it.
enum EnvelopeShape : int {
  kShapeTcb = 0,
  kShapeHermite = 1,
  kShapeBezier1D = 2,
  kShapeLinear = 3,
  kShapeStepped = 4,
  kShapeBezier2D = 5,
};

// What an envelope does before its first key (pre) and after its last (post).
enum EnvelopeBehavior : int {
  kBehaviorReset = 0,
  kBehaviorConstant = 1,
  kBehaviorRepeat = 2,
  kBehaviorOscillate = 3,
  kBehaviorOffsetRepeat = 4,
  kBehaviorLinear = 5,
};

struct EnvelopeKey {
  double value = 0.0;
  double time = 0.0;  // seconds
  std::int32_t shape = kShapeTcb;
  double tension = 0.0;
  double continuity = 0.0;
  double bias = 0.0;
  // Hermite and 1D Bezier: incoming and outgoing tangent (value change over the
  // adjacent span). 2D Bezier: incoming handle time and value offsets, then outgoing.
  double param[4] = {0.0, 0.0, 0.0, 0.0};
};

struct LwEnvelope {
  std::vector<EnvelopeKey> keys;  // in increasing time
  std::int32_t pre = kBehaviorConstant;
  std::int32_t post = kBehaviorConstant;
};

// An envelope holds at most this many keys.
constexpr std::size_t kMaxEnvelopeKeys = 1'000'000;

}  // namespace torvo
