// Scenes of LightWave 5.6 (version 2) and LightWave 6 and later (versions 3 to 5):
// the same items as version 1, with per-channel envelopes in seconds for motion.
#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/context.h"
#include "core/paths.h"
#include "core/text_cursor.h"
#include "lws/scene_internal.h"
#include "lws/scene_reader.h"
#include "model/scene.h"

namespace torvo {

namespace lwscene {
namespace {

// Later scenes hold long key lines and long paths: one line may be this long.
constexpr std::size_t kLineSize = kPathSize + 64;
// A version 2 motion block names its channel count; none has more than this.
constexpr std::int32_t kMaxChannels = 64;
constexpr double kLastBehavior = kBehaviorLinear;

enum Code {
  kNone,
  kAddBone,
  kAddCamera,
  kAddLight,
  kAddNull,
  kCameraMotion,
  kFirstFrame,
  kFramesPerSecond,
  kLastFrame,
  kLoadObject,
  kLoadObjectLayer,
  kPlugin,
  kEndPlugin,
  kMotion,  // ObjectMotion, LightMotion
  kChannel,
  kBehaviors,  // version 2: pre and post of every channel
  kLightName,
  kCameraName,
  kParentObject,
  kParentItem,
  kTargetObject,
  kTargetItem,
  kPivot,
  kDissolve,
  kMorphTarget,
  kMetamorph,
  kPathAlignment,
  kLookAhead,
};

constexpr Keyword<Code> kSceneWords[] = {
    {"AddBone", kAddBone},         {"AddCamera", kAddCamera},       {"AddLight", kAddLight},
    {"AddNullObject", kAddNull},   {"CameraMotion", kCameraMotion}, {"FirstFrame", kFirstFrame},
    {"FramesPerSecond", kFramesPerSecond}, {"LastFrame", kLastFrame}, {"LoadObject", kLoadObject},
    {"LoadObjectLayer", kLoadObjectLayer}, {"Plugin", kPlugin},
};

constexpr Keyword<Code> kItemWords[] = {
    {"ObjectMotion", kMotion},     {"LightMotion", kMotion},        {"Channel", kChannel},
    {"Pre/PostBehavior", kBehaviors}, {"LightName", kLightName},    {"CameraName", kCameraName},
    {"ParentObject", kParentObject}, {"ParentItem", kParentItem},   {"TargetObject", kTargetObject},
    {"TargetItem", kTargetItem},   {"PivotPoint", kPivot},          {"PivotPosition", kPivot},
    {"ObjDissolve", kDissolve},    {"ObjectDissolve", kDissolve},   {"MorphTarget", kMorphTarget},
    {"Metamorph", kMetamorph},     {"PathAlignment", kPathAlignment}, {"LookAheadFrames", kLookAhead},
    {"BoneMotion", kMotion},
};

enum Kind { kObject = 0, kLight = 1, kCamera = 2, kKinds = 3 };
// References that name bones: a hex id of kind 4 (the ordinal holds the bone's number
// within its object in bits 16-27 and the object's ordinal in bits 0-15), and a version 2
// ParentObject inside a skeleton (the ordinal is the bone's index among its object's).
constexpr std::int32_t kBoneId = 3;
constexpr std::int32_t kSkeletonBone = 4;

// An item reference as the file gives it: a kind and a 0-based ordinal among the
// file's items of that kind; resolved to an item once every item is known.
struct Ref {
  std::int32_t kind = -1;
  long long ordinal = -1;
};

struct Links {
  Ref parent;
  Ref target;
  Ref morph;
  std::string bonesFrom;  // UseBonesFrom as written
};

const char* skipBlanks(const char* p) {
  while (*p == ' ' || *p == '\t') ++p;
  return p;
}

// Reads up to `count` numbers; true when all were there and finite.
bool parseNumbers(const char* text, double* out, int count) {
  const char* p = text;
  for (int i = 0; i < count; ++i) {
    char* end = nullptr;
    out[i] = std::strtod(p, &end);
    if (end == p || !std::isfinite(out[i])) return false;
    p = end;
  }
  return true;
}

// A whole number on its own (leading blanks allowed), within [low, high].
bool parseCount(const std::string& line, long long low, long long high, long long& value) {
  const char* p = skipBlanks(line.c_str());
  char* end = nullptr;
  value = std::strtoll(p, &end, 10);
  if (end == p || *skipBlanks(end) != '\0') return false;
  return value >= low && value <= high;
}

// "10000000": kind in the top four bits, ordinal in the rest.
Ref hexRef(const char* text) {
  const char* p = skipBlanks(text);
  char* end = nullptr;
  const unsigned long long id = std::strtoull(p, &end, 16);
  if (end == p || id > 0xFFFFFFFFull) return {};
  const std::int32_t kind = static_cast<std::int32_t>(id >> 28) - 1;  // 1 object, 2 light, 3 camera, 4 bone
  if (kind < kObject || kind > kBoneId) return {};
  return {kind, static_cast<long long>(id & 0x0FFFFFFFull)};
}

// An item id of eight hex digits in front of the rest of the line, as later versions
// write after LoadObjectLayer's layer, AddNullObject, AddLight and AddCamera.
const char* skipItemId(const char* text) {
  const char* p = skipBlanks(text);
  int digits = 0;
  while (std::isxdigit(static_cast<unsigned char>(p[digits])) != 0) ++digits;
  if (digits != 8 || (p[8] != ' ' && p[8] != '\t' && p[8] != '\0')) return text;
  return p[8] == '\0' ? p + 8 : p + 9;
}

struct Reader {
  Reader(LwScene& scene, TextCursor& in, std::int32_t version, const SceneInputs& inputs)
      : scene(scene), in(in), version(version), inputs(inputs), context(inputs.context),
        withCamera(context.options.cameraFrame != 0), withLights(context.options.lightFrames != 0) {}

