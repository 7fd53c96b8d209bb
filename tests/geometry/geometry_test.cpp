// The geometry steps on objects as read: vertex links, double-sided copies, normals and
// smoothing, projected texture coordinates and vertex splits, and a large object.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "lwo/lwo_fixture.h"

using namespace torvo;

using namespace lwotest;

namespace {

Bytes triangleObject() { return object({"Skin"}, squarePoints(), {{{0, 1, 2}, 1}}).bytes(); }

// The normal table as "x y z *uses" entries.
std::string normals(const LwObject& o) {
  std::string out;
  char text[80];
  for (const LwNormal& n : o.normals) {
    std::snprintf(text, sizeof text, "%s%.4g %.4g %.4g *%d", out.empty() ? "" : ", ", n.x + 0.0, n.y + 0.0, n.z + 0.0, n.useCount);
    out += text;
  }
  return out;
}

// Each vertex as "point:u,v" (or "point:-" without coordinates), then "~next" where it splits.
std::string uvs(const LwObject& o) {
  std::string out;
  char text[80];
  for (std::size_t i = 0; i < o.vertices.size(); ++i) {
    const LwVertex& v = o.vertices[i];
    std::snprintf(text, sizeof text, "%s%u:", i ? " " : "", v.point);
    out += text;
    if (v.hasUV) std::snprintf(text, sizeof text, "%.6g,%.6g", v.u + 0.0, v.v + 0.0);
    out += v.hasUV ? text : "-";
    if (v.nextSplit != i) (out += '~') += std::to_string(v.nextSplit);
  }
  return out;
}

std::vector<SubChunk> mapping(const char* kind, unsigned axis, std::vector<SubChunk> more = {}) {
  more.insert(more.begin(), subString("CTEX", kind));
  if (axis != 0) more.insert(more.begin() + 1, subU16("TFLG", axis));
  return more;
}

// One triangle on points 0 1 2 with the given surface description.
LwObject triangle(const std::vector<float>& xyz, const std::vector<SubChunk>& surface) {
  return load(object({"T"}, xyz, {{{0, 1, 2}, 1}}).surface("T", surface).bytes()).object;
}

// A point on a unit circle around the y axis whose cylindrical u is as given, at height y.
void cylinderPoint(std::vector<float>& xyz, double u, float y) {
  const double angle = (u - 0.5) * 2.0 * 3.14159265358979323846;
  xyz.insert(xyz.end(), {static_cast<float>(std::sin(angle)), y, static_cast<float>(-std::cos(angle))});
}

// Cube of side 2 around the origin; point i has x, y, z = +1 where bit 0, 1, 2 is set.
Bytes cube(const std::vector<SubChunk>& surface) {
  std::vector<float> xyz;
  for (int i = 0; i < 8; ++i) xyz.insert(xyz.end(), {i & 1 ? 1.0f : -1.0f, i & 2 ? 1.0f : -1.0f, i & 4 ? 1.0f : -1.0f});
  return object({"Cube"}, xyz, {{{0, 2, 3, 1}, 1}, {{4, 5, 7, 6}, 1}, {{0, 4, 6, 2}, 1}, {{1, 3, 7, 5}, 1}, {{0, 1, 5, 4}, 1}, {{2, 6, 7, 3}, 1}})
      .surface("Cube", surface).bytes();
}

}  // namespace

