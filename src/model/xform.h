// Transform conventions of LightWave items, shared by every step that places them.
#pragma once

#include "model/motion.h"

namespace torvo {

struct Vec3 {
  float x = 0.0f, y = 0.0f, z = 0.0f;
};

struct Quat {
  float w = 1.0f;
  Vec3 v;
};

// Row-major, for column vectors; translation in the fourth column.
struct Mat4 {
  double m[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
};

void vecCross(Vec3& out, const Vec3& a, const Vec3& b);
float vecDot(const Vec3& a, const Vec3& b);
void vecAdd(Vec3& out, const Vec3& a, const Vec3& b);
void vecScale(Vec3& out, const Vec3& a, float s);
void quatMultiply(Quat& out, const Quat& a, const Quat& b);
Quat quatFromAngles(double heading, double pitch, double bank);
// The pivot of the top level, and of a matrix placed against no parent: the origin.
inline constexpr float kNoPivot[3] = {0.0f, 0.0f, 0.0f};

Mat4 itemMatrix(const MotionKey& key, const float parentPivot[3]);
void mat4Multiply(Mat4& a, const Mat4& b);
// The inverse of an affine matrix (last row 0 0 0 1); the identity when it has none.
Mat4 mat4AffineInverse(const Mat4& a);

}  // namespace torvo
