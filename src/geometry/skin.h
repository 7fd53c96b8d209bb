// Skin weights: how much each bone moves each vertex, as LightWave weighs its points.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/context.h"
#include "model/object.h"
#include "model/scene.h"

namespace torvo {

// A bone that deforms an object: its rest transform in the object's own coordinates.
struct LwSkinBone {
  Mat4 rest;
  const LwBone* bone = nullptr;
};

// Weights below this are dropped (the point's other bones take their share): a distant
// bone's falloff is never exactly zero, and a list of every vertex for every bone helps no one.
constexpr double kSmallestWeight = 1e-6;

// Influences grouped by entry: entry b < bone count is bone b, the last entry the share of
// each point that no bone moves, which stays with the object. Vertex and weight lists of
// entry e are [first[e], first[e + 1]).
struct LwSkinWeights {
  std::vector<std::uint32_t> first;
  std::vector<std::uint32_t> vertices;
  std::vector<float> weights;
  std::uint32_t maxPerVertex = 0;
  std::uint32_t maxPerFace = 0;
  std::size_t normalizedPoints = 0;       // points whose weights summed above 1
  std::vector<std::string> missingMaps;   // weight maps bones name that the object lacks
};

// The falloff of a bone's field with the distance from a point to the bone.
double lwBoneFalloff(double distance, std::int32_t type);

// Weighs every point once against every bone, then gives each vertex its point's weights.
// limit > 0 keeps that many of the strongest influences of a vertex, renormalized.
void lwComputeSkin(const LwObject& object, const std::vector<LwSkinBone>& bones, const LwSkeleton& settings,
                   std::uint32_t limit, LwSkinWeights& out);

// True when some skelegon of the object names a weight map.
bool lwHasWeightedSkelegons(const LwObject& object);
// Bones from the skelegons of the scene's first item: appended as bone items at rest,
// parented where a skelegon's base is another's tip, turned about their length as BNUP
// says; each weighs by its map alone (one without a map does not deform).
void lwRigSkelegons(LwScene& scene);

// The skin of one mesh of a scene. Entries are the bones that deform it, then the mesh's
// own item for the share of each point that no bone moves; by entry, the item whose frame
// moves it and the offset from mesh space to that frame's space at rest.
struct LwMeshSkin {
  LwSkinWeights weights;
  std::vector<std::int32_t> items;  // the bones, then the mesh's own item
  std::vector<Mat4> offsets;
};

// True when some mesh the scene writes is deformed by bones.
bool lwSceneHasSkin(const ConversionContext& context, const LwScene& scene);
// The skin of the item at a 0-based position; false (warnings printed) when it has none.
bool lwBuildMeshSkin(const ConversionContext& context, const LwScene& scene, std::size_t position, LwMeshSkin& skin);
// True when bones deform the item at a 0-based position in the written file.
bool lwMeshIsSkinned(const ConversionContext& context, const LwScene& scene, std::size_t position);
// Lays a skinned mesh out as engines skin it: only the vertices faces use, a copy of a vertex
// for each material and (withNormals) each normal its corners take, so that every vertex
// has one normal (normal i belongs to vertex i) and lies in one material's buffer. Copies keep
// their point, so the point's weights reach every copy.
void lwLayOutSkinnedMesh(LwObject& object, bool withNormals);

}  // namespace torvo