TEST(Links, VertexPolygonListsGrowInTurnAndTheObjectLivesUntilItsLastRelease) {
  Loaded l = loadPlain(object({"A"}, squarePoints(), {{{0, 1, 2}, 1}, {{0, 2, 3}, 1}, {{1, 2, 1, 3}, 1}}).bytes());
  LwObject& o = l.object;
  EXPECT_EQ(polygonsOf(o, 1), (Ids{0, 2, 2}));  // a polygon using a vertex twice is listed twice
  Ids expected0 = polygonsOf(o, 0);
  Ids expected3 = polygonsOf(o, 3);
  EXPECT_EQ(expected0, (Ids{0, 1}));
  for (std::uint32_t p = 10; p < 2010; ++p) {
    lwAddVertexPolygon(o, p % 2 == 0 ? 0 : 3, p);
    (p % 2 == 0 ? expected0 : expected3).push_back(p);
  }
  lwRemoveVertexPolygon(o, 0, 1);
  expected0.erase(expected0.begin() + 1);
  EXPECT_EQ(polygonsOf(o, 0), expected0);
  EXPECT_EQ(polygonsOf(o, 3), expected3);
  EXPECT_EQ(polygonsOf(o, 2), (Ids{0, 1, 2}));
  EXPECT_LT(o.polygonLists.size(), 8u * 2010u);  // growth by doubling
  // A fully dissolved object gets links only.
  const Loaded d = load(object({"A"}, squarePoints(), {{{0, 1, 2, 3}, 1}})
                            .surface("A", {subU16("FLAG", 0x0104), subString("CTEX", "Planar Image Map")}).bytes(), true, true, false, 1.0);
  EXPECT_EQ(d.out, "");
  EXPECT_EQ(corners(d.object, 0), (Ids{0, 1, 2, 3}));
  EXPECT_TRUE(d.object.normals.empty());
  EXPECT_FALSE(d.object.vertices[0].hasUV);
  EXPECT_EQ(polygonsOf(d.object, 0), Ids{0});
  Loaded t = load(triangleObject());
  t.object.motionKeys.resize(3);
  t.object.refCount = 2;  // another item uses it as a morph target
  lwReleaseObject(t.object);
  EXPECT_EQ(t.object.refCount, 1);
  EXPECT_EQ(t.object.points.size(), 4u);
  lwReleaseObject(t.object);
  const LwObject& r = t.object;
  EXPECT_TRUE(r.points.empty());
  EXPECT_TRUE(r.vertices.empty());
  EXPECT_TRUE(r.polygons.empty());
  EXPECT_TRUE(r.normals.empty());
  EXPECT_TRUE(r.cornerNormals.empty());
  EXPECT_TRUE(r.surfaces.empty());
  EXPECT_EQ(r.motionKeys.size(), 3u);  // the item keeps moving
  t = load(triangleObject());
  t.object.refCount = 5;
  t.object.motionKeys.resize(2);
  lwDisposeObject(t.object);
  EXPECT_TRUE(t.object.points.empty());
  EXPECT_TRUE(t.object.motionKeys.empty());
}

