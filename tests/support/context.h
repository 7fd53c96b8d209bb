// The conversion context the code under test runs with (options, lw.cfg directories,
// code page) and what it prints: tests reach them only through here.
#pragma once

#include <gtest/gtest.h>

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

// Messages go to standard output, where console() catches them.
inline MessageSink stdoutSink() {
  MessageSink sink;
  sink.write = [](void*, const char* text, std::size_t size) { std::fwrite(text, 1, size, stdout); };
  return sink;
}

// The context of the test that runs: default options unless withOptions says otherwise.
inline ConversionContext& ctx() {
  static ConversionContext context = [] {
    ConversionContext c;
    c.sink = stdoutSink();
    return c;
  }();
  return context;
}

// The test's context with the scene reader's camera and light switches set.
inline ConversionContext sceneContext(bool camera, bool lights) {
  ConversionContext c = ctx();
  c.options.cameraFrame = camera, c.options.lightFrames = lights;
  return c;
}

// Runs body with these options and lw.cfg directories in the test's context; the defaults return after.
template <class Body>
decltype(auto) withOptions(const ConvertOptions& set, Body&& body, const LwConfig& config = {}) {
  struct Restore {
    ~Restore() { ctx().options = {}, ctx().config = {}; }
  } restore;
  ctx().options = set; ctx().config = config;
  return body();
}

// lw.cfg directories naming only the content directory.
inline LwConfig contentAt(const std::string& directory) {
  LwConfig config; config.contentDirectory = directory;
  return config;
}

// Runs body and returns what it printed on the console.
template <class Body>
std::string console(Body&& body) {
  testing::internal::CaptureStdout(); body();
  return testing::internal::GetCapturedStdout();
}

// A stream holding the bytes, positioned at its start; the caller closes it.
inline std::FILE* streamOf(const std::string& bytes) {
  std::FILE* f = std::tmpfile(); std::fwrite(bytes.data(), 1, bytes.size(), f); std::rewind(f);
  return f;
}

// Reads the text as a scene (with camera and lights when asked) under the content directory given; what the
// reader printed goes to `printed` when asked for.
inline Status readScene(LwScene& scene, const std::string& text, std::string* printed = nullptr,
                        bool cameraAndLights = false, const std::string& content = "") {
  ConversionContext c = sceneContext(cameraAndLights, cameraAndLights);
  Status r = Status::kOk;
  c.config.contentDirectory = content;
  const std::string out = console([&] {
    r = lwReadScene(scene, text, c, fileObjectSource(), lwPrepareObjectFor);
    if (ok(r)) lwSettleScene(scene);
  });
  if (printed != nullptr) *printed = out;
  return r;
}

// A motion key at a frame: position, heading, neutral scale.
inline MotionKey motionKey(int frame, double x, double h = 0, int linear = 0, double y = 0, double z = 0) {
  MotionKey k; k.frame = frame, k.linear = linear; k.values[kPosX] = x, k.values[kPosY] = y, k.values[kPosZ] = z, k.values[kHeading] = h;
  k.values[kScaleX] = k.values[kScaleY] = k.values[kScaleZ] = 1.0;
  return k;
}

// A scene item built in memory, as the scene reader leaves it.
inline LwObject& addItem(LwScene& scene, const std::string& name, int parent, std::vector<MotionKey> keys) {
  scene.items.push_back(std::make_unique<LwObject>()); LwObject& item = *scene.items.back();
  item.name = name, item.parentIndex = parent, item.motionKeys = std::move(keys);
  return item;
}

}  // namespace testsupport
