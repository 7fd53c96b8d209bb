#include "xscene/animation.h"

#include <cstdio>
#include <string>

#include "anim/sampling.h"
#include "xscene/names.h"

namespace {

void writeKeySet(XWriter& out, const ItemTrack& track, int type, int depth) {
  const std::vector<std::int32_t>& frames = track.frames;
  const std::size_t count = track.sets[type].everySample ? frames.size() : 1;
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
    const long long time = frames[i] - track.firstFrame;
    double values[4];
    animTrackValues(track, i, type, values);
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

// The Animation of one item; negative (message printed) when its samples are too many.
int writeItemAnimation(const ConversionContext& context, const LwScene& scene, std::int32_t position, XWriter& out,
                       int depth) {
  const LwObject& item = *scene.items[static_cast<std::size_t>(position)];
  if (item.motionKeys.empty()) return 0;
  ItemTrack track;
  if (animSampleTrack(scene, item, track) < 0) {
    say(context.sink, "animation of %s too long: more than %zu samples\n", item.name.c_str(), kMaxSamplesPerItem);
    return -1;
  }
  const std::string name = "Animation" + std::to_string(position);
  xBeginObject(out, depth + 1, "Animation", name.c_str());
  xPutReference(out, depth + 2, xName(frameName(context.options.framePrefix, item), out.binary, out.codePage));
  for (int type = kKeyRotation; type < kKeyTypes; ++type) {
    if (!track.sets[type].included) continue;
    xBeginObject(out, depth + 2, "AnimationKey", nullptr);
    writeKeySet(out, track, type, depth + 3);
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
