// Pieces the scene readers of every version share.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/text_cursor.h"
#include "lwo/reader.h"
#include "model/scene.h"

namespace torvo {

// Versions 2 (LightWave 5.6) to 5 are read besides version 1.
constexpr std::int32_t kLastSceneVersion = 5;

struct LwObjectSource;

namespace lwscene {

// A keyword of the later readers' tables and its code.
template <class Code>
struct Keyword {
  const char* word;
  Code code;
};

// The code of the keyword that is the line's whole first word, with *argument after one
// blank; none when no entry matches.
template <class Code, std::size_t N>
Code findWord(const std::string& line, const Keyword<Code> (&table)[N], const char** argument, Code none) {
  for (const Keyword<Code>& entry : table) {
    const std::size_t length = std::strlen(entry.word);
    if (line.compare(0, length, entry.word) != 0) continue;
    if (line.size() > length && line[length] != ' ' && line[length] != '\t') continue;
    *argument = line.size() > length ? line.c_str() + length + 1 : line.c_str() + length;
    return entry.code;
  }
  return none;
}

// atoi and atof without atoi's undefined overflow: out-of-range values saturate.
std::int32_t parseInt(const char* text);
double parseDouble(const char* text);

// "%d_%s" fitted to the name field.
std::string itemName(std::size_t position, std::string_view text);

// What the readers of every version are given besides the scene's text.
struct SceneInputs {
  const ConversionContext& context;
  const LwObjectSource& objects;
  LwObjectFinish finish;
};

// Obtains the object file from the source and loads it into the item (layer 0: the whole
// object), printing the progress line. kMissing (message printed) when not found; the
// object reader's status otherwise.
// An object with subdivision patches takes its SubPatchLevel from the lines of its own
// section in the scene, which follow LoadObject and are read ahead of time.
Status loadItemObject(const SceneInputs& inputs, LwObject& item, const std::string& path, std::int32_t layer,
                   TextCursor& scene);

// Points every item's morphTarget at the item morphTargetItem names, counting a reference.
void linkMorphTargets(LwScene& scene);

// The reader of versions 2 to 5, after the header. kMissing when an object file is not
// found, kBadInput when an envelope is damaged (messages printed); reading stops there.
Status readLaterScene(LwScene& scene, TextCursor& in, std::int32_t version, const SceneInputs& inputs);

// Bones of one object at most: a mesh's bone count is a WORD in the .x file.
constexpr std::size_t kMaxBonesPerObject = 65535;

// A bone as its block is read, before the scene's items are all known.
struct PendingBone {
  std::unique_ptr<LwObject> item;  // its name holds BoneName until the bone is placed
  std::int32_t owner = kNoItem;    // the object whose section holds it
  long long parentBone = -1;       // index among the owner's bones; -1: the owner itself
  bool strayParent = false;        // names a parent that is no bone of its object
};

// What the bone blocks of a scene held that no fixed weight or key expresses.
struct BoneNotes {
  std::uint32_t ik = 0, plugins = 0, jointComp = 0, muscleFlex = 0;
  std::uint32_t orphans = 0;   // outside any object
  std::uint32_t overflow = 0;  // past kMaxBonesPerObject in one object
};

struct BoneSet {
  std::vector<PendingBone> bones;
  std::vector<std::size_t> perOwner;  // bones kept so far, by owner
  BoneNotes notes;
  LwObject discard;                   // where the lines of a bone that is not kept go
  // Once placed: each object's bones, by owner.
  std::vector<std::vector<std::int32_t>> placed;

  // A new bone of the object owner (kNoItem: none), or the discard.
  LwObject& add(std::int32_t owner);
  PendingBone* last() { return bones.empty() ? nullptr : &bones.back(); }
};

// A bone keyword (BoneName, BoneRestPosition, ... and the IK and deformer words that are
// only noted); false when the line holds none.
bool readBoneWord(const std::string& line, LwObject& bone, BoneNotes& notes);
// BoneFalloffType and FasterBones of an object; UseBonesFrom's argument goes to bonesFrom.
// False when the line holds none of them.
bool readSkeletonWord(const std::string& line, LwObject& object, std::string& bonesFrom);
// Appends the bones after every other item (so no other item's number or name changes),
// parents them, names them like items, and prints the warnings the blocks earned.
void placeBones(LwScene& scene, BoneSet& set, const MessageSink& sink);
// A bone given by its object and its index there, or kNoItem.
std::int32_t placedBone(const BoneSet& set, std::int32_t owner, long long index);

}  // namespace lwscene

}  // namespace torvo
