#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "core/context.h"
#include "core/paths.h"
#include "core/text_cursor.h"
#include "lwo/reader.h"
#include "lws/scene_internal.h"
#include "lws/scene_reader.h"

namespace torvo {

const LwKeyword SceneKeywords[] = {
    {"AddBone", LwWord::kAddBone},
    {"AddLight", LwWord::kAddLight},
    {"AddNullObject", LwWord::kAddNullObject},
    {"BoneMotion", LwWord::kBoneMotion},
    {"CameraMotion", LwWord::kCameraMotion},
    {"FirstFrame", LwWord::kFirstFrame},
    {"FramesPerSecond", LwWord::kFramesPerSecond},
    {"LastFrame", LwWord::kLastFrame},
    {"LoadObject", LwWord::kLoadObject},
    {"Plugin", LwWord::kPlugin},
    {nullptr, LwWord::kNone},
};

const LwKeyword ItemKeywords[] = {
    {"EndBehavior", LwWord::kEndBehavior},
    {"LightMotion", LwWord::kLightMotion},
    {"LightName", LwWord::kLightName},
    {"LookAheadFrames", LwWord::kLookAheadFrames},
    {"ObjectMotion", LwWord::kObjectMotion},
    {"ParentObject", LwWord::kParentObject},
    {"PathAlignment", LwWord::kPathAlignment},
    {"PivotPoint", LwWord::kPivotPoint},
    {"TargetObject", LwWord::kTargetObject},
    {"ObjDissolve", LwWord::kObjDissolve},
    {"MorphTarget", LwWord::kMorphTarget},
    {"Metamorph", LwWord::kMetamorph},
    {"HLimits", LwWord::kHLimits},
    {"PLimits", LwWord::kPLimits},
    {"BLimits", LwWord::kBLimits},
    {nullptr, LwWord::kNone},
};

const LwKeyword PluginKeywords[] = {
    {"EndPlugin", LwWord::kEndPlugin},
    {nullptr, LwWord::kNone},
};

namespace {

using lwscene::itemName;
using lwscene::parseDouble;
using lwscene::parseInt;

// The references of an item as the file numbers them: from 1, 0 for none (the top level
// for a parent).
struct WrittenNumbers {
  std::int32_t parent = 0;
  std::int32_t target = 0;
  std::int32_t morphTarget = 0;
};

struct ReadState {
  LwScene& scene;
  TextCursor& in;
  const lwscene::SceneInputs& inputs;
  bool withCamera;
  bool withLights;
  bool itemOpen = false;
  bool inPlugin = false;
  bool motionRead = false;
  lwscene::BoneSet bones{};
  LwObject* bone = nullptr;      // the bone whose block is being read
  std::int32_t owner = kNoItem;  // the object whose section is being read
  std::vector<WrittenNumbers> numbers{};  // parallel to scene.items until the bones are placed

