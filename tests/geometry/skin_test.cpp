// Skin weights as LightWave weighs a point, case by case with hand-worked weights: one
// point at (0, 0, 0.5), each bone standing along +Z from (distance, 0, 0) for its length,
// the point stored twice (a split vertex), maps A and B holding the values given.
#include <gtest/gtest.h>

#include <vector>

#include "geometry/skin.h"
#include "support/context.h"

using namespace torvo;

namespace {

struct BoneRow {
  double distance;
  double strength = 1;
  const char* map = "";
  bool only = false;
  bool normalize = false;
  bool active = true;
  double range[2] = {-1, -1};
  double length = 1;
  bool scale = false;
};

struct Case {
  const char* what;
  int falloff;
  std::vector<BoneRow> bones;
  float a = 0;
  float b = 0;
  std::vector<double> weights;  // bones, then the object
  bool faster = false;
  unsigned limit = 0;
  std::size_t above = 0;
};

BoneRow mapped(double distance, const char* map, bool only, bool normalize = false) {
  return {.distance = distance, .map = map, .only = only, .normalize = normalize};
}
BoneRow limited(double distance, double inner, double outer) { return {.distance = distance, .range = {inner, outer}}; }
BoneRow strong(double distance, double strength, double length = 1, bool scale = false) {
  return {.distance = distance, .strength = strength, .length = length, .scale = scale};
}
BoneRow off(double distance) { return {.distance = distance, .active = false}; }

const Case kCases[] = {
    {"map only: the share no bone takes stays with the object", 2, {mapped(1, "A", true), mapped(2, "B", true)}, 0.3f, 0.5f, {0.3, 0.5, 0.2}},
    {"map only, normalized", 2, {mapped(1, "A", true, true), mapped(2, "B", true, true)}, 0.3f, 0.5f, {0.375, 0.625, 0}},
    {"map times falloff", 2, {mapped(1, "A", false), mapped(2, "B", false)}, 1, 0.5f, {8.0 / 9, 1.0 / 9, 0}},
    {"falloff at distances 1 and 3", 1, {{1}, {3}}, 0, 0, {0.75, 0.25, 0}},
    {"the stored falloff type is the exponent", 5, {{1}, {2}}, 0, 0, {32.0 / 33, 1.0 / 33, 0}},
    {"strength times rest length", 0, {strong(1, 1, 3, true), strong(2, 1)}, 0, 0, {0.75, 0.25, 0}},
    {"limited range fades between the radii", 0, {limited(2, 1, 3), {2}}, 0, 0, {0.25, 0.5, 0.25}},
    {"limited range: nothing past the outer radius", 0, {limited(3, 1, 3), {2}}, 0, 0, {0, 1, 0}},
    {"inside the inner radius the bone takes the point", 2, {limited(0.5, 1, 3), {0.1}}, 0, 0, {1, 0, 0}},
    {"Faster Bones: the fifth-strongest field is taken off", 0, {strong(1, 5), strong(1, 4), strong(1, 3), strong(1, 2), strong(1, 1)}, 0, 0,
     {0.4, 0.3, 0.2, 0.1, 0, 0}, true},
    {"Faster Bones: four bones keep their fields", 0, {strong(1, 4), strong(1, 3), strong(1, 2), strong(1, 1)}, 0, 0,
     {0.4, 0.3, 0.2, 0.1, 0}, true},
    {"inactive and zero-strength bones do not deform", 1, {off(1), strong(1, 0), {2}}, 0, 0, {0, 0, 1, 0}},
    {"a map-only bone's strength plays no part", 2, {[] { BoneRow r = mapped(1, "A", true); r.strength = 0; return r; }()}, 0.5f, 0, {0.5, 0.5}},
    {"sums above 1 are normalized", 2, {mapped(1, "A", true), mapped(2, "B", true)}, 0.8f, 0.6f, {0.8 / 1.4, 0.6 / 1.4, 0}, false, 0, 1},
    {"-W 1 keeps the strongest, renormalized", 1, {{1}, {3}}, 0, 0, {1, 0, 0}, false, 1},
    {"negative map values weigh nothing", 2, {mapped(1, "A", true), mapped(2, "B", true)}, -0.5f, 0.5f, {0, 0.5, 0.5}},
    {"no bone reaches the point: all of it stays", 2, {mapped(1, "A", true), mapped(2, "B", true)}, 0, 0, {0, 0, 1}},
};

}  // namespace

