// One object written as one .x Mesh.
#pragma once

#include "core/context.h"
#include "model/object.h"
#include "xfile/xwriter.h"
#include "xscene/materials.h"

struct MeshSkin;

// Always 0; writes nothing for an object without vertices or with dissolve 1.0. A skin,
// when given, is written last.
int writeMesh(const ConversionContext& context, const MaterialTable& table, const LwObject& object, XWriter& out,
              int indent, const MeshSkin* skin = nullptr);
// True when the object is written as a Mesh: it has faces and is not dissolved.
bool meshWritten(const LwObject& object);
// True when the mesh carries vertex colours (MeshVertexColors, whose template a text file
// then declares).
bool meshHasVertexColors(const LwObject& object);