TEST(LwoNormals, DoubleSidedCopiesFaceNormalsAndSmoothing) {
  const float c = 0.70710678f;
  const struct {
    const char* label;
    Bytes bytes;
    std::string out, polygons, normals;
  } rows[] = {
      {"double-sided copy", object({"Plain", "Both"}, squarePoints(), {{{0, 1, 2}, 1}, {{0, 1, 2, 3}, 2}}).surface("Both", {subU16("FLAG", 0x0100)}).bytes(),
       " DuplicateDoubleSided Normals TextureCoords", "0 1 2/0 n 0 0 0, 0 1 2 3/1 n 1 1 1 1, 3 2 1 0/1 n 2 2 2 2",
       "0 0 1 *3, 0 0 1 *4, 0 0 -1 *4"},
      // Newell's normal; a polygon of one repeated point is dropped; coinciding points give +z.
      {"Newell's normal", object({"S"}, {0, 0, 0, 1, 0, 0, 0, 1, 0, 5, 5, 5, 0, 0, 3}, {{{0, 1, 2}, 1}, {{3, 3, 3, 3}, 1}, {{0, 2, 4}, 1}}).bytes(),
       "Warning! 1 <3vert polygons removed\n Normals TextureCoords", "0 1 2/0 n 0 0 0, 0 2 4/0 n 1 1 1", "0 0 1 *3, 1 0 0 *3"},
      {"coinciding points", object({"S"}, {2, 2, 2, 2, 2, 2, 2, 2, 2}, {{{0, 1, 2}, 1}}).bytes(), " Normals TextureCoords", "0 1 2/0 n 0 0 0", "0 0 1 *3"},
      // However small a face is, it keeps its direction; an infinite corner leaves none.
      {"tiny and infinite faces", object({"S"}, {0, 0, 0, 0, 1e-4f, 0, 0, 0, 1e-4f, std::numeric_limits<float>::infinity(), 0, 0}, {{{0, 1, 2}, 1}, {{0, 3, 1}, 1}}).bytes(),
       " Normals TextureCoords", "0 1 2/0 n 0 0 0, 0 3 1/0 n 1 1 1", "1 0 0 *3, 0 0 1 *3"},
      // Coplanar smoothed triangles share their edge's normals.
      {"coplanar smoothed", object({"S"}, squarePoints(), {{{0, 1, 2}, 1}, {{0, 2, 3}, 1}}).surface("S", {subU16("FLAG", 4)}).bytes(),
       " Normals Smoothing TextureCoords", "0 1 2/0 n 2 0 3, 0 2 3/0 n 2 3 1", "0 0 1 *1, 0 0 1 *1, 0 0 1 *2, 0 0 1 *2"},
      // A smoothed face leans half way (22.5 degrees) towards a flat neighbour, which keeps its own normal.
      {"smooth beside flat", object({"Smooth", "Flat"}, {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 0, 0, 1 + c, 0.5f, c}, {{{0, 1, 2}, 1}, {{2, 1, 4}, 2}})
           .surface("Smooth", {subU16("FLAG", 4)}).bytes(),
       " Normals Smoothing TextureCoords", "0 1 2/0 n 0 2 3, 2 1 4/1 n 1 1 1", "0 0 1 *1, -0.7071 0 0.7071 *3, -0.3827 0 0.9239 *2, -0.3827 0 0.9239 *2"},
      // A double-sided triangle smoothed at more than 180 degrees meets its own copy: they cancel and keep their faces.
      {"smoothed with its own copy", object({"S"}, squarePoints(), {{{0, 1, 2}, 1}}).surface("S", {subU16("FLAG", 0x0104), subFloat("SMAN", 3.2f)}).bytes(),
       " DuplicateDoubleSided Normals Smoothing TextureCoords", "0 1 2/0 n 0 0 0, 2 1 0/0 n 1 1 1", "0 0 1 *3, 0 0 -1 *3"},
      // A cube stays flat at the default angle.
      {"cube at the default angle", cube({subU16("FLAG", 4)}), " Normals Smoothing TextureCoords",
       "0 2 3 1/0 n 0 0 0 0, 4 5 7 6/0 n 1 1 1 1, 0 4 6 2/0 n 2 2 2 2, 1 3 7 5/0 n 3 3 3 3, 0 1 5 4/0 n 4 4 4 4, 2 6 7 3/0 n 5 5 5 5",
       "0 0 -1 *4, 0 0 1 *4, -1 0 0 *4, 1 0 0 *4, 0 -1 0 *4, 0 1 0 *4"},
      {"without normals", cube({subU16("FLAG", 4)}), " TextureCoords", "0 2 3 1/0, 4 5 7 6/0, 0 4 6 2/0, 1 3 7 5/0, 0 1 5 4/0, 2 6 7 3/0", ""}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.label);
    const Loaded l = load(row.bytes, !row.normals.empty());
    EXPECT_EQ(l.out, row.out);
    EXPECT_EQ(polygons(l.object), row.polygons);
    EXPECT_EQ(normals(l.object), row.normals);
  }
  // At a wide angle every cube corner shares one normal along its diagonal.
  const LwObject o = load(cube({subU16("FLAG", 4), subFloat("SMAN", 1.6f)})).object;
  ASSERT_EQ(o.normals.size(), 14u);
  for (std::size_t corner = 0; corner < o.indices.size(); ++corner) {
    SCOPED_TRACE(corner);
    const std::uint32_t point = o.indices[corner];
    const LwNormal& n = o.normals[o.cornerNormals[corner]];
    const float s = 1.0f / std::sqrt(3.0f);
    EXPECT_EQ(n.useCount, 3);
    EXPECT_NEAR(n.x, point & 1 ? s : -s, 1e-6);
    EXPECT_NEAR(n.y, point & 2 ? s : -s, 1e-6);
    EXPECT_NEAR(n.z, point & 4 ? s : -s, 1e-6);
  }
}

