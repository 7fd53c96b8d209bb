// A skeleton for an object converted alone, from the skelegons its file carries.
#include <cmath>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/options.h"
#include "geometry/skin.h"

namespace torvo {

namespace {

// The rest transform of a skelegon in object space: origin at the base, +Z to the tip,
// +Y as near the up vector as the length allows.
Mat4 restFrame(const LwObject& object, const LwSkelegon& s, double& length) {
  const LwPoint& a = object.points[s.base];
  const LwPoint& b = object.points[s.tip];
  double z[3] = {double{b.x} - a.x, double{b.y} - a.y, double{b.z} - a.z};
  length = std::sqrt(z[0] * z[0] + z[1] * z[1] + z[2] * z[2]);
  MotionKey key;
  key.values[kPosX] = a.x, key.values[kPosY] = a.y, key.values[kPosZ] = a.z;
  key.values[kScaleX] = key.values[kScaleY] = key.values[kScaleZ] = 1.0;
  if (length > 0.0) {
    for (double& c : z) c /= length;
    const double heading = std::atan2(z[0], z[2]);
    const double pitch = std::atan2(-z[1], std::sqrt(z[0] * z[0] + z[2] * z[2]));
    key.values[kHeading] = heading * kRadiansToDegrees;
    key.values[kPitch] = pitch * kRadiansToDegrees;
    if (s.hasUp) key.values[kBank] = lwBankTowards(heading, pitch, s.up) * kRadiansToDegrees;
  }
  return itemMatrix(key, kNoPivot);
}

}  // namespace

bool lwHasWeightedSkelegons(const LwObject& object) {
  for (const LwSkelegon& s : object.skelegons)
    if (!s.weightMap.empty()) return true;
  return false;
}

void lwRigSkelegons(LwScene& scene) {
  LwObject& object = *scene.items[0];
  std::vector<const LwSkelegon*> kept;
  for (const LwSkelegon& s : object.skelegons)
    if (s.base < object.points.size() && s.tip < object.points.size() && s.base != s.tip) kept.push_back(&s);
  if (kept.size() > kMaxInfluences) kept.resize(kMaxInfluences);
  // A skelegon's parent is the first whose tip is its base; a walk that meets itself is cut.
  std::unordered_map<std::uint32_t, std::size_t> byTip;
  for (std::size_t i = kept.size(); i-- > 0;) byTip[kept[i]->tip] = i;
  const std::size_t none = kept.size();
  std::vector<std::size_t> parent(kept.size(), none);
  for (std::size_t i = 0; i < kept.size(); ++i) {
    const auto found = byTip.find(kept[i]->base);
    if (found != byTip.end() && found->second != i) parent[i] = found->second;
  }
  lwBreakParentCycles(parent, none);
  std::vector<Mat4> rest(kept.size());
  std::vector<double> length(kept.size());
  for (std::size_t i = 0; i < kept.size(); ++i) rest[i] = restFrame(object, *kept[i], length[i]);
  const std::int32_t first = static_cast<std::int32_t>(scene.items.size());
  for (std::size_t i = 0; i < kept.size(); ++i) {
    const LwSkelegon& s = *kept[i];
    Mat4 local = rest[i];
    if (parent[i] != none) {
      local = mat4AffineInverse(rest[parent[i]]);
      mat4Multiply(local, rest[i]);
    }
    auto item = std::make_unique<LwObject>();
    item->name = std::to_string(scene.items.size()) + "_" + (s.name.empty() ? std::string("Bone") : s.name);
    if (item->name.size() > kNameSize - 1) item->name.resize(kNameSize - 1);
    item->parentItem = parent[i] != none ? first + static_cast<std::int32_t>(parent[i]) : 0;
    LwBone& bone = item->bone;
    bone.ownerItem = 0;
    for (int j = 0; j < 3; ++j) bone.restPosition[j] = local.m[j][3];
    lwMatrixAngles(local, bone.restDirection);
    bone.restLength = length[i];
    bone.weightMap = s.weightMap;
    bone.weightMapOnly = bone.normalize = true;
    bone.active = !s.weightMap.empty();
    item->motionKeys.push_back(lwBoneRestKey(bone));
    scene.items.push_back(std::move(item));
    ++object.skeleton.bones;
  }
}

}  // namespace torvo
