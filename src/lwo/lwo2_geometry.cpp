// The geometry chunks of LWO2 (and later) objects: layers, points, polygons, polygon
// tags and vertex maps, and the surfaces their tags become.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <utility>

#include "lwo/lwo2_shared.h"
#include "platform/pages.h"

namespace torvo {

namespace lwo2 {
namespace {

constexpr std::uint32_t kMaxCorners = 0x03FF;  // a polygon's 10-bit corner count; the upper 6 bits are flags
constexpr std::uint32_t kFourByteVX = 0xFF;    // first byte of a 4-byte index
constexpr std::uint32_t kVXMask = 0x00FFFFFF;
constexpr std::uint16_t kNoParent = 0xFFFF;

// A new POLS (or layer): no polygon of it read yet; the next one kept becomes `first`.
void startLocal(Reader& r, std::uint32_t first) {
  r.polygonOfLocal.clear();
  r.localInOrder = true;
  r.localFirst = first;
  r.localCount = 0;
}

// The next polygon of the chunk stands for object polygon `polygon` (or kNone). The list is
// written out only once a polygon breaks the run.
void addLocal(Reader& r, std::uint32_t polygon) {
  if (r.localInOrder && polygon == r.localFirst + r.localCount) {
    ++r.localCount;
    return;
  }
  if (r.localInOrder) {
    r.localInOrder = false;
    r.polygonOfLocal.reserve(std::size_t{r.localCount} + 1);
    for (std::uint32_t i = 0; i < r.localCount; ++i) r.polygonOfLocal.push_back(r.localFirst + i);
  }
  r.polygonOfLocal.push_back(polygon);
}

void readLayer(Reader& r, ChunkCursor& chunk) {
  LwLayer layer;
  std::uint16_t number = 0, flags = 0, parent = 0;
  chunkReadU16(chunk, number);
  chunkReadU16(chunk, flags);
  for (float& p : layer.pivot) chunkReadFloat(chunk, p);
  readText(chunk, layer.name);
  // The parent is optional; some writers store 0xFFFF for none.
  if (chunkReadU16(chunk, parent) && parent != kNoParent) layer.parent = parent;
  layer.number = number;
  r.object.layers.push_back(layer);
  r.layerNumber = number;
  r.inLayer = r.all || r.wanted == number;
  r.pointBase = static_cast<std::uint32_t>(r.object.points.size());
  r.pointCount = 0;
  startLocal(r, 0);
}

void readPoints(Reader& r, ChunkCursor& chunk) {
  // The count comes from the chunk's own (already clamped) length, so it fits the data.
  const std::uint32_t count = chunk.length / 12;
  LwObject& object = r.object;
  r.pointBase = static_cast<std::uint32_t>(object.points.size());
  r.pointCount = count;
  reserveMore(object.points, count);
  platform::populateRoom(object.points, count);
  for (std::uint32_t i = 0; i < count; ++i) {
    LwPoint& p = object.points.emplace_back();
    chunkReadFloat(chunk, p.x);
    chunkReadFloat(chunk, p.y);
    chunkReadFloat(chunk, p.z);
  }
}

// One vertex per point, made once the vertex maps are known: a corner whose polygon gives
// its own value (VMAD) may split its vertex later, and room for that is made now rather
// than by copying the whole list when it fills.
void makeVertices(LwObject& object) {
  std::size_t cornerEntries = 0;
  for (const LwVertexMap& map : object.vertexMaps) cornerEntries += map.corners.size();
  object.vertices.reserve(object.points.size() + cornerEntries);
  platform::populateRoom(object.vertices, object.points.size() - object.vertices.size());
  for (std::size_t i = object.vertices.size(); i < object.points.size(); ++i) {
    LwVertex& vertex = object.vertices.emplace_back();
    vertex.point = static_cast<std::uint32_t>(i);
    vertex.nextSplit = vertex.point;
  }
}

// Two-point BONE polygons, from base to tip: kept as skelegons (and still counted as
// skipped polygons, as they make no faces).
void readSkelegons(Reader& r, ChunkCursor& chunk) {
  std::uint16_t head;
  while (chunkReadU16(chunk, head)) {
    const std::uint32_t corners = head & kMaxCorners;
    std::uint32_t index[2] = {kNone, kNone};
    bool cut = false;
    for (std::uint32_t k = 0; k < corners && !cut; ++k) {
      std::uint32_t point;
      cut = !readVX(chunk, point);
      if (!cut && k < 2) index[k] = point;
    }
    ++r.skipped;
    addLocal(r, kNone);
    if (cut) break;
    if (corners != 2 || index[0] >= r.pointCount || index[1] >= r.pointCount) {
      r.skelegonOfLocal.push_back(kNone);
      continue;
    }
    r.skelegonOfLocal.push_back(static_cast<std::uint32_t>(r.object.skelegons.size()));
    LwSkelegon& bone = r.object.skelegons.emplace_back();
    bone.base = r.pointBase + index[0];
    bone.tip = r.pointBase + index[1];
  }
}

// Polygons and corners in the rest of a POLS chunk, as readPolygons would keep them at most.
void countPolygons(ChunkCursor chunk, std::size_t& polygons, std::size_t& corners) {
  polygons = 0;
  corners = 0;
  std::uint16_t head;
  while (chunkReadU16(chunk, head)) {
    const std::uint32_t count = head & kMaxCorners;
    std::uint32_t k = 0;
    for (std::uint32_t index; k < count && readVX(chunk, index);) ++k;
    if (k < count) break;
    ++polygons;
    corners += count;
  }
}

void readPolygons(Reader& r, ChunkCursor& chunk) {
  std::uint8_t type[4];
  startLocal(r, static_cast<std::uint32_t>(r.object.polygons.size()));
  r.skelegonOfLocal.clear();
  if (!chunkReadBytes(chunk, type, 4)) return;
  if (idIs(type, "BONE")) return readSkelegons(r, chunk);
  // Subdivision cages are kept as faces that know their kind; the geometry steps refine them.
  const bool faces = idIs(type, "FACE") || idIs(type, "PTCH") || idIs(type, "SUBD");
  const std::uint8_t kind = idIs(type, "PTCH") ? kPolygonPatch : idIs(type, "SUBD") ? kPolygonCatmullClark : kPolygonFace;
  LwObject& object = r.object;
  if (faces) {
    // Counted first: the lists take their room once, and its pages are made resident together.
    std::size_t polygons = 0, corners = 0;
    countPolygons(chunk, polygons, corners);
    reserveMore(object.polygons, polygons);
    reserveMore(object.polygonLayers, polygons);
    reserveMore(object.indices, corners);
    platform::populateRoom(object.polygons, polygons);
    platform::populateRoom(object.polygonLayers, polygons);
    platform::populateRoom(object.indices, corners);
  }
  std::uint16_t head;
  while (chunkReadU16(chunk, head)) {
    const std::uint32_t corners = head & kMaxCorners;
    const std::size_t first = object.indices.size();
    bool valid = true, cut = false;
    std::uint32_t previous = kNone;
    for (std::uint32_t k = 0; k < corners; ++k) {
      std::uint32_t index;
      if (!readVX(chunk, index)) {
        cut = true;
        break;
      }
      if (!faces) continue;
      if (index >= r.pointCount) valid = false;
      // A corner repeating the one before it adds nothing to the outline.
      if (index == previous) continue;
      previous = index;
      object.indices.push_back(r.pointBase + index);
    }
    const std::size_t kept = object.indices.size() - first;
    if (!faces) {
      ++r.skipped;
      addLocal(r, kNone);
    } else if (cut || !valid || kept < 3) {
      object.indices.resize(first);
      if (kept < 3 && !cut) {
        ++r.dropped;
      } else {
        ++r.invalid;
      }
      addLocal(r, kNone);
    } else {
      addLocal(r, static_cast<std::uint32_t>(object.polygons.size()));
      LwPolygon polygon;
      polygon.cornerCount = static_cast<std::int32_t>(kept);
      polygon.firstIndex = static_cast<std::uint32_t>(first);
      polygon.surface = kUntagged;
      polygon.kind = kind;
      object.polygons.push_back(polygon);
      object.polygonLayers.push_back(r.layerNumber);
    }
    if (cut) break;
  }
}

// The object polygon that a polygon index of the latest POLS stands for, or kNone.
std::uint32_t localPolygon(const Reader& r, std::uint32_t local) {
  if (r.localInOrder) return local < r.localCount ? r.localFirst + local : kNone;
  return local < r.polygonOfLocal.size() ? r.polygonOfLocal[local] : kNone;
}

// PTAG BONE, BNWT and BNUP: a skelegon's name, weight map and up vector, as tags.
void readSkelegonTags(Reader& r, ChunkCursor& chunk, const std::uint8_t* type) {
  std::uint32_t local;
  std::uint16_t tag;
  while (readVX(chunk, local) && chunkReadU16(chunk, tag)) {
    if (local >= r.skelegonOfLocal.size() || r.skelegonOfLocal[local] == kNone || tag >= r.tags.size()) continue;
    LwSkelegon& bone = r.object.skelegons[r.skelegonOfLocal[local]];
    const std::string& text = r.tags[tag];
    if (idIs(type, "BONE")) {
      bone.name = text;
    } else if (idIs(type, "BNWT")) {
      bone.weightMap = text;
    } else {
      double up[3];
      char* end = nullptr;
      const char* p = text.c_str();
      int read = 0;
      for (; read < 3; ++read, p = end) {
        up[read] = std::strtod(p, &end);
        if (end == p || !std::isfinite(up[read])) break;
      }
      bone.hasUp = read == 3;
      if (bone.hasUp) std::copy(up, up + 3, bone.up);
    }
  }
}

void readPolygonTags(Reader& r, ChunkCursor& chunk) {
  std::uint8_t type[4];
  if (!chunkReadBytes(chunk, type, 4)) return;
  if (idIs(type, "BONE") || idIs(type, "BNWT") || idIs(type, "BNUP")) return readSkelegonTags(r, chunk, type);
  if (!idIs(type, "SURF")) return;
  std::uint32_t local;
  std::uint16_t tag;
  while (readVX(chunk, local) && chunkReadU16(chunk, tag)) {
    const std::uint32_t polygon = localPolygon(r, local);
    if (polygon != kNone) r.object.polygons[polygon].surface = tag;
  }
}

// The vertex map types kept, each with the values its entries carry.
struct KeptMap {
  const char* type;
  std::uint16_t values;
};
constexpr KeptMap kKeptMaps[] = {{"TXUV", 2}, {"WGHT", 1}, {"RGB ", 3}, {"RGBA", 4}};

bool isColorMapType(const std::uint8_t* type) { return idIs(type, "RGB ") || idIs(type, "RGBA"); }

LwVertexMap& mapNamed(Reader& r, const std::uint8_t* type, const std::string& name, std::uint32_t dimension) {
  const bool uv = idIs(type, "TXUV");
  const auto [at, added] = r.mapIndex.emplace(std::string(reinterpret_cast<const char*>(type), 4) + name,
                                              r.object.vertexMaps.size());
  if (added) {
    if (uv && r.firstUvMap < 0) r.firstUvMap = static_cast<std::int32_t>(r.object.vertexMaps.size());
    if (isColorMapType(type) && r.firstColorMap < 0) r.firstColorMap = static_cast<std::int32_t>(r.object.vertexMaps.size());
    LwVertexMap& map = r.object.vertexMaps.emplace_back();
    map.type = (std::uint32_t{type[0]} << 24) | (std::uint32_t{type[1]} << 16) | (std::uint32_t{type[2]} << 8) | type[3];
    map.name = name;
    map.dimension = dimension;
  }
  return r.object.vertexMaps[at->second];
}

// VMAP (per point) and VMAD (per polygon corner) of the kept types; the others (morphs,
// selection sets, ...) are skipped.
void readVertexMap(Reader& r, ChunkCursor& chunk, bool perCorner, std::int32_t patchMode) {
  std::uint8_t type[4];
  std::uint16_t dimension;
  std::string name;
  if (!chunkReadBytes(chunk, type, 4) || !chunkReadU16(chunk, dimension) || !readText(chunk, name)) return;
  if (idIs(type, "MNVW") && !perCorner) {
    std::uint32_t point;
    while (readVX(chunk, point) && chunkRemaining(chunk) >= 4u * dimension) {
      chunkSkip(chunk, 4u * dimension);
      if (r.object.patchWeightedPoints < INT32_MAX) ++r.object.patchWeightedPoints;
    }
    return;
  }
  const KeptMap* kept = nullptr;
  for (const KeptMap& k : kKeptMaps) kept = idIs(type, k.type) ? &k : kept;
  if (kept == nullptr || dimension < kept->values) return;
  LwVertexMap& map = mapNamed(r, type, name, dimension);
  if (patchMode != 0) map.patchMode = patchMode;
  // Each entry takes at least two 2-byte indices (one per point) and its values.
  const std::uint32_t entryBytes = (perCorner ? 4u : 2u) + 4u * dimension;
  std::vector<LwMapValue>& values = perCorner ? map.corners : map.points;
  reserveMore(values, chunkRemaining(chunk) / entryBytes);
  platform::populateRoom(values, chunkRemaining(chunk) / entryBytes);
  for (;;) {
    std::uint32_t point, local = 0;
    float value[kMapValues] = {0.0f, 0.0f, 0.0f, 0.0f};
    bool whole = readVX(chunk, point) && (!perCorner || readVX(chunk, local));
    for (std::uint32_t i = 0; whole && i < kept->values; ++i) whole = chunkReadFloat(chunk, value[i]);
    if (!whole) break;
    chunkSkip(chunk, 4u * (dimension - kept->values));
    const std::uint32_t polygon = perCorner ? localPolygon(r, local) : kNone;
    if (point < r.pointCount && (!perCorner || polygon != kNone)) {
      LwMapValue& entry = values.emplace_back();
      entry.polygon = polygon;
      entry.point = r.pointBase + point;
      std::copy(value, value + kMapValues, entry.value);
    }
  }
}

void readTags(Reader& r, ChunkCursor& chunk) {
  std::string tag;
  while (readText(chunk, tag)) {
    r.tagIndex.emplace(tag, r.tags.size());
    r.tags.push_back(tag);
  }
}

// Tags that a SURF chunk describes or a polygon uses become surfaces, in tag order;
// polygons then refer to surfaces. Polygons with no valid tag are dropped.
void makeSurfaces(Reader& r) {
  LwObject& object = r.object;
  // Game content often leaves the image to the engine: without any colour image, surfaces
  // that name no UV map of their own take the first one (as assimp does).
  bool anyImage = false;
  for (const auto& [tag, draft] : r.drafts) {
    const auto clip = r.clips.find(draft.clip);
    anyImage = anyImage || (clip != r.clips.end() && !clip->second.empty()) || !draft.surface.colorTexture.image.empty();
  }
  std::vector<std::int32_t> surfaceOfTag(r.tags.size(), kUntagged);
  for (const LwPolygon& polygon : object.polygons)
    if (polygon.surface >= 0 && static_cast<std::size_t>(polygon.surface) < r.tags.size())
      surfaceOfTag[static_cast<std::size_t>(polygon.surface)] = 0;
  for (const auto& [tag, draft] : r.drafts) surfaceOfTag[tag] = 0;
  for (std::size_t t = 0; t < r.tags.size(); ++t) {
    if (surfaceOfTag[t] == kUntagged) continue;
    surfaceOfTag[t] = static_cast<std::int32_t>(object.surfaces.size());
    const auto described = r.drafts.find(t);
    SurfaceDraft draft = described != r.drafts.end() ? std::move(described->second) : SurfaceDraft{};
    // Names longer than LWOB's field are cut to fit it.
    draft.surface.name = r.tags[t].substr(0, kLwNameSize - 1);
    const auto clip = r.clips.find(draft.clip);
    if (clip != r.clips.end()) draft.surface.colorTexture.image = clip->second;
    if (draft.uvMapped && r.firstUvMap >= 0) {
      // Sample files name no map in the block when the object has one (uvtest.lwo,
      // earth_uv_cylindrical_y.lwo): the first TXUV map is meant then.
      const auto named = r.mapIndex.find("TXUV" + draft.uvMap);
      if (named != r.mapIndex.end()) draft.surface.uvMap = static_cast<std::int32_t>(named->second);
      if (draft.uvMap.empty()) draft.surface.uvMap = r.firstUvMap;
    }
    if (draft.surface.uvMap < 0 && !anyImage && r.firstUvMap >= 0) {
      draft.surface.uvMap = r.firstUvMap;
      draft.surface.colorTexture.mapping = kMappingNone;  // a projection with no image to project
    }
    if (r.firstColorMap >= 0) {
      // The colour map VCOL names (of either colour type: files name an RGBA map as RGB),
      // else the file's first. Its alpha counts unless VCOL calls it RGB.
      std::int32_t chosen = r.firstColorMap;
      const std::string& wanted = draft.colorMap;
      const bool named = wanted.size() >= 4 && isColorMapType(reinterpret_cast<const std::uint8_t*>(wanted.data()));
      if (named) {
        auto map = r.mapIndex.find(wanted);
        if (map == r.mapIndex.end()) map = r.mapIndex.find((wanted.starts_with("RGBA") ? "RGB " : "RGBA") + wanted.substr(4));
        if (map != r.mapIndex.end()) chosen = static_cast<std::int32_t>(map->second);
      }
      draft.surface.colorMap = chosen;
      draft.surface.colorAlpha = object.vertexMaps[static_cast<std::size_t>(chosen)].type == lwId("RGBA") &&
                                 (!named || wanted.starts_with("RGBA"));
    }
    object.surfaces.push_back(std::move(draft.surface));
  }
  for (LwPolygon& polygon : object.polygons)
    polygon.surface = polygon.surface >= 0 && static_cast<std::size_t>(polygon.surface) < surfaceOfTag.size()
                          ? surfaceOfTag[static_cast<std::size_t>(polygon.surface)]
                          : kUntagged;
}

// Drops polygons without a surface, keeping the layers and the corner maps in step.
void dropUntagged(Reader& r) {
  LwObject& object = r.object;
  if (std::none_of(object.polygons.begin(), object.polygons.end(), [](const LwPolygon& p) { return p.surface < 0; })) return;
  std::vector<std::uint32_t> renumbered(object.polygons.size(), kNone);
  std::size_t keptPolygons = 0, keptIndices = 0;
  for (std::size_t i = 0; i < object.polygons.size(); ++i) {
    LwPolygon polygon = object.polygons[i];
    if (polygon.surface < 0) {
      ++r.invalid;
      continue;
    }
    std::copy_n(object.indices.begin() + polygon.firstIndex, polygon.cornerCount, object.indices.begin() + keptIndices);
    polygon.firstIndex = static_cast<std::uint32_t>(keptIndices);
    keptIndices += static_cast<std::size_t>(polygon.cornerCount);
    object.polygonLayers[keptPolygons] = object.polygonLayers[i];
    renumbered[i] = static_cast<std::uint32_t>(keptPolygons);
    object.polygons[keptPolygons++] = polygon;
  }
  if (keptPolygons == object.polygons.size()) return;
  object.polygons.resize(keptPolygons);
  object.polygonLayers.resize(keptPolygons);
  object.indices.resize(keptIndices);
  for (LwVertexMap& map : object.vertexMaps) {
    for (LwMapValue& corner : map.corners) corner.polygon = renumbered[corner.polygon];
    std::erase_if(map.corners, [](const LwMapValue& c) { return c.polygon == kNone; });
  }
}

}  // namespace

bool readGeometryChunk(Reader& r, const std::uint8_t* id, ChunkCursor& chunk) {
  const std::int32_t patchMode = idIs(id, "VMPA") ? r.patchMode : std::exchange(r.patchMode, 0);
  if (idIs(id, "LAYR")) {
    readLayer(r, chunk);
  } else if (idIs(id, "TAGS")) {
    readTags(r, chunk);
  } else if (idIs(id, "VMPA")) {
    // It describes the VMAP or VMAD that follows it.
    std::uint32_t mode = 0;
    if (chunkReadU32(chunk, mode)) r.patchMode = static_cast<std::int32_t>(std::min<std::uint32_t>(mode, kLastPatchMode));
  } else if (!idIs(id, "PNTS") && !idIs(id, "POLS") && !idIs(id, "PTAG") && !idIs(id, "VMAP") && !idIs(id, "VMAD")) {
    return false;
  } else if (!r.inLayer) {
    return true;
  } else if (idIs(id, "PNTS")) {
    readPoints(r, chunk);
  } else if (idIs(id, "POLS")) {
    readPolygons(r, chunk);
  } else if (idIs(id, "PTAG")) {
    readPolygonTags(r, chunk);
  } else {
    readVertexMap(r, chunk, idIs(id, "VMAD"), patchMode);
  }
  return true;
}

SurfaceDraft& surfaceDraft(Reader& r, const std::string& name) {
  const auto found = r.tagIndex.find(name);
  std::size_t index;
  if (found != r.tagIndex.end()) {
    index = found->second;
  } else {
    // A surface no tag names: kept, as LWOB keeps declared surfaces no polygon uses.
    index = r.tags.size();
    r.tagIndex.emplace(name, index);
    r.tags.push_back(name);
  }
  return r.drafts[index];
}

void finish(Reader& r, const MessageSink& sink) {
  makeSurfaces(r);
  dropUntagged(r);
  makeVertices(r.object);
  for (LwVertexMap& map : r.object.vertexMaps) {
    lwSortMapValues(map.points);
    lwSortMapValues(map.corners);
  }
  if (r.skipped != 0) report(sink, Message::kNonFacePolygons, r.skipped);
  if (r.dropped != 0) report(sink, Message::kShortPolygons, r.dropped);
  if (r.invalid != 0) report(sink, Message::kInvalidPolygons, r.invalid);
}

bool readVX(ChunkCursor& c, std::uint32_t& out) {
  if (chunkRemaining(c) < 2) return false;
  if (c.data[c.pos] != kFourByteVX) {
    std::uint16_t v;
    chunkReadU16(c, v);
    out = v;
    return true;
  }
  if (!chunkReadU32(c, out)) return false;
  out &= kVXMask;
  return true;
}

namespace {

// The range LWOB's 16-bit fields hold, which keeps every derived value finite.
constexpr double kShadeLimit = 32767.0;

double clampShade(double value) { return std::clamp(value, -kShadeLimit - 1.0, kShadeLimit); }

double snapped(double value, double tolerance) {
  const double whole = std::round(value);
  return std::fabs(value - whole) <= tolerance ? whole : value;
}

}  // namespace

void setColor(LwSurface& surface, const double (&rgb)[3]) {
  // A float colour is off its byte by at most 255 x 2^-24.
  constexpr double kByteTolerance = 1e-4;
  for (int i = 0; i < 3; ++i)
    if (std::isfinite(rgb[i])) surface.color[i] = snapped(std::clamp(rgb[i], 0.0, 1.0) * 255.0, kByteTolerance);
}

void setShade(double& field, double fraction) {
  if (std::isfinite(fraction)) field = clampShade(fraction * 256.0);
}

void setGlossiness(LwSurface& surface, double fraction) {
  // LWOB's glossiness is the specular exponent, 2^(10 g + 2): 40 % gives 64. A float g
  // moves the exponent by at most a few parts in 10^7.
  constexpr double kRelativeTolerance = 1e-6;
  if (!std::isfinite(fraction)) return;
  const double exponent = clampShade(std::pow(2.0, std::clamp(10.0 * fraction + 2.0, -64.0, 64.0)));
  surface.glossiness = snapped(exponent, kRelativeTolerance * exponent);
}

}  // namespace lwo2

}  // namespace torvo
