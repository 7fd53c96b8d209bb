// One object made ready to be written as a .x Mesh: the positions as written (a run at a
// time, so that they never take a list of their own), the faces'
// corner total, the materials it lists, the normals it numbers, and what else it carries.
#pragma once

#include <cstdint>
#include <vector>

#include "core/context.h"
#include "model/object.h"
#include "ready/materials.h"

namespace torvo {

// A normal-table entry no corner uses.
constexpr std::uint32_t kNotNumbered = 0xFFFFFFFFu;

struct ReadyMesh {
  std::size_t corners = 0;                   // corners of every face, as far as the corner pool holds them
  std::vector<std::uint32_t> materials;      // table indexes of the materials listed, in order of first use
  std::vector<std::uint32_t> surfaceMaterials;  // by surface: its place in `materials`
  std::vector<std::uint32_t> normalNumbers;  // by normal-table entry: its number as written, or kNotNumbered
  std::uint32_t normalCount = 0;
  bool textureCoords = false;                // some vertex has (u, v), or a face's surface takes a UV map
  bool vertexColors = false;
};

// x, y, z of `count` vertices from `first` as written: towards the morph target, less the pivot.
void readyPositions(const LwObject& object, std::size_t first, std::size_t count, float* out);

// True when the object is written as a Mesh: it has faces and is not dissolved.
bool meshWritten(const LwObject& object);
// True when the mesh carries vertex colours (MeshVertexColors, whose template a text file
// then declares).
bool meshHasVertexColors(const LwObject& object);
// A polygon's corners (the model is validated: they lie in the corner pool).
std::uint32_t cornerCountOf(const LwPolygon& polygon);

// What writing the object as a Mesh takes; empty when it is not written. usedOnly lists only
// the materials some face uses (a skinned mesh: engines make a buffer of each listed material,
// and an empty one breaks their skinning). With -F the v coordinates are flipped in place,
// so each object is made ready once; the polygon lists and vertex maps, which writing does
// not read, are released.
void readyMesh(const ConversionContext& context, const MaterialTable& table, LwObject& object, bool usedOnly,
               ReadyMesh& mesh);

}  // namespace torvo
