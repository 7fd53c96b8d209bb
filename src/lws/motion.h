// Motion keys of a scene item and their evaluation at whole frames.
#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

// Channel order of MotionKey::values.
enum MotionChannel : int {
  kPosX = 0, kPosY, kPosZ, kHeading, kPitch, kBank, kScaleX, kScaleY, kScaleZ, kChannelCount
};

// End behaviours.
constexpr int kEndReset = 0;
constexpr int kEndStop = 1;
constexpr int kEndRepeat = 2;

struct MotionKey {
  double values[kChannelCount] = {};
  std::int32_t frame = 0;
  std::int32_t linear = 0;      // segment from the previous key is a straight line
  double tension = 0.0;
  double continuity = 0.0;
  double bias = 0.0;
};

// A view of one item's keys (not owned).
struct Motion {
  const MotionKey* keys = nullptr;
  std::int32_t keyCount = 0;
  std::int32_t endBehavior = kEndStop;
  // Optional: smallest key frame of keys[i..] for each i (see lwIndexMotion); makes
  // the key search logarithmic for long motions, whatever the key order.
  const std::int32_t* suffixMinFrames = nullptr;
};

// Reads a motion block (channel-count line, key-count line, keys) and appends its keys.
// 1 when at least one key was stored, else -1.
int lwReadMotion(std::FILE* stream, std::vector<MotionKey>& keys);
// 0 when the motion has no keys (out untouched), else 1 with out = state at frame.
int lwEvaluateMotion(const Motion& motion, MotionKey& out, int frame);
// The cubic Hermite curve from p0 to p1 with tangents m0 and m1 (over the span), at t in [0, 1].
double lwHermite(double p0, double p1, double m0, double m1, double t);
// As lwEvaluateMotion, then heading and pitch face the target (if any, with keys)
// or the item's own position lookAhead frames later.
int lwEvaluateAligned(const Motion& motion, MotionKey& out, int frame, int lookAhead, const Motion* target);
// Heading and pitch of out turned to face the position of aim.
void lwAimAt(MotionKey& out, const MotionKey& aim);

// Largest index whose key frame is at or before frame, or -1.
std::int32_t lwFindKey(const Motion& motion, long long frame);
// A view of an item's keys; with storage, also the search index kept in storage.
Motion lwMotionView(const std::vector<MotionKey>& keys, std::int32_t endBehavior,
                    std::vector<std::int32_t>* storage = nullptr);
