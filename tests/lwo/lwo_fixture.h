// Shared helpers of the object reader and geometry tests: load bytes in memory, look at what was read.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "lwbuild.h"
#include "geometry/geometry.h"
#include "lwo/reader.h"
#include "support/context.h"

using namespace torvo;

namespace lwotest {

using namespace lwbuild;
using Ids = std::vector<std::uint32_t>;

inline Ids polygonsOf(const LwObject& object, std::uint32_t vertex) {
  const auto list = lwVertexPolygons(object, vertex);
  return Ids(list.begin(), list.end());
}

struct Loaded { LwObject object; int result = 0; std::string out; };  // out: everything the reader and the steps printed

// Reads the object (the layer given, or all) and runs the geometry steps, as a conversion does.
inline Loaded load(const Bytes& bytes, bool doNormals = true, bool doTexCoords = true, bool wrapSeams = false,
                   double dissolve = 0.0, int indent = 0, int layer = kAllLayers) {
  Loaded l;
  l.object.dissolve = dissolve;
  const MessageSink sink = testsupport::recordingSink(l.out);
  l.result = ok(lwLoadObjectLayerFromMemory(l.object, bytes.data(), bytes.size(), indent, layer, sink)) ? 0 : -1;
  if (l.result == 0) lwPrepareObject(l.object, doNormals, doTexCoords, wrapSeams, sink);
  return l;
}

// Without normals and texture coordinates: the reader and the vertex links alone.
inline Loaded loadPlain(const Bytes& bytes) { return load(bytes, false, false); }

// SRFS, PNTS and POLS chunks in that order; SURF chunks may follow.
inline LwobBuilder object(const std::vector<std::string>& surfaces, const std::vector<float>& xyz,
                          const std::vector<LwobBuilder::Polygon>& polygons) {
  return LwobBuilder().surfaces(surfaces).points(xyz).polygons(polygons);
}

// The polygons as "corners/surface" with the normal-table entries of their corners when there are any.
inline std::string polygons(const LwObject& o) {
  std::string out;
  for (const LwPolygon& p : o.polygons) {
    std::string corners;
    std::string normals;
    for (std::int32_t k = 0; k < p.cornerCount; ++k) {
      if (k > 0) corners += ' ';
      corners += std::to_string(o.indices.at(p.firstIndex + k));
      if (o.cornerNormals.empty()) continue;
      normals += ' ';
      normals += std::to_string(o.cornerNormals.at(p.firstIndex + k));
    }
    if (!out.empty()) out += ", ";
    out += corners;
    out += '/';
    out += std::to_string(p.surface);
    if (!normals.empty()) out += " n";
    out += normals;
  }
  return out;
}

inline std::vector<std::string> surfaceNames(const LwObject& o) {
  std::vector<std::string> names;
  for (const LwSurface& s : o.surfaces) names.push_back(s.name);
  return names;
}

// A unit square in the z = 0 plane on points 0..3.
inline Ids corners(const LwObject& o, std::size_t polygon) {
  const LwPolygon& p = o.polygons.at(polygon);
  return Ids(o.indices.begin() + p.firstIndex, o.indices.begin() + p.firstIndex + p.cornerCount);
}

inline std::vector<float> squarePoints() { return {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0}; }

}  // namespace lwotest
