// Skinned meshes: the bones that deform an object item, its skin weights with their
// frames and offsets, and the XSkinMeshHeader and SkinWeights that carry them.
#pragma once

#include <string>
#include <vector>

#include "core/context.h"
#include "geometry/skin.h"
#include "model/scene.h"
#include "xfile/xwriter.h"

struct MeshSkin {
  LwSkinWeights weights;
  std::vector<std::string> names;  // by entry: the frame whose transform moves it
  std::vector<Mat4> offsets;       // by entry: mesh space to the bone's space at rest
};

// True when some mesh the scene writes is deformed by bones (its text header then
// declares the skin templates).
bool sceneHasSkin(const ConversionContext& context, const LwScene& scene);
// The skin of the item at a 0-based position; false (warnings printed) when it has none.
bool buildMeshSkin(const ConversionContext& context, const LwScene& scene, std::size_t position, MeshSkin& skin);
// The header, then one SkinWeights per entry with weights, inside a Mesh.
void writeSkin(const MeshSkin& skin, XWriter& out, int indent);
