#include "xscene/frames.h"

#include <cstdio>
#include <vector>

#include "core/options.h"
#include "model/xform.h"
#include "xfile/header.h"
#include "xscene/animation.h"
#include "xscene/mesh.h"
#include "xscene/names.h"
#include "xscene/skin.h"

namespace {

// The sixteen values column by column: the transpose, as .x frames use row vectors.
void writeMatrix(XWriter& out, const Mat4& matrix, int depth) {
  for (int column = 0; column < 4; ++column) {
    if (out.binary) {
      const float values[4] = {static_cast<float>(matrix.m[0][column]), static_cast<float>(matrix.m[1][column]),
                               static_cast<float>(matrix.m[2][column]), static_cast<float>(matrix.m[3][column])};
      xPutFloatList(out, values, 4);
      continue;
    }
    xPutIndent(out, depth);
    for (int row = 0; row < 4; ++row) {
      if (row > 0) xPutChar(out, ',');
      xPutFixed(out, matrix.m[row][column]);
    }
    xPutText(out, column < 3 ? ",\n" : ";;\n");
  }
}

// Writes one item up to its children: frame header and matrix, mesh, release.
// True when the item got a frame that its children go into.
bool writeItem(const ConversionContext& context, MaterialTable& table, LwScene& scene, XWriter& out,
               std::int32_t position, int depth) {
  const ConvertOptions& opts = context.options;
  LwObject& item = *scene.items[static_cast<std::size_t>(position)];
  MeshSkin skin;
  const bool deformed = lwMeshIsSkinned(context, scene, static_cast<std::size_t>(position));
  if (deformed) lwLayOutSkinnedMesh(item, opts.noNormals == 0);
  const bool skinned = deformed && buildMeshSkin(context, scene, static_cast<std::size_t>(position), skin);
  say(context.sink, "%*s", depth, "");
  const bool framed = opts.meshesOnly == 0 && item.dissolve < 1.0;
  if (framed) {
    if (opts.framePrefix.empty()) {
      say(context.sink, "Frame%s : ", item.name.c_str());
    } else {
      say(context.sink, "%s%s", opts.framePrefix.c_str(), item.name.c_str());
    }
    if (!out.binary) xPutChar(out, '\n');
    const std::string name = xName(frameName(opts.framePrefix, item), out.binary, out.codePage);
    xBeginObject(out, depth, "Frame", name.c_str());
    xBeginObject(out, depth + 1, "FrameTransformMatrix", nullptr);
    Mat4 matrix;  // identity for an item without keys
    if (!item.motionKeys.empty()) {
      static const float kNoPivot[3] = {0.0f, 0.0f, 0.0f};
      const LwObject* parent = lwSceneItem(scene, item.parentIndex);
      const float* pivot = parent != nullptr ? parent->pivot : kNoPivot;
      matrix = item.bone.owner > 0 ? lwBonePoseMatrix(item.bone, item.motionKeys[0], pivot)
                                   : itemMatrix(item.motionKeys[0], pivot);
    }
    writeMatrix(out, matrix, depth + 2);
    xEndObject(out, depth + 1);
  }
  writeMesh(context, table, item, out, depth + 1, skinned ? &skin : nullptr);
  lwReleaseObject(item);
  sayText(context.sink, "\n");
  return framed;
}

}  // namespace

unsigned sceneTemplates(const ConversionContext& context, const LwScene& scene) {
  unsigned extras = lwSceneHasSkin(context, scene) ? unsigned{kTemplatesSkin} : 0u;
  for (const auto& item : scene.items)
    extras |= meshWritten(*item) && meshHasVertexColors(*item) ? kTemplatesVertexColors : 0u;
  return extras;
}

