#include "model/scene.h"

#include <algorithm>
#include <cmath>

namespace torvo {

namespace {

constexpr double kDefaultFramesPerSecond = 30.0;

}  // namespace

void lwReleaseScene(LwScene& scene) {
  for (auto& item : scene.items) {
    if (item != nullptr) lwDisposeObject(*item);
  }
  scene.items.clear();
}

const float* lwPivotOf(const LwScene& scene, std::int32_t item) {
  return item != kNoItem ? lwSceneItem(scene, item)->pivot : kNoPivot;
}

LwChildIndex lwBuildChildIndex(const LwScene& scene) {
  const std::size_t count = scene.items.size();
  LwChildIndex index;
  index.first.assign(count + 2, 0);
  // Counting sort by parent keeps item order inside each group.
  for (const auto& item : scene.items) {
    if (!item->detached) ++index.first[static_cast<std::size_t>(item->parentItem + 1) + 1];
  }
  for (std::size_t p = 1; p < index.first.size(); ++p) index.first[p] += index.first[p - 1];
  index.items.resize(static_cast<std::size_t>(index.first.back()));
  std::vector<std::int32_t> fill(index.first.begin(), index.first.end() - 1);
  for (std::size_t i = 0; i < count; ++i) {
    const LwObject& item = *scene.items[i];
    if (!item.detached) {
      index.items[static_cast<std::size_t>(fill[static_cast<std::size_t>(item.parentItem + 1)]++)] = static_cast<std::int32_t>(i);
    }
  }
  return index;
}

double lwFrameTime(const LwScene& scene, long long frame) {
  const double rate = scene.framesPerSecond;
  return static_cast<double>(frame) / (std::isfinite(rate) && rate > 0.0 ? rate : kDefaultFramesPerSecond);
}

bool lwItemMoves(const LwObject& item) {
  return item.motionKeys.size() > 1 ||
         std::any_of(item.channels.begin(), item.channels.end(), [](const LwEnvelope& e) { return e.keys.size() > 1; });
}

}  // namespace torvo
