#include "model/validate.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace torvo {

namespace {

ModelFault fault(const std::string& what, std::size_t index) {
  return ModelFault{what + " " + std::to_string(index)};
}

// An optional reference to a vertex map: -1 or an index.
bool namesMap(std::int32_t map, const LwObject& object) {
  return map == -1 || (map >= 0 && static_cast<std::size_t>(map) < object.vertexMaps.size());
}

// An item reference: none, or a position among the items.
bool namesItem(std::int32_t item, std::size_t items) {
  return item == kNoItem || (item >= 0 && static_cast<std::size_t>(item) < items);
}

}  // namespace

ModelFault validateObject(const LwObject& o) {
  const std::size_t corners = o.indices.size();
  if (!o.cornerNormals.empty() && o.cornerNormals.size() != corners) return {"corner normals do not match the corners"};
  if (!o.vertexColors.empty() && o.vertexColors.size() != o.vertices.size()) return {"vertex colours do not match the vertices"};
  if (!o.limitNormals.empty() && o.limitNormals.size() != o.points.size()) return {"limit normals do not match the points"};
  if (!o.polygonLayers.empty() && o.polygonLayers.size() != o.polygons.size()) return {"polygon layers do not match the polygons"};
  if (o.vertices.size() < o.points.size()) return {"fewer vertices than points"};
  for (std::size_t i = 0; i < o.vertices.size(); ++i) {
    const LwVertex& v = o.vertices[i];
    if (v.point >= o.points.size()) return fault("no point for vertex", i);
    if (std::size_t{v.polygonListFirst} + v.polygonListCount > o.polygonLists.size())
      return fault("polygon list out of its pool for vertex", i);
    for (const std::uint32_t polygon : lwVertexPolygons(o, static_cast<std::uint32_t>(i))) {
      if (polygon >= o.polygons.size()) return fault("a polygon list names no polygon for vertex", i);
    }
  }
  for (std::size_t i = 0; i < o.polygons.size(); ++i) {
    const LwPolygon& p = o.polygons[i];
    if (p.cornerCount < 3) return fault("fewer than three corners in polygon", i);
    if (p.surface < 0 || static_cast<std::size_t>(p.surface) >= o.surfaces.size()) return fault("no surface for polygon", i);
    if (std::size_t{p.firstIndex} + static_cast<std::size_t>(p.cornerCount) > corners)
      return fault("corners out of the pool for polygon", i);
    for (std::uint32_t k = p.firstIndex; k < p.firstIndex + static_cast<std::uint32_t>(p.cornerCount); ++k) {
      if (o.indices[k] >= o.vertices.size()) return fault("no vertex for a corner of polygon", i);
      if (!o.cornerNormals.empty() && o.cornerNormals[k] >= o.normals.size()) return fault("no normal for a corner of polygon", i);
    }
  }
  for (std::size_t i = 0; i < o.surfaces.size(); ++i) {
    if (!namesMap(o.surfaces[i].uvMap, o) || !namesMap(o.surfaces[i].colorMap, o)) return fault("no vertex map for surface", i);
  }
  for (std::size_t i = 0; i < o.skelegons.size(); ++i) {
    if (o.skelegons[i].base >= o.points.size() || o.skelegons[i].tip >= o.points.size()) return fault("no point for skelegon", i);
  }
  return {};
}

ModelFault validateScene(const LwScene& scene) {
  const std::size_t items = scene.items.size();
  for (std::size_t i = 0; i < items; ++i) {
    const LwObject& item = *scene.items[i];
    ModelFault own = validateObject(item);
    if (!own.ok()) return ModelFault{"item " + std::to_string(i + 1) + ": " + own.what};
    if (!namesItem(item.parentItem, items) || (item.detached && item.parentItem != kNoItem))
      return fault("no parent for item", i + 1);
    if (!namesItem(item.targetItem, items)) return fault("no target for item", i + 1);
    if (!namesItem(item.morphTargetItem, items)) return fault("no morph target for item", i + 1);
    if (item.morphTarget != nullptr && item.morphTarget != lwSceneItem(scene, item.morphTargetItem))
      return fault("a morph target other than its reference for item", i + 1);
    if (!namesItem(item.skeleton.bonesFromItem, items)) return fault("no object lending its bones to item", i + 1);
    const std::int32_t owner = item.bone.ownerItem;
    if (!namesItem(owner, items) || (owner != kNoItem && lwIsBone(lwSceneItem(scene, owner)->bone)))
      return fault("no owning object for bone", i + 1);
  }
  return {};
}

}  // namespace torvo
