// The LWO2 reader: layers, points, polygons, tags, UV maps, clips and surfaces, each
// translated into what the LWOB reader would have made of the equivalent LWOB object,
// so that every later step is shared.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <map>

#include "lwo/chunk.h"
#include "lwo/reader.h"

namespace {

constexpr std::uint32_t kMaxCorners = 0x03FF;  // a polygon's 10-bit corner count; the upper 6 bits are flags
constexpr std::uint32_t kFourByteVX = 0xFF;    // first byte of a 4-byte index
constexpr std::uint32_t kVXMask = 0x00FFFFFF;
constexpr std::uint32_t kNone = 0xFFFFFFFF;
constexpr std::int32_t kUntagged = -1;  // a polygon no PTAG SURF has named yet
constexpr std::uint16_t kSideBoth = 3;
constexpr std::uint16_t kNoParent = 0xFFFF;

// PROJ values.
enum Projection { kProjPlanar, kProjCylindrical, kProjSpherical, kProjCubic, kProjFront, kProjUV };

bool idIs(const std::uint8_t* id, const char* name) { return std::memcmp(id, name, 4) == 0; }

// A variable-length index: 2 bytes, or 4 when the first is 0xFF (which is masked out).
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

// Any string that ends inside the chunk, padded to even.
bool readText(ChunkCursor& c, std::string& out) { return chunkReadString(c, chunkRemaining(c), out); }

// A chunk or sub-chunk whose length is odd is followed by a pad byte.
void skipPad(ChunkCursor& parent, std::uint32_t length) {
  if (length % 2 != 0) chunkSkip(parent, 1);
}

// Sub-chunks with 16-bit lengths (inside SURF, BLOK, TMAP, CLIP).
template <typename Handle>
void forEachSubChunk(ChunkCursor& chunk, Handle handle) {
  std::uint8_t id[4];
  std::uint16_t length;
  while (chunkReadBytes(chunk, id, 4) && chunkReadU16(chunk, length)) {
    ChunkCursor sub = chunkSubCursor(chunk, length);
    skipPad(chunk, length);
    handle(id, sub);
  }
}

// LWOB keeps shading values as 16-bit integers in which 256 is 100 %.
std::int16_t toShort(double value) {
  if (!(value == value)) return 0;  // NaN
  value = std::round(value);
  if (value < std::numeric_limits<std::int16_t>::min()) return std::numeric_limits<std::int16_t>::min();
  if (value > std::numeric_limits<std::int16_t>::max()) return std::numeric_limits<std::int16_t>::max();
  return static_cast<std::int16_t>(value);
}

std::uint8_t toByte(float value) {
  if (!(value == value) || value <= 0.0f) return 0;
  if (value >= 1.0f) return 255;
  return static_cast<std::uint8_t>(std::lround(value * 255.0));
}

// A surface as read, before the tags that become surfaces are known.
struct SurfaceDraft {
  LwSurface surface;
  bool textured = false;  // its colour texture is chosen: later blocks are ignored
  std::uint32_t clip = kNone;
  bool uvMapped = false;
  std::string uvMap;  // empty: the first TXUV map of the file
};

struct Reader {
  Reader(LwObject& o, int layer) : object(o), all(layer < 0), wanted(std::int64_t{layer} - 1) {}
  LwObject& object;
  bool all;             // every layer is loaded
  std::int64_t wanted;  // else the LAYR number to load (a scene's layer - 1)
  bool inLayer = true;
  std::uint16_t layerNumber = 0;
  std::uint32_t pointBase = 0;  // the current layer's points in object.points
  std::uint32_t pointCount = 0;
  std::vector<std::uint32_t> polygonOfLocal;  // the latest POLS: object polygon of each, or kNone
  std::vector<std::string> tags;
  SurfaceNames tagIndex;
  std::map<std::size_t, SurfaceDraft> drafts;  // by tag, for tags a SURF describes
  std::unordered_map<std::string, std::size_t> uvMapIndex;  // TXUV maps by name, in object.vertexMaps
  std::int32_t firstUvMap = -1;                             // the file's first TXUV map there
  std::unordered_map<std::uint32_t, std::string> clips;  // CLIP index to STIL image
  int dropped = 0;
  int invalid = 0;
  int skipped = 0;  // curves, bones, metaballs and other non-face polygons
};

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
  r.polygonOfLocal.clear();
}

