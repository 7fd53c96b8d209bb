// Transform conventions: quaternions from heading, pitch and bank, item and bone matrices;
// the model's cross-reference check.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "model/skeleton.h"
#include "model/validate.h"
#include "model/xform.h"
#include "support/context.h"

using namespace torvo;

using testsupport::motionKey;

namespace {

// The matrix's sixteen values, row by row, with rounding noise taken as zero.
std::vector<double> values(const Mat4& m) {
  std::vector<double> out;
  for (const auto& row : m.m)
    for (double v : row) out.push_back(std::fabs(v) < 1e-12 ? 0.0 : v);
  return out;
}

MotionKey key(double x, double y, double z, double h, double p, double b, double s = 1) {
  MotionKey k = motionKey(0, x, h, 0, y, z);
  k.values[kPitch] = p;
  k.values[kBank] = b;
  k.values[kScaleX] = 2 * s;
  k.values[kScaleY] = 3 * s;
  k.values[kScaleZ] = 4 * s;
  return k;
}

}  // namespace

// Heading, then pitch on the right: (qB * qP) * qH.
TEST(Transform, QuaternionsFromHeadingPitchAndBank) {
  const double r = std::sqrt(0.5);
  const struct {
    const char* label;
    double h, p, b;
    double w, x, y, z;
  } rows[] = {{"heading", 90, 0, 0, r, 0, -r, 0},
              {"pitch", 0, 90, 0, r, -r, 0, 0},
              {"heading and pitch", 90, 90, 0, 0.5, -0.5, -0.5, 0.5},
              {"none", 0, 0, 0, 1, 0, 0, 0},
              {"bank", 0, 0, 90, r, 0, 0, -r}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.label);
    const Quat q = quatFromAngles(row.h, row.p, row.b);
    EXPECT_NEAR(q.w, row.w, 1e-6);
    EXPECT_NEAR(q.v.x, row.x, 1e-6);
    EXPECT_NEAR(q.v.y, row.y, 1e-6);
    EXPECT_NEAR(q.v.z, row.z, 1e-6);
  }
}

// Bank acts first, then pitch and heading, then scale, then the translation less the parent's pivot.
TEST(Transform, ItemMatrices) {
  const float origin[3] = {0, 0, 0};
  const float pivot[3] = {1, 2, 3};
  const struct {
    const char* label;
    MotionKey key;
    const float* pivot;
    std::vector<double> matrix;
  } rows[] = {{"heading, half scale", key(1, 2, 3, 90, 0, 0, 0.5), origin, {0, 0, 1, 1, 0, 1.5, 0, 2, -2, 0, 0, 3, 0, 0, 0, 1}},
              {"pitch less the pivot", key(1, 2, 3, 0, 90, 0, 0.5), pivot, {1, 0, 0, 0, 0, 0, -1.5, 0, 0, 2, 0, 0, 0, 0, 0, 1}},
              {"bank before heading", key(10, 20, 30, 90, 0, 90), origin, {0, 0, 2, 10, 3, 0, 0, 20, 0, 4, 0, 30, 0, 0, 0, 1}}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.label);
    EXPECT_EQ(values(itemMatrix(row.key, row.pivot)), row.matrix);
  }
  // The product is a * b, written over a.
  Mat4 a = itemMatrix(key(1, 2, 3, 0, 0, 0, 0.5), origin);
  Mat4 swap;
  swap.m[0][0] = 0;
  swap.m[1][1] = 0;
  swap.m[0][1] = 1;
  swap.m[1][0] = 1;
  mat4Multiply(a, swap);
  EXPECT_EQ(values(a), (std::vector<double>{0, 1, 0, 1, 1.5, 0, 0, 2, 0, 0, 2, 3, 0, 0, 0, 1}));
}

