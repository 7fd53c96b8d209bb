// Scene items built in memory for the frame and animation writer tests.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "lws/scene.h"

namespace testsupport {

inline LwObject& addItem(LwScene& scene, const std::string& name, int parent, std::vector<MotionKey> keys) {
  scene.items.push_back(std::make_unique<LwObject>());
  LwObject& item = *scene.items.back();
  item.name = name;
  item.parentIndex = parent;
  item.motionKeys = std::move(keys);
  return item;
}

}  // namespace testsupport
