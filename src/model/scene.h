// In-memory model of a LightWave scene: its items in creation order and its frame range.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "model/object.h"

namespace torvo {

struct LwScene {
  std::vector<std::unique_ptr<LwObject>> items;  // creation order; item references are positions here
  std::int32_t firstFrame = 0;
  std::int32_t lastFrame = 0;
  double framesPerSecond = 30.0;
};

void lwReleaseScene(LwScene& scene);

// The item a reference names, or null for kNoItem.
inline LwObject* lwSceneItem(const LwScene& scene, std::int32_t item) {
  return item == kNoItem ? nullptr : scene.items[static_cast<std::size_t>(item)].get();
}

// The pivot of the item a reference names; the origin for kNoItem (the top level).
const float* lwPivotOf(const LwScene& scene, std::int32_t item);

// Items grouped by parent, built once per walk of the item tree, each group in item order.
// Detached items belong to no group.
struct LwChildIndex {
  std::vector<std::int32_t> first;  // by parent + 1 (0: the top level); item count + 2 entries
  std::vector<std::int32_t> items;
};
LwChildIndex lwBuildChildIndex(const LwScene& scene);
// The children of an item, or of the top level for kNoItem.
inline std::span<const std::int32_t> lwChildren(const LwChildIndex& index, std::int32_t parent) {
  const std::size_t group = static_cast<std::size_t>(parent + 1);
  return {index.items.data() + index.first[group], index.items.data() + index.first[group + 1]};
}

// Seconds at a frame, for envelopes (a rate that is no positive number counts as 30).
double lwFrameTime(const LwScene& scene, long long frame);
// True when the item's motion changes: more than one key in its keys or a channel.
bool lwItemMoves(const LwObject& item);

}  // namespace torvo