// Two triangles folded along a shared edge are smoothed exactly when acos of their normals' dot product is within the angle.
TEST(LwoNormals, EveryAngleDecisionIsTheOneAcosMakes) {
  int nearBoundary = 0;
  for (int step = 0; step <= 1800; ++step) {
    const float fold = static_cast<float>(step * (3.14159 / 1800));
    auto folded = [fold](float angle) {
      return load(object({"S"}, {0, 0, 0, 1, 0, 0, 0.5f, 1, 0, 0.5f, -std::cos(fold), std::sin(fold)}, {{{0, 1, 2}, 1}, {{1, 0, 3}, 1}})
                      .surface("S", {subU16("FLAG", 4), subFloat("SMAN", angle)}).bytes(), true, false).object;
    };
    const LwObject probe = folded(0.0f);
    const float* a = probe.polygons[0].normal;
    const float* b = probe.polygons[1].normal;
    const double d = std::clamp(double{a[0]} * b[0] + double{a[1]} * b[1] + double{a[2]} * b[2], -1.0, 1.0);
    const float near = static_cast<float>(std::acos(d));
    for (float angle : {0.0f, 1e-8f, 0.5f, 1.5620697f, 3.1f, 3.1415927f, 4.0f, -1.0f, std::numeric_limits<float>::quiet_NaN(),
                        std::nextafter(near, 0.0f), near, std::nextafter(near, 4.0f)}) {
      const LwObject o = folded(angle);
      const bool split = o.normals.size() > o.polygons.size();
      EXPECT_EQ(split, std::acos(d) <= angle) << "fold step " << step << ", angle " << angle;
      nearBoundary += std::fabs(d - std::cos(double{angle})) <= 1e-9;
    }
  }
  EXPECT_GT(nearBoundary, 0);  // the boundary itself was tried
}

TEST(LwoTexCoords, ProjectionsAxesSizesCentresAndRepeats) {
  const std::vector<float> pts = {1, 0, 0, 0, 0.5f, -1, 1, 1, -1};
  const std::vector<float> onZ = {0, 0, 1, 0, 0, 0, 1, 0, 0};
  const std::vector<SubChunk> repeat = {subFloat("TFP0", 2), subFloat("TFP1", 3)};
  const std::pair<LwObject, std::string> cases[] = {
      {triangle({1, 1, 0, -1, -1, 0, 1, -1, 0}, mapping("Planar Image Map", kTextureAxisZ, {subVec("TSIZ", 2, 2, 2), subFloat("TFP0", 2)})),
       "0:1,0 1:0,1 2:1,1"},
      {triangle({0, 1, 3, 0, 0, 0, 0, 1, 0}, mapping("Planar Image Map", kTextureAxisX, {subVec("TCTR", 0, 0, 1)})), "0:2.5,-0.5 1:-0.5,0.5 2:-0.5,-0.5"},
      {triangle({2, 0, 3, 0, 0, 0, 0, 0, 1}, mapping("Planar Image Map", kTextureAxisY)), "0:2.5,-2.5 1:0.5,0.5 2:0.5,-0.5"},
      {triangle({0.5f, 0.25f, 3, 0, 0, 0, 1, 0, 0}, mapping("Planar Image Map", 0)), "0:1,0.25 1:0.5,0.5 2:1.5,0.5"},  // no axis: along z
      {triangle(pts, mapping("Cylindrical Image Map", kTextureAxisY)), "0:0.75,0.5 1:0.5,0 2:0.625,-0.5"},
      {triangle(pts, mapping("Cylindrical Image Map", kTextureAxisY, repeat)), "0:1.5,0.5 1:1,0 2:1.25,-0.5"},
      {triangle({0, 1, 0, 0.5f, 0, -1, 0, 0, 1}, mapping("Cylindrical Image Map", kTextureAxisX)), "0:0.5,0.5 1:0.75,0 2:0.25,0.5"},
      {triangle(onZ, mapping("Spherical Image Map", kTextureAxisZ)), "0:0.5,0 1:0.5,0.5 2:0.75,0.5"},
      {triangle(onZ, mapping("Spherical Image Map", kTextureAxisZ, repeat)), "0:1,0 1:1,1.5 2:1.5,1.5"},
      // Below the centre on the y axis, and a point off the axis at 45 degrees up.
      {triangle({0, -2, 0, 1, 1, 0, 1, 0, 0}, mapping("Spherical Image Map", kTextureAxisY)), "0:0.5,1 1:0.75,0.25 2:0.75,0.5"},
      // Cubic: by the dominant axis of each point.
      {triangle({1, 0.5f, 0.25f, 0.5f, -1, 0.25f, 0.25f, 0.125f, -0.5f},
                mapping("Cubic Image Map", kTextureAxisY, {subVec("TSIZ", 2, 3, 4), subFloat("TFP0", 2)})), "0:1.5,-1 1:1.5,-0.5 2:1.5,-0.25"},
      {triangle({0, 0, 0, 1, 0, 0, 0, 1, 0}, mapping("Cubic Image Map", 0)), "0:0,0 1:0.5,0.5 2:0.5,0.5"},
      // Ties: z before x before y.
      {triangle({1, 0.5f, 1, 1, 1, 0.5f, 1, 1, 1}, mapping("Cubic Image Map", 0, {subVec("TSIZ", 2, 4, 8)})),
       "0:2.5,-1.5 1:4.5,-3.5 2:2.5,-3.5"}};
  for (const auto& [o, expected] : cases) EXPECT_EQ(uvs(o), expected);
  // A zero size gives finite coordinates.
  for (const LwVertex& v : triangle(onZ, mapping("Cylindrical Image Map", kTextureAxisZ, {subVec("TSIZ", 0, 0, 0)})).vertices)
    EXPECT_TRUE(std::isfinite(v.u) && std::isfinite(v.v)) << v.point;
}

