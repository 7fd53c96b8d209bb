// What the code under test runs with and prints: each test builds its own context, whose
// sink records the printed text for the test, so no test leans on another's state.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/context.h"
#include "anim/sampling.h"
#include "app/pipeline.h"
#include "geometry/geometry.h"
#include "lws/scene_reader.h"

// Tests give options as designated initializers, {.noNormals = 1}, leaving the rest at their defaults on purpose.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

using namespace torvo;

namespace testsupport {

// A sink appending every piece it is given to `printed`, in order.
inline MessageSink recordingSink(std::string& printed) {
  MessageSink sink;
  sink.write = [](void* user, const char* text, std::size_t size) {
    static_cast<std::string*>(user)->append(text, size);
  };
  sink.user = &printed;
  return sink;
}

// One test's conversion: its context with these options and lw.cfg directories, and
// what it printed. The sink points into the run, so a run is never copied.
struct TestRun {
  std::string printed;
  ConversionContext context;
  explicit TestRun(const ConvertOptions& options = {}, const LwConfig& config = {}) {
    context.options = options;
    context.config = config;
    context.sink = recordingSink(printed);
  }
  TestRun(const TestRun&) = delete;
  TestRun& operator=(const TestRun&) = delete;
};

// lw.cfg directories naming only the content directory.
inline LwConfig contentAt(const std::string& directory) {
  LwConfig config;
  config.contentDirectory = directory;
  return config;
}

// A stream holding the bytes, positioned at its start; the caller closes it.
inline std::FILE* streamOf(const std::string& bytes) {
  std::FILE* f = std::tmpfile();
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::rewind(f);
  return f;
}

// Reads the text as a scene (with camera and lights when asked) under the content directory given; what the
// reader printed goes to `printed` when asked for.
inline Status readScene(LwScene& scene, const std::string& text, std::string* printed = nullptr, bool cameraAndLights = false,
                        const std::string& content = "") {
  TestRun run({.cameraFrame = cameraAndLights, .lightFrames = cameraAndLights}, contentAt(content));
  const Status r = lwReadScene(scene, text, run.context, fileObjectSource(), lwPrepareObjectFor);
  if (ok(r)) lwSettleScene(scene);
  if (printed != nullptr) *printed = run.printed;
  return r;
}

// A motion key at a frame: position, heading, neutral scale.
inline MotionKey motionKey(int frame, double x, double h = 0, int linear = 0, double y = 0, double z = 0) {
  MotionKey k;
  k.frame = frame;
  k.linear = linear;
  k.values[kPosX] = x;
  k.values[kPosY] = y;
  k.values[kPosZ] = z;
  k.values[kHeading] = h;
  k.values[kScaleX] = 1.0;
  k.values[kScaleY] = 1.0;
  k.values[kScaleZ] = 1.0;
  return k;
}

// A scene item built in memory, as the scene reader leaves it.
inline LwObject& addItem(LwScene& scene, const std::string& name, std::vector<MotionKey> keys, std::int32_t parent = kNoItem) {
  LwObject& item = *scene.items.emplace_back(std::make_unique<LwObject>());
  item.name = name;
  item.parentItem = parent;
  item.motionKeys = std::move(keys);
  return item;
}

}  // namespace testsupport
