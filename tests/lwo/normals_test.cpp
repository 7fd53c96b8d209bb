// Double-sided copies, face normals and smoothing.
#include <cmath>
#include <limits>

#include "lwo_fixture.h"

using namespace lwotest;

namespace {

void expectNormal(const LwNormal& n, double x, double y, double z) {
  EXPECT_NEAR(n.x, x, 1e-6);
  EXPECT_NEAR(n.y, y, 1e-6);
  EXPECT_NEAR(n.z, z, 1e-6);
}

std::vector<std::int32_t> useCounts(const LwObject& o) {
  std::vector<std::int32_t> counts;
  for (const LwNormal& n : o.normals) counts.push_back(n.useCount);
  return counts;
}

// Cube of side 2 around the origin; point i has x, y, z = +1 where bit 0, 1, 2 is set.
Bytes cube(const std::vector<lwbuild::SubChunk>& surface) {
  std::vector<float> xyz;
  for (int i = 0; i < 8; ++i) xyz.insert(xyz.end(), {i & 1 ? 1.0f : -1.0f, i & 2 ? 1.0f : -1.0f, i & 4 ? 1.0f : -1.0f});
  return object({"Cube"}, xyz,
                {{{0, 2, 3, 1}, 1},
                 {{4, 5, 7, 6}, 1},
                 {{0, 4, 6, 2}, 1},
                 {{1, 3, 7, 5}, 1},
                 {{0, 1, 5, 4}, 1},
                 {{2, 6, 7, 3}, 1}})
      .surface("Cube", surface)
      .bytes();
}

}  // namespace

TEST(LwoNormals, DoubleSidedQuadGetsAReversedCopy) {
  Loaded l = load(object({"Plain", "Both"}, squarePoints(), {{{0, 1, 2}, 1}, {{0, 1, 2, 3}, 2}})
                      .surface("Both", {subU16("FLAG", 0x0100)})
                      .bytes());
  EXPECT_EQ(l.out, " DuplicateDoubleSided Normals TextureCoords");
  ASSERT_EQ(l.object.polygons.size(), 3u);
  EXPECT_EQ(corners(l.object, 2), (Ids{3, 2, 1, 0}));
  EXPECT_EQ(l.object.polygons[2].surface, 1);
  EXPECT_EQ(l.object.vertices.size(), 4u);
  expectNormal(l.object.normals[1], 0, 0, 1);
  expectNormal(l.object.normals[2], 0, 0, -1);
  EXPECT_EQ(polygonsOf(l.object, 3), (Ids{1, 2}));  // the copy is linked like any polygon
  EXPECT_EQ(load(object({"Plain"}, squarePoints(), {{{0, 1, 2}, 1}}).bytes()).out, " Normals TextureCoords");
}

TEST(LwoNormals, FaceNormalsByNewell) {
  Loaded l = load(
      object({"S"}, {0, 0, 0, 1, 0, 0, 0, 1, 0, 5, 5, 5, 0, 0, 3}, {{{0, 1, 2}, 1}, {{3, 3, 3, 3}, 1}, {{0, 2, 4}, 1}})
          .bytes());
  ASSERT_EQ(l.object.polygons.size(), 2u);
  expectNormal(l.object.normals[0], 0, 0, 1);
  expectNormal(l.object.normals[1], 1, 0, 0);
  EXPECT_FLOAT_EQ(l.object.polygons[1].normal[0], 1.0f);
  EXPECT_EQ(useCounts(l.object), (std::vector<std::int32_t>{3, 3}));
  EXPECT_EQ(cornerNormals(l.object, 1), (Ids{1, 1, 1}));
  // Three coinciding points: no direction at all.
  Loaded flat = load(object({"S"}, {2, 2, 2, 2, 2, 2, 2, 2, 2}, {{{0, 1, 2}, 1}}).bytes());
  ASSERT_EQ(flat.object.normals.size(), 1u);
  expectNormal(flat.object.normals[0], 0, 0, 1);
  // However small a face is, it keeps its direction; an infinite corner leaves none.
  const float inf = std::numeric_limits<float>::infinity();
  Loaded odd = load(object({"S"}, {0, 0, 0, 0, 1e-4f, 0, 0, 0, 1e-4f, inf, 0, 0}, {{{0, 1, 2}, 1}, {{0, 3, 1}, 1}}).bytes());
  ASSERT_EQ(odd.object.normals.size(), 2u);
  expectNormal(odd.object.normals[0], 1, 0, 0);
  expectNormal(odd.object.normals[1], 0, 0, 1);
}

