// The skin of one mesh of a scene: which bones deform it, their rest transforms and
// offsets in the mesh's space, and the weights they give its vertices.
#include <algorithm>

#include "core/options.h"
#include "geometry/skin.h"

namespace torvo {

namespace {

// A mesh names at most this many bones (the header's WORD).
constexpr std::size_t kMaxMeshBones = 0xFFFF;

bool deforms(const LwObject& item) { return lwIsBone(item.bone) && lwBoneDeforms(item.bone); }

// The item whose bones deform the item at `position`, or kNoItem when none is written with a skin.
std::int32_t skeletonOwner(const ConversionContext& context, const LwScene& scene, std::size_t position) {
  const LwObject& item = *scene.items[position];
  if (context.options.meshesOnly != 0 || item.polygons.empty() || item.dissolve >= 1.0 || lwIsBone(item.bone)) return kNoItem;
  const std::int32_t owner =
      item.skeleton.bonesFromItem != kNoItem ? item.skeleton.bonesFromItem : static_cast<std::int32_t>(position);
  if (lwSceneItem(scene, owner)->skeleton.bones == 0) return kNoItem;
  // Bones follow every other item.
  for (std::size_t i = scene.items.size(); i-- > 0 && lwIsBone(scene.items[i]->bone);)
    if (scene.items[i]->bone.ownerItem == owner && deforms(*scene.items[i])) return owner;
  return kNoItem;
}

// Matrices already known down the frame tree, by item.
struct Chains {
  std::vector<Mat4> matrix;
  std::vector<char> known;
};

// The transform of an item's frame down the frame tree at the first frame, or (rest) of a
// bone at rest relative to its object's own coordinates.
Mat4 chain(const LwScene& scene, std::int32_t start, bool rest, Chains* known = nullptr) {
  std::vector<std::int32_t> path;
  Mat4 m;
  // A walk longer than the scene has items is in a cycle.
  for (std::int32_t at = start; at != kNoItem && path.size() <= scene.items.size();) {
    const LwObject& item = *scene.items[static_cast<std::size_t>(at)];
    if (rest && !lwIsBone(item.bone)) break;
    if (known != nullptr && known->known[static_cast<std::size_t>(at)] != 0) {
      m = known->matrix[static_cast<std::size_t>(at)];
      break;
    }
    path.push_back(at);
    at = item.parentItem;
  }
  for (auto it = path.rbegin(); it != path.rend(); ++it) {
    const LwObject& item = *scene.items[static_cast<std::size_t>(*it)];
    const bool root = rest && item.bone.ownerItem == item.parentItem;
    const float* pivot = root ? kNoPivot : lwPivotOf(scene, item.parentItem);
    if (rest) {
      mat4Multiply(m, lwBoneRestMatrix(item.bone, pivot));
    } else if (!item.motionKeys.empty()) {
      mat4Multiply(m, lwIsBone(item.bone) ? lwBonePoseMatrix(item.bone, item.motionKeys[0], pivot)
                                          : itemMatrix(item.motionKeys[0], pivot));
    }
    if (known != nullptr) {
      known->matrix[static_cast<std::size_t>(*it)] = m;
      known->known[static_cast<std::size_t>(*it)] = 1;
    }
  }
  return m;
}

Mat4 translation(const float offset[3], double sign) {
  Mat4 t;
  for (int i = 0; i < 3; ++i) t.m[i][3] = sign * offset[i];
  return t;
}

}  // namespace

bool lwSceneHasSkin(const ConversionContext& context, const LwScene& scene) {
  for (std::size_t i = 0; i < scene.items.size(); ++i)
    if (skeletonOwner(context, scene, i) != kNoItem) return true;
  return false;
}

bool lwBuildMeshSkin(const ConversionContext& context, const LwScene& scene, std::size_t position, LwMeshSkin& skin) {
  const std::int32_t owner = skeletonOwner(context, scene, position);
  if (owner == kNoItem) return false;
  const LwObject& item = *scene.items[position];
  // Offsets are taken in this mesh's space: another item's bones are placed through both
  // objects' frames at the first frame.
  Mat4 toMesh = translation(item.pivot, -1.0);
  if (owner != static_cast<std::int32_t>(position)) {
    toMesh = mat4AffineInverse(chain(scene, static_cast<std::int32_t>(position), false));
    mat4Multiply(toMesh, chain(scene, owner, false));
    mat4Multiply(toMesh, translation(lwPivotOf(scene, owner), -1.0));
  }
  std::vector<LwSkinBone> bones;
  skin = LwMeshSkin();
  std::size_t first = scene.items.size();
  while (first > 0 && lwIsBone(scene.items[first - 1]->bone)) --first;
  Chains rests{std::vector<Mat4>(scene.items.size()), std::vector<char>(scene.items.size(), 0)};
  for (std::size_t i = first; i < scene.items.size(); ++i) {
    const LwObject& bone = *scene.items[i];
    if (bone.bone.ownerItem != owner || !deforms(bone)) continue;
    LwSkinBone& b = bones.emplace_back();
    b.rest = chain(scene, static_cast<std::int32_t>(i), true, &rests);
    b.bone = &bone.bone;
    Mat4 restInMesh = toMesh;
    mat4Multiply(restInMesh, b.rest);
    skin.offsets.push_back(mat4AffineInverse(restInMesh));
    skin.items.push_back(static_cast<std::int32_t>(i));
  }
  skin.offsets.emplace_back();
  skin.items.push_back(static_cast<std::int32_t>(position));
  lwComputeSkin(item, bones, item.skeleton, context.options.skinInfluences, skin.weights);

  const MessageSink& sink = context.sink;
  for (const std::string& map : skin.weights.missingMaps)
    report(sink, Message::kNoWeightMap, item.name, map);
  if (skin.weights.normalizedPoints != 0)
    report(sink, Message::kWeightsNormalized, item.name, skin.weights.normalizedPoints);
  std::size_t used = 0;
  for (std::size_t e = 0; e + 1 < skin.weights.first.size(); ++e) used += skin.weights.first[e + 1] > skin.weights.first[e];
  if (used > kMaxMeshBones) {
    report(sink, Message::kTooManyBones, item.name, used, kMaxMeshBones);
    return false;
  }
  return true;
}

bool lwMeshIsSkinned(const ConversionContext& context, const LwScene& scene, std::size_t position) {
  return skeletonOwner(context, scene, position) != kNoItem;
}

void lwLayOutSkinnedMesh(LwObject& object, bool withNormals) {
  constexpr std::uint32_t kNone = 0xFFFFFFFFu;
  const bool normals = withNormals && object.cornerNormals.size() == object.indices.size();
  const bool colours = object.vertexColors.size() == object.vertices.size();
  struct Copy {
    std::uint32_t normal;
    std::int32_t material;
    std::uint32_t next;  // the next copy of the same vertex
  };
  std::vector<std::uint32_t> firstCopy(object.vertices.size(), kNone);
  std::vector<Copy> copies;
  std::vector<LwVertex> vertices;
  std::vector<LwVertexColor> vertexColors;
  std::vector<LwNormal> vertexNormals;
  vertices.reserve(object.vertices.size());
  for (const LwPolygon& polygon : object.polygons) {
    const bool known = polygon.surface >= 0 && static_cast<std::size_t>(polygon.surface) < object.surfaces.size();
    const std::int32_t material = known ? object.surfaces[static_cast<std::size_t>(polygon.surface)].materialIndex : -1;
    const std::size_t end = std::min<std::size_t>(object.indices.size(), std::size_t{polygon.firstIndex} +
                                                                             static_cast<std::size_t>(std::max(polygon.cornerCount, 0)));
    for (std::size_t corner = polygon.firstIndex; corner < end; ++corner) {
      const std::uint32_t old = object.indices[corner];
      if (old >= object.vertices.size()) continue;
      const std::uint32_t normal = normals ? object.cornerNormals[corner] : 0;
      std::uint32_t at = firstCopy[old];
      while (at != kNone && (copies[at].normal != normal || copies[at].material != material)) at = copies[at].next;
      if (at == kNone) {
        at = static_cast<std::uint32_t>(vertices.size());
        copies.push_back({normal, material, firstCopy[old]});
        firstCopy[old] = at;
        LwVertex& v = vertices.emplace_back(object.vertices[old]);
        v.polygonListFirst = 0;
        v.polygonListCount = 0;
        v.polygonListCapacity = 0;
        v.nextSplit = at;
        if (colours) vertexColors.push_back(object.vertexColors[old]);
        if (normals) {
          LwNormal& n = vertexNormals.emplace_back(normal < object.normals.size() ? object.normals[normal] : LwNormal());
          n.useCount = 1;
        }
      }
      object.indices[corner] = at;
      if (normals) object.cornerNormals[corner] = at;
    }
  }
  object.vertices = std::move(vertices);
  object.polygonLists.clear();
  if (colours) object.vertexColors = std::move(vertexColors);
  if (normals) object.normals = std::move(vertexNormals);
}

}  // namespace torvo
