#include "xscene/frames.h"

#include <cstdio>
#include <span>
#include <vector>

#include "core/options.h"
#include "ready/names.h"
#include "xscene/animation.h"
#include "xscene/mesh.h"
#include "xscene/skin.h"

namespace torvo {

namespace {

// The sixteen values column by column: the transpose, as .x frames use row vectors. In
// binary each column is a float list of its own.
void writeMatrix(XWriter& out, const Mat4& matrix, int depth) {
  for (int column = 0; column < 4; ++column) {
    xBeginList(out, kTokenFloatList, 4);
    xPutRowIndent(out, depth);
    for (int row = 0; row < 4; ++row) {
      if (row > 0) xPutMark(out, ",");
      xPutListFloat(out, matrix.m[row][column]);
    }
    xPutMark(out, column < 3 ? ",\n" : ";;\n");
  }
}

// Writes one item, made ready, up to its children: frame header and matrix, and mesh.
void writeItem(const ConversionContext& context, const MaterialTable& table, const LwObject& item,
               const ReadyItem& ready, XWriter& out, int depth) {
  const ConvertOptions& opts = context.options;
  report(context.sink, Message::kIndent, static_cast<std::size_t>(depth));
  if (ready.framed) {
    if (opts.framePrefix.empty()) {
      report(context.sink, Message::kFrameName, item.name);
    } else {
      report(context.sink, Message::kPrefixedFrameName, opts.framePrefix, item.name);
    }
    xPutMark(out, "\n");
    const std::string name = xName(frameName(opts.framePrefix, item), out.binary, out.codePage);
    xBeginObject(out, depth, "Frame", name.c_str());
    xBeginObject(out, depth + 1, "FrameTransformMatrix", nullptr);
    writeMatrix(out, ready.matrix, depth + 2);
    xEndObject(out, depth + 1);
  }
  writeMesh(context, table, item, ready.mesh, out, depth + 1, ready.skinned ? &ready.skin : nullptr);
  report(context.sink, Message::kLineEnd);
}

// The TopFrame around what `body` writes, unless -m.
template <typename Body>
void inTopFrame(const ConversionContext& context, XWriter& out, Body body) {
  const bool framed = context.options.meshesOnly == 0;
  if (framed) {
    report(context.sink, Message::kTopFrame);
    xPutMark(out, "\n");
    xBeginObject(out, 0, "Frame", "TopFrame");
  }
  body();
  if (framed) xEndObject(out, 0);
}

}  // namespace

Status writeScene(const ConversionContext& context, const MaterialTable& table, SceneFeed& feed, XWriter& out) {
  const LwScene& scene = *feed.scene;
  writeMaterials(table, 0, out, 0);
  warnShortenedNames(context, table, &scene, nullptr, out.binary);
  if (context.options.topFrame != 0) {
    inTopFrame(context, out, [&] { writeFrames(context, table, feed, out, 1); });
  } else {
    writeFrames(context, table, feed, out, 0);
  }
  if (!animationWritten(context, scene)) return Status::kOk;
  return writeAnimationSet(context, scene, out, 0);
}

void writeFrames(const ConversionContext& context, const MaterialTable& table, SceneFeed& feed, XWriter& out,
                 int depth) {
  const LwScene& scene = *feed.scene;
  const LwChildIndex index = lwBuildChildIndex(scene);
  // An explicit stack instead of one call per level: parent chains can be thousands
  // deep. The same visit order as walking children recursively. Items in a parent cycle
  // are never reached from the top level.
  struct Visit {
    std::span<const std::int32_t> children;  // of the item whose children are being written
    std::size_t next;
    int depth;    // depth of those children
    bool framed;  // the parent's frame is open
  };
  std::vector<Visit> stack;
  stack.push_back({lwChildren(index, kNoItem), 0, depth, false});
  while (!stack.empty()) {
    Visit& top = stack.back();
    if (top.next == top.children.size()) {
      if (top.framed) xEndObject(out, top.depth - 1);
      stack.pop_back();
      continue;
    }
    const std::int32_t child = top.children[top.next++];
    const int childDepth = top.depth;
    const std::size_t position = static_cast<std::size_t>(child);
    const ReadyItem& ready = readyItem(feed, position);
    writeItem(context, table, *scene.items[position], ready, out, childDepth);
    const bool framed = ready.framed;
    itemWritten(feed, position);
    stack.push_back({lwChildren(index, child), 0, childDepth + 1, framed});
  }
}

void writeObjectTopFrame(const ConversionContext& context, const MaterialTable& table, const LwObject& object,
                        const ReadyMesh& mesh, XWriter& out) {
  inTopFrame(context, out, [&] {
    writeMesh(context, table, object, mesh, out, 1);
    report(context.sink, Message::kLineEnd);
  });
}

}  // namespace torvo
