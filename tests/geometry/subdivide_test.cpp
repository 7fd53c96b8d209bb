// Subdivision cages refined into the limit surface: counts, places, winding and normals,
// and the maps that come along (UV seams and modes, weights, morph shapes).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "lwo/lwo_fixture.h"

using namespace torvo;

using namespace lwotest;

namespace {

// Read and prepared as a conversion does, at a level.
LwObject refined(const Bytes& bytes, int level) {
  LwObject object;
  std::string printed;
  const MessageSink sink = testsupport::recordingSink(printed);
  if (ok(lwLoadObjectLayerFromMemory(object, bytes.data(), bytes.size(), 0, kAllLayers, sink)))
    lwPrepareObject(object, true, true, false, sink, level);
  return object;
}

double dot(const LwPoint& a, const float (&b)[3]) { return double{a.x} * b[0] + double{a.y} * b[1] + double{a.z} * b[2]; }

// The value a vertex map gives a point, 0 when it leaves the point out.
float mapValue(const LwObject& o, const char* name, std::uint32_t point, int index = 0) {
  for (const LwVertexMap& map : o.vertexMaps)
    if (map.name == name)
      if (const LwMapValue* v = lwFindMapValue(map.points, kNoPolygon, point)) return v->value[index];
  return 0.0f;
}

Bytes lonePatch(const char* type, unsigned uvMode = 0) {
  Lwo2Builder b;
  b.tags({"Skin"}).layer(0).points(squarePoints()).polygons({{0, 3, 2, 1}}, type).polygonTags({{0, 0}});
  Bytes mode;
  putBE32(mode, uvMode);
  putBE32(mode, 0);
  b.chunk("VMPA", mode).vertexMap("TXUV", "uv", 2, {{0, 0, {0, 0}}, {1, 0, {1, 0}}, {2, 0, {1, 1}}, {3, 0, {0, 1}}});
  return b.bytes();
}

}  // namespace

TEST(Subdivision, ClosedCubeCountsWindingAndNormals) {
  const struct {
    const char* type;
    int level;
    std::size_t faces;
    std::size_t points;
    double edgeGap = -1;
  } rows[] = {{"PTCH", 0, 6, 8}, {"PTCH", 1, 6, 8}, {"PTCH", 3, 54, 56}, {"PTCH", 5, 150, 152},
              {"SUBD", 1, 24, 26}, {"SUBD", 2, 96, 98}, {"SUBD", 3, 384, 386},
              // With the Edge Weight of 100 % on the edge from (-1, -1, -1) to (-1, 1, -1), the
              // surface comes within 0.21 of the edge's middle (the smooth cube: 0.55).
              {"SUBD", 3, 384, 386, 0.3}};
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.type) + " level " + std::to_string(row.level) + (row.edgeGap < 0 ? "" : " creased"));
    const LwObject o = refined(patchCube(row.type, row.edgeGap >= 0), row.level);
    EXPECT_EQ(o.polygons.size(), row.faces);
    EXPECT_EQ(o.points.size(), row.points);
    int inward = 0;
    for (const LwPolygon& p : o.polygons) {
      EXPECT_EQ(p.cornerCount, 4);
      for (std::int32_t k = 0; k < p.cornerCount; ++k) {
        const std::uint32_t corner = p.firstIndex + static_cast<std::uint32_t>(k);
        const LwPoint& at = o.points[o.vertices[o.indices[corner]].point];
        const LwNormal& n = o.normals[o.cornerNormals[corner]];
        const float normal[3] = {n.x, n.y, n.z};
        inward += dot(at, p.normal) <= 0.0 || dot(at, normal) <= 0.0;
      }
    }
    EXPECT_EQ(inward, 0);
    if (row.edgeGap < 0) continue;
    double gap = 2.0;
    for (const LwPoint& p : o.points) gap = std::min(gap, std::hypot(p.x + 1.0, double{p.y}, p.z + 1.0));
    EXPECT_LT(gap, row.edgeGap);
  }
}

TEST(Subdivision, LonePatchCornerLandsASixthInwards) {
  for (const char* type : {"PTCH", "SUBD"}) {
    SCOPED_TRACE(type);
    const LwObject o = refined(lonePatch(type), 3);
    ASSERT_FALSE(o.points.empty());
    // The refined point nearest the cage's corner (0, 0).
    LwPoint nearest = o.points[0];
    for (const LwPoint& p : o.points)
      if (std::hypot(p.x, p.y) < std::hypot(nearest.x, nearest.y)) nearest = p;
    EXPECT_NEAR(nearest.x, 1.0 / 6, 1e-6);
    EXPECT_NEAR(nearest.y, 1.0 / 6, 1e-6);
  }
}

TEST(Subdivision, ColourMapsKeepEveryChannel) {
  Lwo2Builder b;
  b.tags({"Skin"}).layer(0).points(squarePoints()).polygons({{0, 3, 2, 1}}, "PTCH").polygonTags({{0, 0}});
  std::vector<Lwo2Builder::MapEntry> rgb;
  std::vector<Lwo2Builder::MapEntry> rgba;
  for (std::uint32_t p = 0; p < 4; ++p) {
    rgb.push_back({p, 0, {0.1f, 0.2f, 0.3f}});
    rgba.push_back({p, 0, {0.4f, 0.5f, 0.6f, 0.7f}});
  }
  b.vertexMap("RGB ", "tint", 3, rgb).vertexMap("RGBA", "paint", 4, rgba);
  const LwObject o = refined(b.bytes(), 3);
  ASSERT_GT(o.points.size(), 4u);
  // Every refined point blends equal values, so each channel keeps its value.
  const struct {
    const char* map;
    int channel;
    float value;
  } rows[] = {{"tint", 0, 0.1f}, {"tint", 2, 0.3f}, {"paint", 0, 0.4f}, {"paint", 2, 0.6f}, {"paint", 3, 0.7f}};
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.map) + " channel " + std::to_string(row.channel));
    for (std::uint32_t p = 0; p < o.points.size(); ++p) {
      EXPECT_NEAR(mapValue(o, row.map, p, row.channel), row.value, 1e-5f) << "point " << p;
    }
  }
}

