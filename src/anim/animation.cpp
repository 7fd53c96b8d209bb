#include "anim/animation.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <string>

#include "core/options.h"
#include "lws/envelope.h"
#include "lws/xform.h"
#include "xscene/frames.h"

namespace {

// One extra sample for every full 179 degrees turned within a segment.
constexpr double kTurnFactor = 0.00558659217877095;
constexpr double kSameValue = 1e-6;

constexpr int kKeyRotation = 0;
constexpr int kKeyScale = 1;
constexpr int kKeyPosition = 2;

int clampFrame(long long frame) { return static_cast<int>(std::clamp<long long>(frame, INT_MIN, INT_MAX)); }

// Everything needed to evaluate one item as the writer samples it: its keys (version 1)
// or its channel envelopes (later versions). Not movable: the motions point into the vectors.
struct ItemMotion {
  ItemMotion(const LwScene& scene, const LwObject& item) : scene(scene) {
    motion = lwMotionView(item.motionKeys, item.endBehavior, &index);
    if (!item.channels.empty()) channels = &item.channels;
    const LwObject* aimAt = lwSceneItem(scene, item.targetIndex);
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
      if (lwEvaluateMotion(*target, aim, clampFrame(frame)) == 0) return key;
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

int sampleFrames(const LwScene& scene, const ItemMotion& im, std::vector<std::int32_t>& out) {
  out.clear();
  // Envelopes have their own behaviours on each channel: every whole frame is sampled.
  if (im.channels != nullptr) {
    const long long last = std::max(scene.firstFrame, scene.lastFrame);
    if (last - scene.firstFrame + 1 > static_cast<long long>(kMaxSamplesPerItem)) return -1;
    out.reserve(static_cast<std::size_t>(last - scene.firstFrame + 1));
    for (long long frame = scene.firstFrame; frame <= last; ++frame) out.push_back(static_cast<std::int32_t>(frame));
    return 0;
  }
  const Motion& motion = im.motion;
  if (motion.keyCount < 1) return 0;
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
    if (periods > static_cast<long long>(kMaxSamplesPerItem) + 1) return -1;
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
    if (++segments > kMaxSamplesPerItem) return -1;

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
    if (m > static_cast<long long>(kMaxSamplesPerItem)) return -1;
    if (!set.reserve(static_cast<std::size_t>(m) + 2)) return -1;
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
  if (set.frames.size() > kMaxSamplesPerItem) return -1;
  out = std::move(set.frames);
  return 0;
}

struct KeySet {
  bool included = false;
  bool everySample = false;  // false: the first sample alone
};

// An item's samples are kept between the scan and the three key sets up to this many
// (about 10 MB), so each frame is evaluated once; longer motions are evaluated again.
constexpr std::size_t kKeptSamples = 100'000;

// The motion at frames[i]: from the kept samples when there are any.
MotionKey sampleAt(const ItemMotion& im, const std::vector<std::int32_t>& frames, const std::vector<MotionKey>& kept,
                   std::size_t i) {
  return kept.empty() ? im.at(frames[i]) : kept[i];
}

void writeKeySet(XWriter& out, const ItemMotion& im, const std::vector<std::int32_t>& frames,
                 const std::vector<MotionKey>& kept, long long firstFrame, const float pivot[3], int type,
                 bool everySample, int depth) {
  const std::size_t count = everySample ? frames.size() : 1;
  const std::uint32_t valueCount = type == kKeyRotation ? 4 : 3;
  if (out.binary) {
    xPutWord(out, kTokenIntegerList);
    xPutDword(out, 2);
    xPutDword(out, static_cast<std::uint32_t>(type));
    xPutDword(out, static_cast<std::uint32_t>(count));
  } else {
    xPutIndent(out, depth);
    xPutInt(out, type);
    xPutText(out, ";\n");
    xPutIndent(out, depth);
    xPutInt(out, static_cast<long long>(count));
    xPutText(out, ";\n");
  }
  for (std::size_t i = 0; i < count; ++i) {
    const MotionKey key = sampleAt(im, frames, kept, i);
    const long long time = frames[i] - firstFrame;
    const double* v = key.values;
    double values[4];
    if (type == kKeyRotation) {
      const Quat q = quatFromAngles(v[kHeading], v[kPitch], v[kBank]);
      values[0] = q.w;
      values[1] = q.v.x;
      values[2] = q.v.y;
      values[3] = q.v.z;
    } else if (type == kKeyScale) {
      values[0] = v[kScaleX];
      values[1] = v[kScaleY];
      values[2] = v[kScaleZ];
    } else {
      values[0] = v[kPosX] - pivot[0];
      values[1] = v[kPosY] - pivot[1];
      values[2] = v[kPosZ] - pivot[2];
    }
    if (out.binary) {
      xPutWord(out, kTokenIntegerList);
      xPutDword(out, 2);
      xPutDword(out, static_cast<std::uint32_t>(time));
      xPutDword(out, valueCount);
      float floats[4];
      for (std::uint32_t j = 0; j < valueCount; ++j) floats[j] = static_cast<float>(values[j]);
      xPutFloatList(out, floats, valueCount);
      continue;
    }
    xPutIndent(out, depth);
    xPutInt(out, time);
    xPutText(out, valueCount == 4 ? "; 4; " : "; 3; ");
    for (std::uint32_t j = 0; j < valueCount; ++j) {
      if (j > 0) xPutText(out, ", ");
      xPutFixed(out, values[j]);
    }
    xPutText(out, i + 1 < count ? ";;,\n" : ";;;\n");
  }
}

bool differs(const MotionKey& a, const MotionKey& b, int firstChannel) {
  for (int j = firstChannel; j < firstChannel + 3; ++j) {
    if (std::fabs(a.values[j] - b.values[j]) > kSameValue) return true;
  }
  return false;
}

// The Animation of one item; negative (message printed) when its samples are too many.
int writeItemAnimation(const ConversionContext& context, const LwScene& scene, std::int32_t position, XWriter& out,
                       int depth) {
  const LwObject& item = *scene.items[static_cast<std::size_t>(position)];
  if (item.motionKeys.empty()) return 0;
  const ItemMotion im(scene, item);
  std::vector<std::int32_t> frames;
  if (sampleFrames(scene, im, frames) < 0) {
    say(context.sink, "animation of %s too long: more than %zu samples\n", item.name.c_str(), kMaxSamplesPerItem);
    return -1;
  }

  KeySet rotation;
  KeySet scale;
  KeySet place;
  std::vector<MotionKey> kept;
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

  static const float kNoPivot[3] = {0.0f, 0.0f, 0.0f};
  const LwObject* parent = lwSceneItem(scene, item.parentIndex);
  const float* pivot = parent != nullptr ? parent->pivot : kNoPivot;
  const std::string name = "Animation" + std::to_string(position);
  xBeginObject(out, depth + 1, "Animation", name.c_str());
  xPutReference(out, depth + 2, frameName(context.options.framePrefix, item));
  const KeySet* sets[3] = {&rotation, &scale, &place};
  const int types[3] = {kKeyRotation, kKeyScale, kKeyPosition};
  for (int s = 0; s < 3; ++s) {
    if (!sets[s]->included) continue;
    xBeginObject(out, depth + 2, "AnimationKey", nullptr);
    writeKeySet(out, im, frames, kept, scene.firstFrame, pivot, types[s], sets[s]->everySample, depth + 3);
    xEndObject(out, depth + 2);
  }
  xEndObject(out, depth + 1);
  return 0;
}

// Depth-first along the parent tree from the item at `start`, with an explicit stack:
// parent chains can be thousands of items deep.
int writeSubtree(const ConversionContext& context, const LwScene& scene, const LwChildIndex& index,
                 std::vector<char>& visited, std::int32_t start, XWriter& out, int depth) {
  struct Visit {
    std::int32_t next;  // cursor into index.items
    std::int32_t end;
  };
  std::vector<Visit> stack;
  std::int32_t position = start;
  for (;;) {
    if (visited[static_cast<std::size_t>(position)] == 0) {
      visited[static_cast<std::size_t>(position)] = 1;
      const int r = writeItemAnimation(context, scene, position, out, depth);
      if (r < 0) return r;
      const std::size_t number = static_cast<std::size_t>(position) + 1;
      stack.push_back({index.first[number], index.first[number + 1]});
    }
    while (!stack.empty() && stack.back().next == stack.back().end) stack.pop_back();
    if (stack.empty()) return 0;
    position = index.items[static_cast<std::size_t>(stack.back().next++)];
  }
}

}  // namespace

int animationSampleFrames(const LwScene& scene, const LwObject& item, std::vector<std::int32_t>& frames) {
  const ItemMotion im(scene, item);
  return sampleFrames(scene, im, frames);
}

int writeAnimationSet(const ConversionContext& context, const LwScene& scene, XWriter& out, int depth) {
  sayText(context.sink, "writing animation...\n");
  // Count every item's samples before writing any, so that a scene too long to write
  // is refused at once.
  std::size_t total = 0;
  std::vector<std::int32_t> frames;
  for (const auto& item : scene.items) {
    if (item->motionKeys.empty()) continue;
    if (animationSampleFrames(scene, *item, frames) < 0) {
      say(context.sink, "animation of %s too long: more than %zu samples\n", item->name.c_str(), kMaxSamplesPerItem);
      return -1;
    }
    total += frames.size();
    if (total > kMaxSamplesPerScene) {
      say(context.sink, "animation too long: more than %zu samples in the scene\n", kMaxSamplesPerScene);
      return -1;
    }
  }
  xBeginObject(out, depth, "AnimationSet", "AnimationSet0");
  const LwChildIndex index = lwBuildChildIndex(scene);
  std::vector<char> visited(scene.items.size(), 0);
  for (std::int32_t i = index.first[0]; i < index.first[1]; ++i) {
    const int r = writeSubtree(context, scene, index, visited, index.items[static_cast<std::size_t>(i)], out, depth);
    if (r < 0) return r;
  }
  xEndObject(out, depth);
  return 0;
}

int writeAnimation(const ConversionContext& context, const LwScene& scene, int index, XWriter& out, int depth) {
  if (index < 0 || static_cast<std::size_t>(index) >= scene.items.size()) return 0;
  const LwChildIndex children = lwBuildChildIndex(scene);
  std::vector<char> visited(scene.items.size(), 0);
  return writeSubtree(context, scene, children, visited, index, out, depth);
}
