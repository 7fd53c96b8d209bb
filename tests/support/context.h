// What the code under test takes from outside its arguments (the conversion options,
// the lw.cfg directories) and what it prints: tests reach them only through here.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/lwcfg.h"
#include "app/options.h"
#include "lws/scene.h"

// Tests give options as designated initializers, {.noNormals = 1}, leaving the rest at their defaults on purpose.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace testsupport {

// Runs body with these options and lw.cfg directories in force; the defaults return after.
template <class Body>
decltype(auto) withOptions(const ConvertOptions& set, Body&& body, const LwConfig& config = {}) {
  struct Restore {
    ~Restore() { options() = {}, lwConfig() = {}; }
  } restore;
  options() = set; lwConfig() = config;
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