TEST(LwoTexCoords, SeamsAndDifferentMapsSplitSharedVertices) {
  std::vector<float> xyz;
  std::vector<float> ring;
  const double us[] = {0.95, 0.05, 0.05, 0.95, 0.15, 0.15};
  for (int i = 0; i < 6; ++i) cylinderPoint(xyz, us[i], i == 2 || i == 3 || i == 5 ? 1.0f : 0.0f);
  const Bytes seam = object({"C"}, xyz, {{{1, 4, 5, 2}, 1}, {{0, 1, 2, 3}, 1}}).surface("C", mapping("Cylindrical Image Map", kTextureAxisY)).bytes();
  // The quad across the seam is made continuous by shifting its low side; with wrapping it is flagged instead.
  const LwObject o = load(seam).object;
  const LwObject w = load(seam, true, true, true).object;
  EXPECT_EQ(polygons(o), "1 4 5 2/0 n 0 0 0 0, 0 6 7 3/0 n 1 1 1 1");
  EXPECT_EQ(uvs(o), "0:0.95,0.5 1:0.05,0.5~6 2:0.05,-0.5~7 3:0.95,-0.5 4:0.15,0.5 5:0.15,-0.5 1:1.05,0.5 2:1.05,-0.5");
  EXPECT_EQ(polygonsOf(o, 1), Ids{0});
  EXPECT_EQ(polygonsOf(o, 6), Ids{1});
  EXPECT_EQ(polygons(w), "1 4 5 2/0 n 0 0 0 0, 0 1 2 3/0 n 1 1 1 1");
  EXPECT_EQ(uvs(w), "0:0.95,0.5 1:0.05,0.5 2:0.05,-0.5 3:0.95,-0.5 4:0.15,0.5 5:0.15,-0.5");
  EXPECT_EQ(o.polygons[1].wrapU, 0);
  EXPECT_EQ(w.polygons[0].wrapU, 1);
  EXPECT_EQ(w.polygons[1].wrapU, 1);
  // A polygon around the axis is not shifted.
  for (unsigned k = 0; k < 8; ++k) cylinderPoint(ring, (k + 0.5) / 8.0, 0.5f);
  EXPECT_EQ(uvs(load(object({"Cap"}, ring, {{{0, 1, 2, 3, 4, 5, 6, 7}, 1}}).surface("Cap", mapping("Cylindrical Image Map", kTextureAxisY)).bytes()).object),
            "0:0.0625,0 1:0.1875,0 2:0.3125,0 3:0.4375,0 4:0.5625,0 5:0.6875,0 6:0.8125,0 7:0.9375,0");
  // Different maps on a shared edge split its points; an unmapped polygon changes nothing and its own point has no coordinates.
  const LwObject m = load(object({"A", "B", "Bare"}, {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0, 9, 9, 9}, {{{0, 1, 2}, 1}, {{0, 2, 3}, 2}, {{3, 2, 4}, 3}})
                              .surface("A", mapping("Planar Image Map", kTextureAxisZ))
                              .surface("B", mapping("Planar Image Map", kTextureAxisZ, {subVec("TCTR", 5, 0, 0)})).bytes(), false).object;
  EXPECT_EQ(polygons(m), "0 1 2/0, 5 6 3/1, 3 2 4/2");
  EXPECT_EQ(uvs(m), "0:0.5,0.5~5 1:1.5,0.5 2:1.5,-0.5~6 3:-4.5,-0.5 4:- 0:-4.5,0.5 2:-3.5,-0.5");
  EXPECT_EQ(polygonsOf(m, 2), (Ids{0, 2}));
  EXPECT_EQ(polygonsOf(m, 6), Ids{1});
  // Assigning corners walks the split chain: equal coordinates reuse a vertex, others split it.
  Loaded l = loadPlain(object({"S"}, squarePoints(), {{{0, 1, 2}, 1}, {{0, 2, 3}, 1}, {{0, 3, 1}, 1}}).bytes());
  std::vector<std::uint32_t> vertices;
  for (const auto& [p, corner, u] : {std::tuple{0u, 0, 0.1}, {1u, 0, 0.2}, {2u, 0, 0.2}, {2u, 0, 0.2}, {0u, 1, 0.3}})
    vertices.push_back(lwAssignCornerUV(l.object, p, corner, u, u));
  EXPECT_EQ(vertices, (std::vector<std::uint32_t>{0, 4, 4, 4, 1}));
  EXPECT_EQ(polygons(l.object), "0 1 2/0, 4 2 3/0, 4 3 1/0");
  EXPECT_EQ(uvs(l.object), "0:0.1,0.1~4 1:0.3,0.3 2:- 3:- 0:0.2,0.2");
  EXPECT_EQ(polygonsOf(l.object, 4), (Ids{1, 2}));
}

