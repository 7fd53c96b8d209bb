#include "anim/motion.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace torvo {

namespace {

std::int32_t clampFrame(long long value) {
  return static_cast<std::int32_t>(std::clamp<long long>(value, INT32_MIN, INT32_MAX));
}

}  // namespace

std::int32_t lwFindKey(const Motion& motion, long long x) {
  if (motion.suffixMinFrames != nullptr) {
    // suffixMinFrames is non-decreasing; the last entry not above x marks the answer.
    const std::int32_t* begin = motion.suffixMinFrames;
    const std::int32_t* end = begin + motion.keyCount;
    const std::int32_t* it =
        std::upper_bound(begin, end, x, [](long long value, std::int32_t element) { return value < element; });
    return static_cast<std::int32_t>(it - begin) - 1;
  }
  for (std::int32_t i = motion.keyCount - 1; i >= 0; --i) {
    if (motion.keys[i].frame <= x) return i;
  }
  return -1;
}

namespace {

// span / frames, where keys sharing a frame (or out of order) give a zero difference.
double tangentScale(long long span, long long frames) {
  return frames == 0 ? 0.0 : static_cast<double>(span) / static_cast<double>(frames);
}

void interpolate(const Motion& motion, std::int32_t i, long long x, MotionKey& out) {
  const MotionKey* k = motion.keys;
  const MotionKey& a = k[i];
  const MotionKey& b = k[i + 1];
  const long long span = static_cast<long long>(b.frame) - a.frame;
  const double t = span == 0 ? 0.0 : static_cast<double>(x - a.frame) / static_cast<double>(span);

  if (b.linear != 0) {
    for (int j = 0; j < kChannelCount; ++j) out.values[j] = (1.0 - t) * a.values[j] + t * b.values[j];
  } else {
    const double a0 = (1.0 - a.tension) * (1.0 + a.continuity) * (1.0 + a.bias);
    const double b0 = (1.0 - a.tension) * (1.0 - a.continuity) * (1.0 - a.bias);
    const double a1 = (1.0 - b.tension) * (1.0 - b.continuity) * (1.0 + b.bias);
    const double b1 = (1.0 - b.tension) * (1.0 + b.continuity) * (1.0 - b.bias);
    const bool first = i == 0;
    const bool last = i + 2 >= motion.keyCount;
    const double scale0 = first ? 0.0 : tangentScale(span, static_cast<long long>(b.frame) - k[i - 1].frame);
    const double scale1 = last ? 0.0 : tangentScale(span, static_cast<long long>(k[i + 2].frame) - a.frame);
    for (int j = 0; j < kChannelCount; ++j) {
      const double d = b.values[j] - a.values[j];
      const double d0 = first ? 0.5 * (a0 + b0) * d : scale0 * (a0 * (a.values[j] - k[i - 1].values[j]) + b0 * d);
      const double d1 = last ? 0.5 * (a1 + b1) * d : scale1 * (a1 * d + b1 * (k[i + 2].values[j] - b.values[j]));
      out.values[j] = lwHermite(a.values[j], b.values[j], d0, d1, t);
    }
  }
  out.tension = 0.0;
  out.continuity = 0.0;
  out.bias = 0.0;
  out.linear = b.linear;
}

}  // namespace

double lwHermite(double p0, double p1, double m0, double m1, double t) {
  const double t2 = t * t;
  const double t3 = t2 * t;
  const double h1 = 2.0 * t3 - 3.0 * t2 + 1.0;
  const double h2 = 3.0 * t2 - 2.0 * t3;
  const double h3 = t3 - 2.0 * t2 + t;
  const double h4 = t3 - t2;
  return h1 * p0 + h2 * p1 + h3 * m0 + h4 * m1;
}

bool lwEvaluateMotion(const Motion& motion, MotionKey& out, int frame) {
  if (motion.keys == nullptr || motion.keyCount < 1) return false;
  const MotionKey* k = motion.keys;
  const std::int32_t n = motion.keyCount;
  const long long lastFrame = k[n - 1].frame;

  long long x = frame;
  // A period of 0 or less cannot repeat: such motions stop at their last key.
  if (motion.endBehavior == kEndRepeat && x > lastFrame && lastFrame + 1 > 0) x %= lastFrame + 1;

  if (x < k[0].frame) {
    out = k[0];
  } else {
    const std::int32_t i = lwFindKey(motion, x);
    if (i < 0 || k[i].frame == x || i == n - 1) {
      if (motion.endBehavior == kEndReset && i == n - 1) {
        out = MotionKey{};
        out.linear = 1;
      } else {
        out = k[i < 0 ? 0 : i];
      }
    } else {
      interpolate(motion, i, x, out);
    }
  }
  out.frame = frame;
  return true;
}

bool lwEvaluateAligned(const Motion& motion, MotionKey& out, int frame, int lookAhead, const Motion* target) {
  if (!lwEvaluateMotion(motion, out, frame)) return false;

  MotionKey aim;
  if (target != nullptr) {
    // A target without keys gives no point to face: the item keeps its own angles.
    if (!lwEvaluateMotion(*target, aim, frame)) return true;
  } else {
    if (lookAhead == 0) return true;
    lwEvaluateMotion(motion, aim, clampFrame(static_cast<long long>(frame) + lookAhead));
  }

  lwAimAt(out, aim);
  return true;
}

void lwAimAt(MotionKey& out, const MotionKey& aim) {
  out.values[kHeading] = 0.0;
  out.values[kPitch] = 0.0;
  const double dx = aim.values[kPosX] - out.values[kPosX];
  const double dy = aim.values[kPosY] - out.values[kPosY];
  const double dz = aim.values[kPosZ] - out.values[kPosZ];
  double horizontal = dz;
  if (dx != 0.0 || dz != 0.0) {
    const double h = std::atan2(dx, dz);
    out.values[kHeading] = h * kRadiansToDegrees;
    horizontal = dz * std::cos(-h) - dx * std::sin(-h);
  }
  if (dy != 0.0 || horizontal != 0.0) out.values[kPitch] = std::atan2(-dy, horizontal) * kRadiansToDegrees;
}

Motion lwMotionView(const std::vector<MotionKey>& keys, std::int32_t endBehavior, std::vector<std::int32_t>* storage) {
  Motion motion;
  motion.keys = keys.empty() ? nullptr : keys.data();
  motion.keyCount = static_cast<std::int32_t>(std::min<std::size_t>(keys.size(), INT32_MAX));
  motion.endBehavior = endBehavior;
  if (storage != nullptr && motion.keyCount > 0) {
    storage->resize(static_cast<std::size_t>(motion.keyCount));
    std::int32_t lowest = INT32_MAX;
    for (std::int32_t i = motion.keyCount - 1; i >= 0; --i) {
      lowest = std::min(lowest, keys[static_cast<std::size_t>(i)].frame);
      (*storage)[static_cast<std::size_t>(i)] = lowest;
    }
    motion.suffixMinFrames = storage->data();
  }
  return motion;
}

}  // namespace torvo