  LwScene& scene;
  TextCursor& in;
  std::int32_t version;
  const SceneInputs& inputs;
  const ConversionContext& context;
  bool withCamera;
  bool withLights;

  std::size_t lineNumber = 0;
  LwObject* open = nullptr;
  Kind openKind = kObject;
  bool inPlugin = false;
  bool missing = false;  // reading stopped at an object file not found
  std::vector<std::int32_t> ordinals[kKinds];  // per file entry: its item, or kNoItem when not kept
  std::vector<Links> links;                    // parallel to scene.items
  BoneSet bones;
  std::vector<Links> boneLinks;  // parallel to bones.bones
  Links discardLinks;            // for a bone that is not kept
  bool boneOpen = false;         // open is a bone
  std::int32_t owner = kNoItem;  // the object whose section is being read

  bool next(std::string& line) {
    if (!readLine(line, kLineSize, in)) return false;
    ++lineNumber;
    return true;
  }

  int damaged() {
    report(context.sink, Message::kDamagedEnvelope, lineNumber);
    return -1;
  }

  LwObject& append(Kind kind, std::string name) {
    auto item = std::make_unique<LwObject>();
    item->name = std::move(name);
    return append(kind, std::move(item));
  }

  LwObject& append(Kind kind, std::unique_ptr<LwObject> item) {
    scene.items.push_back(std::move(item));
    links.emplace_back();
    ordinals[kind].push_back(static_cast<std::int32_t>(std::min<std::size_t>(scene.items.size() - 1, INT32_MAX)));
    open = scene.items.back().get();
    openKind = kind;
    boneOpen = false;
    owner = kind == kObject ? ordinals[kind].back() : kNoItem;
    return *open;
  }

  void addBone() {
    const std::size_t before = bones.bones.size();
    open = &bones.add(owner);
    boneOpen = true;
    if (bones.bones.size() > before) boneLinks.emplace_back();
  }

  Links* openLinks() {
    if (open == nullptr) return nullptr;
    if (!boneOpen) return &links.back();
    const PendingBone* last = bones.last();
    return last != nullptr && last->item.get() == open ? &boneLinks.back() : &discardLinks;
  }

  // An item the options leave out still takes its place among the file's items.
  void skip(Kind kind) {
    ordinals[kind].push_back(kNoItem);
    open = nullptr;
    boneOpen = false;
    owner = kNoItem;
  }

  // Version 3 and later write rotations in radians; the sampler works in degrees.
  void toDegrees(LwEnvelope& envelope) const {
    for (EnvelopeKey& k : envelope.keys) {
      k.value *= kRadiansToDegrees;
      const int a = k.shape == kShapeBezier2D ? 1 : 0;
      const int b = k.shape == kShapeBezier2D ? 3 : 1;
      k.param[a] *= kRadiansToDegrees;
      k.param[b] *= kRadiansToDegrees;
    }
  }

