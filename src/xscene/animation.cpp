#include "xscene/animation.h"

#include <cstdio>
#include <span>
#include <string>
#include <vector>

#include "ready/items.h"
#include "ready/names.h"

namespace torvo {

namespace {

void writeKeySet(XWriter& out, const ItemTrack& track, int type, int depth) {
  const std::vector<std::int32_t>& frames = track.frames;
  const std::size_t count = track.sets[type].everySample ? frames.size() : 1;
  const std::uint32_t valueCount = type == kKeyRotation ? 4 : 3;
  xBeginList(out, kTokenIntegerList, 2);
  xPutRowIndent(out, depth);
  xPutListInt(out, type);
  xPutMark(out, ";\n");
  xPutRowIndent(out, depth);
  xPutListInt(out, static_cast<long long>(count));
  xPutMark(out, ";\n");
  for (std::size_t i = 0; i < count; ++i) {
    double values[4];
    animTrackValues(track, i, type, values);
    // Time and value count, then the values: two lists in binary, one line in text.
    xBeginList(out, kTokenIntegerList, 2);
    xPutRowIndent(out, depth);
    xPutListInt(out, frames[i] - track.firstFrame);
    xPutMark(out, "; ");
    xPutListInt(out, valueCount);
    xPutMark(out, "; ");
    xBeginList(out, kTokenFloatList, valueCount);
    for (std::uint32_t j = 0; j < valueCount; ++j) {
      if (j > 0) xPutMark(out, ", ");
      xPutListFloat(out, values[j]);
    }
    xPutMark(out, i + 1 < count ? ";;,\n" : ";;;\n");
  }
}

// The Animation of one item; kBadInput (message printed) when its samples are too many.
Status writeItemAnimation(const ConversionContext& context, const LwScene& scene, std::int32_t position, XWriter& out,
                          int depth) {
  const LwObject& item = *scene.items[static_cast<std::size_t>(position)];
  if (item.motionKeys.empty()) return Status::kOk;
  ItemTrack track;
  const Status ready = readyTrack(context, scene, static_cast<std::size_t>(position), track);
  if (!ok(ready)) return ready;
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
  return Status::kOk;
}

// Depth-first along the parent tree from the top level, with an explicit stack: parent
// chains can be thousands of items deep. Items in a parent cycle are never reached.
Status writeTree(const ConversionContext& context, const LwScene& scene, XWriter& out, int depth) {
  const LwChildIndex index = lwBuildChildIndex(scene);
  struct Visit {
    std::span<const std::int32_t> children;
    std::size_t next;
  };
  std::vector<Visit> stack;
  stack.push_back({lwChildren(index, kNoItem), 0});
  while (!stack.empty()) {
    Visit& top = stack.back();
    if (top.next == top.children.size()) {
      stack.pop_back();
      continue;
    }
    const std::int32_t position = top.children[top.next++];
    const Status written = writeItemAnimation(context, scene, position, out, depth);
    if (!ok(written)) return written;
    stack.push_back({lwChildren(index, position), 0});
  }
  return Status::kOk;
}

}  // namespace

Status writeAnimationSet(const ConversionContext& context, const LwScene& scene, XWriter& out, int depth) {
  report(context.sink, Message::kWritingAnimation);
  const Status ready = readyAnimation(context, scene);
  if (!ok(ready)) return ready;
  xBeginObject(out, depth, "AnimationSet", "AnimationSet0");
  const Status written = writeTree(context, scene, out, depth);
  if (!ok(written)) return written;
  xEndObject(out, depth);
  return Status::kOk;
}

}  // namespace torvo
