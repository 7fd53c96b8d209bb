// Shared helpers of the object reader tests: build and load bytes in memory, look at corners.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "lwbuild.h"
#include "lwo/object.h"

namespace lwotest {

using lwbuild::Bytes;
using lwbuild::Geometry;
using lwbuild::LwobBuilder;
using lwbuild::sub;
using lwbuild::subColor;
using lwbuild::subFloat;
using lwbuild::subString;
using lwbuild::subU16;
using lwbuild::subVec;
using lwbuild::uvSphere;
using Ids = std::vector<std::uint32_t>;

inline Ids polygonsOf(const LwObject& object, std::uint32_t vertex) {
  const auto list = lwVertexPolygons(object, vertex);
  return Ids(list.begin(), list.end());
}

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
  loaded.result =
      lwLoadObjectFromMemory(loaded.object, bytes.data(), bytes.size(), 0, doNormals, doTexCoords, wrapSeams);
  loaded.out = testing::internal::GetCapturedStdout();
  return loaded;
}

// Without normals and texture coordinates: the reader alone.
inline Loaded loadPlain(const Bytes& bytes) { return load(bytes, false, false); }

// SRFS, PNTS and POLS chunks in that order; SURF chunks may follow.
inline LwobBuilder object(const std::vector<std::string>& surfaces, const std::vector<float>& xyz,
                          const std::vector<LwobBuilder::Polygon>& polygons) {
  return LwobBuilder().surfaces(surfaces).points(xyz).polygons(polygons);
}

inline Ids corners(const LwObject& o, std::size_t polygon) {
  const LwPolygon& p = o.polygons.at(polygon);
  return Ids(o.indices.begin() + p.firstIndex, o.indices.begin() + p.firstIndex + p.cornerCount);
}

inline Ids cornerNormals(const LwObject& o, std::size_t polygon) {
  const LwPolygon& p = o.polygons.at(polygon);
  return Ids(o.cornerNormals.begin() + p.firstIndex, o.cornerNormals.begin() + p.firstIndex + p.cornerCount);
}

inline std::vector<std::string> surfaceNames(const LwObject& o) {
  std::vector<std::string> names;
  for (const LwSurface& s : o.surfaces) names.push_back(s.name);
  return names;
}

// A unit square in the z = 0 plane on points 0..3.
inline std::vector<float> squarePoints() { return {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0}; }

}  // namespace lwotest
