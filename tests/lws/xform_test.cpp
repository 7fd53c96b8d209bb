#include "lws/xform.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

MotionKey placement(double x, double y, double z, double h, double p, double b, double sx = 1, double sy = 1,
                    double sz = 1) {
  MotionKey k;
  const double v[kChannelCount] = {x, y, z, h, p, b, sx, sy, sz};
  for (int i = 0; i < kChannelCount; ++i) k.values[i] = v[i];
  return k;
}

const float kOrigin[3] = {0.0f, 0.0f, 0.0f};

// M applied to the column vector (x, y, z, w) is close to `expected`.
void expectApplied(const Mat4& m, std::initializer_list<double> in, std::initializer_list<double> expected) {
  for (int r = 0; r < 3; ++r) {
    double out = 0.0;
    for (int c = 0; c < 4; ++c) out += m.m[r][c] * in.begin()[c];
    EXPECT_NEAR(out, expected.begin()[r], 1e-9) << "row " << r;
  }
}

void expectMatrix(const Mat4& m, const double (&expected)[4][4]) {
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) EXPECT_NEAR(m.m[r][c], expected[r][c], 1e-12) << r << "," << c;
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
  expectMatrix(itemMatrix(placement(0, 0, 0, 90, 0, 0), kOrigin),
               {{0, 0, 1, 0}, {0, 1, 0, 0}, {-1, 0, 0, 0}, {0, 0, 0, 1}});
  expectQuat(quatFromAngles(90, 0, 0), half, 0, -half, 0);
  expectApplied(itemMatrix(placement(0, 0, 0, 0, 90, 0), kOrigin), {0, 1, 0, 0}, {0, 0, 1});
  expectQuat(quatFromAngles(0, 90, 0), half, -half, 0, 0);
  // Heading, then pitch on the right: (qB * qP) * qH.
  expectQuat(quatFromAngles(90, 90, 0), 0.5, -0.5, -0.5, 0.5);
  expectQuat(quatFromAngles(0, 0, 0), 1, 0, 0, 0);
}

TEST(Transform, TranslationScaleOrderAndParentPivot) {
  expectMatrix(itemMatrix(placement(1, 2, 3, 0, 0, 0), kOrigin),
               {{1, 0, 0, 1}, {0, 1, 0, 2}, {0, 0, 1, 3}, {0, 0, 0, 1}});
  const float pivot[3] = {1.0f, 2.0f, 3.0f};
  expectMatrix(itemMatrix(placement(1, 2, 3, 0, 0, 0), pivot),
               {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}});
  // Bank acts first, then heading, then scale, then the translation.
  const Mat4 m = itemMatrix(placement(10, 20, 30, 90, 0, 90, 2, 3, 4), kOrigin);
  expectApplied(m, {1, 0, 0, 1}, {10, 23, 30});
  expectApplied(m, {0, 1, 0, 0}, {0, 0, 4});
}

TEST(Transform, ProductsAndVectors) {
  // A translation times a swap of x and y: the product is a * b, written over a.
  Mat4 a = itemMatrix(placement(1, 2, 3, 0, 0, 0), kOrigin);
  Mat4 swap;
  swap.m[0][0] = swap.m[1][1] = 0;
  swap.m[0][1] = swap.m[1][0] = 1;
  mat4Multiply(a, swap);
  expectMatrix(a, {{0, 1, 0, 1}, {1, 0, 0, 2}, {0, 0, 1, 3}, {0, 0, 0, 1}});

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
  expectQuat(separate, -0.5, 0.5, 0.5, -0.5);
  quatMultiply(q, q, r);
  expectQuat(q, -0.5, 0.5, 0.5, -0.5);
}
