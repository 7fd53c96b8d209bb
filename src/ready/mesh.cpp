#include "ready/mesh.h"

#include "core/options.h"
#include "platform/pages.h"

namespace torvo {

void readyPositions(const LwObject& object, std::size_t first, std::size_t count, float* out) {
  const LwObject* target = object.morphTarget;
  for (std::size_t i = first; i < first + count && i < object.vertices.size(); ++i) {
    const LwVertex& vertex = object.vertices[i];
    LwPoint p = object.points[vertex.point];
    // A target with fewer points leaves the missing vertices where they are.
    if (target != nullptr && object.metamorph > 0.0 && vertex.point < target->points.size()) {
      const LwPoint& t = target->points[vertex.point];
      if (object.metamorph >= 1.0) {
        p = t;
      } else {
        const double m = object.metamorph;
        p.x = static_cast<float>(m * t.x + (1.0 - m) * p.x);
        p.y = static_cast<float>(m * t.y + (1.0 - m) * p.y);
        p.z = static_cast<float>(m * t.z + (1.0 - m) * p.z);
      }
    }
    *out++ = p.x - object.pivot[0];
    *out++ = p.y - object.pivot[1];
    *out++ = p.z - object.pivot[2];
  }
}

namespace {

// Each distinct material of the object's (used) surfaces, in order of first appearance.
void readyMaterials(const MaterialTable& table, const LwObject& object, bool usedOnly, ReadyMesh& mesh) {
  std::vector<char> used(object.surfaces.size(), usedOnly ? 0 : 1);
  for (const LwPolygon& polygon : object.polygons) used[static_cast<std::size_t>(polygon.surface)] = 1;
  mesh.surfaceMaterials.assign(object.surfaces.size(), 0);
  std::vector<std::int32_t> localOf(table.entries.size(), -1);
  for (std::size_t s = 0; s < object.surfaces.size(); ++s) {
    if (used[s] == 0) continue;
    const std::int32_t m = object.surfaces[s].materialIndex;
    if (m < 0 || static_cast<std::size_t>(m) >= table.entries.size()) continue;
    if (localOf[static_cast<std::size_t>(m)] < 0) {
      localOf[static_cast<std::size_t>(m)] = static_cast<std::int32_t>(mesh.materials.size());
      mesh.materials.push_back(static_cast<std::uint32_t>(m));
    }
    mesh.surfaceMaterials[s] = static_cast<std::uint32_t>(localOf[static_cast<std::size_t>(m)]);
  }
}

bool usesUvMap(const LwObject& object) {
  for (const LwPolygon& polygon : object.polygons) {
    if (object.surfaces[static_cast<std::size_t>(polygon.surface)].uvMap >= 0) return true;
  }
  return false;
}

// Coordinates are written where some vertex has them, or where a UV map gives them (even
// when every one of them is (0, 0)).
bool hasTextureCoords(const LwObject& object) {
  for (const LwVertex& vertex : object.vertices) {
    if (vertex.u != 0.0 || vertex.v != 0.0) return true;
  }
  return usesUvMap(object);
}

}  // namespace

bool meshHasVertexColors(const LwObject& object) {
  for (const LwVertexColor& colour : object.vertexColors)
    if (colour.set) return true;
  return false;
}

bool meshWritten(const LwObject& object) {
  return !object.vertices.empty() && object.dissolve != 1.0 && !object.polygons.empty();
}

std::uint32_t cornerCountOf(const LwPolygon& polygon) { return static_cast<std::uint32_t>(polygon.cornerCount); }

void readyMesh(const ConversionContext& context, const MaterialTable& table, LwObject& object, bool usedOnly,
               ReadyMesh& mesh) {
  mesh = ReadyMesh();
  if (!meshWritten(object)) return;
  // Writing reads neither the vertices' polygon lists nor the vertex maps.
  std::vector<std::uint32_t>().swap(object.polygonLists);
  for (LwVertex& vertex : object.vertices) vertex.polygonListCount = 0;
  std::vector<LwVertexMap>().swap(object.vertexMaps);
  for (const LwPolygon& polygon : object.polygons) mesh.corners += cornerCountOf(polygon);
  readyMaterials(table, object, usedOnly, mesh);
  if (context.options.noNormals == 0) {
    mesh.normalNumbers.reserve(object.normals.size());
    platform::populateRoom(mesh.normalNumbers, object.normals.size());
    mesh.normalNumbers.assign(object.normals.size(), kNotNumbered);
    for (std::size_t i = 0; i < object.normals.size(); ++i)
      if (object.normals[i].useCount > 0) mesh.normalNumbers[i] = mesh.normalCount++;
  }
  mesh.textureCoords = hasTextureCoords(object);
  if (mesh.textureCoords && context.options.flipTextureV != 0) {
    for (LwVertex& vertex : object.vertices) vertex.v = 1.0 - vertex.v;
  }
  mesh.vertexColors = meshHasVertexColors(object);
}

}  // namespace torvo
