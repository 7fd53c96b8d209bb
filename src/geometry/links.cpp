// Each vertex's list of the polygons that use it, kept as runs of one pool.
#include <algorithm>

#include "geometry/geometry.h"
#include "platform/pages.h"

namespace torvo {

void lwLinkVertices(LwObject& object) {
  // Counted first, so that every run is laid out once at its final size. Corners name
  // existing vertices: the readers keep no others.
  for (LwVertex& vertex : object.vertices) vertex.polygonListCount = 0;
  std::size_t links = 0;
  for (const LwPolygon& polygon : object.polygons) {
    const std::uint32_t* corner = object.indices.data() + polygon.firstIndex;
    for (std::int32_t k = 0; k < polygon.cornerCount; ++k) ++object.vertices[corner[k]].polygonListCount;
    links += static_cast<std::size_t>(polygon.cornerCount);
  }
  std::uint32_t next = 0;
  for (LwVertex& vertex : object.vertices) {
    vertex.polygonListFirst = next;
    vertex.polygonListCapacity = vertex.polygonListCount;
    next += vertex.polygonListCount;
    vertex.polygonListCount = 0;
  }
  // Corners with a polygon's own map value (VMAD) may split their vertex later, each split
  // adding a run of two at the pool's end: room for them is made now, not by copying the pool.
  std::size_t cornerEntries = 0;
  for (const LwVertexMap& map : object.vertexMaps) cornerEntries += map.corners.size();
  object.polygonLists.reserve(links + 2 * cornerEntries);
  platform::populateRoom(object.polygonLists, links);
  object.polygonLists.assign(links, 0);
  for (std::uint32_t p = 0; p < object.polygons.size(); ++p) {
    const LwPolygon& polygon = object.polygons[p];
    const std::uint32_t* corner = object.indices.data() + polygon.firstIndex;
    for (std::int32_t k = 0; k < polygon.cornerCount; ++k) {
      LwVertex& vertex = object.vertices[corner[k]];
      object.polygonLists[vertex.polygonListFirst + vertex.polygonListCount++] = p;
    }
  }
}

void lwAddVertexPolygon(LwObject& object, std::uint32_t vertex, std::uint32_t polygon) {
  LwVertex& v = object.vertices[vertex];
  std::vector<std::uint32_t>& pool = object.polygonLists;
  if (v.polygonListCount == v.polygonListCapacity) {
    const std::uint32_t room = v.polygonListCapacity < 2 ? 2 : v.polygonListCapacity;
    if (v.polygonListFirst + v.polygonListCapacity == pool.size()) {
      platform::populateGrowth(pool, room);
      pool.resize(pool.size() + room);  // the last run grows where it is
    } else {
      // A full run moves to the end of the pool with twice the room, so a list that
      // keeps growing costs amortised constant time per entry; the old run is left unused.
      const std::size_t moved = pool.size();
      platform::populateGrowth(pool, v.polygonListCount + room);
      pool.resize(moved + v.polygonListCount + room);
      std::copy_n(pool.begin() + v.polygonListFirst, v.polygonListCount, pool.begin() + moved);
      v.polygonListFirst = static_cast<std::uint32_t>(moved);
    }
    v.polygonListCapacity = v.polygonListCount + room;
  }
  pool[v.polygonListFirst + v.polygonListCount++] = polygon;
}

void lwRemoveVertexPolygon(LwObject& object, std::uint32_t vertex, std::uint32_t polygon) {
  LwVertex& v = object.vertices[vertex];
  std::uint32_t* run = object.polygonLists.data() + v.polygonListFirst;
  v.polygonListCount = static_cast<std::uint32_t>(std::remove(run, run + v.polygonListCount, polygon) - run);
}

}  // namespace torvo
