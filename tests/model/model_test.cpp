// Transform conventions: quaternions from heading, pitch and bank, and item matrices.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "model/xform.h"
#include "support/context.h"

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
