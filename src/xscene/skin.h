// Skinned meshes written: the XSkinMeshHeader and SkinWeights that carry a mesh's skin,
// each entry naming its frame.
#pragma once

#include <string>
#include <vector>

#include "core/context.h"
#include "geometry/skin.h"
#include "model/scene.h"
#include "xfile/xwriter.h"

struct MeshSkin {
  LwMeshSkin skin;
  std::vector<std::string> names;  // by entry: the frame whose transform moves it
};

// The skin of the item at a 0-based position with its frames' names; false (warnings
// printed) when it has none.
bool buildMeshSkin(const ConversionContext& context, const LwScene& scene, std::size_t position, MeshSkin& skin);
// The header, then one SkinWeights per entry with weights, inside a Mesh.
void writeSkin(const MeshSkin& skin, XWriter& out, int indent);
