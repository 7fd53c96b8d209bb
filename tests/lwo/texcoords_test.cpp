// Texture coordinates: the four projections, seams, scaling and vertex splits.
#include <cmath>

#include "lwo_fixture.h"

using namespace lwotest;
using lwbuild::subFloat;
using lwbuild::subString;
using lwbuild::subU16;
using lwbuild::subVec;

namespace {

constexpr double kEps = 1e-6;

std::vector<lwbuild::SubChunk> mapping(const char* kind, unsigned axis, std::vector<lwbuild::SubChunk> more = {}) {
  std::vector<lwbuild::SubChunk> subs = {subString("CTEX", kind)};
  if (axis != 0) subs.push_back(subU16("TFLG", axis));
  subs.insert(subs.end(), more.begin(), more.end());
  return subs;
}

// One triangle on points 0 1 2 with the given surface description.
Loaded triangle(const std::vector<float>& xyz, const std::vector<lwbuild::SubChunk>& surface,
                bool wrapSeams = false) {
  return load(LwobBuilder()
                  .surfaces({"T"})
                  .points(xyz)
                  .polygons({{{0, 1, 2}, 1}})
                  .surface("T", surface)
                  .bytes(),
              true, true, wrapSeams);
}

void expectUV(const LwVertex& v, double u, double vv) {
  EXPECT_EQ(v.hasUV, 1);
  EXPECT_NEAR(v.u, u, kEps);
  EXPECT_NEAR(v.v, vv, kEps);
}

// Points on a unit circle around the y axis whose cylindrical u is as given, at height y.
void cylinderPoint(std::vector<float>& xyz, double u, float y) {
  const double angle = (u - 0.5) * 2.0 * 3.14159265358979323846;
  xyz.push_back(static_cast<float>(std::sin(angle)));
  xyz.push_back(y);
  xyz.push_back(static_cast<float>(-std::cos(angle)));
}

}  // namespace

TEST(LwoTexCoords, PlanarProjection) {
  Loaded z = triangle({1, 1, 0, -1, -1, 0, 1, -1, 0},
                      mapping("Planar Image Map", kTextureAxisZ, {subVec("TSIZ", 2, 2, 2), subFloat("TFP0", 2)}));
  EXPECT_EQ(z.out, " Normals TextureCoords");
  expectUV(z.object.vertices[0], 1.0, 0.0);
  expectUV(z.object.vertices[1], 0.0, 1.0);
  expectUV(z.object.vertices[2], 1.0, 1.0);

  Loaded x = triangle({0, 1, 3, 0, 0, 0, 0, 1, 0},
                      mapping("Planar Image Map", kTextureAxisX, {subVec("TCTR", 0, 0, 1)}));
  expectUV(x.object.vertices[0], 2.5, -0.5);
  Loaded y = triangle({2, 0, 3, 0, 0, 0, 0, 0, 1}, mapping("Planar Image Map", kTextureAxisY));
  expectUV(y.object.vertices[0], 2.5, -2.5);
}

TEST(LwoTexCoords, MapWithoutAxisLooksAlongZ) {
  Loaded l = triangle({0.5f, 0.25f, 3, 0, 0, 0, 1, 0, 0}, mapping("Planar Image Map", 0));
  expectUV(l.object.vertices[0], 1.0, 0.25);
}

TEST(LwoTexCoords, ZeroSizeGivesFiniteCoordinates) {
  Loaded l = triangle({0.5f, 0.25f, 3, 0, 0, 0, 1, 0, 0},
                      mapping("Cylindrical Image Map", kTextureAxisZ, {subVec("TSIZ", 0, 0, 0)}));
  for (const LwVertex& v : l.object.vertices) {
    EXPECT_TRUE(std::isfinite(v.u));
    EXPECT_TRUE(std::isfinite(v.v));
  }
}

TEST(LwoTexCoords, CylindricalProjectionAndRepeat) {
  const std::vector<float> pts = {1, 0, 0, 0, 0.5f, -1, 1, 1, -1};
  Loaded l = triangle(pts, mapping("Cylindrical Image Map", kTextureAxisY));
  expectUV(l.object.vertices[0], 0.75, 0.5);
  expectUV(l.object.vertices[1], 0.5, 0.0);
  expectUV(l.object.vertices[2], 0.625, -0.5);

  Loaded twice = triangle(pts, mapping("Cylindrical Image Map", kTextureAxisY, {subFloat("TFP0", 2), subFloat("TFP1", 3)}));
  expectUV(twice.object.vertices[0], 1.5, 0.5);
  expectUV(twice.object.vertices[1], 1.0, 0.0);
  expectUV(twice.object.vertices[2], 1.25, -0.5);

  Loaded xAxis = triangle({0, 1, 0, 0.5f, 0, -1, 0, 0, 1}, mapping("Cylindrical Image Map", kTextureAxisX));
  expectUV(xAxis.object.vertices[0], 0.5, 0.5);
  expectUV(xAxis.object.vertices[1], 0.75, 0.0);
}

