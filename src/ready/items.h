// Scene items made ready to be written, one at a time as the frame walk reaches them: the
// layout and skin of a mesh that bones deform, its frame's matrix at the first frame and its
// mesh; then the item's geometry is released. Also what the scene as a whole needs first: its
// templates, the names it shortens, and its motion sampled within limits.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "anim/sampling.h"
#include "core/context.h"
#include "geometry/skin.h"
#include "model/scene.h"
#include "model/xform.h"
#include "ready/materials.h"
#include "ready/mesh.h"

namespace torvo {

struct MeshSkin {
  LwMeshSkin skin;
  std::vector<std::string> names;  // by entry: the frame whose transform moves it
  std::uint32_t usedEntries = 0;   // entries that have weights
};

struct ReadyItem {
  bool framed = false;   // the item gets a frame (its children go into it)
  Mat4 matrix;           // the frame's transform at the first frame; identity without keys
  ReadyMesh mesh;
  bool skinned = false;  // `skin` is written with the mesh
  MeshSkin skin;
};

// The scene being written and the one item made ready in it.
struct SceneFeed {
  const ConversionContext* context = nullptr;
  const MaterialTable* table = nullptr;
  LwScene* scene = nullptr;
  ReadyItem item;
};

SceneFeed sceneFeed(const ConversionContext& context, const MaterialTable& table, LwScene& scene);
// Makes the item at a 0-based position ready, right before it is written: a mesh that bones
// deform is laid out as engines skin it and gets its skin (warnings printed).
const ReadyItem& readyItem(SceneFeed& feed, std::size_t position);
// Once the item is written: its geometry and what was made ready for it are released.
void itemWritten(SceneFeed& feed, std::size_t position);

// The templates beyond the usual ones (ExtraTemplates bits) that the scene's meshes use:
// vertex colours, and skins where bones deform a written mesh.
unsigned sceneTemplates(const ConversionContext& context, const LwScene& scene);
// One warning naming every frame, mesh and material name too long for engines, and what
// it was shortened to.
void warnShortenedNames(const ConversionContext& context, const MaterialTable& table, const LwScene* scene,
                        const LwObject* object, bool binary);

// True when the scene's AnimationSet is written: some item moves and no option says otherwise.
bool animationWritten(const ConversionContext& context, const LwScene& scene);
// kBadInput (message printed) when an item's samples, or the scene's together, are too many:
// counted before any is written, so that a scene too long to write is refused at once.
Status readyAnimation(const ConversionContext& context, const LwScene& scene);
// The item's motion sampled as its Animation is written; kBadInput (message printed) when
// its samples are too many.
Status readyTrack(const ConversionContext& context, const LwScene& scene, std::size_t position, ItemTrack& track);

}  // namespace torvo
