// Scene body: materials, the frame tree with matrices and meshes, the animation set.
#pragma once

#include "core/context.h"
#include "model/scene.h"
#include "ready/items.h"
#include "xfile/xwriter.h"
#include "xscene/materials.h"

namespace torvo {

// kBadInput when the animation cannot be written (the message is printed).
// Each item is made ready through the feed right before it is written, and released after.
Status writeScene(const ConversionContext& context, const MaterialTable& table, SceneFeed& feed, XWriter& out);
// The frame tree from the top level down, at a depth.
void writeFrames(const ConversionContext& context, const MaterialTable& table, SceneFeed& feed, XWriter& out,
                 int depth);
// One object's mesh in a TopFrame (with -m, the mesh alone).
void writeObjectTopFrame(const ConversionContext& context, const MaterialTable& table, const LwObject& object,
                        const ReadyMesh& mesh, XWriter& out);

}  // namespace torvo
