// Texture coordinates: the four projections, seams, scaling and vertex splits.
#include <cmath>

#include "lwo_fixture.h"

using namespace lwotest;

namespace {

std::vector<lwbuild::SubChunk> mapping(const char* kind, unsigned axis, std::vector<lwbuild::SubChunk> more = {}) {
  std::vector<lwbuild::SubChunk> subs = {subString("CTEX", kind)};
  if (axis != 0) subs.push_back(subU16("TFLG", axis));
  subs.insert(subs.end(), more.begin(), more.end());
  return subs;
}

struct UV {
  double u, v;
};

// Every listed vertex has these coordinates, in order from vertex `first`.
void expectUVs(const LwObject& o, std::vector<UV> uvs, std::size_t first = 0) {
  ASSERT_GE(o.vertices.size(), first + uvs.size());
  for (std::size_t i = 0; i < uvs.size(); ++i) {
    SCOPED_TRACE("vertex " + std::to_string(first + i));
    EXPECT_EQ(o.vertices[first + i].hasUV, 1);
    EXPECT_NEAR(o.vertices[first + i].u, uvs[i].u, 1e-6);
    EXPECT_NEAR(o.vertices[first + i].v, uvs[i].v, 1e-6);
  }
}

// One triangle on points 0 1 2 with the given surface description.
LwObject triangle(const std::vector<float>& xyz, const std::vector<lwbuild::SubChunk>& surface) {
  return load(object({"T"}, xyz, {{{0, 1, 2}, 1}}).surface("T", surface).bytes()).object;
}

// Points on a unit circle around the y axis whose cylindrical u is as given, at height y.
void cylinderPoint(std::vector<float>& xyz, double u, float y) {
  const double angle = (u - 0.5) * 2.0 * 3.14159265358979323846;
  xyz.insert(xyz.end(), {static_cast<float>(std::sin(angle)), y, static_cast<float>(-std::cos(angle))});
}

}  // namespace

TEST(LwoTexCoords, PlanarProjection) {
  const Bytes z =
      object({"T"}, {1, 1, 0, -1, -1, 0, 1, -1, 0}, {{{0, 1, 2}, 1}})
          .surface("T", mapping("Planar Image Map", kTextureAxisZ, {subVec("TSIZ", 2, 2, 2), subFloat("TFP0", 2)}))
          .bytes();
  const Loaded l = load(z);
  EXPECT_EQ(l.out, " Normals TextureCoords");
  expectUVs(l.object, {{1, 0}, {0, 1}, {1, 1}});
  expectUVs(
      triangle({0, 1, 3, 0, 0, 0, 0, 1, 0}, mapping("Planar Image Map", kTextureAxisX, {subVec("TCTR", 0, 0, 1)})),
      {{2.5, -0.5}});
  expectUVs(triangle({2, 0, 3, 0, 0, 0, 0, 0, 1}, mapping("Planar Image Map", kTextureAxisY)), {{2.5, -2.5}});
  // A map without an axis looks along z.
  expectUVs(triangle({0.5f, 0.25f, 3, 0, 0, 0, 1, 0, 0}, mapping("Planar Image Map", 0)), {{1.0, 0.25}});
  // A zero size gives finite coordinates.
  const LwObject zero = triangle({0.5f, 0.25f, 3, 0, 0, 0, 1, 0, 0},
                                 mapping("Cylindrical Image Map", kTextureAxisZ, {subVec("TSIZ", 0, 0, 0)}));
  for (const LwVertex& v : zero.vertices) EXPECT_TRUE(std::isfinite(v.u) && std::isfinite(v.v));
}

TEST(LwoTexCoords, CylindricalSphericalAndCubicProjections) {
  const std::vector<float> pts = {1, 0, 0, 0, 0.5f, -1, 1, 1, -1};
  const auto repeat = {subFloat("TFP0", 2), subFloat("TFP1", 3)};
  expectUVs(triangle(pts, mapping("Cylindrical Image Map", kTextureAxisY)), {{0.75, 0.5}, {0.5, 0.0}, {0.625, -0.5}});
  expectUVs(triangle(pts, mapping("Cylindrical Image Map", kTextureAxisY, repeat)),
            {{1.5, 0.5}, {1.0, 0.0}, {1.25, -0.5}});
  expectUVs(triangle({0, 1, 0, 0.5f, 0, -1, 0, 0, 1}, mapping("Cylindrical Image Map", kTextureAxisX)),
            {{0.5, 0.5}, {0.75, 0.0}});

  const std::vector<float> onZ = {0, 0, 1, 0, 0, 0, 1, 0, 0};
  expectUVs(triangle(onZ, mapping("Spherical Image Map", kTextureAxisZ)), {{0.5, 0.0}, {0.5, 0.5}, {0.75, 0.5}});
  expectUVs(triangle(onZ, mapping("Spherical Image Map", kTextureAxisZ, repeat)), {{1.0, 0.0}, {1.0, 1.5}, {1.5, 1.5}});
  // Below the centre on the y axis, and a point off the axis at 45 degrees up.
  expectUVs(triangle({0, -2, 0, 1, 1, 0, 1, 0, 0}, mapping("Spherical Image Map", kTextureAxisY)),
            {{0.5, 1.0}, {0.75, 0.25}});

  // Cubic: by the dominant axis of each point.
  expectUVs(triangle({1, 0.5f, 0.25f, 0.5f, -1, 0.25f, 0.25f, 0.125f, -0.5f},
                     mapping("Cubic Image Map", kTextureAxisY, {subVec("TSIZ", 2, 3, 4), subFloat("TFP0", 2)})),
            {{1.5, -1.0}, {1.5, -0.5}, {1.5, -0.25}});
  expectUVs(triangle({0, 0, 0, 1, 0, 0, 0, 1, 0}, mapping("Cubic Image Map", 0)), {{0.0, 0.0}});
}

