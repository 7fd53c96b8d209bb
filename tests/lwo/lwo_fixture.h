// Shared helpers of the object reader tests: load bytes in memory, look at corners.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "lwbuild.h"
#include "lwo/object.h"

namespace lwotest {

using lwbuild::Bytes;
using lwbuild::LwobBuilder;

struct Loaded {
  LwObject object;
  int result = 0;
  std::string out;  // everything the reader printed
};

inline Loaded load(const Bytes& bytes, bool doNormals = true, bool doTexCoords = true, bool wrapSeams = false,
                   double dissolve = 0.0) {
  Loaded loaded;
  loaded.object.dissolve = dissolve;
  testing::internal::CaptureStdout();
  loaded.result = lwLoadObjectFromMemory(loaded.object, bytes.data(), bytes.size(), 0, doNormals, doTexCoords,
                                         wrapSeams);
  loaded.out = testing::internal::GetCapturedStdout();
  return loaded;
}

inline std::vector<std::uint32_t> corners(const LwObject& o, std::size_t polygon) {
  const LwPolygon& p = o.polygons.at(polygon);
  return std::vector<std::uint32_t>(o.indices.begin() + p.firstIndex, o.indices.begin() + p.firstIndex + p.cornerCount);
}

inline std::vector<std::uint32_t> cornerNormals(const LwObject& o, std::size_t polygon) {
  const LwPolygon& p = o.polygons.at(polygon);
  return std::vector<std::uint32_t>(o.cornerNormals.begin() + p.firstIndex,
                                    o.cornerNormals.begin() + p.firstIndex + p.cornerCount);
}

// A unit square in the z = 0 plane on points 0..3 plus extra points as given.
inline std::vector<float> squarePoints() { return {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0}; }

}  // namespace lwotest
