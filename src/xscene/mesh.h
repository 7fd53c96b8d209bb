// One object written as one .x Mesh.
#pragma once

#include "core/context.h"
#include "model/object.h"
#include "ready/mesh.h"
#include "xfile/xwriter.h"
#include "xscene/materials.h"

namespace torvo {

struct MeshSkin;

// Writes nothing for an object without vertices or with dissolve 1.0. The mesh
// is made ready beforehand (readyMesh). A skin, when given, is written last.
void writeMesh(const ConversionContext& context, const MaterialTable& table, const LwObject& object,
              const ReadyMesh& mesh, XWriter& out, int indent, const MeshSkin* skin = nullptr);

}  // namespace torvo
