// Bone blocks, shared by the readers of every scene version: the bone keywords, the
// object settings for bones, and the placing of the bones once every item is known.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "core/context.h"
#include "lws/scene_internal.h"

namespace torvo {

namespace lwscene {
namespace {

enum BoneWord {
  kBoneName, kBoneActive, kRestPosition, kRestDirection, kRestLength, kStrength, kScaleStrength,
  kLimitedRange, kMinRange, kMaxRange, kMapName, kMapOnly, kNormalization, kPivotRotation,
  kGoal, kController, kJointComp, kMuscleFlex,
};

constexpr Keyword<int> kBoneWords[] = {
    {"BoneName", kBoneName},           {"BoneActive", kBoneActive},        {"BoneRestPosition", kRestPosition},
    {"BoneRestDirection", kRestDirection}, {"BoneRestLength", kRestLength}, {"BoneStrength", kStrength},
    {"ScaleBoneStrength", kScaleStrength}, {"BoneLimitedRange", kLimitedRange}, {"BoneMinRange", kMinRange},
    {"BoneMaxRange", kMaxRange},       {"BoneWeightMapName", kMapName},    {"BoneWeightMapOnly", kMapOnly},
    {"BoneNormalization", kNormalization}, {"PivotRotation", kPivotRotation}, {"GoalObject", kGoal},
    {"GoalItem", kGoal},               {"HController", kController},       {"PController", kController},
    {"BController", kController},      {"BoneJointComp", kJointComp},      {"BoneMuscleFlex", kMuscleFlex},
};

enum SkeletonWord { kFalloff, kFaster, kBonesFrom };
constexpr Keyword<int> kSkeletonWords[] = {{"BoneFalloffType", kFalloff}, {"FasterBones", kFaster}, {"UseBonesFrom", kBonesFrom}};

// Up to three finite numbers; the ones missing or not finite keep their value.
void readTriple(const char* text, double (&out)[3]) {
  const char* p = text;
  for (double& value : out) {
    char* end = nullptr;
    const double v = std::strtod(p, &end);
    if (end == p) return;
    if (std::isfinite(v)) value = v;
    p = end;
  }
}

double readNumber(const char* text, double fallback) {
  char* end = nullptr;
  const double v = std::strtod(text, &end);
  return end != text && std::isfinite(v) ? v : fallback;
}

// A flag; a keyword given alone turns the setting on.
bool readFlag(const char* text) { return readNumber(text, 1.0) != 0.0; }

std::string trimmed(const char* text) {
  std::string s(text);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.pop_back();
  std::size_t start = 0;
  while (start < s.size() && (s[start] == ' ' || s[start] == '\t')) ++start;
  return s.substr(start);
}

}  // namespace

LwObject& BoneSet::add(std::int32_t owner) {
  if (owner == kNoItem) {
    ++notes.orphans;
    discard = LwObject();
    return discard;
  }
  if (perOwner.size() <= static_cast<std::size_t>(owner)) perOwner.resize(static_cast<std::size_t>(owner) + 1, 0);
  if (perOwner[static_cast<std::size_t>(owner)] >= kMaxBonesPerObject) {
    ++notes.overflow;
    discard = LwObject();
    return discard;
  }
  ++perOwner[static_cast<std::size_t>(owner)];
  PendingBone& pending = bones.emplace_back();
  pending.item = std::make_unique<LwObject>();
  pending.item->name = "Bone";
  pending.owner = owner;
  return *pending.item;
}

bool readBoneWord(const std::string& line, LwObject& item, BoneNotes& notes) {
  const char* argument = "";
  const int code = findWord(line, kBoneWords, &argument, -1);
  LwBone& bone = item.bone;
  switch (code) {
    case kBoneName: item.name = trimmed(argument); break;
    case kBoneActive: bone.active = readFlag(argument); break;
    case kRestPosition: readTriple(argument, bone.restPosition); break;
    case kRestDirection: readTriple(argument, bone.restDirection); break;
    case kRestLength: bone.restLength = readNumber(argument, bone.restLength); break;
    case kStrength: bone.strength = readNumber(argument, bone.strength); break;
    case kScaleStrength: bone.scaleStrength = readFlag(argument); break;
    case kLimitedRange: bone.limitedRange = readFlag(argument); break;
    case kMinRange: bone.minRange = readNumber(argument, bone.minRange); break;
    case kMaxRange: bone.maxRange = readNumber(argument, bone.maxRange); break;
    case kMapName: bone.weightMap = trimmed(argument); break;
    case kMapOnly: bone.weightMapOnly = readFlag(argument); break;
    case kNormalization: bone.normalize = readFlag(argument); break;
    case kPivotRotation: readTriple(argument, bone.pivotRotation); break;
    case kGoal: ++notes.ik; break;
    case kController: notes.ik += readNumber(argument, 0.0) != 0.0 ? 1 : 0; break;
    case kJointComp: notes.jointComp += readFlag(argument) ? 1 : 0; break;
    case kMuscleFlex: notes.muscleFlex += readFlag(argument) ? 1 : 0; break;
    default: return false;
  }
  return true;
}

bool readSkeletonWord(const std::string& line, LwObject& object, std::string& bonesFrom) {
  const char* argument = "";
  switch (findWord(line, kSkeletonWords, &argument, -1)) {
    case kFalloff: {
      const double v = readNumber(argument, kDefaultBoneFalloff);
      object.skeleton.falloff = static_cast<std::int32_t>(std::clamp(v, 0.0, 64.0));
      return true;
    }
    case kFaster: object.skeleton.fasterBones = readFlag(argument); return true;
    case kBonesFrom: bonesFrom = trimmed(argument); return true;
    default: return false;
  }
}

void placeBones(LwScene& scene, BoneSet& set, const MessageSink& sink) {
  const std::size_t before = scene.items.size();
  set.placed.assign(before, {});
  for (std::size_t i = 0; i < set.bones.size(); ++i) {
    const PendingBone& b = set.bones[i];
    set.placed[static_cast<std::size_t>(b.owner)].push_back(static_cast<std::int32_t>(before + i));
  }
  // Parents first, then cycles among them are broken at the bone where the walk meets itself.
  std::vector<std::int32_t> parent(set.bones.size());
  std::uint32_t stray = 0;
  for (std::size_t i = 0; i < set.bones.size(); ++i) {
    const PendingBone& b = set.bones[i];
    const std::int32_t placed = placedBone(set, b.owner, b.parentBone);
    const bool self = placed == static_cast<std::int32_t>(before + i);
    if (b.strayParent || (b.parentBone >= 0 && (placed == kNoItem || self))) ++stray;
    parent[i] = placed != kNoItem && !self ? placed : b.owner;
  }
  // Among the bones, by index: a bone parented to its object is a root.
  const std::size_t none = set.bones.size();
  std::vector<std::size_t> link(set.bones.size(), none);
  for (std::size_t i = 0; i < link.size(); ++i)
    if (static_cast<std::size_t>(parent[i]) >= before) link[i] = static_cast<std::size_t>(parent[i]) - before;
  std::vector<std::size_t> cutLink = link;
  const std::size_t cycles = lwBreakParentCycles(cutLink, none);
  for (std::size_t i = 0; i < link.size(); ++i)
    if (cutLink[i] != link[i]) parent[i] = set.bones[i].owner;
  for (std::size_t i = 0; i < set.bones.size(); ++i) {
    PendingBone& b = set.bones[i];
    LwObject& item = *b.item;
    item.name = itemName(scene.items.size(), item.name);
    item.parentItem = parent[i];
    item.bone.ownerItem = b.owner;
    ++scene.items[static_cast<std::size_t>(b.owner)]->skeleton.bones;
    // A bone without motion stays where it rests.
    if (item.motionKeys.empty() && item.channels.empty()) item.motionKeys.push_back(lwBoneRestKey(item.bone));
    scene.items.push_back(std::move(b.item));
  }
  const BoneNotes& n = set.notes;
  if (n.orphans != 0) report(sink, Message::kOrphanBones, n.orphans);
  if (n.overflow != 0) report(sink, Message::kBonesPastLimit, n.overflow, kMaxBonesPerObject);
  if (stray != 0) report(sink, Message::kStrayBoneParents, stray);
  if (cycles != 0) report(sink, Message::kBoneCycles, cycles);
  const struct {
    std::uint32_t count;
    const char* what;
  } ignored[] = {{n.ik, "IK"}, {n.plugins, "motion plugins"}, {n.jointComp, "joint compensation"}, {n.muscleFlex, "muscle flex"}};
  for (const auto& i : ignored) {
    if (i.count != 0) report(sink, Message::kBoneSettingsIgnored, i.what, i.count);
  }
  set.bones.clear();
}

std::int32_t placedBone(const BoneSet& set, std::int32_t owner, long long index) {
  if (owner < 0 || static_cast<std::size_t>(owner) >= set.placed.size() || index < 0) return kNoItem;
  const std::vector<std::int32_t>& of = set.placed[static_cast<std::size_t>(owner)];
  return static_cast<std::size_t>(index) < of.size() ? of[static_cast<std::size_t>(index)] : kNoItem;
}

}  // namespace lwscene

}  // namespace torvo
