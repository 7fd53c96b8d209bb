// Transform conventions: quaternions from heading, pitch and bank, and item matrices; the
// model's cross-reference check.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <string>

#include "model/validate.h"
#include "model/xform.h"
#include "support/context.h"

using namespace torvo;

using testsupport::motionKey;

namespace {

std::string text(const Quat& q) {
  char s[80]; std::snprintf(s, sizeof s, "%.6f %.6f %.6f %.6f", q.w + 0.0, q.v.x + 0.0, q.v.y + 0.0, q.v.z + 0.0);
  return s;
}

std::string text(const Mat4& m) {
  std::string out; char s[40];
  for (const auto& row : m.m)
    for (double v : row) std::snprintf(s, sizeof s, "%g ", std::fabs(v) < 1e-12 ? 0.0 : v), out += s;
  return out;
}

}  // namespace

TEST(Transform, QuaternionsAndItemMatrices) {
  const float origin[3] = {0, 0, 0}, pivot[3] = {1, 2, 3};
  auto key = [](double x, double y, double z, double h, double p, double b, double s = 1) {
    MotionKey k = motionKey(0, x, h, 0, y, z);
    k.values[kPitch] = p, k.values[kBank] = b, k.values[kScaleX] = 2 * s, k.values[kScaleY] = 3 * s, k.values[kScaleZ] = 4 * s;
    return k;
  };
  // Heading, then pitch on the right: (qB * qP) * qH.
  EXPECT_EQ(text(quatFromAngles(90, 0, 0)) + ", " + text(quatFromAngles(0, 90, 0)) + ", " + text(quatFromAngles(90, 90, 0)) + ", " +
                text(quatFromAngles(0, 0, 0)) + ", " + text(quatFromAngles(0, 0, 90)),
            "0.707107 0.000000 -0.707107 0.000000, 0.707107 -0.707107 0.000000 0.000000, 0.500000 -0.500000 -0.500000 0.500000, "
            "1.000000 0.000000 0.000000 0.000000, 0.707107 0.000000 0.000000 -0.707107");
  // Bank acts first, then pitch and heading, then scale, then the translation less the parent's pivot.
  EXPECT_EQ(text(itemMatrix(key(1, 2, 3, 90, 0, 0, 0.5), origin)), "0 0 1 1 0 1.5 0 2 -2 0 0 3 0 0 0 1 ");
  EXPECT_EQ(text(itemMatrix(key(1, 2, 3, 0, 90, 0, 0.5), pivot)), "1 0 0 0 0 0 -1.5 0 0 2 0 0 0 0 0 1 ");
  EXPECT_EQ(text(itemMatrix(key(10, 20, 30, 90, 0, 90), origin)), "0 0 2 10 3 0 0 20 0 4 0 30 0 0 0 1 ");
  Mat4 a = itemMatrix(key(1, 2, 3, 0, 0, 0, 0.5), origin), swap;  // the product is a * b, written over a
  swap.m[0][0] = swap.m[1][1] = 0, swap.m[0][1] = swap.m[1][0] = 1; mat4Multiply(a, swap);
  EXPECT_EQ(text(a), "0 1 0 1 1.5 0 0 2 0 0 2 3 0 0 0 1 ");
}

TEST(Validate, TheFirstBrokenReferenceOfAnObjectOrAScene) {
  const struct {
    const char* label; std::function<void(LwScene&)> breaks; const char* fault;
  } rows[] = {
      {"sound", [](LwScene&) {}, ""},
      {"corner", [](LwScene& s) { s.items[0]->indices[2] = 3; }, "item 1: no vertex for a corner of polygon 0"},
      {"normal", [](LwScene& s) { s.items[0]->cornerNormals[1] = 1; }, "item 1: no normal for a corner of polygon 0"},
      {"point", [](LwScene& s) { s.items[0]->vertices[1].point = 7; }, "item 1: no point for vertex 1"},
      {"corners", [](LwScene& s) { s.items[0]->polygons[0].cornerCount = 2; }, "item 1: fewer than three corners in polygon 0"},
      {"surface", [](LwScene& s) { s.items[0]->polygons[0].surface = 1; }, "item 1: no surface for polygon 0"},
      {"map", [](LwScene& s) { s.items[0]->surfaces[0].uvMap = 0; }, "item 1: no vertex map for surface 0"},
      {"skelegon", [](LwScene& s) { s.items[0]->skelegons.push_back({0, 3}); }, "item 1: no point for skelegon 0"},
      {"parent", [](LwScene& s) { s.items[1]->parentIndex = 3; }, "no parent for item 2"},
      {"detached", [](LwScene& s) { s.items[1]->parentIndex = kDetachedItem; }, ""},
      {"target", [](LwScene& s) { s.items[1]->targetIndex = -1; }, "no target for item 2"},
      {"morph", [](LwScene& s) { s.items[0]->morphTarget = s.items[1].get(); }, "a morph target other than its number for item 1"},
      {"lender", [](LwScene& s) { s.items[0]->skeleton.bonesFrom = 3; }, "no object lending its bones to item 1"},
      {"owner",
       [](LwScene& s) {
         s.items[0]->bone.owner = 2;
         s.items[1]->bone.owner = 1;
       },
       "no owning object for bone 1"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.label);
    LwScene scene;
    LwObject& mesh = testsupport::addItem(scene, "mesh", 0, {});
    mesh.surfaces.resize(1);
    mesh.points.resize(3);
    for (std::uint32_t i = 0; i < 3; ++i) mesh.vertices.push_back(LwVertex{0, 0, 0, i, 0, 0, 0, i});
    mesh.indices = {0, 1, 2};
    mesh.cornerNormals = {0, 0, 0};
    mesh.normals.resize(1);
    mesh.polygons.push_back(LwPolygon{3, 0, 0, {}, 0});
    testsupport::addItem(scene, "bone", 1, {});
    row.breaks(scene);
    EXPECT_EQ(validateScene(scene).what, row.fault);
  }
}
