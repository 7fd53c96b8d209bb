// Scene motion sampled for writing: the frames at which each item is evaluated, and its
// key values there, within limits on their number.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "anim/motion.h"
#include "core/status.h"
#include "model/scene.h"

namespace torvo {

// One item's samples may not pass this many frames (a hostile frame range or key
// count would otherwise run for hours).
constexpr std::size_t kMaxSamplesPerItem = 10'000'000;
// Nor may a whole scene pass this many (many items just under the limit each would
// still write for hours).
constexpr std::size_t kMaxSamplesPerScene = 50'000'000;

// The state at the scene's first frame where envelopes give it: animated dissolves, and
// the one motion key of items moved by channels, from which their frames are placed.
void lwSettleScene(LwScene& scene);

// The sorted, distinct frames at which an item's motion is evaluated.
// kBadInput when the list would pass kMaxSamplesPerItem.
Status animationSampleFrames(const LwScene& scene, const LwObject& item, std::vector<std::int32_t>& frames);

// Key types, as an AnimationKey numbers them.
enum TrackKeyType : int { kKeyRotation = 0, kKeyScale = 1, kKeyPosition = 2, kKeyTypes = 3 };

struct TrackKeySet {
  bool included = false;
  bool everySample = false;  // false: the first sample alone
};

struct ItemMotion;

// One item's motion as its Animation is written: the frames, which key sets are written,
// and the values at each frame (kept, or evaluated again for very long motions).
struct ItemTrack {
  ItemTrack();
  ~ItemTrack();
  ItemTrack(const ItemTrack&) = delete;
  ItemTrack& operator=(const ItemTrack&) = delete;

  std::vector<std::int32_t> frames;
  TrackKeySet sets[kKeyTypes];  // by TrackKeyType
  long long firstFrame = 0;     // key times count from the scene's first frame
  float pivot[3] = {0.0f, 0.0f, 0.0f};  // the parent's pivot, taken off positions
  double pivotRotation[3] = {0.0, 0.0, 0.0};  // bones: turns their axes after their rotation
  std::unique_ptr<ItemMotion> motion;
  std::vector<MotionKey> kept;
};

// kOk with the track filled; kBadInput when the item's samples are too many.
Status animSampleTrack(const LwScene& scene, const LwObject& item, ItemTrack& track);
// The values of one sample's key: a quaternion (w, x, y, z) for rotation, else three.
// Returns how many.
int animTrackValues(const ItemTrack& track, std::size_t sample, int type, double values[4]);

}  // namespace torvo
