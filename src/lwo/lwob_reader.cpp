// The LWOB reader: FORM body, chunk walk, SRFS, PNTS and POLS.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "lwo/chunk.h"
#include "lwo/reader.h"
#include "platform/mapped.h"

namespace torvo {

namespace {

// Above this a body of unknown size is read in steps, so that a lying FORM length
// costs no more memory than the bytes that are really there.
constexpr std::uint32_t kReadStep = 1u << 20;
// Bodies from this size on are mapped rather than read, where the system allows.
constexpr std::uint32_t kMapAtLeast = 1u << 18;

struct WalkStats {
  bool detail = false;
  std::uint32_t dropped = 0;  // fewer than 3 distinct consecutive corners
  std::uint32_t invalid = 0;  // corner or surface out of range, or cut off by the chunk's end
};

bool idIs(const std::uint8_t* id, const char* name) { return std::memcmp(id, name, 4) == 0; }

std::uint32_t bigEndian32(const std::uint8_t* b) {
  return (std::uint32_t{b[0]} << 24) | (std::uint32_t{b[1]} << 16) | (std::uint32_t{b[2]} << 8) | b[3];
}

// IEEE single precision, big-endian.
float floatAt(const std::uint8_t* b) {
  const std::uint32_t bits = bigEndian32(b);
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

void printNotFile(const MessageSink& sink, int indent) {
  report(sink, Message::kNotLightWaveFile, static_cast<std::size_t>(indent));
}

void readSurfaceNames(LwObject& object, ChunkCursor& chunk, SurfaceNames& names) {
  std::string name;
  while (chunkReadString(chunk, kLwNameSize, name)) {
    // The first declaration of a repeated name is the one SURF chunks describe.
    names.emplace(name, object.surfaces.size());
    LwSurface surface;
    surface.name = name;
    object.surfaces.push_back(std::move(surface));
  }
}

void readPoints(LwObject& object, ChunkCursor& chunk) {
  // The count comes from the chunk's own (already clamped) length, so it fits the data.
  const std::uint32_t count = chunk.length / 12;
  const std::uint8_t* in = chunk.data;
  chunk.pos = count * 12;
  object.points.resize(count);
  for (LwPoint& p : object.points) {
    p.x = floatAt(in);
    p.y = floatAt(in + 4);
    p.z = floatAt(in + 8);
    in += 12;
  }
  object.vertices.clear();
  object.vertices.reserve(count);
  for (std::uint32_t i = 0; i < count; ++i) {
    LwVertex& vertex = object.vertices.emplace_back();
    vertex.point = i;
    vertex.nextSplit = i;
  }
}

void readPolygons(LwObject& object, ChunkCursor& chunk, WalkStats& stats) {
  // Bounds from the chunk's own length: a kept polygon takes at least 10 bytes
  // (count, three corners, surface) and every corner 2.
  reserveMore(object.polygons, chunk.length / 10);
  reserveMore(object.indices, chunk.length / 2);
  while (chunkRemaining(chunk) >= 2) {
    std::int16_t cornerCount = 0;
    chunkReadI16(chunk, cornerCount);
    const std::size_t first = object.indices.size();
    bool cut = false;
    int corners = cornerCount;
    if (corners > 0 && static_cast<std::uint32_t>(corners) * 2 > chunkRemaining(chunk)) {
      corners = static_cast<int>(chunkRemaining(chunk) / 2);
      cut = true;
    }
    const bool cornersCut = cut;
    const std::uint8_t* in = chunk.data + chunk.pos;
    chunkSkip(chunk, static_cast<std::uint32_t>(corners > 0 ? corners : 0) * 2);
    std::uint32_t previous = 0;
    for (int k = 0; k < corners; ++k) {
      const std::uint32_t index = (std::uint32_t{in[2 * k]} << 8) | in[2 * k + 1];
      // A corner repeating the one before it adds nothing to the outline.
      if (k > 0 && index == previous) continue;
      object.indices.push_back(index);
      previous = index;
    }
    std::int16_t surfaceNumber = 0;
    if (!cut && !chunkReadI16(chunk, surfaceNumber)) cut = true;
    int surface = surfaceNumber;
    if (!cut && surface < 0) {
      // Detail polygons follow in the chunk and are read as ordinary polygons.
      stats.detail = true;
      surface = -surface;
      std::uint16_t detailCount;
      chunkReadU16(chunk, detailCount);
    }
    const std::size_t kept = object.indices.size() - first;
    // Fewer than three corners is decided by the corners alone, even when the
    // surface number after them is cut off.
    if (kept < 3 && !cornersCut) {
      object.indices.resize(first);
      ++stats.dropped;
      if (cut) break;
      continue;
    }
    if (cut) {
      object.indices.resize(first);
      ++stats.invalid;
      break;
    }
    LwPolygon polygon;
    polygon.cornerCount = static_cast<std::int32_t>(kept);
    polygon.firstIndex = static_cast<std::uint32_t>(first);
    polygon.surface = surface - 1;
    object.polygons.push_back(polygon);
  }
}

// Points and surfaces may be declared in any chunk order, so cross-references are
// checked once the walk is over; nothing later indexes with an unchecked value.
void dropInvalidPolygons(LwObject& object, WalkStats& stats) {
  std::size_t keptPolygons = 0;
  std::size_t keptIndices = 0;
  for (std::size_t i = 0; i < object.polygons.size(); ++i) {
    LwPolygon polygon = object.polygons[i];
    bool valid = polygon.surface >= 0 && static_cast<std::size_t>(polygon.surface) < object.surfaces.size();
    for (std::int32_t k = 0; valid && k < polygon.cornerCount; ++k)
      valid = object.indices[polygon.firstIndex + k] < object.points.size();
    if (!valid) {
      ++stats.invalid;
      continue;
    }
    for (std::int32_t k = 0; k < polygon.cornerCount; ++k)
      object.indices[keptIndices + k] = object.indices[polygon.firstIndex + k];
    polygon.firstIndex = static_cast<std::uint32_t>(keptIndices);
    keptIndices += static_cast<std::size_t>(polygon.cornerCount);
    object.polygons[keptPolygons++] = polygon;
  }
  object.polygons.resize(keptPolygons);
  object.indices.resize(keptIndices);
}

Status readBody(LwObject& object, const std::uint8_t* body, std::uint32_t length, int indent, int layer,
             const MessageSink& sink) {
  ChunkCursor form{body, length, 0};
  std::uint8_t formType[4] = {0, 0, 0, 0};
  const bool typed = chunkReadBytes(form, formType, 4);
  if (typed && idIs(formType, "LWO2")) {
    lwReadLwo2Body(object, form, indent, layer, sink);
    return Status::kOk;
  }
  if (typed && idIs(formType, "LWO3")) {
    lwReadLwo3Body(object, form, indent, layer, sink);
    return Status::kOk;
  }
  if (!typed || !idIs(formType, "LWOB")) {
    report(sink, Message::kNotLightWaveObject, static_cast<std::size_t>(indent));
    return Status::kNotThisFormat;
  }
  // An LWOB object is one layer, the first.
  const bool geometry = layer < 0 || layer == 1;

  WalkStats stats;
  SurfaceNames names;
  for (std::size_t i = 0; i < object.surfaces.size(); ++i) names.emplace(object.surfaces[i].name, i);
  for (;;) {
    std::uint8_t id[4];
    std::uint32_t chunkLength;
    if (!chunkReadBytes(form, id, 4) || !chunkReadU32(form, chunkLength)) break;
    // A chunk that claims more than the body holds is cut at the body's end.
    ChunkCursor chunk = chunkSubCursor(form, chunkLength);
    if (idIs(id, "SRFS")) {
      readSurfaceNames(object, chunk, names);
    } else if (idIs(id, "PNTS")) {
      if (geometry) readPoints(object, chunk);
    } else if (idIs(id, "POLS")) {
      if (!geometry) continue;
      readPolygons(object, chunk, stats);
    } else if (idIs(id, "SURF")) {
      if (!ok(lwReadSurfaceChunk(object, chunk, names, indent, sink))) break;
    }
  }
  dropInvalidPolygons(object, stats);

  if (stats.detail) report(sink, Message::kDetailPolygons);
  if (stats.dropped != 0) report(sink, Message::kShortPolygons, stats.dropped);
  if (stats.invalid != 0) report(sink, Message::kInvalidPolygons, stats.invalid);
  return Status::kOk;
}

// Reads length bytes of FORM body. When the bytes left in the stream are known the
// length is checked against them before anything is allocated; otherwise the body
// grows step by step and a short stream ends the read.
bool readFormBody(std::FILE* file, std::uint32_t length, std::vector<std::uint8_t>& body) {
  const long here = std::ftell(file);
  long end = -1;
  if (here >= 0 && std::fseek(file, 0, SEEK_END) == 0) {
    end = std::ftell(file);
    if (std::fseek(file, here, SEEK_SET) != 0) return false;
  }
  if (end >= here && here >= 0) {
    if (static_cast<unsigned long>(end - here) < length) return false;
    body.resize(length);
    return std::fread(body.data(), 1, length, file) == length;
  }
  while (body.size() < length) {
    const std::size_t old = body.size();
    const std::size_t step = length - old < kReadStep ? length - old : kReadStep;
    body.resize(old + step);
    if (std::fread(body.data() + old, 1, step, file) != step) return false;
  }
  return true;
}

}  // namespace

Status lwLoadObjectLayerFromMemory(LwObject& object, const std::uint8_t* data, std::size_t size, int indent, int layer,
                                const MessageSink& sink) {
  if (data == nullptr || size < 4 || !idIs(data, "FORM")) {
    printNotFile(sink, indent);
    return Status::kNotThisFormat;
  }
  const std::uint32_t length = size >= 8 ? bigEndian32(data + 4) : 0;
  // An empty body counts as a short one.
  if (length == 0 || length > size - 8) {
    printNotFile(sink, indent);
    return Status::kNotThisFormat;
  }
  return readBody(object, data + 8, length, indent, layer, sink);
}

Status lwLoadObjectLayer(LwObject& object, std::FILE* file, int indent, int layer, const MessageSink& sink) {
  const long start = std::ftell(file);
  std::uint8_t head[8];
  std::vector<std::uint8_t> body;
  bool ok = std::fread(head, 1, 4, file) == 4 && idIs(head, "FORM") && std::fread(head + 4, 1, 4, file) == 4;
  const std::uint32_t length = ok ? bigEndian32(head + 4) : 0;
  // A large body is read in place: no copy, and no heap pages to fault in and fill.
  struct Mapping {
    platform::MappedRange range;
    Mapping() = default;
    Mapping(const Mapping&) = delete;
    Mapping& operator=(const Mapping&) = delete;
    ~Mapping() { platform::unmapFileRange(range); }
  } mapped;
  if (ok && length >= kMapAtLeast && start >= 0) {
    mapped.range = platform::mapFileRange(file, start + 8, length);
    if (mapped.range.data != nullptr && std::fseek(file, start + 8 + static_cast<long>(length), SEEK_SET) != 0)
      platform::unmapFileRange(mapped.range);
  }
  // The length is checked against the file before the body is allocated: running out of
  // memory here is no bad file, and fails the conversion where it is caught.
  ok = ok && length != 0 && (mapped.range.data != nullptr || readFormBody(file, length, body));
  if (!ok) {
    if (start >= 0) std::fseek(file, start, SEEK_SET);
    printNotFile(sink, indent);
    return Status::kNotThisFormat;
  }
  return readBody(object, mapped.range.data != nullptr ? mapped.range.data : body.data(), length, indent, layer, sink);
}

Status lwLoadObjectFromMemory(LwObject& object, const std::uint8_t* data, std::size_t size, int indent,
                           const MessageSink& sink) {
  return lwLoadObjectLayerFromMemory(object, data, size, indent, kAllLayers, sink);
}

Status lwLoadObject(LwObject& object, std::FILE* file, int indent, const MessageSink& sink) {
  return lwLoadObjectLayer(object, file, indent, kAllLayers, sink);
}

}  // namespace torvo
