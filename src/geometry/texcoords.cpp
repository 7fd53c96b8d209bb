// Texture coordinates projected from each surface's colour texture or taken from its UV
// map, and vertex colours from its colour map, with vertex splits where two corners at
// one point need different values.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "geometry/geometry.h"
#include "platform/pages.h"

namespace torvo {

namespace {

constexpr double kInvTwoPi = 0.15915494309189498;
constexpr double kInvPi = 0.31830988618378997;

enum Axis { kAxisX, kAxisY, kAxisZ };

// Without any axis bit (a CTEX with no TFLG) the map looks along z.
Axis textureAxis(const LwTexture& texture) {
  if ((texture.flags & kTextureAxisX) != 0) return kAxisX;
  if ((texture.flags & kTextureAxisY) != 0) return kAxisY;
  return kAxisZ;
}

// A zero size would turn every coordinate into an infinity or NaN; such an axis is
// taken as unscaled instead.
double scaled(double d, float size) { return size != 0.0f ? d / size : d; }

struct UV {
  double u = 0.0;
  double v = 0.0;
};

// Offset of one coordinate from the texture's centre, scaled by its size.
double along(const LwTexture& t, float coordinate, int i) { return scaled(double{coordinate} - t.center[i], t.size[i]); }

// Only the two coordinates the map uses are worked out.
UV planarUV(const LwTexture& t, Axis axis, const LwPoint& p) {
  switch (axis) {
    case kAxisX: return {0.5 + along(t, p.z, 2), 0.5 - along(t, p.y, 1)};
    case kAxisY: return {0.5 + along(t, p.x, 0), 0.5 - along(t, p.z, 2)};
    default: return {0.5 + along(t, p.x, 0), 0.5 - along(t, p.y, 1)};
  }
}

UV cylindricalUV(Axis axis, double x, double y, double z) {
  switch (axis) {
    case kAxisX: return {0.5 + std::atan2(-z, y) * kInvTwoPi, 0.5 - x};
    case kAxisY: return {0.5 + std::atan2(x, -z) * kInvTwoPi, 0.5 - y};
    default: return {0.5 + std::atan2(x, y) * kInvTwoPi, 0.5 - z};
  }
}

UV sphericalUV(Axis axis, double dx, double dy, double dz) {
  double a = dx, b = dy, c = dz;
  if (axis == kAxisX) {
    a = -dz;
    b = dy;
    c = dx;
  } else if (axis == kAxisY) {
    a = dx;
    b = -dz;
    c = dy;
  }
  if (a == 0.0 && b == 0.0) {
    // On the axis: the pole above, the centre, or the pole below.
    if (c > 0.0) return {0.5, 0.0};
    if (c == 0.0) return {0.5, 0.5};
    return {0.5, 1.0};
  }
  return {0.5 + std::atan2(a, b) * kInvTwoPi, 0.5 - std::atan2(c, std::sqrt(a * a + b * b)) * kInvPi};
}

UV cubicUV(const LwTexture& t, double dx, double dy, double dz) {
  const double ax = std::fabs(dx), ay = std::fabs(dy), az = std::fabs(dz);
  if (az >= ay && az >= ax) {
    if (az == 0.0) return {0.0, 0.0};
    return {0.5 + (dx / az) * t.size[0], 0.5 - (dy / az) * t.size[1]};
  }
  if (ax > az && ax >= ay) return {0.5 + (dz / ax) * t.size[2], 0.5 - (dy / ax) * t.size[1]};
  if (ay == 0.0) return {0.0, 0.0};
  return {0.5 + (dx / ay) * t.size[0], 0.5 - (dz / ay) * t.size[2]};
}

UV rawUV(const LwTexture& t, const LwPoint& p) {
  const double dx = double{p.x} - t.center[0];
  const double dy = double{p.y} - t.center[1];
  const double dz = double{p.z} - t.center[2];
  switch (t.mapping) {
    case kMappingPlanar:
      return planarUV(t, textureAxis(t), p);
    case kMappingCylindrical:
      return cylindricalUV(textureAxis(t), scaled(dx, t.size[0]), scaled(dy, t.size[1]), scaled(dz, t.size[2]));
    case kMappingSpherical:
      return sphericalUV(textureAxis(t), dx, dy, dz);
    default:
      return cubicUV(t, dx, dy, dz);
  }
}

const LwPoint& cornerPoint(const LwObject& object, const LwPolygon& polygon, std::int32_t k) {
  return object.points[object.vertices[object.indices[polygon.firstIndex + k]].point];
}

// What a corner needs of its vertex: coordinates, a colour, or both.
struct CornerWant {
  bool uv = false;
  double u = 0.0, v = 0.0;
  bool colour = false;
  float rgba[4] = {0.0f, 0.0f, 0.0f, 1.0f};
};

// True when the vertex can take the wanted colour: it has none yet, or the same.
bool colourFits(const LwObject& object, std::uint32_t vertex, const CornerWant& want) {
  if (!want.colour) return true;
  const LwVertexColor& c = object.vertexColors[vertex];
  return !c.set || std::equal(c.rgba, c.rgba + 4, want.rgba);
}

void give(LwObject& object, std::uint32_t index, const CornerWant& want) {
  LwVertex& vertex = object.vertices[index];
  if (want.uv) {
    vertex.u = want.u;
    vertex.v = want.v;
    vertex.hasUV = 1;
  }
  if (want.colour) {
    LwVertexColor& c = object.vertexColors[index];
    std::copy(want.rgba, want.rgba + 4, c.rgba);
    c.set = true;
  }
}

std::uint32_t splitCorner(LwObject& object, std::uint32_t polygon, std::size_t position, const CornerWant& want);

// The common cases inline: the vertex takes what the corner wants, or already has it.
inline std::uint32_t assignCorner(LwObject& object, std::uint32_t polygon, std::size_t position,
                                  const CornerWant& want) {
  const std::uint32_t first = object.indices[position];
  const LwVertex& vertex = object.vertices[first];
  const bool uvFits = !want.uv || vertex.hasUV == 0 || (vertex.u == want.u && vertex.v == want.v);
  if (uvFits && colourFits(object, first, want)) {
    give(object, first, want);
    return first;
  }
  return splitCorner(object, polygon, position, want);
}

// The corner needs what its vertex does not have: another vertex of the same point takes
// it over, found along the point's chain or added to it.
std::uint32_t splitCorner(LwObject& object, std::uint32_t polygon, std::size_t position, const CornerWant& want) {
  const std::uint32_t first = object.indices[position];
  lwRemoveVertexPolygon(object, first, polygon);

  // Look along this point's own chain for a vertex that already has what is wanted.
  std::uint32_t chosen = first;
  std::uint32_t last = first;
  bool found = false;
  while (object.vertices[last].nextSplit != last) {
    last = object.vertices[last].nextSplit;
    const LwVertex& w = object.vertices[last];
    if ((!want.uv || (w.u == want.u && w.v == want.v)) && colourFits(object, last, want)) {
      give(object, last, want);
      chosen = last;
      found = true;
      break;
    }
  }
  if (found) {
    const std::span<const std::uint32_t> list = lwVertexPolygons(object, chosen);
    if (std::find(list.begin(), list.end(), polygon) == list.end()) lwAddVertexPolygon(object, chosen, polygon);
  } else {
    chosen = static_cast<std::uint32_t>(object.vertices.size());
    // The copy keeps what the corner does not ask for (coordinates projected earlier).
    LwVertex split = object.vertices[first];
    split.polygonListFirst = split.polygonListCount = split.polygonListCapacity = 0;
    split.nextSplit = chosen;
    platform::populateGrowth(object.vertices, 1);
    object.vertices.push_back(split);
    if (!object.vertexColors.empty()) object.vertexColors.push_back(object.vertexColors[first]);
    give(object, chosen, want);
    object.vertices[last].nextSplit = chosen;
    lwAddVertexPolygon(object, chosen, polygon);
  }
  object.indices[position] = chosen;
  return chosen;
}

inline std::uint32_t assignCornerUV(LwObject& object, std::uint32_t polygon, std::size_t position, double u,
                                    double v) {
  CornerWant want;
  want.uv = true;
  want.u = u;
  want.v = v;
  return assignCorner(object, polygon, position, want);
}

// A map's entries reached without a search per corner: each point's VMAP entry and each
// polygon's run of VMAD entries, built once for the pass over every corner.
struct MapIndex {
  const LwVertexMap* map = nullptr;
  bool pointsInOrder = false;               // entry i is point i's (the usual whole UV map): no pointEntry
  std::vector<std::uint32_t> pointEntry;    // else per point: its last VMAP entry, or kNoEntry
  std::vector<std::uint32_t> polygonFirst;  // per polygon and one more: where its VMAD run starts; empty without VMAD
};
constexpr std::uint32_t kNoEntry = 0xFFFFFFFF;

// The lists are built only where the map needs them: each is one more array as long as the
// points or the polygons, and fresh memory is dear.
void indexMap(MapIndex& index, const LwVertexMap& map, std::size_t pointCount, std::size_t polygonCount) {
  index.map = &map;
  index.pointsInOrder = map.points.size() <= pointCount;
  for (std::uint32_t i = 0; i < map.points.size() && index.pointsInOrder; ++i) index.pointsInOrder = map.points[i].point == i;
  if (!index.pointsInOrder) {
    index.pointEntry.reserve(pointCount);
    platform::populateRoom(index.pointEntry, pointCount);
    index.pointEntry.assign(pointCount, kNoEntry);
    // Sorted by point, so a later duplicate overwrites an earlier one: the last given counts.
    for (std::uint32_t i = 0; i < map.points.size(); ++i)
      if (map.points[i].point < pointCount) index.pointEntry[map.points[i].point] = i;
  }
  if (map.corners.empty()) return;
  index.polygonFirst.reserve(polygonCount + 1);
  platform::populateRoom(index.polygonFirst, polygonCount + 1);
  index.polygonFirst.assign(polygonCount + 1, 0);
  for (const LwMapValue& value : map.corners)
    if (value.polygon < polygonCount) ++index.polygonFirst[value.polygon + 1];
  for (std::size_t p = 0; p < polygonCount; ++p) index.polygonFirst[p + 1] += index.polygonFirst[p];
}

// A map's value for a corner: the polygon's own (VMAD), else the point's (VMAP), else null;
// what a search of the sorted lists for the last entry of (polygon, point) would find.
const LwMapValue* mapValue(const std::vector<MapIndex>& indexes, std::int32_t map, std::uint32_t polygon,
                           std::uint32_t point) {
  if (map < 0) return nullptr;
  const MapIndex& index = indexes[static_cast<std::size_t>(map)];
  if (index.map == nullptr) return nullptr;
  if (polygon + std::size_t{1} < index.polygonFirst.size()) {
    const auto first = index.map->corners.begin() + index.polygonFirst[polygon];
    const auto last = index.map->corners.begin() + index.polygonFirst[polygon + 1];
    if (first != last) {
      // The run is sorted by point; its last entry for the point counts.
      const auto after = std::upper_bound(first, last, point, [](std::uint32_t p, const LwMapValue& v) { return p < v.point; });
      if (after != first && (after - 1)->point == point) return &*(after - 1);
    }
  }
  if (index.pointsInOrder) return point < index.map->points.size() ? &index.map->points[point] : nullptr;
  if (point >= index.pointEntry.size() || index.pointEntry[point] == kNoEntry) return nullptr;
  return &index.map->points[index.pointEntry[point]];
}

}  // namespace

void lwComputeTextureCoords(LwObject& object, bool wrapSeams) {
  std::vector<double> rawU;
  for (std::uint32_t p = 0; p < object.polygons.size(); ++p) {
    LwPolygon& polygon = object.polygons[p];
    const LwTexture& texture = object.surfaces[static_cast<std::size_t>(polygon.surface)].colorTexture;
    if (texture.mapping == kMappingNone) continue;
    const bool aroundAxis = texture.mapping == kMappingCylindrical || texture.mapping == kMappingSpherical;
    const std::int32_t n = polygon.cornerCount;

    double maxU = 0.0;
    bool enclosing = false;
    if (aroundAxis && wrapSeams) {
      polygon.wrapU = 1;
    } else if (aroundAxis) {
      // Measure whether the polygon straddles the seam or goes once round the axis.
      rawU.resize(static_cast<std::size_t>(n));
      for (std::int32_t k = 0; k < n; ++k) {
        rawU[k] = rawUV(texture, cornerPoint(object, polygon, k)).u;
        maxU = std::max(maxU, rawU[k]);
      }
      double turn = 0.0;
      for (std::int32_t k = 0; k < n; ++k) {
        double d = rawU[k] - rawU[(k + 1) % n];
        if (d < -0.5) {
          d += 1.0;
        } else if (d > 0.5) {
          d -= 1.0;
        }
        turn += d;
      }
      enclosing = std::fabs(turn) > 0.8;
    }

    const bool planar = texture.mapping == kMappingPlanar;
    const Axis axis = textureAxis(texture);
    for (std::int32_t k = 0; k < n; ++k) {
      const LwPoint& point = cornerPoint(object, polygon, k);
      UV uv = planar ? planarUV(texture, axis, point) : rawUV(texture, point);
      if (aroundAxis) {
        if (!enclosing && uv.u < maxU - 0.5) uv.u += 1.0;
        uv.u *= texture.param0;
        if (wrapSeams) uv.u -= std::floor(uv.u);
        if (texture.mapping == kMappingSpherical) uv.v *= texture.param1;
      }
      assignCornerUV(object, p, polygon.firstIndex + static_cast<std::size_t>(k), uv.u, uv.v);
    }
  }
}

std::uint32_t lwAssignCornerUV(LwObject& object, std::uint32_t polygon, int corner, double u, double v) {
  const std::size_t position = object.polygons[polygon].firstIndex + static_cast<std::size_t>(corner);
  return assignCornerUV(object, polygon, position, u, v);
}

void lwComputeMapCoords(LwObject& object, const std::vector<std::uint32_t>& sourceOf) {
  std::vector<MapIndex> indexes(object.vertexMaps.size());
  const std::size_t sources = std::max(object.polygons.size(), sourceOf.size());
  for (const LwSurface& surface : object.surfaces) {
    for (const std::int32_t map : {surface.uvMap, surface.colorMap}) {
      if (map < 0) continue;  // the readers name only maps that exist
      MapIndex& index = indexes[static_cast<std::size_t>(map)];
      if (index.map == nullptr) indexMap(index, object.vertexMaps[static_cast<std::size_t>(map)], object.points.size(), sources);
    }
  }
  // A corner splits its vertex only where a polygon's own entry (VMAD) differs from the
  // point's: room for that many more vertices is made at once, not by doubling and copying.
  std::size_t cornerEntries = 0;
  for (const MapIndex& index : indexes)
    if (index.map != nullptr) cornerEntries += index.map->corners.size();
  object.vertices.reserve(object.vertices.size() + cornerEntries);
  object.polygonLists.reserve(object.polygonLists.size() + 2 * cornerEntries);
  for (const LwSurface& surface : object.surfaces) {
    if (surface.colorMap >= 0) {
      object.vertexColors.reserve(object.vertices.capacity());
      object.vertexColors.assign(object.vertices.size(), LwVertexColor{});
      break;
    }
  }
  for (std::uint32_t p = 0; p < object.polygons.size(); ++p) {
    const LwSurface& surface = object.surfaces[static_cast<std::size_t>(object.polygons[p].surface)];
    const bool uvMapped = surface.uvMap >= 0;
    const bool coloured = surface.colorMap >= 0;
    if (!uvMapped && !coloured) continue;
    const bool rgba = coloured && surface.colorAlpha;
    const std::uint32_t source = p < sourceOf.size() ? sourceOf[p] : p;
    for (std::int32_t k = 0; k < object.polygons[p].cornerCount; ++k) {
      const std::size_t position = object.polygons[p].firstIndex + static_cast<std::size_t>(k);
      const std::uint32_t point = object.vertices[object.indices[position]].point;
      CornerWant want;
      if (uvMapped) {
        // A point the map leaves out is at (0, 0); LightWave's v runs upwards, the .x file's downwards.
        const LwMapValue* value = mapValue(indexes, surface.uvMap, source, point);
        want.uv = true;
        want.u = value != nullptr ? value->value[0] : 0.0;
        want.v = 1.0 - (value != nullptr ? value->value[1] : 0.0);
      } else if (const LwVertex& current = object.vertices[object.indices[position]]; current.hasUV != 0) {
        // Projected coordinates stay with the corner when a colour splits its vertex.
        want.uv = true;
        want.u = current.u;
        want.v = current.v;
      }
      if (coloured) {
        // A point the map leaves out is opaque black; without alpha, colours are opaque.
        const LwMapValue* value = mapValue(indexes, surface.colorMap, source, point);
        want.colour = true;
        if (value != nullptr) std::copy(value->value, value->value + (rgba ? 4 : 3), want.rgba);
      }
      assignCorner(object, p, position, want);
    }
  }
}

}  // namespace torvo
