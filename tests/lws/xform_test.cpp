#include <gtest/gtest.h>

#include <cmath>

#include "lws/xform.h"

namespace {

MotionKey placement(double x, double y, double z, double h, double p, double b, double sx = 1, double sy = 1,
                    double sz = 1) {
  MotionKey k;
  const double v[kChannelCount] = {x, y, z, h, p, b, sx, sy, sz};
  for (int i = 0; i < kChannelCount; ++i) k.values[i] = v[i];
  return k;
}

const float kOrigin[3] = {0.0f, 0.0f, 0.0f};

// M applied to the column vector (x, y, z, w).
void apply(const Mat4& m, const double in[4], double out[4]) {
  for (int r = 0; r < 4; ++r) {
    out[r] = 0.0;
    for (int c = 0; c < 4; ++c) out[r] += m.m[r][c] * in[c];
  }
}

void expectQuat(const Quat& q, double w, double x, double y, double z) {
  EXPECT_NEAR(q.w, w, 1e-6);
  EXPECT_NEAR(q.v.x, x, 1e-6);
  EXPECT_NEAR(q.v.y, y, 1e-6);
  EXPECT_NEAR(q.v.z, z, 1e-6);
}

}  // namespace

TEST(Transform, HeadingAndPitchAlone) {
  const double half = std::sqrt(0.5);
  const Mat4 h = itemMatrix(placement(0, 0, 0, 90, 0, 0), kOrigin);
  EXPECT_NEAR(h.m[0][2], 1.0, 1e-12);
  EXPECT_NEAR(h.m[2][0], -1.0, 1e-12);
  EXPECT_NEAR(h.m[0][0], 0.0, 1e-12);
  expectQuat(quatFromAngles(90, 0, 0), half, 0, -half, 0);

  const Mat4 p = itemMatrix(placement(0, 0, 0, 0, 90, 0), kOrigin);
  const double up[4] = {0, 1, 0, 0};
  double moved[4];
  apply(p, up, moved);
  EXPECT_NEAR(moved[0], 0.0, 1e-12);
  EXPECT_NEAR(moved[1], 0.0, 1e-12);
  EXPECT_NEAR(moved[2], 1.0, 1e-12);
  expectQuat(quatFromAngles(0, 90, 0), half, -half, 0, 0);

  // Heading, then pitch on the right: (qB * qP) * qH.
  expectQuat(quatFromAngles(90, 90, 0), 0.5, -0.5, -0.5, 0.5);
}

TEST(Transform, TranslationScaleOrderAndParentPivot) {
  const float pivot[3] = {1.0f, 2.0f, 3.0f};
  const Mat4 plain = itemMatrix(placement(1, 2, 3, 0, 0, 0), kOrigin);
  const Mat4 identity;
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 3; ++c) EXPECT_EQ(plain.m[r][c], identity.m[r][c]);
  }
  EXPECT_EQ(plain.m[0][3], 1.0);
  EXPECT_EQ(plain.m[1][3], 2.0);
  EXPECT_EQ(plain.m[2][3], 3.0);
  EXPECT_EQ(plain.m[3][3], 1.0);
  expectQuat(quatFromAngles(0, 0, 0), 1, 0, 0, 0);

  const Mat4 atPivot = itemMatrix(placement(1, 2, 3, 0, 0, 0), pivot);
  EXPECT_EQ(atPivot.m[0][3], 0.0);
  EXPECT_EQ(atPivot.m[1][3], 0.0);
  EXPECT_EQ(atPivot.m[2][3], 0.0);

  // Bank acts first, then heading, then scale, then the translation.
  const Mat4 m = itemMatrix(placement(10, 20, 30, 90, 0, 90, 2, 3, 4), kOrigin);
  const double x[4] = {1, 0, 0, 1};
  const double y[4] = {0, 1, 0, 0};
  double out[4];
  apply(m, x, out);
  EXPECT_NEAR(out[0], 10.0, 1e-9);
  EXPECT_NEAR(out[1], 23.0, 1e-9);
  EXPECT_NEAR(out[2], 30.0, 1e-9);
  apply(m, y, out);
  EXPECT_NEAR(out[0], 0.0, 1e-9);
  EXPECT_NEAR(out[1], 0.0, 1e-9);
  EXPECT_NEAR(out[2], 4.0, 1e-9);
}

TEST(Transform, ProductsAndVectors) {
  Mat4 a;
  Mat4 b;
  int n = 1;
  for (auto& row : a.m) {
    for (double& v : row) v = n++;
  }
  for (auto& row : b.m) {
    for (double& v : row) v = (n++) % 7 - 3;
  }
  Mat4 expected;
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) {
      expected.m[r][c] = 0;
      for (int k = 0; k < 4; ++k) expected.m[r][c] += a.m[r][k] * b.m[k][c];
    }
  }
  mat4Multiply(a, b);
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) EXPECT_EQ(a.m[r][c], expected.m[r][c]);
  }

  Vec3 out;
  vecCross(out, Vec3{1, 0, 0}, Vec3{0, 1, 0});
  EXPECT_EQ(out.z, 1.0f);
  EXPECT_EQ(vecDot(Vec3{1, 2, 3}, Vec3{4, 5, 6}), 32.0f);
  vecAdd(out, Vec3{1, 2, 3}, Vec3{4, 5, 6});
  EXPECT_EQ(out.y, 7.0f);
  vecScale(out, Vec3{1, 2, 3}, 2.0f);
  EXPECT_EQ(out.z, 6.0f);

  // The product may be written over either operand.
  Quat q{0.5f, {0.5f, 0.5f, 0.5f}};
  const Quat r{0.0f, {1.0f, 0.0f, 0.0f}};
  Quat separate;
  quatMultiply(separate, q, r);
  quatMultiply(q, q, r);
  EXPECT_EQ(q.w, separate.w);
  EXPECT_EQ(q.v.x, separate.v.x);
  EXPECT_EQ(q.v.y, separate.v.y);
  EXPECT_EQ(q.v.z, separate.v.z);
  expectQuat(separate, -0.5, 0.5, 0.5, -0.5);
}