  WrittenNumbers& numbersOfLast() {
    numbers.resize(scene.items.size());
    return numbers.back();
  }
};

LwObject& appendItem(ReadState& state, std::string name) {
  auto item = std::make_unique<LwObject>();
  item->name = std::move(name);
  state.scene.items.push_back(std::move(item));
  state.itemOpen = true;
  state.owner = kNoItem;
  return *state.scene.items.back();
}

// Negative when the object file cannot be found: the scene is not read further.
int loadObject(ReadState& state, const char* argument) {
  state.itemOpen = false;
  state.owner = kNoItem;
  const std::string path(argument);
  auto item = std::make_unique<LwObject>();
  item->name = lwObjectItemName(state.scene.items.size(), path, state.inputs.context.codePage);
  const Status loaded = lwscene::loadItemObject(state.inputs, *item, path, 0, state.in);
  if (loaded == Status::kMissing) return -1;
  if (!ok(loaded)) {
    lwDisposeObject(*item);
    return 0;
  }
  state.scene.items.push_back(std::move(item));
  state.itemOpen = true;
  state.owner = static_cast<std::int32_t>(state.scene.items.size() - 1);
  return 0;
}

// A line inside a bone block; false when it ends the block (and is read as usual).
bool readBoneLine(ReadState& state, const std::string& line) {
  LwObject& bone = *state.bone;
  const char* argument = "";
  const LwWord code = lwFindKeyword(line.c_str(), SceneKeywords, &argument);
  if (code == LwWord::kBoneMotion) {
    if (!lwReadMotion(state.in, bone.motionKeys)) bone.motionKeys.clear();
    return true;
  }
  if (code != LwWord::kNone) {
    if (code == LwWord::kPlugin) ++state.bones.notes.plugins;
    state.bone = nullptr;
    return false;
  }
  if (lwscene::readBoneWord(line, bone, state.bones.notes)) return true;
  // Inside a skeleton ParentObject numbers the parent bone among the object's bones.
  if (line.rfind("ParentObject", 0) == 0 && state.bones.last() != nullptr && state.bones.last()->item.get() == &bone) {
    state.bones.last()->parentBone = static_cast<long long>(lwscene::parseInt(line.c_str() + 12)) - 1;
  } else if (line.rfind("EndBehavior", 0) == 0) {
    const std::int32_t behavior = lwscene::parseInt(line.c_str() + 11);
    if (behavior >= kEndReset && behavior <= kEndRepeat) bone.endBehavior = behavior;
  }
  return true;
}

// Negative when reading must stop at once. `current` is the open item: item keywords are
// looked up only while one is open.
int dispatch(ReadState& state, LwWord code, const char* argument, LwObject* current) {
  LwScene& scene = state.scene;
  switch (code) {
    case LwWord::kAddBone:
      state.itemOpen = false;
      state.bone = &state.bones.add(state.owner);
      break;
    case LwWord::kBoneMotion:
      state.itemOpen = false;
      break;
    case LwWord::kAddLight:
      state.itemOpen = false;
      state.owner = kNoItem;
      if (state.withLights) appendItem(state, itemName(scene.items.size(), "Light"));
      break;
    case LwWord::kAddNullObject:
      appendItem(state, itemName(scene.items.size(), argument));
      state.owner = static_cast<std::int32_t>(scene.items.size() - 1);
      break;
    case LwWord::kCameraMotion:
      state.itemOpen = false;
      state.owner = kNoItem;
      if (state.withCamera) {
        LwObject& camera = appendItem(state, "Camera");
        state.motionRead = lwReadMotion(state.in, camera.motionKeys);
      }
      break;
    case LwWord::kEndBehavior: {
      const std::int32_t behavior = parseInt(argument);
      if (behavior >= kEndReset && behavior <= kEndRepeat) current->endBehavior = behavior;
      break;
    }
    case LwWord::kFirstFrame:
      scene.firstFrame = parseInt(argument);
      break;
    case LwWord::kFramesPerSecond:
      scene.framesPerSecond = parseDouble(argument);
      break;
    case LwWord::kLightMotion:
    case LwWord::kObjectMotion:
      state.motionRead = lwReadMotion(state.in, current->motionKeys);
      break;
    case LwWord::kLightName:
      current->name = itemName(scene.items.size() - 1, argument);
      break;
    case LwWord::kLastFrame:
      scene.lastFrame = parseInt(argument);
      break;
    case LwWord::kLoadObject:
      return loadObject(state, argument);
    case LwWord::kLookAheadFrames:
      current->lookAheadFrames = parseInt(argument);
      break;
    case LwWord::kParentObject:
      state.numbersOfLast().parent = parseInt(argument);
      break;
    case LwWord::kPathAlignment:
      current->pathAlignment = parseInt(argument);
      break;
    case LwWord::kPivotPoint:
      std::sscanf(argument, "%f %f %f", &current->pivot[0], &current->pivot[1], &current->pivot[2]);
      break;
    case LwWord::kTargetObject:
      state.numbersOfLast().target = parseInt(argument);
      break;
    case LwWord::kObjDissolve:
      current->dissolve = parseDouble(argument);
      break;
    case LwWord::kMorphTarget:
      state.numbersOfLast().morphTarget = parseInt(argument);
      break;
    case LwWord::kMetamorph:
      current->metamorph = parseDouble(argument);
      break;
    case LwWord::kPlugin:
      state.inPlugin = true;
      break;
    case LwWord::kEndPlugin:
      state.inPlugin = false;
      break;
    default:  // no keyword; limits stay disabled
      break;
  }
  return 0;
}

// Version 1 numbers items as written, and only once the bones are placed is it known
// what they name. One that names no item means none: for a parent, no frame group.
void settleNumbers(LwScene& scene, const std::vector<WrittenNumbers>& numbers) {
  const std::int32_t count = static_cast<std::int32_t>(std::min<std::size_t>(scene.items.size(), INT32_MAX));
  const auto item = [count](std::int32_t number) { return number >= 1 && number <= count ? number - 1 : kNoItem; };
  for (std::size_t i = 0; i < numbers.size(); ++i) {
    LwObject& settled = *scene.items[i];
    settled.parentItem = item(numbers[i].parent);
    settled.detached = numbers[i].parent != 0 && settled.parentItem == kNoItem;
    settled.targetItem = item(numbers[i].target);
    settled.morphTargetItem = item(numbers[i].morphTarget);
  }
}

// The header must read "LWSC" and then a version number; 0 when it does not.
std::int32_t readHeader(TextCursor& in) {
  std::string line;
  if (!readLine(line, kSceneLineSize, in) || line != "LWSC") return 0;
  if (!readRawLine(line, kSceneLineSize, in)) return 0;
  return parseInt(line.c_str());
}

}  // namespace

LwWord lwFindKeyword(const char* line, const LwKeyword* table, const char** argument) {
  for (const LwKeyword* entry = table; entry->keyword != nullptr; ++entry) {
    const std::size_t length = std::strlen(entry->keyword);
    if (std::strncmp(line, entry->keyword, length) == 0) {
      // The separator after the keyword is skipped unseen; a keyword that ends the
      // line has an empty argument.
      *argument = line[length] == '\0' ? line + length : line + length + 1;
      return entry->code;
    }
  }
  return LwWord::kNone;
}

Status lwReadScene(LwScene& scene, std::string_view text, const ConversionContext& context,
                   const LwObjectSource& objects, LwObjectFinish finish) {
  TextCursor in(text);
  const std::int32_t version = readHeader(in);
  if (version < 1 || version > kLastSceneVersion) return Status::kNotThisFormat;
  report(context.sink, Message::kLineEnd);
  const lwscene::SceneInputs inputs{context, objects, finish};
  if (version > 1) return lwscene::readLaterScene(scene, in, version, inputs);

  const ConvertOptions& options = context.options;
  ReadState state{scene, in, inputs, options.cameraFrame != 0, options.lightFrames != 0};
  std::string line;
  while (!in.atEnd) {
    if (!readLine(line, kSceneLineSize, in)) break;
    if (state.bone != nullptr && !state.inPlugin && readBoneLine(state, line)) continue;
    const char* argument = "";
    LwObject* current = nullptr;
    LwWord code = LwWord::kNone;
    if (state.inPlugin) {
      code = lwFindKeyword(line.c_str(), PluginKeywords, &argument);
    } else {
      if (state.itemOpen) {
        code = lwFindKeyword(line.c_str(), ItemKeywords, &argument);
        if (code != LwWord::kNone) current = scene.items.back().get();
      }
      if (code == LwWord::kNone) code = lwFindKeyword(line.c_str(), SceneKeywords, &argument);
    }
    if (dispatch(state, code, argument, current) < 0) return Status::kMissing;
  }

  lwscene::placeBones(scene, state.bones, context.sink);
  settleNumbers(scene, state.numbers);
  lwscene::linkMorphTargets(scene);
  // A version 1 scene is taken only when the last motion it read had keys.
  return state.motionRead ? Status::kOk : Status::kBadInput;
}

bool lwReadMotion(TextCursor& in, std::vector<MotionKey>& keys) {
  std::string line;
  readLine(line, kMotionLineSize, in);  // channel count: always nine values are read
  readLine(line, kMotionLineSize, in);
  const std::int32_t count = lwscene::parseInt(line.c_str());
  if (count < 1) return false;
  // The count is taken at its word for the room, up to a bound a damaged count cannot pass:
  // doubling would leave up to half the room of every item's keys unused.
  constexpr std::int32_t kKeysReservedAtMost = 4096;
  keys.reserve(keys.size() + static_cast<std::size_t>(std::min(count, kKeysReservedAtMost)));

  std::int32_t stored = 0;
  while (stored < count) {
    MotionKey key;
    double* v = key.values;
    long frame = 0;
    long linear = 0;
    // As fscanf reads "%lf" nine times, "%ld" twice, "%lf" three times.
    const ScanField fields[] = {{'f', &v[0], nullptr},        {'f', &v[1], nullptr},        {'f', &v[2], nullptr},
                                {'f', &v[3], nullptr},        {'f', &v[4], nullptr},        {'f', &v[5], nullptr},
                                {'f', &v[6], nullptr},        {'f', &v[7], nullptr},        {'f', &v[8], nullptr},
                                {'d', nullptr, &frame},       {'d', nullptr, &linear},      {'f', &key.tension, nullptr},
                                {'f', &key.continuity, nullptr}, {'f', &key.bias, nullptr}};
    if (scanFields(in, fields, 14) < 14) break;
    key.frame = static_cast<std::int32_t>(std::clamp<long>(frame, INT32_MIN, INT32_MAX));
    key.linear = static_cast<std::int32_t>(std::clamp<long>(linear, INT32_MIN, INT32_MAX));
    keys.push_back(key);
    ++stored;
    readLine(line, kMotionLineSize, in);  // the rest of the key's last line
  }
  return stored > 0;
}

// The extension is cut and the name filtered before the name is fitted to its field,
// so a long file name keeps its own words rather than losing them to an earlier dot.
std::string lwObjectItemName(std::size_t position, std::string_view path, int codePage) {
  std::string name = std::to_string(position) + "_" + std::string(path.substr(fileNamePart(path, codePage)));
  const std::size_t dot = findExtension(name, codePage);
  if (dot != std::string::npos) name.resize(dot);
  name = makeXName(name, codePage);
  if (name.size() > kNameSize - 1) name.resize(kNameSize - 1);
  return name;
}

namespace lwscene {

std::int32_t parseInt(const char* text) {
  const long value = std::strtol(text, nullptr, 10);
  return static_cast<std::int32_t>(std::clamp<long>(value, INT32_MIN, INT32_MAX));
}

double parseDouble(const char* text) { return std::strtod(text, nullptr); }

std::string itemName(std::size_t position, std::string_view text) {
  std::string name = std::to_string(position);
  name += '_';
  name.append(text);
  if (name.size() > kNameSize - 1) name.resize(kNameSize - 1);
  return name;
}

namespace {

// The words that open the next item's section, which ends the search for SubPatchLevel.
constexpr const char* kSectionStarts[] = {"LoadObject", "AddNullObject", "AddLight", "AddCamera", "AddBone"};

// SubPatchLevel <display> <render> within the object's section, read ahead on a copy of the
// scene's cursor. The scene's end-of-file indicator is cleared after, as clearerr once did.
void readSubPatchLevel(LwObject& item, TextCursor& at) {
  TextCursor scene = at;
  at.atEnd = false;
  std::string line;
  while (readLine(line, kPathSize, scene)) {
    bool next = false;
    for (const char* word : kSectionStarts) next = next || line.rfind(word, 0) == 0;
    if (next) break;
    if (line.rfind("SubPatchLevel", 0) != 0) continue;
    char* end = nullptr;
    const char* p = line.c_str() + 13;
    for (std::int32_t& level : item.subPatchLevel) {
      const long value = std::strtol(p, &end, 10);
      if (end == p) break;
      level = static_cast<std::int32_t>(std::clamp<long>(value, 0, kMaxSubPatchLevel));
      p = end;
    }
    break;
  }
}

bool hasPatches(const LwObject& object) {
  for (const LwPolygon& polygon : object.polygons)
    if (polygon.kind == kPolygonPatch || polygon.kind == kPolygonCatmullClark) return true;
  return false;
}

}  // namespace

Status loadItemObject(const SceneInputs& inputs, LwObject& item, const std::string& path, std::int32_t layer,
                      TextCursor& scene) {
  const ConversionContext& context = inputs.context;
  LwFoundObject found;
  if (inputs.objects.find == nullptr || !inputs.objects.find(inputs.objects.user, context, path, LwObjectWanted::kNamedByScene, found)) {
    report(context.sink, Message::kFileNotFound, path);
    return Status::kMissing;
  }
  item.filePath = found.path;
  report(context.sink, Message::kObjectName, path);
  // The one place a scene item's geometry is loaded. A layer number above 0 asks for
  // that layer alone, turning about the pivot its LAYR gives.
  item.layer = layer;
  const Status read = lwLoadObjectLayerFromMemory(item, found.bytes.data, found.bytes.size, 0,
                                                  layer > 0 ? layer : kAllLayers, context.sink);
  platform::releaseFileBytes(found.bytes);  // read: its pages make room for the geometry steps
  const bool loaded = ok(read);
  if (loaded && hasPatches(item)) readSubPatchLevel(item, scene);
  if (loaded && inputs.finish != nullptr) inputs.finish(item, context);
  report(context.sink, Message::kLineEnd);
  for (const LwLayer& declared : item.layers) {
    if (layer > 0 && declared.number == layer - 1) std::copy(declared.pivot, declared.pivot + 3, item.pivot);
  }
  return read;
}

void linkMorphTargets(LwScene& scene) {
  // Cross-references are checked once here; writers trust morphTarget.
  const std::int32_t count = static_cast<std::int32_t>(std::min<std::size_t>(scene.items.size(), INT32_MAX));
  for (std::int32_t i = 0; i < count; ++i) {
    LwObject& item = *scene.items[static_cast<std::size_t>(i)];
    item.morphTarget = nullptr;
    LwObject* target = lwSceneItem(scene, item.morphTargetItem);
    if (target != nullptr && target != &item) {
      item.morphTarget = target;
      ++target->refCount;
    }
  }
}

}  // namespace lwscene

}  // namespace torvo
