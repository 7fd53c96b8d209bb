#include "anim/sampling.h"

#include <algorithm>
#include <climits>
#include <cmath>

#include "anim/envelope.h"
#include "model/xform.h"

namespace torvo {

namespace {

int clampFrame(long long frame) { return static_cast<int>(std::clamp<long long>(frame, INT_MIN, INT_MAX)); }

}  // namespace

// Everything needed to evaluate one item as the writer samples it: its keys (version 1)
// or its channel envelopes (later versions). Not movable: the motions point into the vectors.
struct ItemMotion {
  ItemMotion(const LwScene& scene, const LwObject& item) : scene(scene) {
    motion = lwMotionView(item.motionKeys, item.endBehavior, &index);
    if (!item.channels.empty()) channels = &item.channels;
    const LwObject* aimAt = lwSceneItem(scene, item.targetItem);
    if (aimAt != nullptr) {
      targetMotion = lwMotionView(aimAt->motionKeys, aimAt->endBehavior, &targetIndex);
      target = &targetMotion;
      if (!aimAt->channels.empty()) targetChannels = &aimAt->channels;
    }
    lookAhead = item.pathAlignment != 0 ? item.lookAheadFrames : 0;
  }
  ItemMotion(const ItemMotion&) = delete;
  ItemMotion& operator=(const ItemMotion&) = delete;

  MotionKey at(long long frame) const {
    MotionKey key;
    if (channels == nullptr) {
      lwEvaluateAligned(motion, key, clampFrame(frame), lookAhead, target);
      return key;
    }
    lwEvaluateChannels(*channels, lwFrameTime(scene, frame), key);
    key.frame = clampFrame(frame);
    MotionKey aim;
    if (targetChannels != nullptr) {
      lwEvaluateChannels(*targetChannels, lwFrameTime(scene, frame), aim);
    } else if (target != nullptr) {
      // A target without keys gives no point to face: the item keeps its own angles.
      if (!lwEvaluateMotion(*target, aim, clampFrame(frame))) return key;
    } else if (lookAhead != 0) {
      lwEvaluateChannels(*channels, lwFrameTime(scene, frame + lookAhead), aim);
    } else {
      return key;
    }
    lwAimAt(key, aim);
    return key;
  }

  const LwScene& scene;
  std::vector<std::int32_t> index;
  std::vector<std::int32_t> targetIndex;
  Motion motion;
  Motion targetMotion;
  const Motion* target = nullptr;
  const std::vector<LwEnvelope>* channels = nullptr;
  const std::vector<LwEnvelope>* targetChannels = nullptr;
  int lookAhead = 0;
};

namespace {

// One extra sample for every full 179 degrees turned within a segment.
constexpr double kTurnFactor = 0.00558659217877095;
constexpr double kSameValue = 1e-6;

// Candidate frames, gathered unsorted and made distinct at the end (sorting once keeps
// long ranges from the cost of one sorted insertion per sample).
struct SampleSet {
  std::vector<std::int32_t> frames;