void readPoints(Reader& r, ChunkCursor& chunk) {
  // The count comes from the chunk's own (already clamped) length, so it fits the data.
  const std::uint32_t count = chunk.length / 12;
  LwObject& object = r.object;
  r.pointBase = static_cast<std::uint32_t>(object.points.size());
  r.pointCount = count;
  reserveMore(object.points, count);
  reserveMore(object.vertices, count);
  for (std::uint32_t i = 0; i < count; ++i) {
    LwPoint& p = object.points.emplace_back();
    chunkReadFloat(chunk, p.x);
    chunkReadFloat(chunk, p.y);
    chunkReadFloat(chunk, p.z);
    LwVertex& vertex = object.vertices.emplace_back();
    vertex.point = r.pointBase + i;
    vertex.nextSplit = vertex.point;
  }
}

void readPolygons(Reader& r, ChunkCursor& chunk) {
  std::uint8_t type[4];
  r.polygonOfLocal.clear();
  if (!chunkReadBytes(chunk, type, 4)) return;
  // Subdivision patches are written as their cage faces.
  const bool faces = idIs(type, "FACE") || idIs(type, "PTCH");
  LwObject& object = r.object;
  if (faces) {
    // A kept polygon takes at least 8 bytes (count and three corners), every corner 2.
    reserveMore(object.polygons, chunkRemaining(chunk) / 8);
    reserveMore(object.polygonLayers, chunkRemaining(chunk) / 8);
    reserveMore(object.indices, chunkRemaining(chunk) / 2);
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
      r.polygonOfLocal.push_back(kNone);
    } else if (cut || !valid || kept < 3) {
      object.indices.resize(first);
      if (kept < 3 && !cut) {
        ++r.dropped;
      } else {
        ++r.invalid;
      }
      r.polygonOfLocal.push_back(kNone);
    } else {
      r.polygonOfLocal.push_back(static_cast<std::uint32_t>(object.polygons.size()));
      LwPolygon polygon;
      polygon.cornerCount = static_cast<std::int32_t>(kept);
      polygon.firstIndex = static_cast<std::uint32_t>(first);
      polygon.surface = kUntagged;
      object.polygons.push_back(polygon);
      object.polygonLayers.push_back(r.layerNumber);
    }
    if (cut) break;
  }
}

// The object polygon that a polygon index of the latest POLS stands for, or kNone.
std::uint32_t localPolygon(const Reader& r, std::uint32_t local) {
  return local < r.polygonOfLocal.size() ? r.polygonOfLocal[local] : kNone;
}

void readPolygonTags(Reader& r, ChunkCursor& chunk) {
  std::uint8_t type[4];
  if (!chunkReadBytes(chunk, type, 4) || !idIs(type, "SURF")) return;
  std::uint32_t local;
  std::uint16_t tag;
  while (readVX(chunk, local) && chunkReadU16(chunk, tag)) {
    const std::uint32_t polygon = localPolygon(r, local);
    if (polygon != kNone) r.object.polygons[polygon].surface = tag;
  }
}

LwVertexMap& uvMapNamed(Reader& r, const std::string& name, std::uint32_t dimension) {
  const auto [at, added] = r.uvMapIndex.emplace(name, r.object.vertexMaps.size());
  if (added) {
    if (r.firstUvMap < 0) r.firstUvMap = static_cast<std::int32_t>(r.object.vertexMaps.size());
    LwVertexMap& map = r.object.vertexMaps.emplace_back();
    map.type = lwId("TXUV");
    map.name = name;
    map.dimension = dimension;
  }
  return r.object.vertexMaps[at->second];
}