void warnShortenedNames(const ConversionContext& context, const MaterialTable& table, const LwScene* scene,
                        const LwObject* object, bool binary) {
  const ConvertOptions& opts = context.options;
  std::vector<std::string> shortened = table.shortened;
  auto note = [&](const LwObject& item, bool framed) {
    if (framed && opts.meshesOnly == 0 && item.dissolve < 1.0)
      noteName(shortened, frameName(opts.framePrefix, item), binary, context.codePage);
    if (meshWritten(item)) noteName(shortened, meshName(opts.framePrefix, item), binary, context.codePage);
  };
  if (scene != nullptr) {
    for (const auto& item : scene->items) note(*item, true);
  }
  if (object != nullptr) note(*object, false);
  sayShortenedNames(context.sink, shortened, binary, context.codePage);
}

int writeScene(const ConversionContext& context, MaterialTable& table, LwScene& scene, XWriter& out) {
  const ConvertOptions& opts = context.options;
  for (auto& item : scene.items) collectMaterials(context, table, *item, out, 0);
  warnShortenedNames(context, table, &scene, nullptr, out.binary);
  if (opts.topFrame != 0) {
    writeTopFrame(context, table, &scene, nullptr, out);
  } else {
    writeFrames(context, table, scene, out, 0, 0);
  }
  if (opts.noAnimation != 0 || opts.meshesOnly != 0) return 0;
  bool moves = false;
  for (const auto& item : scene.items) moves = moves || lwItemMoves(*item);
  if (moves) {
    const int r = writeAnimationSet(context, scene, out, 0);
    if (r < 0) return r;
  }
  return 0;
}

int writeFrames(const ConversionContext& context, MaterialTable& table, LwScene& scene, XWriter& out,
                int parentNumber, int depth) {
  const std::size_t count = scene.items.size();
  if (parentNumber < 0 || static_cast<std::size_t>(parentNumber) > count) return 1;
  const LwChildIndex index = lwBuildChildIndex(scene);

  // An explicit stack instead of one call per level: parent chains can be thousands
  // deep. The same visit order as walking children recursively.
  struct Visit {
    std::int32_t parentNumber;  // whose children are being written
    std::int32_t next;          // cursor into index.items
    int depth;                  // depth of those children
    bool framed;                // the parent's frame is open
  };
  std::vector<char> visited(count, 0);
  if (parentNumber > 0) visited[static_cast<std::size_t>(parentNumber) - 1] = 1;
  std::vector<Visit> stack;
  stack.push_back({parentNumber, index.first[static_cast<std::size_t>(parentNumber)], depth, false});
  while (!stack.empty()) {
    Visit& top = stack.back();
    if (top.next == index.first[static_cast<std::size_t>(top.parentNumber) + 1]) {
      if (top.framed) xEndObject(out, top.depth - 1);
      stack.pop_back();
      continue;
    }
    const std::int32_t child = index.items[static_cast<std::size_t>(top.next++)];
    // Parent cycles are never reached from the top level; from inside one, stop.
    if (visited[static_cast<std::size_t>(child)] != 0) continue;
    visited[static_cast<std::size_t>(child)] = 1;
    const int childDepth = top.depth;
    const bool framed = writeItem(context, table, scene, out, child, childDepth);
    stack.push_back({child + 1, index.first[static_cast<std::size_t>(child) + 1], childDepth + 1, framed});
  }
  return 1;
}

int writeTopFrame(const ConversionContext& context, MaterialTable& table, LwScene* scene, LwObject* object,
                  XWriter& out) {
  const bool framed = context.options.meshesOnly == 0;
  if (framed) {
    sayText(context.sink, "TopFrame\n");
    if (!out.binary) xPutChar(out, '\n');
    xBeginObject(out, 0, "Frame", "TopFrame");
  }
  if (object != nullptr) {
    writeMesh(context, table, *object, out, 1);
    sayText(context.sink, "\n");
    lwReleaseObject(*object);
  } else if (scene != nullptr) {
    writeFrames(context, table, *scene, out, 0, 1);
  }
  if (framed) xEndObject(out, 0);
  return 1;
}
