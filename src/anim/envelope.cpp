#include "anim/envelope.h"

#include <algorithm>
#include <cmath>

#include "anim/motion.h"

namespace torvo {

namespace {

using Keys = std::vector<EnvelopeKey>;

// A handle with no time extent stands for a near-vertical one.
constexpr double kVerticalHandle = 1e5;
// Halving the parameter this often pins a 2D Bezier span's time well below a frame.
constexpr int kBezierSteps = 60;

double ratio(double part, double whole) { return whole == 0.0 ? 0.0 : part / whole; }

double handleSlope(double value, double time) { return time == 0.0 ? value * kVerticalHandle : value / time; }

// Tangent of the curve leaving key k towards key k + 1, as a value change over that span.
double outgoing(const Keys& keys, std::size_t k) {
  const EnvelopeKey& k0 = keys[k];
  const EnvelopeKey& k1 = keys[k + 1];
  const double d = k1.value - k0.value;
  const bool hasPrev = k > 0;
  const double scale = hasPrev ? ratio(k1.time - k0.time, k1.time - keys[k - 1].time) : 1.0;
  const double back = hasPrev ? k0.value - keys[k - 1].value : 0.0;
  switch (k0.shape) {
    case kShapeTcb: {
      const double a = (1.0 - k0.tension) * (1.0 + k0.continuity) * (1.0 + k0.bias);
      const double b = (1.0 - k0.tension) * (1.0 - k0.continuity) * (1.0 - k0.bias);
      return hasPrev ? scale * (a * back + b * d) : b * d;
    }
    case kShapeLinear:
      return hasPrev ? scale * (back + d) : d;
    case kShapeHermite:
    case kShapeBezier1D:
      return k0.param[1];
    case kShapeBezier2D:
      return handleSlope(k0.param[3], k0.param[2]) * (k1.time - k0.time);
    default:  // stepped
      return 0.0;
  }
}

// Tangent of the curve arriving at key k from key k - 1, over that span.
double incoming(const Keys& keys, std::size_t k) {
  const EnvelopeKey& k0 = keys[k - 1];
  const EnvelopeKey& k1 = keys[k];
  const double d = k1.value - k0.value;
  const bool hasNext = k + 1 < keys.size();
  const double scale = hasNext ? ratio(k1.time - k0.time, keys[k + 1].time - k0.time) : 1.0;
  const double ahead = hasNext ? keys[k + 1].value - k1.value : 0.0;
  switch (k1.shape) {
    case kShapeTcb: {
      const double a = (1.0 - k1.tension) * (1.0 - k1.continuity) * (1.0 + k1.bias);
      const double b = (1.0 - k1.tension) * (1.0 + k1.continuity) * (1.0 - k1.bias);
      return hasNext ? scale * (b * ahead + a * d) : a * d;
    }
    case kShapeLinear:
      return hasNext ? scale * (ahead + d) : d;
    case kShapeHermite:
    case kShapeBezier1D:
      return k1.param[0];
    case kShapeBezier2D:
      return handleSlope(k1.param[1], k1.param[0]) * (k1.time - k0.time);
    default:
      return 0.0;
  }
}

double bezier(double p0, double p1, double p2, double p3, double t) {
  const double u = 1.0 - t;
  return u * u * u * p0 + 3.0 * u * u * t * p1 + 3.0 * u * t * t * p2 + t * t * t * p3;
}

// 2D Bezier: the handles are points in (time, value); the curve's parameter is found
// for the time by halving, then gives the value.
double bezier2D(const Keys& keys, std::size_t i, double time) {
  const EnvelopeKey& k0 = keys[i];
  const EnvelopeKey& k1 = keys[i + 1];
  const double span = k1.time - k0.time;
  double outTime = span / 3.0;
  double outValue = outgoing(keys, i) / 3.0;
  if (k0.shape == kShapeBezier2D) {
    outTime = k0.param[2];
    outValue = k0.param[3];
  }
  const double x1 = k0.time + outTime;
  const double x2 = k1.time + k1.param[0];
  double lo = 0.0;
  double hi = 1.0;
  for (int step = 0; step < kBezierSteps; ++step) {
    const double mid = 0.5 * (lo + hi);
    if (bezier(k0.time, x1, x2, k1.time, mid) < time) {
      lo = mid;
    } else {
      hi = mid;
    }
  }
  return bezier(k0.value, k0.value + outValue, k1.value + k1.param[1], k1.value, 0.5 * (lo + hi));
}

// Value inside the key range: the span is shaped by the key that ends it.
double spanValue(const Keys& keys, double time) {
  const auto after = std::upper_bound(keys.begin(), keys.end(), time,
                                      [](double t, const EnvelopeKey& key) { return t < key.time; });
  std::size_t i = static_cast<std::size_t>(after - keys.begin());
  i = std::clamp<std::size_t>(i, 1, keys.size() - 1) - 1;
  const EnvelopeKey& k0 = keys[i];
  const EnvelopeKey& k1 = keys[i + 1];
  const double span = k1.time - k0.time;
  if (span <= 0.0) return k1.value;
  const double t = std::clamp((time - k0.time) / span, 0.0, 1.0);
  switch (k1.shape) {
    case kShapeLinear:
      return k0.value + t * (k1.value - k0.value);
    case kShapeStepped:
      return t < 1.0 ? k0.value : k1.value;
    case kShapeBezier2D:
      return bezier2D(keys, i, time);
    case kShapeBezier1D: {
      const double out = outgoing(keys, i);
      const double in = incoming(keys, i + 1);
      return bezier(k0.value, k0.value + out / 3.0, k1.value - in / 3.0, k1.value, t);
    }
    default:  // TCB and Hermite: the Hermite basis on the two tangents
      return lwHermite(k0.value, k1.value, outgoing(keys, i), incoming(keys, i + 1), t);
  }
}

}  // namespace

double lwEvaluateEnvelope(const LwEnvelope& envelope, double time) {
  const Keys& keys = envelope.keys;
  if (keys.empty()) return 0.0;
  const EnvelopeKey& first = keys.front();
  const EnvelopeKey& last = keys.back();
  if (keys.size() == 1 || std::isnan(time)) return first.value;

  const bool before = time < first.time;
  const bool after = time > last.time;
  if (!before && !after) return spanValue(keys, time);
  const std::int32_t behavior = before ? envelope.pre : envelope.post;
  switch (behavior) {
    case kBehaviorReset:
      return 0.0;
    case kBehaviorLinear: {
      if (before) return first.value + ratio(outgoing(keys, 0), keys[1].time - first.time) * (time - first.time);
      const std::size_t n = keys.size() - 1;
      return last.value + ratio(incoming(keys, n), last.time - keys[n - 1].time) * (time - last.time);
    }
    case kBehaviorRepeat:
    case kBehaviorOscillate:
    case kBehaviorOffsetRepeat:
      break;
    default:  // constant
      return before ? first.value : last.value;
  }
  const double range = last.time - first.time;
  if (range <= 0.0) return before ? first.value : last.value;
  const double cycles = std::floor((time - first.time) / range);
  double local = std::clamp(time - cycles * range, first.time, last.time);
  double offset = 0.0;
  if (behavior == kBehaviorOscillate && std::fmod(cycles, 2.0) != 0.0) local = first.time + last.time - local;
  if (behavior == kBehaviorOffsetRepeat) offset = cycles * (last.value - first.value);
  return spanValue(keys, local) + offset;
}

void lwEvaluateChannels(const std::vector<LwEnvelope>& channels, double time, MotionKey& out) {
  out = MotionKey{};
  for (int j = 0; j < kChannelCount; ++j) {
    const bool present = static_cast<std::size_t>(j) < channels.size() && !channels[static_cast<std::size_t>(j)].keys.empty();
    out.values[j] = present ? lwEvaluateEnvelope(channels[static_cast<std::size_t>(j)], time) : (j >= kScaleX ? 1.0 : 0.0);
  }
}

}  // namespace torvo
