// In-memory model of a LightWave scene: its items in creation order and its frame range.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "model/object.h"

namespace torvo {

struct LwScene {
  std::vector<std::unique_ptr<LwObject>> items;  // creation order; item n is items[n-1]
  std::int32_t firstFrame = 0;
  std::int32_t lastFrame = 0;
  double framesPerSecond = 30.0;
};

void lwReleaseScene(LwScene& scene);

// The item named by a 1-based number, or null when the number names no item.
LwObject* lwSceneItem(const LwScene& scene, std::int32_t number);

// Items grouped by parent, built once per walk of the item tree: the 0-based positions
// of the children of parent number p (0 = top level) are items[first[p] .. first[p+1]),
// in item order. Items whose parentIndex names no item belong to no group.
struct LwChildIndex {
  std::vector<std::int32_t> first;  // item count + 2 entries
  std::vector<std::int32_t> items;
};
LwChildIndex lwBuildChildIndex(const LwScene& scene);

// Seconds at a frame, for envelopes (a rate that is no positive number counts as 30).
double lwFrameTime(const LwScene& scene, long long frame);
// True when the item's motion changes: more than one key in its keys or a channel.
bool lwItemMoves(const LwObject& item);

}  // namespace torvo