  void add(long long frame) {
    if (frame >= INT32_MIN && frame <= INT32_MAX) frames.push_back(static_cast<std::int32_t>(frame));
  }
  void compact() {
    std::sort(frames.begin(), frames.end());
    frames.erase(std::unique(frames.begin(), frames.end()), frames.end());
  }
  // Makes room for `extra` more candidates; false when the distinct frames already
  // pass the limit.
  bool reserve(std::size_t extra) {
    if (frames.size() + extra > 2 * kMaxSamplesPerItem) {
      compact();
      if (frames.size() > kMaxSamplesPerItem) return false;
    }
    return true;
  }
};

// Truncated towards zero; a value that is no number turns nothing.
double turnCount(double from, double to) {
  const double turns = std::trunc(std::fabs(to - from) * kTurnFactor);
  return std::isnan(turns) ? 0.0 : turns;
}

bool sampleFrames(const LwScene& scene, const ItemMotion& im, std::vector<std::int32_t>& out) {
  out.clear();
  // Envelopes have their own behaviours on each channel: every whole frame is sampled.
  if (im.channels != nullptr) {
    const long long last = std::max(scene.firstFrame, scene.lastFrame);
    if (last - scene.firstFrame + 1 > static_cast<long long>(kMaxSamplesPerItem)) return false;
    out.reserve(static_cast<std::size_t>(last - scene.firstFrame + 1));
    for (long long frame = scene.firstFrame; frame <= last; ++frame) out.push_back(static_cast<std::int32_t>(frame));
    return true;
  }
  const Motion& motion = im.motion;
  if (motion.keyCount < 1) return true;
  const MotionKey* k = motion.keys;
  const std::int32_t n = motion.keyCount;
  const long long firstKey = k[0].frame;
  const long long lastKey = k[n - 1].frame;
  const long long f0 = scene.firstFrame;
  const long long f1 = scene.lastFrame;
  const long long lookAhead = im.lookAhead;
  // A period of 0 or less cannot repeat: such motions stop.
  const bool repeats = motion.endBehavior == kEndRepeat && lastKey + 1 > 0;

  // Every repeated period within the range starts at least one segment: refuse a
  // range of too many periods before walking it.
  if (repeats && f1 > lastKey + 1) {
    const long long periods = (f1 - std::max(f0, lastKey + 1)) / (lastKey + 1);
    if (periods > static_cast<long long>(kMaxSamplesPerItem) + 1) return false;
  }

  SampleSet set;
  if (motion.endBehavior == kEndReset && lastKey < f1) set.add(lastKey + 1);

  std::size_t segments = 0;
  for (long long d = f0; d < f1;) {
    long long pos = d;
    long long offset = 0;
    long long periodEnd = 0;
    // From the last key on, a repeating motion walks into its next period; the first
    // period's last key is no exception, or a range starting before it would lose
    // every repeat.
    if (repeats && d >= lastKey) {
      pos = d % (lastKey + 1);
      offset = d - pos;
      periodEnd = offset + lastKey + 1;
    }
    long long next = periodEnd + firstKey;
    if (pos >= firstKey) {
      const std::int32_t i = lwFindKey(motion, pos);
      if (i >= 0 && i < n - 1) next = k[i + 1].frame + offset;
    }
    if (next <= d) break;
    // Every segment adds its own start frame, so more segments than the limit means
    // more distinct samples than the limit.
    if (++segments > kMaxSamplesPerItem) return false;

    const MotionKey a = im.at(d);
    const MotionKey b = im.at(next);
    const long long gap = next - d - 1;
    double extra = std::max({turnCount(a.values[kHeading], b.values[kHeading]),
                             turnCount(a.values[kPitch], b.values[kPitch]),
                             turnCount(a.values[kBank], b.values[kBank])});
    long long ahead = LLONG_MIN;
    if (b.linear == 0) {
      const long long spline = gap + 1 > 15 ? (gap + 1) / 5 - 1 : 2;
      extra = std::max(extra, static_cast<double>(spline));
    } else if (lookAhead > 0 && next - lookAhead > f0) {
      ahead = next - lookAhead;
    } else if (lookAhead < 0 && d - lookAhead < f1) {
      ahead = d - lookAhead;
    }
    const long long m = extra >= static_cast<double>(gap) ? gap : static_cast<long long>(extra);
    // The m extra samples of a segment are m distinct frames.
    if (m > static_cast<long long>(kMaxSamplesPerItem)) return false;
    if (!set.reserve(static_cast<std::size_t>(m) + 2)) return false;
    set.add(d);
    if (ahead != LLONG_MIN) set.add(ahead);
    for (long long s = 1; s <= m; ++s) set.add(d + (s * gap) / (m + 1));
    d = next;
  }
  if (set.frames.empty()) {
    set.add(f0);
  } else {
    set.add(f1);
  }
  set.compact();
  if (set.frames.size() > kMaxSamplesPerItem) return false;
  out = std::move(set.frames);
  return true;
}

// An item's samples are kept between the scan and the three key sets up to this many
// (about 10 MB), so each frame is evaluated once; longer motions are evaluated again.
constexpr std::size_t kKeptSamples = 100'000;

// The motion at frames[i]: from the kept samples when there are any.
MotionKey sampleAt(const ItemMotion& im, const std::vector<std::int32_t>& frames, const std::vector<MotionKey>& kept,
                   std::size_t i) {
  return kept.empty() ? im.at(frames[i]) : kept[i];
}

bool differs(const MotionKey& a, const MotionKey& b, int firstChannel) {
  for (int j = firstChannel; j < firstChannel + 3; ++j) {
    if (std::fabs(a.values[j] - b.values[j]) > kSameValue) return true;
  }
  return false;
}

}  // namespace

ItemTrack::ItemTrack() = default;
ItemTrack::~ItemTrack() = default;

void lwSettleScene(LwScene& scene) {
  const double start = lwFrameTime(scene, scene.firstFrame);
  for (const auto& item : scene.items) {
    if (!item->dissolveEnvelope.empty()) item->dissolve = lwEvaluateEnvelope(item->dissolveEnvelope.back(), start);
  }
  for (const auto& item : scene.items) {
    if (item->channels.empty()) continue;
    MotionKey first;
    lwEvaluateChannels(item->channels, start, first);
    first.frame = scene.firstFrame;
    item->motionKeys.assign(1, first);
  }
}

Status animationSampleFrames(const LwScene& scene, const LwObject& item, std::vector<std::int32_t>& frames) {
  const ItemMotion im(scene, item);
  return sampleFrames(scene, im, frames) ? Status::kOk : Status::kBadInput;
}

Status animSampleTrack(const LwScene& scene, const LwObject& item, ItemTrack& track) {
  track.motion = std::make_unique<ItemMotion>(scene, item);
  const ItemMotion& im = *track.motion;
  std::vector<std::int32_t>& frames = track.frames;
  if (!sampleFrames(scene, im, frames)) return Status::kBadInput;

  TrackKeySet& rotation = track.sets[kKeyRotation];
  TrackKeySet& scale = track.sets[kKeyScale];
  TrackKeySet& place = track.sets[kKeyPosition];
  std::vector<MotionKey>& kept = track.kept;
  if (frames.size() <= kKeptSamples) {
    kept.reserve(frames.size());
    for (const std::int32_t frame : frames) kept.push_back(im.at(frame));
  }
  const MotionKey first = sampleAt(im, frames, kept, 0);
  for (std::size_t i = 0; i < frames.size(); ++i) {
    const MotionKey key = sampleAt(im, frames, kept, i);
    const double* v = key.values;
    rotation.included = rotation.included || v[kHeading] != 0.0 || v[kPitch] != 0.0 || v[kBank] != 0.0;
    rotation.everySample = rotation.everySample || differs(key, first, kHeading);
    scale.included = scale.included || v[kScaleX] != 1.0 || v[kScaleY] != 1.0 || v[kScaleZ] != 1.0;
    scale.everySample = scale.everySample || differs(key, first, kScaleX);
    place.included = place.included || v[kPosX] != 0.0 || v[kPosY] != 0.0 || v[kPosZ] != 0.0;
    place.everySample = place.everySample || differs(key, first, kPosX);
  }
  if (!rotation.included && !scale.included && !place.included) {
    scale.included = true;
    scale.everySample = false;
  }
  const float* pivot = lwPivotOf(scene, item.parentItem);
  for (int j = 0; j < 3; ++j) track.pivot[j] = pivot[j];
  track.firstFrame = scene.firstFrame;
  for (int j = 0; j < 3; ++j) track.pivotRotation[j] = item.bone.pivotRotation[j];
  return Status::kOk;
}

int animTrackValues(const ItemTrack& track, std::size_t sample, int type, double values[4]) {
  const MotionKey key = sampleAt(*track.motion, track.frames, track.kept, sample);
  const double* v = key.values;
  if (type == kKeyRotation) {
    Quat q = quatFromAngles(v[kHeading], v[kPitch], v[kBank]);
    const double* turn = track.pivotRotation;
    if (turn[0] != 0.0 || turn[1] != 0.0 || turn[2] != 0.0) quatMultiply(q, quatFromAngles(turn[0], turn[1], turn[2]), q);
    values[0] = q.w;
    values[1] = q.v.x;
    values[2] = q.v.y;
    values[3] = q.v.z;
    return 4;
  }
  if (type == kKeyScale) {
    values[0] = v[kScaleX];
    values[1] = v[kScaleY];
    values[2] = v[kScaleZ];
    return 3;
  }
  values[0] = v[kPosX] - track.pivot[0];
  values[1] = v[kPosY] - track.pivot[1];
  values[2] = v[kPosZ] - track.pivot[2];
  return 3;
}

}  // namespace torvo