  static void sortKeys(LwEnvelope& envelope) {
    std::stable_sort(envelope.keys.begin(), envelope.keys.end(),
                     [](const EnvelopeKey& a, const EnvelopeKey& b) { return a.time < b.time; });
  }

  // "{ Envelope", the key count, "Key value time shape p1 .. p6" lines, "Behaviors pre
  // post", "}". Negative (message printed) when damaged.
  int readEnvelopeBlock(LwEnvelope& envelope) {
    std::string line;
    if (!next(line) || std::strncmp(skipBlanks(line.c_str()), "{ Envelope", 10) != 0) return damaged();
    long long count = 0;
    if (!next(line) || !parseCount(line, 0, static_cast<long long>(kMaxEnvelopeKeys), count)) return damaged();
    envelope.keys.clear();
    for (long long i = 0; i < count; ++i) {
      const char* p = nullptr;
      if (!next(line) || std::strncmp(p = skipBlanks(line.c_str()), "Key", 3) != 0) return damaged();
      double v[9];
      if (!parseNumbers(p + 3, v, 9) || v[2] < 0.0 || v[2] > static_cast<double>(kShapeBezier2D) || v[2] != std::floor(v[2])) {
        return damaged();
      }
      EnvelopeKey key;
      key.value = v[0];
      key.time = v[1];
      key.shape = static_cast<std::int32_t>(v[2]);
      key.tension = v[3];
      key.continuity = v[4];
      key.bias = v[5];
      // 2D Bezier keys hold their handles in the first four parameters (time and value
      // offsets, incoming then outgoing); other keys hold their tangents in p4 and p5.
      const int from = key.shape == kShapeBezier2D ? 3 : 6;
      key.param[0] = v[from];
      key.param[1] = v[from + 1];
      if (key.shape == kShapeBezier2D) {
        key.param[2] = v[5];
        key.param[3] = v[6];
      }
      envelope.keys.push_back(key);
    }
    for (;;) {
      if (!next(line)) return damaged();
      const char* p = skipBlanks(line.c_str());
      if (*p == '}') break;
      if (std::strncmp(p, "Behaviors", 9) == 0) {
        double b[2];
        if (!parseNumbers(p + 9, b, 2) || b[0] < 0.0 || b[0] > kLastBehavior || b[1] < 0.0 || b[1] > kLastBehavior) {
          return damaged();
        }
        envelope.pre = static_cast<std::int32_t>(b[0]);
        envelope.post = static_cast<std::int32_t>(b[1]);
      }
    }
    sortKeys(envelope);
    return 0;
  }

  // Version 2: a key count line, then "value time shape tension continuity bias" lines.
  int readChannelV2(LwEnvelope& envelope) {
    std::string line;
    long long count = 0;
    if (!next(line) || !parseCount(line, 0, static_cast<long long>(kMaxEnvelopeKeys), count)) return damaged();
    for (long long i = 0; i < count; ++i) {
      double v[6];
      if (!next(line) || !parseNumbers(line.c_str(), v, 6) || v[2] != std::floor(v[2])) return damaged();
      EnvelopeKey key;
      key.value = v[0];
      key.time = v[1];
      // LightWave 5.6 writes its spline keys with code 2, where later versions write 0.
      key.shape = v[2] == 2 ? kShapeTcb : static_cast<std::int32_t>(std::clamp(v[2], 0.0, 5.0));
      key.tension = v[3];
      key.continuity = v[4];
      key.bias = v[5];
      envelope.keys.push_back(key);
    }
    sortKeys(envelope);
    return 0;
  }

  // Version 2 motion: a channel count line, then that many channels.
  int readMotionV2(LwObject* item) {
    std::string line;
    long long channels = 0;
    if (!next(line) || !parseCount(line, 0, kMaxChannels, channels)) return damaged();
    for (long long c = 0; c < channels; ++c) {
      LwEnvelope envelope;
      if (readChannelV2(envelope) < 0) return -1;
      store(item, c, std::move(envelope));
    }
    return 0;
  }

  void store(LwObject* item, long long channel, LwEnvelope envelope) {
    if (item == nullptr || channel < 0 || channel >= kChannelCount) return;
    if (version >= 3 && channel >= kHeading && channel <= kBank) toDegrees(envelope);
    if (item->channels.size() < kChannelCount) item->channels.resize(kChannelCount);
    item->channels[static_cast<std::size_t>(channel)] = std::move(envelope);
  }

