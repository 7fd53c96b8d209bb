// Skinned meshes written: the XSkinMeshHeader and SkinWeights that carry a mesh's skin,
// each entry naming its frame.
#pragma once

#include "ready/items.h"
#include "xfile/xwriter.h"

namespace torvo {

// The header, then one SkinWeights per entry with weights, inside a Mesh.
void writeSkin(const MeshSkin& skin, XWriter& out, int indent);

}  // namespace torvo