namespace {

// A 256 x 255 unit UV sphere (65,026 points, 65,280 polygons, about the most 16-bit point
// indices allow; its pole triangles are tiny), smoothed; checkered, its neighbouring
// polygons alternate between two maps.
Bytes sphere(bool checkered) {
  const Geometry g = uvSphere(256, 255, 1.0, [checkered](unsigned band, unsigned s) { return checkered ? 1 + static_cast<int>((band + s) % 2) : 1; });
  return LwobBuilder().surfaces({"North", "South"}).points(g.points).polygons(g.polygons)
      .surface("North", {subU16("FLAG", 4), subString("CTEX", "Planar Image Map"), subU16("TFLG", 2)})
      .surface("South", {subU16("FLAG", 4), subString("CTEX", "Planar Image Map"), subU16("TFLG", 2), subVec("TCTR", 10, 0, 0)})
      .bytes();
}

}  // namespace

TEST(LwoLargeObject, NormalTablesAndSplitVerticesPass65536Entries) {
  constexpr std::uint32_t kPoints = 65026, kPolygons = 65280;
  for (const bool checkered : {false, true}) {
    SCOPED_TRACE(checkered ? "checkered" : "one map");
    const Loaded l = load(sphere(checkered));
    const LwObject& o = l.object;
    EXPECT_EQ(l.out, " Normals Smoothing TextureCoords");
    ASSERT_EQ(o.points.size(), kPoints);
    ASSERT_EQ(o.polygons.size(), kPolygons);
    // One face normal per polygon, and one smoothed normal per point, shared by every face there; every point meets
    // both maps when checkered: one split copy each.
    ASSERT_EQ(o.normals.size(), std::size_t{kPolygons} + kPoints);
    ASSERT_EQ(o.vertices.size(), (checkered ? 2u : 1u) * kPoints);
    EXPECT_TRUE(std::all_of(o.normals.begin(), o.normals.begin() + kPolygons, [](const LwNormal& n) { return n.useCount == 0; }));
    const LwVertex& last = o.vertices.back();
    EXPECT_EQ(last.nextSplit, o.vertices.size() - 1);
    EXPECT_TRUE(last.hasUV);
    EXPECT_EQ(o.vertices[last.point].nextSplit, checkered ? o.vertices.size() - 1 : last.point);
    // Every corner normal, at the poles too, points along the radius; each vertex's coordinates come from the map of
    // every polygon that uses it.
    std::size_t astray = 0;
    std::size_t wrong = 0;
    for (const LwPolygon& polygon : o.polygons) {
      for (std::uint32_t c = polygon.firstIndex; c < polygon.firstIndex + static_cast<std::uint32_t>(polygon.cornerCount); ++c) {
        const LwVertex& v = o.vertices[o.indices[c]];
        const LwPoint& p = o.points[v.point];
        const LwNormal& n = o.normals.at(o.cornerNormals.at(c));
        astray += double{n.x} * p.x + double{n.y} * p.y + double{n.z} * p.z < 0.99999;
        wrong += v.u != 0.5 + (double{p.x} - (polygon.surface == 1 ? 10.0 : 0.0));
      }
    }
    EXPECT_EQ(astray, 0u);  // normals off the radius
    EXPECT_EQ(wrong, 0u);   // coordinates from another map
  }
}