TEST(LwoTexCoords, SeamQuadIsMadeContinuousAndSplitsSharedVertices) {
  std::vector<float> xyz;
  const double us[] = {0.95, 0.05, 0.05, 0.95, 0.15, 0.15};
  const float ys[] = {0, 0, 1, 1, 0, 1};
  for (int i = 0; i < 6; ++i) cylinderPoint(xyz, us[i], ys[i]);
  const Bytes bytes = object({"C"}, xyz, {{{1, 4, 5, 2}, 1}, {{0, 1, 2, 3}, 1}})
                          .surface("C", mapping("Cylindrical Image Map", kTextureAxisY))
                          .bytes();
  const LwObject o = load(bytes).object;
  ASSERT_EQ(o.vertices.size(), 8u);
  EXPECT_EQ(corners(o, 1), (Ids{0, 6, 7, 3}));
  expectUVs(o, {{0.95, 0.5}, {0.05, 0.5}});
  expectUVs(o, {{1.05, 0.5}, {1.05, -0.5}}, 6);
  EXPECT_EQ(o.vertices[6].point, 1u);
  EXPECT_EQ(o.vertices[1].nextSplit, 6u);
  EXPECT_EQ(o.vertices[6].nextSplit, 6u);
  EXPECT_EQ(polygonsOf(o, 1), (Ids{0}));
  EXPECT_EQ(polygonsOf(o, 6), (Ids{1}));
  EXPECT_EQ(o.polygons[1].wrapU, 0);

  const LwObject w = load(bytes, true, true, true).object;
  ASSERT_EQ(w.vertices.size(), 6u);
  EXPECT_EQ(w.polygons[0].wrapU, 1);
  EXPECT_EQ(w.polygons[1].wrapU, 1);
  EXPECT_EQ(corners(w, 1), (Ids{0, 1, 2, 3}));
  expectUVs(w, {{0.95, 0.5}, {0.05, 0.5}});

  // A polygon around the axis is not shifted.
  std::vector<float> ring;
  for (unsigned k = 0; k < 8; ++k) cylinderPoint(ring, (k + 0.5) / 8.0, 0.5f);
  const LwObject cap = load(object({"Cap"}, ring, {{{0, 1, 2, 3, 4, 5, 6, 7}, 1}})
                                .surface("Cap", mapping("Cylindrical Image Map", kTextureAxisY))
                                .bytes())
                           .object;
  ASSERT_EQ(cap.vertices.size(), 8u);
  for (unsigned k = 0; k < 8; ++k) expectUVs(cap, {{(k + 0.5) / 8.0, 0.0}}, k);
}

TEST(LwoTexCoords, DifferentMapsOnASharedEdgeSplitItsPoints) {
  const LwObject o = load(object({"A", "B", "Bare"}, {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0, 9, 9, 9},
                                 {{{0, 1, 2}, 1}, {{0, 2, 3}, 2}, {{3, 2, 4}, 3}})
                              .surface("A", mapping("Planar Image Map", kTextureAxisZ))
                              .surface("B", mapping("Planar Image Map", kTextureAxisZ, {subVec("TCTR", 5, 0, 0)}))
                              .bytes())
                         .object;
  ASSERT_EQ(o.vertices.size(), 7u);
  EXPECT_EQ(corners(o, 1), (Ids{5, 6, 3}));
  EXPECT_EQ(o.vertices[0].nextSplit, 5u);
  EXPECT_EQ(o.vertices[2].nextSplit, 6u);
  EXPECT_EQ(o.vertices[5].point, 0u);
  EXPECT_EQ(o.vertices[6].point, 2u);
  expectUVs(o, {{0.5, 0.5}});
  expectUVs(o, {{-4.5, 0.5}}, 5);
  // The unmapped polygon changes nothing, and its own point stays without coordinates.
  EXPECT_EQ(corners(o, 2), (Ids{3, 2, 4}));
  EXPECT_EQ(o.vertices[4].hasUV, 0);
  EXPECT_EQ(o.vertices[4].u, 0.0);
  EXPECT_EQ(polygonsOf(o, 2), (Ids{0, 2}));
  EXPECT_EQ(polygonsOf(o, 6), (Ids{1}));
}

TEST(LwoTexCoords, AssignCornerWalksTheSplitChain) {
  Loaded l = loadPlain(object({"S"}, squarePoints(), {{{0, 1, 2}, 1}, {{0, 2, 3}, 1}, {{0, 3, 1}, 1}}).bytes());
  LwObject& o = l.object;
  EXPECT_EQ(lwAssignCornerUV(o, 0, 0, 0.1, 0.1), 0u);
  EXPECT_EQ(lwAssignCornerUV(o, 1, 0, 0.2, 0.2), 4u);
  EXPECT_EQ(lwAssignCornerUV(o, 2, 0, 0.2, 0.2), 4u);
  EXPECT_EQ(lwAssignCornerUV(o, 2, 0, 0.2, 0.2), 4u);
  ASSERT_EQ(o.vertices.size(), 5u);
  EXPECT_EQ(polygonsOf(o, 0), (Ids{0}));
  EXPECT_EQ(polygonsOf(o, 4), (Ids{1, 2}));
  EXPECT_EQ(corners(o, 2), (Ids{4, 3, 1}));
  EXPECT_EQ(lwAssignCornerUV(o, 0, 1, 0.3, 0.3), 1u);
  expectUVs(o, {{0.3, 0.3}}, 1);
}
