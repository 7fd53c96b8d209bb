// Motion keys of a scene item, as version 1 scenes store them.
#pragma once

#include <cstdint>

namespace torvo {

// Channel order of MotionKey::values.
enum MotionChannel : int {
  kPosX = 0, kPosY, kPosZ, kHeading, kPitch, kBank, kScaleX, kScaleY, kScaleZ, kChannelCount
};

// End behaviours.
constexpr int kEndReset = 0;
constexpr int kEndStop = 1;
constexpr int kEndRepeat = 2;

// Stored conversion factors, used as stored.
constexpr double kDegreesToRadians = 0.017453292519943334;
constexpr double kRadiansToDegrees = 57.295779513082195;

struct MotionKey {
  double values[kChannelCount] = {};  // angles in degrees
  std::int32_t frame = 0;
  std::int32_t linear = 0;      // segment from the previous key is a straight line
  double tension = 0.0;
  double continuity = 0.0;
  double bias = 0.0;
};

}  // namespace torvo