TEST(SkinWeights, EveryCaseByHand) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.what);
    LwObject object;
    object.points = {{0, 0, 0.5f}};
    object.vertices.resize(2);  // both of point 0
    object.polygons.push_back({3, 0});
    object.indices = {0, 1, 0};
    for (const auto& [name, value] : {std::pair{"A", c.a}, {"B", c.b}}) {
      LwVertexMap& map = object.vertexMaps.emplace_back();
      map.type = lwId("WGHT");
      map.name = name;
      map.points.push_back({kNoPolygon, 0, {value}});
    }
    std::vector<LwBone> bones(c.bones.size());
    std::vector<LwSkinBone> skin;
    for (std::size_t i = 0; i < bones.size(); ++i) {
      const BoneRow& r = c.bones[i];
      LwBone& b = bones[i];
      b.strength = r.strength;
      b.weightMap = r.map;
      b.weightMapOnly = r.only;
      b.normalize = r.normalize;
      b.active = r.active;
      b.limitedRange = r.range[1] >= 0;
      b.minRange = r.range[0];
      b.maxRange = r.range[1];
      b.restLength = r.length;
      b.scaleStrength = r.scale;
      b.restPosition[0] = r.distance;
      static const float kOrigin[3] = {0, 0, 0};
      skin.push_back({lwBoneRestMatrix(b, kOrigin), &b});
    }
    LwSkeleton settings;
    settings.falloff = c.falloff;
    settings.fasterBones = c.faster;
    LwSkinWeights out;
    lwComputeSkin(object, skin, settings, c.limit, out);
    ASSERT_EQ(out.first.size(), c.weights.size() + 1);
    std::uint32_t influences = 0;
    for (std::size_t e = 0; e < c.weights.size(); ++e) {
      const std::uint32_t n = out.first[e + 1] - out.first[e];
      influences += c.weights[e] > 0 ? 1 : 0;
      ASSERT_EQ(n, c.weights[e] > 0 ? 2u : 0u) << e;  // the point's weight goes to both of its vertices
      for (std::uint32_t k = 0; k < n; ++k) {
        EXPECT_EQ(out.vertices[out.first[e] + k], k) << e;
        EXPECT_NEAR(out.weights[out.first[e] + k], c.weights[e], 1e-6) << e;
      }
    }
    EXPECT_EQ(out.maxPerVertex, influences);
    EXPECT_EQ(out.maxPerFace, influences);
    EXPECT_EQ(out.normalizedPoints, c.above);
  }
}

// A skinned mesh laid out as engines skin it. Points 0-3 carry three triangles: the first
// on material 0, the second on material 1 (sharing points 0 and 2), the third on a surface
// merged into material 0 but with other normals; point 4 is used by no face.
TEST(SkinLayout, OneMaterialAndOneNormalPerVertexAndNoUnusedVertex) {
  const struct {
    const char* what;
    bool withNormals;
    std::vector<std::uint32_t> indices;
    std::vector<std::uint32_t> points;
  } rows[] = {
      {"normals split vertices", true, {0, 1, 2, 3, 4, 5, 6, 7, 8}, {0, 1, 2, 0, 2, 3, 1, 2, 3}},
      {"-N: materials alone split", false, {0, 1, 2, 3, 4, 5, 1, 2, 6}, {0, 1, 2, 0, 2, 3, 3}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    LwObject object;
    object.points.resize(5);
    for (std::uint32_t p = 0; p < 5; ++p) object.vertices.push_back(LwVertex{0, 0, 0, p, 0, 0, 0, p});
    object.surfaces.resize(3);
    object.surfaces[1].materialIndex = 1;
    object.surfaces[2].materialIndex = 0;
    object.surfaces[0].materialIndex = 0;
    object.polygons = {{3, 0, 0}, {3, 3, 1}, {3, 6, 2}};
    object.indices = {0, 1, 2, 0, 2, 3, 1, 2, 3};
    object.cornerNormals = {0, 0, 0, 0, 0, 0, 1, 1, 1};
    object.normals = {LwNormal{0, 0, 1, 6}, LwNormal{1, 0, 0, 3}};
    lwLayOutSkinnedMesh(object, row.withNormals);
    EXPECT_EQ(object.indices, row.indices);
    std::vector<std::uint32_t> points;
    for (const LwVertex& v : object.vertices) points.push_back(v.point);
    EXPECT_EQ(points, row.points);
    if (!row.withNormals) continue;
    // Normal i is vertex i's.
    EXPECT_EQ(object.cornerNormals, row.indices);
    ASSERT_EQ(object.normals.size(), 9u);
    EXPECT_EQ(object.normals[5].z, 1.0f);
    EXPECT_EQ(object.normals[6].x, 1.0f);
  }
}

// Only bones that deform (active, with strength or a map of their own) make a mesh skinned
// and take part in its skin; the mesh's own item comes last.
TEST(MeshSkin, OnlyDeformingBonesCount) {
  const struct {
    const char* label;
    std::vector<bool> active;  // the bones of item 0, in order
    std::vector<std::int32_t> items;  // the skin's entries; empty: not skinned
  } rows[] = {{"one active bone", {true}, {1, 0}},
              {"one inactive bone", {false}, {}},
              {"inactive then active", {false, true}, {2, 0}}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.label);
    LwScene scene;
    LwObject& mesh = testsupport::addItem(scene, "mesh", {});
    mesh.points = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    for (std::uint32_t i = 0; i < 3; ++i) mesh.vertices.push_back(LwVertex{0, 0, 0, i, 0, 0, 0, i});
    mesh.indices = {0, 1, 2};
    mesh.polygons.push_back(LwPolygon{3, 0, 0, {}, 0});
    mesh.skeleton.bones = static_cast<std::int32_t>(row.active.size());
    for (const bool active : row.active) {
      LwObject& bone = testsupport::addItem(scene, "bone", {}, 0);
      bone.bone.ownerItem = 0;
      bone.bone.active = active;
    }
    testsupport::TestRun run;
    EXPECT_EQ(lwMeshIsSkinned(run.context, scene, 0), !row.items.empty());
    LwMeshSkin skin;
    const bool built = lwBuildMeshSkin(run.context, scene, 0, skin);
    EXPECT_EQ(built, !row.items.empty());
    if (built) {
      EXPECT_EQ(skin.items, row.items);
    }
  }
}