  // A constant, or "(envelope)" and an envelope whose value at the first frame counts.
  int readDissolve(LwObject& item, const char* argument) {
    if (std::strncmp(skipBlanks(argument), "(envelope)", 10) != 0) {
      item.dissolve = parseDouble(argument);
      return 0;
    }
    LwEnvelope envelope;
    if (version >= 3) {
      if (readEnvelopeBlock(envelope) < 0) return -1;
    } else {
      std::string line;
      long long channels = 0;
      if (!next(line) || !parseCount(line, 1, 1, channels) || readChannelV2(envelope) < 0) return damaged();
    }
    item.dissolveEnvelope.assign(1, std::move(envelope));
    return 0;
  }

  int loadObject(const char* argument, std::int32_t layer) {
    open = nullptr;
    boneOpen = false;
    owner = kNoItem;
    const std::string path(argument);
    auto item = std::make_unique<LwObject>();
    item->name = lwObjectItemName(scene.items.size(), path, context.codePage);
    const Status loaded = loadItemObject(inputs, *item, path, layer, in);
    if (loaded == Status::kMissing) {
      missing = true;
      return -1;
    }
    if (!ok(loaded)) {
      lwDisposeObject(*item);
      skip(kObject);
      return 0;
    }
    append(kObject, std::move(item));
    return 0;
  }

  // Negative when reading must stop.
  int dispatch(Code code, const char* argument) {
    Links* link = openLinks();
    switch (code) {
      case kAddBone:
        addBone();
        break;
      case kAddCamera:
        if (withCamera) {
          append(kCamera, "Camera");
        } else {
          skip(kCamera);
        }
        break;
      case kAddLight:
        if (withLights) {
          append(kLight, itemName(scene.items.size(), "Light"));
        } else {
          skip(kLight);
        }
        break;
      case kAddNull:
        append(kObject, itemName(scene.items.size(), version >= 3 ? skipItemId(argument) : argument));
        break;
      case kCameraMotion:
        // Version 2 may give the camera's motion without AddCamera, as version 1 does.
        if (open == nullptr || openKind != kCamera || boneOpen) {
          if (!withCamera) {
            open = nullptr;
            break;
          }
          append(kCamera, "Camera");
        }
        return version >= 3 ? 0 : readMotionV2(open);
      case kMotion:
        return version >= 3 ? 0 : readMotionV2(open);
      case kChannel: {
        LwEnvelope envelope;
        if (readEnvelopeBlock(envelope) < 0) return -1;
        store(open, parseInt(argument), std::move(envelope));
        break;
      }
      case kBehaviors: {
        // Pairs of pre and post, channel by channel.
        const char* p = argument;
        for (std::size_t i = 0; i < 2 * open->channels.size(); ++i) {
          char* end = nullptr;
          const long behavior = std::strtol(p, &end, 10);
          if (end == p) break;
          p = end;
          LwEnvelope& envelope = open->channels[i / 2];
          if (behavior >= kBehaviorReset && behavior <= kBehaviorLinear) {
            (i % 2 == 0 ? envelope.pre : envelope.post) = static_cast<std::int32_t>(behavior);
          }
        }
        break;
      }
      case kFirstFrame:
        scene.firstFrame = parseInt(argument);
        break;
      case kFramesPerSecond:
        scene.framesPerSecond = parseDouble(argument);
        break;
      case kLastFrame:
        scene.lastFrame = parseInt(argument);
        break;
      case kLoadObject:
        return loadObject(argument, 0);
      case kLoadObjectLayer: {
        char* end = nullptr;
        const long layer = std::strtol(argument, &end, 10);
        const char* path = skipItemId(skipBlanks(end));
        return loadObject(path, static_cast<std::int32_t>(std::clamp<long>(layer, 0, INT32_MAX)));
      }
      case kPlugin:
        inPlugin = true;
        if (boneOpen) ++bones.notes.plugins;
        break;
      case kEndPlugin:
        inPlugin = false;
        break;
      case kLightName:
      case kCameraName:
        open->name = itemName(scene.items.size() - 1, argument);
        break;
      case kParentObject:
        link->parent = {boneOpen ? kSkeletonBone : kObject, static_cast<long long>(parseInt(argument)) - 1};
        break;
      case kParentItem:
        link->parent = hexRef(argument);
        break;
      case kTargetObject:
        link->target = {kObject, static_cast<long long>(parseInt(argument)) - 1};
        break;
      case kTargetItem:
        link->target = hexRef(argument);
        break;
      case kMorphTarget:
        link->morph = {kObject, static_cast<long long>(parseInt(argument)) - (version >= 3 ? 0 : 1)};
        break;
      case kPivot:
        std::sscanf(argument, "%f %f %f", &open->pivot[0], &open->pivot[1], &open->pivot[2]);
        break;
      case kDissolve:
        return readDissolve(*open, argument);
      case kMetamorph:
        open->metamorph = parseDouble(argument);
        break;
      case kPathAlignment:
        open->pathAlignment = parseInt(argument);
        break;
      case kLookAhead:
        open->lookAheadFrames = parseInt(argument);
        break;
      case kNone:
        break;
    }
    return 0;
  }

