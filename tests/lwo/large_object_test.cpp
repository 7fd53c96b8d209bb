// Objects past the 16-bit limits: normal tables and split vertices above 65,536 entries.
#include <cmath>

#include "lwo_fixture.h"

using namespace lwotest;

namespace {

constexpr unsigned kSegments = 256;
constexpr unsigned kBands = 255;
constexpr unsigned kPoints = 2 + (kBands - 1) * kSegments;  // 65,026: fits the file's 16-bit indices
constexpr unsigned kPolygons = kSegments * kBands;          // 65,280

// A unit UV sphere, whose pole triangles are tiny; with checkered set, neighbouring
// polygons alternate between surfaces 1 and 2.
Bytes sphere(bool checkered) {
  const Geometry g = uvSphere(kSegments, kBands, 1.0, [checkered](unsigned band, unsigned s) {
    return checkered ? 1 + static_cast<int>((band + s) % 2) : 1;
  });
  return LwobBuilder()
      .surfaces({"North", "South"})
      .points(g.points)
      .polygons(g.polygons)
      .surface("North", {subU16("FLAG", 0x0004), subString("CTEX", "Planar Image Map"), subU16("TFLG", 2)})
      .surface("South", {subU16("FLAG", 0x0004), subString("CTEX", "Planar Image Map"), subU16("TFLG", 2),
                         subVec("TCTR", 10, 0, 0)})
      .bytes();
}

void expectConsistent(const LwObject& o) {
  ASSERT_EQ(o.cornerNormals.size(), o.indices.size());
  for (std::uint32_t entry : o.cornerNormals) ASSERT_LT(entry, o.normals.size());
  for (std::uint32_t vertex : o.indices) ASSERT_LT(vertex, o.vertices.size());
  for (const LwNormal& n : o.normals) ASSERT_GE(n.useCount, 0);
}

}  // namespace

TEST(LwoLargeObject, SmoothedSphereNeedsMoreThan65536Normals) {
  Loaded l = load(sphere(false));
  const LwObject& o = l.object;
  ASSERT_EQ(l.result, 0);
  EXPECT_EQ(l.out, " Normals Smoothing TextureCoords");
  ASSERT_EQ(o.points.size(), kPoints);
  ASSERT_EQ(o.polygons.size(), kPolygons);
  // One face normal per polygon, and one smoothed normal per point that every face there shares.
  ASSERT_EQ(o.normals.size(), std::size_t{kPolygons} + kPoints);
  EXPECT_EQ(o.vertices.size(), std::size_t{kPoints});
  expectConsistent(o);
  for (std::uint32_t p = 0; p < kPolygons; ++p) ASSERT_EQ(o.normals[p].useCount, 0) << p;
  // The last point's corners refer to the last entry, far above 65,535.
  const std::size_t lastCorner = o.polygons.back().firstIndex + 2;
  EXPECT_EQ(o.indices[lastCorner], kPoints - 1);
  EXPECT_EQ(o.cornerNormals[lastCorner], o.normals.size() - 1);
  EXPECT_EQ(o.normals.back().useCount, static_cast<std::int32_t>(kSegments));
  EXPECT_NEAR(o.normals.back().y, -1.0, 1e-6);
  // Every corner normal, at the poles too, points along the radius.
  for (std::size_t c = 0; c < o.indices.size(); ++c) {
    const LwPoint& p = o.points[o.vertices[o.indices[c]].point];
    const LwNormal& n = o.normals[o.cornerNormals[c]];
    ASSERT_GT(double{n.x} * p.x + double{n.y} * p.y + double{n.z} * p.z, 0.99999) << c;
  }
}

TEST(LwoLargeObject, TextureSplitsPassTheVertexLimit) {
  Loaded l = load(sphere(true));
  const LwObject& o = l.object;
  ASSERT_EQ(l.result, 0);
  ASSERT_EQ(o.normals.size(), std::size_t{kPolygons} + kPoints);
  // Every point meets polygons of both maps: one split copy each.
  ASSERT_EQ(o.vertices.size(), 2 * std::size_t{kPoints});
  expectConsistent(o);
  const LwVertex& lastSplit = o.vertices.back();
  EXPECT_EQ(lastSplit.nextSplit, o.vertices.size() - 1);
  EXPECT_EQ(lastSplit.hasUV, 1);
  EXPECT_EQ(o.vertices[lastSplit.point].nextSplit, o.vertices.size() - 1);
  // Each vertex's coordinates come from the map of every polygon that uses it.
  for (std::uint32_t p = 0; p < o.polygons.size(); ++p) {
    const LwPolygon& polygon = o.polygons[p];
    const double centre = polygon.surface == 1 ? 10.0 : 0.0;
    for (std::int32_t k = 0; k < polygon.cornerCount; ++k) {
      const LwVertex& v = o.vertices[o.indices[polygon.firstIndex + k]];
      ASSERT_EQ(v.u, 0.5 + (double{o.points[v.point].x} - centre)) << p;
    }
  }
}