// VMAP (per point) and VMAD (per polygon corner): only TXUV maps are kept.
void readVertexMap(Reader& r, ChunkCursor& chunk, bool perCorner) {
  std::uint8_t type[4];
  std::uint16_t dimension;
  std::string name;
  if (!chunkReadBytes(chunk, type, 4) || !idIs(type, "TXUV") || !chunkReadU16(chunk, dimension) || dimension < 2 ||
      !readText(chunk, name))
    return;
  LwVertexMap& map = uvMapNamed(r, name, dimension);
  // Each entry takes at least two 2-byte indices (one per point) and its values.
  const std::uint32_t entryBytes = (perCorner ? 4u : 2u) + 4u * dimension;
  std::vector<LwMapValue>& values = perCorner ? map.corners : map.points;
  reserveMore(values, chunkRemaining(chunk) / entryBytes);
  for (;;) {
    std::uint32_t point, local = 0;
    float uv[2];
    if (!readVX(chunk, point) || (perCorner && !readVX(chunk, local)) || !chunkReadFloat(chunk, uv[0]) ||
        !chunkReadFloat(chunk, uv[1]))
      break;
    chunkSkip(chunk, 4u * (dimension - 2u));
    const std::uint32_t polygon = perCorner ? localPolygon(r, local) : kNone;
    if (point < r.pointCount && (!perCorner || polygon != kNone)) {
      LwMapValue& value = values.emplace_back();
      value.polygon = polygon;
      value.point = r.pointBase + point;
      value.value[0] = uv[0];
      value.value[1] = uv[1];
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

void readClip(Reader& r, ChunkCursor& chunk) {
  std::uint32_t index;
  std::string image;
  if (!chunkReadU32(chunk, index)) return;
  forEachSubChunk(chunk, [&](const std::uint8_t* id, ChunkCursor& sub) {
    if (idIs(id, "STIL")) chunkReadString(sub, kLwImageSize, image);
  });
  r.clips.emplace(index, image);
}

// A float value followed by an envelope index, which is ignored: the static value is used.
bool readValue(ChunkCursor& sub, float& value) { return chunkReadFloat(sub, value); }

void readVector(ChunkCursor& sub, float (&out)[3]) {
  float v[3];
  if (chunkReadFloat(sub, v[0]) && chunkReadFloat(sub, v[1]) && chunkReadFloat(sub, v[2]))
    std::memcpy(out, v, sizeof v);
}

// A texture block. The first enabled image map on the colour channel becomes the colour
// texture, as CTEX, TIMG, TFLG, TSIZ, TCTR, TFP0 and TFP1 would have made it.
void readBlock(SurfaceDraft& draft, ChunkCursor& block) {
  std::uint8_t id[4];
  std::uint16_t length;
  if (!chunkReadBytes(block, id, 4) || !chunkReadU16(block, length)) return;
  ChunkCursor header = chunkSubCursor(block, length);
  skipPad(block, length);
  std::string ordinal;
  if (!idIs(id, "IMAP") || draft.textured || !readText(header, ordinal)) return;
  bool colour = false;
  std::uint16_t enabled = 1;
  forEachSubChunk(header, [&](const std::uint8_t* sid, ChunkCursor& sub) {
    std::uint8_t channel[4];
    if (idIs(sid, "CHAN") && chunkReadBytes(sub, channel, 4)) colour = idIs(channel, "COLR");
    if (idIs(sid, "ENAB")) chunkReadU16(sub, enabled);
  });
  if (!colour || enabled == 0) return;

  draft.textured = true;
  LwTexture& texture = draft.surface.colorTexture;
  std::uint16_t projection = kProjPlanar;
  forEachSubChunk(block, [&](const std::uint8_t* sid, ChunkCursor& sub) {
    std::uint16_t axis;
    if (idIs(sid, "TMAP")) {
      forEachSubChunk(sub, [&](const std::uint8_t* tid, ChunkCursor& t) {
        if (idIs(tid, "CNTR")) readVector(t, texture.center);
        if (idIs(tid, "SIZE")) readVector(t, texture.size);
      });
    } else if (idIs(sid, "PROJ")) {
      chunkReadU16(sub, projection);
    } else if (idIs(sid, "AXIS")) {
      if (chunkReadU16(sub, axis) && axis <= 2) texture.flags = static_cast<std::uint16_t>(kTextureAxisX << axis);
    } else if (idIs(sid, "IMAG")) {
      readVX(sub, draft.clip);
    } else if (idIs(sid, "WRPW")) {
      readValue(sub, texture.param0);
    } else if (idIs(sid, "WRPH")) {
      readValue(sub, texture.param1);
    } else if (idIs(sid, "VMAP")) {
      readText(sub, draft.uvMap);
    }
    // WRAP (edge behaviour) has no LWOB counterpart that is kept.
  });
  // Front projection gives no coordinates; a UV map gives them itself, after the projections.
  texture.mapping = projection < kProjFront ? projection + 1 : kMappingNone;
  draft.uvMapped = projection == kProjUV;
}

void readSurface(Reader& r, ChunkCursor& chunk) {
  std::string name, source;
  if (!readText(chunk, name)) return;
  readText(chunk, source);  // a surface it derives from; its values are repeated here
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
  SurfaceDraft& draft = r.drafts[index];
  LwSurface& s = draft.surface;
  forEachSubChunk(chunk, [&](const std::uint8_t* id, ChunkCursor& sub) {
    float value;
    if (idIs(id, "COLR")) {
      float rgb[3];
      if (readValue(sub, rgb[0]) && readValue(sub, rgb[1]) && readValue(sub, rgb[2]))
        for (int i = 0; i < 3; ++i) s.color[i] = toByte(rgb[i]);
    } else if (idIs(id, "DIFF")) {
      if (readValue(sub, value)) s.diffuse = toShort(value * 256.0);
    } else if (idIs(id, "LUMI")) {
      if (readValue(sub, value)) s.luminosity = toShort(value * 256.0);
    } else if (idIs(id, "SPEC")) {
      if (readValue(sub, value)) s.specular = toShort(value * 256.0);
    } else if (idIs(id, "TRAN")) {
      if (readValue(sub, value)) s.transparency = toShort(value * 256.0);
    } else if (idIs(id, "GLOS")) {
      // LWOB's glossiness is the specular exponent, 2^(10 g + 2): 40 % gives 64.
      if (readValue(sub, value)) s.glossiness = toShort(std::pow(2.0, 10.0 * value + 2.0));
    } else if (idIs(id, "SMAN")) {
      if (chunkReadFloat(sub, value)) {
        if (value > 0.0f) {
          s.flags |= kSurfaceSmoothing;
          s.smoothingAngle = value;
        } else {
          s.flags &= static_cast<std::uint16_t>(~kSurfaceSmoothing);
        }
      }
    } else if (idIs(id, "SIDE")) {
      std::uint16_t side;
      if (chunkReadU16(sub, side)) {
        if (side == kSideBoth) {
          s.flags |= kSurfaceDoubleSided;
        } else {
          s.flags &= static_cast<std::uint16_t>(~kSurfaceDoubleSided);
        }
      }
    } else if (idIs(id, "BLOK")) {
      readBlock(draft, sub);
    }
  });
}

// Tags that a SURF chunk describes or a polygon uses become surfaces, in tag order;
// polygons then refer to surfaces. Polygons with no valid tag are dropped.
void makeSurfaces(Reader& r) {
  LwObject& object = r.object;
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
    if (draft.uvMapped && !r.uvMapIndex.empty()) {
      // Sample files name no map in the block when the object has one (uvtest.lwo,
      // earth_uv_cylindrical_y.lwo): the first TXUV map is meant then.
      const auto named = r.uvMapIndex.find(draft.uvMap);
      if (named != r.uvMapIndex.end()) draft.surface.uvMap = static_cast<std::int32_t>(named->second);
      if (draft.uvMap.empty()) draft.surface.uvMap = r.firstUvMap;
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

int lwReadLwo2Body(LwObject& object, ChunkCursor& form, int indent, int layer, const MessageSink& sink) {
  (void)indent;  // nothing here fails the object: damaged parts are counted and dropped
  Reader r(object, layer);
  // Points and polygons before any LAYR belong to layer number 0.
  r.inLayer = r.all || r.wanted == 0;
  std::uint8_t id[4];
  std::uint32_t length;
  while (chunkReadBytes(form, id, 4) && chunkReadU32(form, length)) {
    // A chunk that claims more than the body holds is cut at the body's end.
    ChunkCursor chunk = chunkSubCursor(form, length);
    skipPad(form, length);
    if (idIs(id, "LAYR")) {
      readLayer(r, chunk);
    } else if (idIs(id, "TAGS")) {
      readTags(r, chunk);
    } else if (idIs(id, "SURF")) {
      readSurface(r, chunk);
    } else if (idIs(id, "CLIP")) {
      readClip(r, chunk);
    } else if (!r.inLayer) {
      continue;
    } else if (idIs(id, "PNTS")) {
      readPoints(r, chunk);
    } else if (idIs(id, "POLS")) {
      readPolygons(r, chunk);
    } else if (idIs(id, "PTAG")) {
      readPolygonTags(r, chunk);
    } else if (idIs(id, "VMAP")) {
      readVertexMap(r, chunk, false);
    } else if (idIs(id, "VMAD")) {
      readVertexMap(r, chunk, true);
    }
  }
  makeSurfaces(r);
  dropUntagged(r);
  for (LwVertexMap& map : object.vertexMaps) {
    lwSortMapValues(map.points);
    lwSortMapValues(map.corners);
  }

  if (r.skipped != 0) say(sink, "Warning! %d curve, bone and other non-face polygons skipped\n", r.skipped);
  if (r.dropped != 0) say(sink, "Warning! %d <3vert polygons removed\n", r.dropped);
  if (r.invalid != 0) say(sink, "Warning! %d polygons with invalid point or surface removed\n", r.invalid);
  return 0;
}