  // Bone keywords in a bone block, bone settings in an object's section.
  bool skeletonLine(const std::string& line) {
    if (boneOpen) return readBoneWord(line, *open, bones.notes);
    return openKind == kObject && readSkeletonWord(line, *open, links.back().bonesFrom);
  }

  // Bones are placed by then, so references to them resolve too.
  std::int32_t resolve(const Ref& ref) const {
    if (ref.kind == kBoneId) return placedBone(bones, resolve({kObject, ref.ordinal & 0xFFFF}), ref.ordinal >> 16);
    if (ref.kind < 0 || ref.kind >= kKinds || ref.ordinal < 0) return kNoItem;
    const std::vector<std::int32_t>& list = ordinals[ref.kind];
    return static_cast<std::size_t>(ref.ordinal) < list.size() ? list[static_cast<std::size_t>(ref.ordinal)] : kNoItem;
  }

  // A bone's parent: a bone of its own object, the object itself, or (stray) anything else.
  void parentBones() {
    for (std::size_t i = 0; i < bones.bones.size(); ++i) {
      PendingBone& bone = bones.bones[i];
      const Ref& ref = boneLinks[i].parent;
      if (ref.kind == kSkeletonBone) {
        bone.parentBone = ref.ordinal;
      } else if (ref.kind == kBoneId && resolve({kObject, ref.ordinal & 0xFFFF}) == bone.owner) {
        bone.parentBone = ref.ordinal >> 16;
      } else {
        bone.strayParent = ref.kind >= 0 && resolve(ref) != bone.owner;
      }
    }
  }

  // UseBonesFrom: an item id, or (version 3) an object's 1-based number.
  std::int32_t bonesFrom(const std::string& text) const {
    if (text.empty()) return kNoItem;
    if (skipItemId(text.c_str()) != text.c_str()) return resolve(hexRef(text.c_str()));
    return resolve({kObject, static_cast<long long>(parseInt(text.c_str())) - 1});
  }

  void resolveLinks() {
    const std::size_t items = links.size();
    parentBones();
    placeBones(scene, bones, context.sink);
    for (std::size_t i = 0; i < items; ++i) {
      LwObject& item = *scene.items[i];
      item.parentItem = resolve(links[i].parent);
      item.targetItem = resolve(links[i].target);
      item.morphTargetItem = resolve(links[i].morph);
      const std::int32_t from = bonesFrom(links[i].bonesFrom);
      if (!links[i].bonesFrom.empty() && (from == kNoItem || static_cast<std::size_t>(from) >= items)) {
        report(context.sink, Message::kUseBonesFromNone, item.name);
      } else if (from != static_cast<std::int32_t>(i)) {
        item.skeleton.bonesFromItem = from;
      }
    }
    linkMorphTargets(scene);
  }
};

}  // namespace

Status readLaterScene(LwScene& scene, TextCursor& in, std::int32_t version, const SceneInputs& inputs) {
  Reader reader(scene, in, version, inputs);
  reader.lineNumber = 2;
  std::string line;
  while (!in.atEnd) {
    if (!reader.next(line)) break;
    const char* argument = "";
    Code code = kNone;
    if (reader.inPlugin) {
      code = line.compare(0, 9, "EndPlugin") == 0 ? kEndPlugin : kNone;
    } else {
      if (reader.open != nullptr) code = findWord(line, kItemWords, &argument, kNone);
      if (code == kNone) code = findWord(line, kSceneWords, &argument, kNone);
      if (code == kNone && reader.open != nullptr && reader.skeletonLine(line)) continue;
    }
    if (reader.dispatch(code, argument) < 0) return reader.missing ? Status::kMissing : Status::kBadInput;
  }
  reader.resolveLinks();
  return Status::kOk;
}

}  // namespace lwscene

}  // namespace torvo