TEST(LwoTexCoords, SphericalProjectionAndRepeat) {
  const std::vector<float> pts = {0, 0, 1, 0, 0, 0, 1, 0, 0};
  Loaded l = triangle(pts, mapping("Spherical Image Map", kTextureAxisZ));
  expectUV(l.object.vertices[0], 0.5, 0.0);
  expectUV(l.object.vertices[1], 0.5, 0.5);
  expectUV(l.object.vertices[2], 0.75, 0.5);

  Loaded scaled = triangle(pts, mapping("Spherical Image Map", kTextureAxisZ, {subFloat("TFP0", 2), subFloat("TFP1", 3)}));
  expectUV(scaled.object.vertices[0], 1.0, 0.0);
  expectUV(scaled.object.vertices[1], 1.0, 1.5);
  expectUV(scaled.object.vertices[2], 1.5, 1.5);

  // Below the centre on the y axis, and a point off the axis at 45 degrees up.
  Loaded y = triangle({0, -2, 0, 1, 1, 0, 1, 0, 0}, mapping("Spherical Image Map", kTextureAxisY));
  expectUV(y.object.vertices[0], 0.5, 1.0);
  expectUV(y.object.vertices[1], 0.75, 0.25);
}

TEST(LwoTexCoords, CubicProjectionByDominantAxis) {
  Loaded l = triangle({1, 0.5f, 0.25f, 0.5f, -1, 0.25f, 0.25f, 0.125f, -0.5f},
                      mapping("Cubic Image Map", kTextureAxisY, {subVec("TSIZ", 2, 3, 4), subFloat("TFP0", 2)}));
  expectUV(l.object.vertices[0], 1.5, -1.0);
  expectUV(l.object.vertices[1], 1.5, -0.5);
  expectUV(l.object.vertices[2], 1.5, -0.25);

  Loaded centre = triangle({0, 0, 0, 1, 0, 0, 0, 1, 0}, mapping("Cubic Image Map", 0));
  expectUV(centre.object.vertices[0], 0.0, 0.0);
}

TEST(LwoTexCoords, SeamQuadIsMadeContinuousAndSplitsSharedVertices) {
  std::vector<float> xyz;
  cylinderPoint(xyz, 0.95, 0);  // 0
  cylinderPoint(xyz, 0.05, 0);  // 1
  cylinderPoint(xyz, 0.05, 1);  // 2
  cylinderPoint(xyz, 0.95, 1);  // 3
  cylinderPoint(xyz, 0.15, 0);  // 4
  cylinderPoint(xyz, 0.15, 1);  // 5
  const Bytes bytes = LwobBuilder()
                          .surfaces({"C"})
                          .points(xyz)
                          .polygons({{{1, 4, 5, 2}, 1}, {{0, 1, 2, 3}, 1}})
                          .surface("C", mapping("Cylindrical Image Map", kTextureAxisY))
                          .bytes();
  Loaded l = load(bytes);
  const LwObject& o = l.object;
  ASSERT_EQ(o.vertices.size(), 8u);
  EXPECT_EQ(corners(o, 1), (std::vector<std::uint32_t>{0, 6, 7, 3}));
  expectUV(o.vertices[0], 0.95, 0.5);
  expectUV(o.vertices[6], 1.05, 0.5);
  expectUV(o.vertices[7], 1.05, -0.5);
  expectUV(o.vertices[1], 0.05, 0.5);
  EXPECT_EQ(o.vertices[6].point, 1u);
  EXPECT_EQ(o.vertices[1].nextSplit, 6u);
  EXPECT_EQ(o.vertices[6].nextSplit, 6u);
  EXPECT_EQ(o.vertices[1].polygonList, (std::vector<std::uint32_t>{0}));
  EXPECT_EQ(o.vertices[6].polygonList, (std::vector<std::uint32_t>{1}));
  EXPECT_EQ(o.polygons[1].wrapU, 0);

  Loaded w = load(bytes, true, true, true);
  ASSERT_EQ(w.object.vertices.size(), 6u);
  EXPECT_EQ(w.object.polygons[0].wrapU, 1);
  EXPECT_EQ(w.object.polygons[1].wrapU, 1);
  EXPECT_EQ(corners(w.object, 1), (std::vector<std::uint32_t>{0, 1, 2, 3}));
  expectUV(w.object.vertices[0], 0.95, 0.5);
  expectUV(w.object.vertices[1], 0.05, 0.5);
}