TEST(Subdivision, FacesBesidePatchesStayAsTheyAre) {
  Lwo2Builder b;
  std::vector<float> points = squarePoints();
  for (float& v : points) v += 5.0f;
  b.tags({"Skin", "Flat"}).layer(0).points(points).vertexMap("WGHT", "w", 1, {{2, 0, {0.5f}}});
  b.polygons({{0, 1, 2, 3}}).polygonTags({{0, 1}});
  b.points({0, 0, 0, 0, 1, 0, 1, 1, 0, 1, 0, 0}).polygons({{0, 1, 2, 3}}, "PTCH").polygonTags({{0, 0}});
  const LwObject cage = refined(b.bytes(), 0);
  const LwObject o = refined(b.bytes(), 2);
  ASSERT_EQ(o.polygons.size(), 5u);
  EXPECT_EQ(corners(o, 0), corners(cage, 0));  // the flat face comes first, as it was
  for (std::uint32_t k = 0; k < 4; ++k) {
    EXPECT_EQ(o.points[k].x, cage.points[k].x);
    EXPECT_EQ(o.points[k].y, cage.points[k].y);
  }
  EXPECT_EQ(mapValue(o, "w", 2), 0.5f);  // and keeps its map values
  // The patch's points, none of them in the map, get no value in it.
  const auto w = std::find_if(o.vertexMaps.begin(), o.vertexMaps.end(), [](const LwVertexMap& m) { return m.name == "w"; });
  ASSERT_NE(w, o.vertexMaps.end());
  EXPECT_EQ(w->points.size(), 1u);
  EXPECT_EQ(o.normals[o.cornerNormals[0]].z, cage.normals[cage.cornerNormals[0]].z);
}

TEST(Subdivision, ManyFlatFacesBesideOnePatchKeepItsLevel) {
  Lwo2Builder b;
  std::vector<float> points = squarePoints();
  for (float& v : points) v += 5.0f;
  b.tags({"Skin"}).layer(0).points(points).polygons({{0, 1, 2}, {0, 2, 3}, {1, 2, 3}, {0, 1, 3}, {0, 3, 2}});
  b.polygonTags({{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}});
  b.points(squarePoints()).polygons({{0, 1, 2, 3}}, "PTCH").polygonTags({{0, 0}});
  // Five faces as they are and the patch's 2 x 2 quads.
  EXPECT_EQ(refined(b.bytes(), 2).polygons.size(), 9u);
}

TEST(Subdivision, UvSeamsAndModes) {
  const struct {
    const char* what;
    Bytes bytes;
    int level;
    std::size_t splits;
    float cornerU;
  } rows[] = {
      // The seam round the cube's first face: 4 edges of 2 segments, each point split once.
      {"seam, linear", patchCube("PTCH", true, 0), 2, 8, -1},
      {"seam, smooth", patchCube("PTCH", true, 1), 2, 8, -1},
      // A lone quad's corner point: linear UVs keep the cage corner's (0, 0); smooth ones
      // move inwards with the surface.
      {"lone quad, linear", lonePatch("PTCH", 0), 3, 0, 0.0f},
      {"lone quad, smooth", lonePatch("PTCH", 1), 3, 0, 1.0f / 6},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    const LwObject o = refined(row.bytes, row.level);
    EXPECT_EQ(o.vertices.size() - o.points.size(), row.splits);
    if (row.cornerU < 0) continue;
    for (const LwVertex& v : o.vertices) {
      const LwPoint& p = o.points[v.point];
      if (std::hypot(p.x - 1.0 / 6, double{p.y} - 1.0 / 6) < 1e-6) {
        EXPECT_NEAR(v.u, row.cornerU, 1e-5);
      }
    }
  }
}

TEST(Subdivision, WeightsStayPartitionsAndMorphsStayLinear) {
  const LwObject o = refined(patchCube("PTCH", true), 3);
  ASSERT_EQ(o.points.size(), 56u);
  for (std::uint32_t p = 0; p < o.points.size(); ++p) {
    SCOPED_TRACE(p);
    const float low = mapValue(o, "Low", p);
    const float high = mapValue(o, "High", p);
    EXPECT_GE(low, 0.0f);
    EXPECT_GE(high, 0.0f);
    EXPECT_NEAR(low + high, 1.0f, 1e-5f);
  }
  // Subdivision is linear in the cage: the refined halfway shape is halfway between the refined shapes.
  const LwObject rest = refined(patchCube("PTCH"), 3);
  const LwObject half = refined(patchCube("PTCH", false, 0, 0.25f), 3);
  const LwObject full = refined(patchCube("PTCH", false, 0, 0.5f), 3);
  ASSERT_EQ(half.points.size(), rest.points.size());
  ASSERT_EQ(full.points.size(), rest.points.size());
  for (std::size_t p = 0; p < rest.points.size(); ++p) {
    SCOPED_TRACE(p);
    EXPECT_NEAR(half.points[p].x, (rest.points[p].x + full.points[p].x) / 2, 1e-5f);
    EXPECT_NEAR(half.points[p].z, (rest.points[p].z + full.points[p].z) / 2, 1e-5f);
  }
}