TEST(LwoNormals, CoplanarTrianglesShareTheirEdgeNormals) {
  Loaded l = load(
      object({"S"}, squarePoints(), {{{0, 1, 2}, 1}, {{0, 2, 3}, 1}}).surface("S", {subU16("FLAG", 0x0004)}).bytes());
  EXPECT_EQ(l.out, " Normals Smoothing TextureCoords");
  EXPECT_EQ(cornerNormals(l.object, 0), (Ids{2, 0, 3}));
  EXPECT_EQ(cornerNormals(l.object, 1), (Ids{2, 3, 1}));
  EXPECT_EQ(useCounts(l.object), (std::vector<std::int32_t>{1, 1, 2, 2}));
  expectNormal(l.object.normals[3], 0, 0, 1);
}

TEST(LwoNormals, CubeStaysFlatAtTheDefaultAngleAndSharesCornersAtAWideOne) {
  Loaded flat = load(cube({subU16("FLAG", 0x0004)}));
  EXPECT_EQ(flat.out, " Normals Smoothing TextureCoords");
  EXPECT_EQ(useCounts(flat.object), std::vector<std::int32_t>(6, 4));
  for (std::uint32_t p = 0; p < 6; ++p) EXPECT_EQ(cornerNormals(flat.object, p), Ids(4, p));
  expectNormal(flat.object.normals[3], 1, 0, 0);

  Loaded wide = load(cube({subU16("FLAG", 0x0004), subFloat("SMAN", 1.6f)}));
  const LwObject& o = wide.object;
  std::vector<std::int32_t> counts(6, 0);
  counts.resize(14, 3);
  EXPECT_EQ(useCounts(o), counts);
  Ids entryOfPoint(8, 0);
  const double s = 1.0 / std::sqrt(3.0);
  for (std::uint32_t p = 0; p < 6; ++p) {
    const Ids cs = corners(o, p);
    const Ids ns = cornerNormals(o, p);
    for (std::size_t k = 0; k < 4; ++k) {
      const std::uint32_t point = cs[k];
      ASSERT_GE(ns[k], 6u);
      if (entryOfPoint[point] == 0) entryOfPoint[point] = ns[k];
      EXPECT_EQ(ns[k], entryOfPoint[point]);
      expectNormal(o.normals[ns[k]], point & 1 ? s : -s, point & 2 ? s : -s, point & 4 ? s : -s);
    }
  }
}

TEST(LwoNormals, SmoothedFaceLeansTowardsFlatNeighbour) {
  const float c = 0.70710678f;
  Loaded l = load(
      object({"Smooth", "Flat"}, {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 0, 0, 1 + c, 0.5f, c}, {{{0, 1, 2}, 1}, {{2, 1, 4}, 2}})
          .surface("Smooth", {subU16("FLAG", 0x0004)})
          .bytes());
  const LwObject& o = l.object;
  EXPECT_EQ(useCounts(o), (std::vector<std::int32_t>{1, 3, 2, 2}));
  expectNormal(o.normals[1], -c, 0, c);
  EXPECT_EQ(cornerNormals(o, 0), (Ids{0, 2, 3}));
  EXPECT_EQ(cornerNormals(o, 1), (Ids{1, 1, 1}));
  // Half way between +z and the folded face: 22.5 degrees off +z.
  expectNormal(o.normals[2], -0.38268343, 0, 0.92387953);
}

TEST(LwoNormals, OppositeFacesThatCancelKeepTheirFaceNormals) {
  // A double-sided triangle smoothed at more than 180 degrees meets its own copy.
  Loaded l = load(object({"S"}, squarePoints(), {{{0, 1, 2}, 1}})
                      .surface("S", {subU16("FLAG", 0x0104), subFloat("SMAN", 3.2f)})
                      .bytes());
  ASSERT_EQ(l.object.polygons.size(), 2u);
  EXPECT_EQ(useCounts(l.object), (std::vector<std::int32_t>{3, 3}));
  EXPECT_EQ(cornerNormals(l.object, 0), (Ids{0, 0, 0}));
  EXPECT_EQ(cornerNormals(l.object, 1), (Ids{1, 1, 1}));
}

TEST(LwoNormals, NoNormalsWhenSwitchedOff) {
  Loaded l = load(cube({subU16("FLAG", 0x0004)}), false, true);
  EXPECT_EQ(l.out, " TextureCoords");
  EXPECT_TRUE(l.object.normals.empty());
  EXPECT_TRUE(l.object.cornerNormals.empty());
}