TEST(LwoTexCoords, PolygonAroundTheAxisIsNotShifted) {
  std::vector<float> xyz;
  std::vector<unsigned> ring;
  for (unsigned k = 0; k < 8; ++k) {
    cylinderPoint(xyz, (k + 0.5) / 8.0, 0.5f);
    ring.push_back(k);
  }
  Loaded l = load(LwobBuilder()
                      .surfaces({"Cap"})
                      .points(xyz)
                      .polygons({{ring, 1}})
                      .surface("Cap", mapping("Cylindrical Image Map", kTextureAxisY))
                      .bytes());
  ASSERT_EQ(l.object.vertices.size(), 8u);
  for (unsigned k = 0; k < 8; ++k) expectUV(l.object.vertices[k], (k + 0.5) / 8.0, 0.0);
}

TEST(LwoTexCoords, DifferentMapsOnASharedEdgeSplitItsPoints) {
  Loaded l = load(LwobBuilder()
                      .surfaces({"A", "B", "Bare"})
                      .points({0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0, 9, 9, 9})
                      .polygons({{{0, 1, 2}, 1}, {{0, 2, 3}, 2}, {{3, 2, 4}, 3}})
                      .surface("A", mapping("Planar Image Map", kTextureAxisZ))
                      .surface("B", mapping("Planar Image Map", kTextureAxisZ, {subVec("TCTR", 5, 0, 0)}))
                      .bytes());
  const LwObject& o = l.object;
  ASSERT_EQ(o.vertices.size(), 7u);
  EXPECT_EQ(corners(o, 1), (std::vector<std::uint32_t>{5, 6, 3}));
  EXPECT_EQ(o.vertices[0].nextSplit, 5u);
  EXPECT_EQ(o.vertices[2].nextSplit, 6u);
  EXPECT_EQ(o.vertices[5].point, 0u);
  EXPECT_EQ(o.vertices[6].point, 2u);
  expectUV(o.vertices[0], 0.5, 0.5);
  expectUV(o.vertices[5], -4.5, 0.5);
  // The unmapped polygon changes nothing, and its own point stays without coordinates.
  EXPECT_EQ(corners(o, 2), (std::vector<std::uint32_t>{3, 2, 4}));
  EXPECT_EQ(o.vertices[4].hasUV, 0);
  EXPECT_EQ(o.vertices[4].u, 0.0);
  EXPECT_EQ(o.vertices[2].polygonList, (std::vector<std::uint32_t>{0, 2}));
  EXPECT_EQ(o.vertices[6].polygonList, (std::vector<std::uint32_t>{1}));
}

TEST(LwoTexCoords, AssignCornerWalksTheSplitChain) {
  Loaded l = load(LwobBuilder()
                      .surfaces({"S"})
                      .points(squarePoints())
                      .polygons({{{0, 1, 2}, 1}, {{0, 2, 3}, 1}, {{0, 3, 1}, 1}})
                      .bytes(),
                  false, false);
  LwObject& o = l.object;
  EXPECT_EQ(lwAssignCornerUV(o, 0, 0, 0.1, 0.1), 0u);
  EXPECT_EQ(lwAssignCornerUV(o, 1, 0, 0.2, 0.2), 4u);
  EXPECT_EQ(lwAssignCornerUV(o, 2, 0, 0.2, 0.2), 4u);
  EXPECT_EQ(lwAssignCornerUV(o, 2, 0, 0.2, 0.2), 4u);
  ASSERT_EQ(o.vertices.size(), 5u);
  EXPECT_EQ(o.vertices[0].polygonList, (std::vector<std::uint32_t>{0}));
  EXPECT_EQ(o.vertices[4].polygonList, (std::vector<std::uint32_t>{1, 2}));
  EXPECT_EQ(corners(o, 2), (std::vector<std::uint32_t>{4, 3, 1}));
  EXPECT_EQ(lwAssignCornerUV(o, 0, 1, 0.3, 0.3), 1u);
  expectUV(o.vertices[1], 0.3, 0.3);
}
