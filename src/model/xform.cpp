#include "model/xform.h"

#include <cmath>

namespace torvo {

void vecCross(Vec3& out, const Vec3& a, const Vec3& b) {
  const Vec3 r{a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
  out = r;
}

float vecDot(const Vec3& a, const Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

void vecAdd(Vec3& out, const Vec3& a, const Vec3& b) {
  const Vec3 r{a.x + b.x, a.y + b.y, a.z + b.z};
  out = r;
}

void vecScale(Vec3& out, const Vec3& a, float s) {
  const Vec3 r{a.x * s, a.y * s, a.z * s};
  out = r;
}

void quatMultiply(Quat& out, const Quat& a, const Quat& b) {
  // Everything is read before out is written: out may be a or b.
  const float w = a.w * b.w - vecDot(a.v, b.v);
  Vec3 left;
  Vec3 right;
  Vec3 cross;
  vecScale(left, b.v, a.w);
  vecScale(right, a.v, b.w);
  vecCross(cross, a.v, b.v);
  Vec3 v;
  vecAdd(v, left, right);
  vecAdd(v, v, cross);
  out.w = w;
  out.v = v;
}

Quat quatFromAngles(double heading, double pitch, double bank) {
  const double aH = -heading * kDegreesToRadians * 0.5;
  const double aP = -pitch * kDegreesToRadians * 0.5;
  const double aB = -bank * kDegreesToRadians * 0.5;
  const Quat qP{static_cast<float>(std::cos(aP)), {static_cast<float>(std::sin(aP)), 0.0f, 0.0f}};
  const Quat qH{static_cast<float>(std::cos(aH)), {0.0f, static_cast<float>(std::sin(aH)), 0.0f}};
  const Quat qB{static_cast<float>(std::cos(aB)), {0.0f, 0.0f, static_cast<float>(std::sin(aB))}};
  Quat q;
  quatMultiply(q, qB, qP);
  quatMultiply(q, q, qH);
  return q;
}

Mat4 itemMatrix(const MotionKey& key, const float parentPivot[3]) {
  const double* v = key.values;
  Mat4 t;
  t.m[0][3] = v[kPosX] - parentPivot[0];
  t.m[1][3] = v[kPosY] - parentPivot[1];
  t.m[2][3] = v[kPosZ] - parentPivot[2];

  Mat4 s;
  s.m[0][0] = v[kScaleX];
  s.m[1][1] = v[kScaleY];
  s.m[2][2] = v[kScaleZ];

  // Heading turns the other way round from pitch and bank.
  const double a = -v[kHeading] * kDegreesToRadians;
  Mat4 h;
  h.m[0][0] = std::cos(a);
  h.m[0][2] = -std::sin(a);
  h.m[2][0] = std::sin(a);
  h.m[2][2] = std::cos(a);

  const double b = v[kPitch] * kDegreesToRadians;
  Mat4 p;
  p.m[1][1] = std::cos(b);
  p.m[1][2] = -std::sin(b);
  p.m[2][1] = std::sin(b);
  p.m[2][2] = std::cos(b);

  const double c = v[kBank] * kDegreesToRadians;
  Mat4 r;
  r.m[0][0] = std::cos(c);
  r.m[0][1] = -std::sin(c);
  r.m[1][0] = std::sin(c);
  r.m[1][1] = std::cos(c);

  Mat4 m;
  mat4Multiply(m, t);
  mat4Multiply(m, s);
  mat4Multiply(m, h);
  mat4Multiply(m, p);
  mat4Multiply(m, r);
  return m;
}

void mat4Multiply(Mat4& a, const Mat4& b) {
  for (int row = 0; row < 4; ++row) {
    double copy[4];
    for (int j = 0; j < 4; ++j) copy[j] = a.m[row][j];
    for (int j = 0; j < 4; ++j) {
      double sum = 0.0;
      for (int k = 0; k < 4; ++k) sum += copy[k] * b.m[k][j];
      a.m[row][j] = sum;
    }
  }
}

Mat4 mat4AffineInverse(const Mat4& a) {
  const auto& m = a.m;
  const double c00 = m[1][1] * m[2][2] - m[1][2] * m[2][1];
  const double c01 = m[1][2] * m[2][0] - m[1][0] * m[2][2];
  const double c02 = m[1][0] * m[2][1] - m[1][1] * m[2][0];
  const double det = m[0][0] * c00 + m[0][1] * c01 + m[0][2] * c02;
  Mat4 r;
  if (!std::isfinite(det) || det == 0.0) return r;
  const double k = 1.0 / det;
  r.m[0][0] = c00 * k;
  r.m[0][1] = (m[0][2] * m[2][1] - m[0][1] * m[2][2]) * k;
  r.m[0][2] = (m[0][1] * m[1][2] - m[0][2] * m[1][1]) * k;
  r.m[1][0] = c01 * k;
  r.m[1][1] = (m[0][0] * m[2][2] - m[0][2] * m[2][0]) * k;
  r.m[1][2] = (m[0][2] * m[1][0] - m[0][0] * m[1][2]) * k;
  r.m[2][0] = c02 * k;
  r.m[2][1] = (m[0][1] * m[2][0] - m[0][0] * m[2][1]) * k;
  r.m[2][2] = (m[0][0] * m[1][1] - m[0][1] * m[1][0]) * k;
  for (int i = 0; i < 3; ++i) r.m[i][3] = -(r.m[i][0] * m[0][3] + r.m[i][1] * m[1][3] + r.m[i][2] * m[2][3]);
  return r;
}

}  // namespace torvo
