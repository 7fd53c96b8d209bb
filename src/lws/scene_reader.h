// The LWSC reader: scene files of versions 1 to 5 into the scene model, loading the
// objects they name.
#pragma once

#include <cstdint>

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "core/context.h"
#include "core/text_cursor.h"
#include "lwo/reader.h"
#include "model/scene.h"
#include "platform/mapped.h"

namespace torvo {

// An object file a scene names, as the scene's caller found it.
struct LwFoundObject {
  std::string path;  // the name it was opened by: the item's filePath
  platform::FileBytes bytes;
};

// Which object is asked for: one a scene names, looked for as the scene wrote it, or the
// companion (.lwoo) of an object file, opened by exactly that name.
enum class LwObjectWanted { kNamedByScene, kCompanion };

// Where a conversion's objects come from: find fills `found` for the name (saying whatever
// its lookup reports) and is false when there is no such object.
struct LwObjectSource {
  bool (*find)(void* user, const ConversionContext& context, const std::string& name, LwObjectWanted wanted,
               LwFoundObject& found) = nullptr;
  void* user = nullptr;
};

// The keywords of version 1 scenes. Item words (EndBehavior, LightMotion, LightName and
// LookAheadFrames to BLimits) apply to the item last added.
enum class LwWord : std::int8_t {
  kNone = -1,
  kAddBone,
  kAddLight,
  kAddNullObject,
  kBoneMotion,
  kCameraMotion,
  kEndBehavior,
  kFirstFrame,
  kFramesPerSecond,
  kLightMotion,
  kLightName,
  kLastFrame,
  kLoadObject,
  kLookAheadFrames,
  kObjectMotion,
  kParentObject,
  kPathAlignment,
  kPivotPoint,
  kTargetObject,
  kObjDissolve,
  kMorphTarget,
  kMetamorph,
  kHLimits,
  kPLimits,
  kBLimits,
  kPlugin,
  kEndPlugin,
};

struct LwKeyword {
  const char* keyword;  // null ends a table
  LwWord code;
};

extern const LwKeyword SceneKeywords[];
extern const LwKeyword ItemKeywords[];
extern const LwKeyword PluginKeywords[];

// The first keyword the line begins with, or kNone. On a match *argument points one
// character past the keyword (or at the terminator when the line ends there).
LwWord lwFindKeyword(const char* line, const LwKeyword* table, const char** argument);

// Reads a scene from its bytes. kNotThisFormat when they are no scene; kMissing when an
// object file is not found; kBadInput when the scene is damaged (messages printed).
Status lwReadScene(LwScene& scene, std::string_view text, const ConversionContext& context,
                   const LwObjectSource& objects, LwObjectFinish finish);

// The name of the item an object file makes at a 0-based position: "%d_%s" with the
// file's name, cut at its last dot, filtered and fitted to the name field.
std::string lwObjectItemName(std::size_t position, std::string_view path, int codePage);

// Reads a version 1 motion block (channel-count line, key-count line, keys) and appends
// its keys. True when at least one key was stored.
bool lwReadMotion(TextCursor& in, std::vector<MotionKey>& keys);

}  // namespace torvo
