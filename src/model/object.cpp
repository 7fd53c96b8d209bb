#include "model/object.h"

#include <algorithm>

namespace torvo {

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
  std::vector<LwPoint>().swap(object.limitNormals);
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
  const auto polygonBefore = [](const LwMapValue& a, const LwMapValue& b) { return a.polygon < b.polygon; };
  if (!std::is_sorted(values.begin(), values.end(), polygonBefore)) {
    std::stable_sort(values.begin(), values.end(), valueBefore);
    return;
  }
  // Per-polygon entries come polygon by polygon in their corners' order: each polygon's few
  // entries are put in point order where they stand (stable, and without a buffer).
  for (auto run = values.begin(); run != values.end();) {
    const auto end = std::find_if(run, values.end(), [&](const LwMapValue& v) { return v.polygon != run->polygon; });
    for (auto it = run + 1; it < end; ++it) std::rotate(std::upper_bound(run, it, *it, valueBefore), it, it + 1);
    run = end;
  }
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

}  // namespace torvo
