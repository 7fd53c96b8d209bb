// Bones of a scene's skeletons, the object settings that shape their influence, and the
// skelegons an object file may carry, as read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "model/xform.h"

namespace torvo {

// An item reference is the 0-based position of an item in its scene, or this.
constexpr std::int32_t kNoItem = -1;

// The falloff a scene gives when it names none (an assumption: LightWave always writes one
// for an object with bones).
constexpr std::int32_t kDefaultBoneFalloff = 4;

// What makes a scene item a bone. Its motion is the item's (keys or channels), relative
// to its parent: the owning object for a root bone, else its parent bone.
struct LwBone {
  std::int32_t ownerItem = kNoItem;   // the object it belongs to; none: not a bone
  bool active = true;
  double restPosition[3] = {0.0, 0.0, 0.0};
  double restDirection[3] = {0.0, 0.0, 0.0};  // heading, pitch, bank in degrees
  double pivotRotation[3] = {0.0, 0.0, 0.0};  // degrees; turns the bone's axes after its rotation
  double restLength = 1.0;
  double strength = 1.0;
  bool scaleStrength = false;         // strength times rest length
  bool limitedRange = false;
  double minRange = 0.0;
  double maxRange = 0.0;
  std::string weightMap;              // empty: none
  bool weightMapOnly = false;
  bool normalize = false;
};

inline bool lwIsBone(const LwBone& bone) { return bone.ownerItem != kNoItem; }

// Object settings for the bones that deform it.
struct LwSkeleton {
  std::int32_t falloff = kDefaultBoneFalloff;  // BoneFalloffType as stored
  bool fasterBones = false;                    // at most four bones per point
  std::int32_t bonesFromItem = kNoItem;        // the item whose bones deform this object; none: its own
  std::int32_t bones = 0;                      // bones it owns (they follow every other item of the scene)
};

// A two-point BONE polygon of an object file and its tags.
struct LwSkelegon {
  std::uint32_t base = 0;  // object points
  std::uint32_t tip = 0;
  std::string name;        // PTAG BONE
  std::string weightMap;   // PTAG BNWT; empty: none
  bool hasUp = false;      // PTAG BNUP
  double up[3] = {0.0, 0.0, 0.0};
};

// The bone's transform relative to its parent at rest, and in a pose given as a motion key;
// parentPivot is taken off the position, as for items.
Mat4 lwBoneRestMatrix(const LwBone& bone, const float parentPivot[3]);
Mat4 lwBonePoseMatrix(const LwBone& bone, const MotionKey& pose, const float parentPivot[3]);
// The rest pose as a motion key (no scale).
MotionKey lwBoneRestKey(const LwBone& bone);
// True when the bone moves points: active, and weighed by its map alone or of a strength
// other than 0 (a map-only bone's strength plays no part, as measured against LightWave).
bool lwBoneDeforms(const LwBone& bone);
// Heading, pitch and bank (degrees) of a rotation matrix built as itemMatrix builds them.
void lwMatrixAngles(const Mat4& m, double angles[3]);
// The bank (radians) that turns the unbanked +Y of a frame of this heading and pitch
// (radians) towards up, seen across its length; 0 when up lies along the length.
double lwBankTowards(double heading, double pitch, const double up[3]);
// Cuts every cycle of a parent forest (parent[i] == none for a root) at the node where a
// walk meets itself, making it a root; returns how many were cut.
std::size_t lwBreakParentCycles(std::vector<std::size_t>& parent, std::size_t none);

}  // namespace torvo