// A bone's pivot rotation turns its axes after its own rotation.
TEST(Transform, BonePivotRotation) {
  const float origin[3] = {0, 0, 0};
  const struct {
    const char* label;
    double heading;
    double pivot[3];
    std::vector<double> matrix;
  } rows[] = {{"none", 0, {0, 0, 0}, {1, 0, 0, 1, 0, 1, 0, 2, 0, 0, 1, 3, 0, 0, 0, 1}},
              {"heading", 0, {90, 0, 0}, {0, 0, 1, 1, 0, 1, 0, 2, -1, 0, 0, 3, 0, 0, 0, 1}},
              {"pitch", 0, {0, 90, 0}, {1, 0, 0, 1, 0, 0, -1, 2, 0, 1, 0, 3, 0, 0, 0, 1}},
              {"bank after the heading", 90, {0, 0, 90}, {0, 0, 1, 1, 1, 0, 0, 2, 0, 1, 0, 3, 0, 0, 0, 1}}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.label);
    LwBone bone;
    std::copy(row.pivot, row.pivot + 3, bone.pivotRotation);
    EXPECT_EQ(values(lwBonePoseMatrix(bone, motionKey(0, 1, row.heading, 0, 2, 3), origin)), row.matrix);
  }
}

TEST(Validate, TheFirstBrokenReferenceOfAnObjectOrAScene) {
  const struct {
    const char* label;
    std::function<void(LwScene&)> breaks;
    const char* fault;
  } rows[] = {
      {"sound", [](LwScene&) {}, ""},
      {"corner", [](LwScene& s) { s.items[0]->indices[2] = 3; }, "item 1: no vertex for a corner of polygon 0"},
      {"normal", [](LwScene& s) { s.items[0]->cornerNormals[1] = 1; }, "item 1: no normal for a corner of polygon 0"},
      {"point", [](LwScene& s) { s.items[0]->vertices[1].point = 7; }, "item 1: no point for vertex 1"},
      {"polygon list",
       [](LwScene& s) {
         s.items[0]->polygonLists = {1};
         s.items[0]->vertices[0].polygonListCount = 1;
       },
       "item 1: a polygon list names no polygon for vertex 0"},
      {"corners", [](LwScene& s) { s.items[0]->polygons[0].cornerCount = 2; }, "item 1: fewer than three corners in polygon 0"},
      {"surface", [](LwScene& s) { s.items[0]->polygons[0].surface = 1; }, "item 1: no surface for polygon 0"},
      {"map", [](LwScene& s) { s.items[0]->surfaces[0].uvMap = 0; }, "item 1: no vertex map for surface 0"},
      {"skelegon", [](LwScene& s) { s.items[0]->skelegons.push_back({0, 3}); }, "item 1: no point for skelegon 0"},
      {"parent", [](LwScene& s) { s.items[1]->parentItem = 2; }, "no parent for item 2"},
      {"detached", [](LwScene& s) { s.items[1]->detached = true; }, "no parent for item 2"},
      {"target", [](LwScene& s) { s.items[1]->targetItem = -2; }, "no target for item 2"},
      {"morph", [](LwScene& s) { s.items[0]->morphTarget = s.items[1].get(); }, "a morph target other than its reference for item 1"},
      {"lender", [](LwScene& s) { s.items[0]->skeleton.bonesFromItem = 2; }, "no object lending its bones to item 1"},
      {"owner",
       [](LwScene& s) {
         s.items[0]->bone.ownerItem = 1;
         s.items[1]->bone.ownerItem = 0;
       },
       "no owning object for bone 1"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.label);
    LwScene scene;
    LwObject& mesh = testsupport::addItem(scene, "mesh", {});
    mesh.surfaces.resize(1);
    mesh.points.resize(3);
    for (std::uint32_t i = 0; i < 3; ++i) mesh.vertices.push_back(LwVertex{0, 0, 0, i, 0, 0, 0, i});
    mesh.indices = {0, 1, 2};
    mesh.cornerNormals = {0, 0, 0};
    mesh.normals.resize(1);
    mesh.polygons.push_back(LwPolygon{3, 0, 0, {}, 0});
    testsupport::addItem(scene, "bone", {}, 0);
    row.breaks(scene);
    EXPECT_EQ(validateScene(scene).what, row.fault);
  }
}
