#include "model/object.h"

#include <algorithm>

namespace {

bool valueBefore(const LwMapValue& a, const LwMapValue& b) {
  return a.polygon != b.polygon ? a.polygon < b.polygon : a.point < b.point;
}

}  // namespace

void lwReleaseObject(LwObject& object) {
  if (--object.refCount > 0) return;
  // Swapping with empty vectors gives the memory back, which clear() would not.
  std::vector<LwSurface>().swap(object.surfaces);
  std::vector<LwPoint>().swap(object.points);
  std::vector<LwVertex>().swap(object.vertices);
  std::vector<std::uint32_t>().swap(object.polygonLists);
  std::vector<std::uint32_t>().swap(object.indices);
  std::vector<std::uint32_t>().swap(object.cornerNormals);
  std::vector<LwPolygon>().swap(object.polygons);
  std::vector<LwNormal>().swap(object.normals);
  std::vector<std::uint16_t>().swap(object.polygonLayers);
  std::vector<LwVertexMap>().swap(object.vertexMaps);
  std::vector<LwVertexColor>().swap(object.vertexColors);
  std::vector<LwSkelegon>().swap(object.skelegons);
}

void lwDisposeObject(LwObject& object) {
  object.refCount = 1;
  lwReleaseObject(object);
  std::vector<MotionKey>().swap(object.motionKeys);
  std::vector<LwEnvelope>().swap(object.channels);
}

void lwSortMapValues(std::vector<LwMapValue>& values) {
  // Files mostly list a map in point order already; the sort's buffer is then not needed.
  if (std::is_sorted(values.begin(), values.end(), valueBefore)) return;
  std::stable_sort(values.begin(), values.end(), valueBefore);
}

const LwMapValue* lwFindMapValue(const std::vector<LwMapValue>& sorted, std::uint32_t polygon, std::uint32_t point) {
  LwMapValue key;
  key.polygon = polygon;
  key.point = point;
  const auto after = std::upper_bound(sorted.begin(), sorted.end(), key, valueBefore);
  if (after == sorted.begin()) return nullptr;
  const LwMapValue& found = *(after - 1);
  return found.polygon == polygon && found.point == point ? &found : nullptr;
}

void lwIndexMap(LwMapIndex& index, const LwVertexMap& map, std::size_t pointCount, std::size_t polygonCount) {
  index.map = &map;
  index.pointEntry.assign(pointCount, kNoEntry);
  // Sorted by point, so a later duplicate overwrites an earlier one: the last given counts.
  for (std::uint32_t i = 0; i < map.points.size(); ++i)
    if (map.points[i].point < pointCount) index.pointEntry[map.points[i].point] = i;
  index.polygonFirst.assign(polygonCount + 1, 0);
  for (const LwMapValue& value : map.corners)
    if (value.polygon < polygonCount) ++index.polygonFirst[value.polygon + 1];
  for (std::size_t p = 0; p < polygonCount; ++p) index.polygonFirst[p + 1] += index.polygonFirst[p];
}

const LwMapValue* lwIndexedMapValue(const LwMapIndex& index, std::uint32_t polygon, std::uint32_t point) {
  if (index.map == nullptr) return nullptr;
  const std::vector<LwMapValue>& corners = index.map->corners;
  if (polygon + std::size_t{1} < index.polygonFirst.size()) {
    // The run is sorted by point; its last entry for the point counts.
    const auto first = corners.begin() + index.polygonFirst[polygon];
    const auto last = corners.begin() + index.polygonFirst[polygon + 1];
    if (first != last) {
      const auto after = std::upper_bound(first, last, point, [](std::uint32_t p, const LwMapValue& v) { return p < v.point; });
      if (after != first && (after - 1)->point == point) return &*(after - 1);
    }
  }
  if (point >= index.pointEntry.size() || index.pointEntry[point] == kNoEntry) return nullptr;
  return &index.map->points[index.pointEntry[point]];
}
