#include "model/skeleton.h"

#include <cmath>

namespace torvo {

namespace {

bool turns(const double angles[3]) { return angles[0] != 0.0 || angles[1] != 0.0 || angles[2] != 0.0; }

}  // namespace

MotionKey lwBoneRestKey(const LwBone& bone) {
  MotionKey key;
  for (int j = 0; j < 3; ++j) {
    key.values[kPosX + j] = bone.restPosition[j];
    key.values[kHeading + j] = bone.restDirection[j];
    key.values[kScaleX + j] = 1.0;
  }
  return key;
}

Mat4 lwBonePoseMatrix(const LwBone& bone, const MotionKey& pose, const float parentPivot[3]) {
  Mat4 m = itemMatrix(pose, parentPivot);
  if (turns(bone.pivotRotation)) {
    MotionKey pivot;
    for (int j = 0; j < 3; ++j) pivot.values[kHeading + j] = bone.pivotRotation[j];
    pivot.values[kScaleX] = pivot.values[kScaleY] = pivot.values[kScaleZ] = 1.0;
    mat4Multiply(m, itemMatrix(pivot, kNoPivot));
  }
  return m;
}

Mat4 lwBoneRestMatrix(const LwBone& bone, const float parentPivot[3]) {
  return lwBonePoseMatrix(bone, lwBoneRestKey(bone), parentPivot);
}

bool lwBoneDeforms(const LwBone& bone) {
  return bone.active && ((bone.weightMapOnly && !bone.weightMap.empty()) || (bone.strength != 0.0 && std::isfinite(bone.strength)));
}

void lwMatrixAngles(const Mat4& m, double angles[3]) {
  // The third column is (sin h cos p, -sin p, cos h cos p); bank turns the second column
  // away from where heading and pitch alone put it.
  const double zx = m.m[0][2], zy = m.m[1][2], zz = m.m[2][2];
  const double heading = std::atan2(zx, zz);
  const double pitch = std::atan2(-zy, std::sqrt(zx * zx + zz * zz));
  const double y[3] = {m.m[0][1], m.m[1][1], m.m[2][1]};
  angles[0] = heading * kRadiansToDegrees;
  angles[1] = pitch * kRadiansToDegrees;
  angles[2] = lwBankTowards(heading, pitch, y) * kRadiansToDegrees;
}

double lwBankTowards(double heading, double pitch, const double up[3]) {
  const double sh = std::sin(heading), ch = std::cos(heading), sp = std::sin(pitch), cp = std::cos(pitch);
  const double x0[3] = {ch, 0.0, -sh};          // the first axis without bank
  const double y0[3] = {sh * sp, cp, ch * sp};  // the second axis without bank
  const double across = up[0] * x0[0] + up[1] * x0[1] + up[2] * x0[2];
  const double along = up[0] * y0[0] + up[1] * y0[1] + up[2] * y0[2];
  return across != 0.0 || along != 0.0 ? std::atan2(-across, along) : 0.0;
}

std::size_t lwBreakParentCycles(std::vector<std::size_t>& parent, std::size_t none) {
  std::size_t cut = 0;
  std::vector<char> state(parent.size(), 0);  // 0 unseen, 1 on this walk, 2 done
  for (std::size_t start = 0; start < parent.size(); ++start) {
    std::vector<std::size_t> walk;
    for (std::size_t at = start; at != none && state[at] == 0; at = parent[at]) {
      state[at] = 1;
      walk.push_back(at);
      if (parent[at] != none && state[parent[at]] == 1) {
        parent[at] = none;
        ++cut;
      }
    }
    for (const std::size_t w : walk) state[w] = 2;
  }
  return cut;
}

}  // namespace torvo
