// The LWO2 and LWO3 readers: the chunk walk, clips and surfaces, each translated into what
// the LWOB reader would have made of the equivalent LWOB object, so that every later step
// is shared. LWO3 differs in how chunks are framed (see Framing) and where a surface name
// may start; the geometry chunks are lwo2_geometry.cpp's.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "lwo/lwo2_shared.h"
#include "lwo/reader.h"

namespace torvo {

namespace {

using namespace lwo2;

constexpr std::uint16_t kSideBoth = 3;

void readClip(Reader& r, ChunkCursor& chunk, Framing framing) {
  std::uint32_t index;
  std::string image;
  bool indexed = false;
  readLead(chunk, framing, [&](ChunkCursor& lead) { indexed = chunkReadU32(lead, index); });
  if (!indexed) return;
  forEachSubChunk(chunk, framing, [&](const std::uint8_t* id, ChunkCursor& sub) {
    if (idIs(id, "STIL")) readLead(sub, framing, [&](ChunkCursor& lead) { chunkReadString(lead, kLwImageSize, image); });
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

}  // namespace

namespace lwo2 {

bool nextSubChunk(ChunkCursor& chunk, Framing framing, std::uint8_t (&id)[4], ChunkCursor& sub) {
  std::uint32_t length = 0;
  std::uint16_t shortLength = 0;
  if (!chunkReadBytes(chunk, id, 4)) return false;
  if (framing.wideLengths ? !chunkReadU32(chunk, length) : !chunkReadU16(chunk, shortLength)) return false;
  if (!framing.wideLengths) length = shortLength;
  sub = chunkSubCursor(chunk, length);
  skipPad(chunk, length);
  // A FORM too short for its type names nothing.
  if (framing.forms && idIs(id, "FORM") && !chunkReadBytes(sub, id, 4)) std::memset(id, 0, 4);
  return true;
}

bool startsWithLead(const ChunkCursor& chunk) {
  return chunkRemaining(chunk) >= 8 && std::memcmp(chunk.data + chunk.pos, "    ", 4) == 0;
}

void readBlock(SurfaceDraft& draft, ChunkCursor& block, Framing framing, bool colourChannel) {
  std::uint8_t id[4];
  ChunkCursor header;
  if (!nextSubChunk(block, framing, id, header)) return;
  std::string ordinal;
  bool ordered = false;
  if (!idIs(id, "IMAP") || draft.textured) return;
  readLead(header, framing, [&](ChunkCursor& lead) { ordered = readText(lead, ordinal); });
  if (!ordered) return;
  bool colour = colourChannel;
  std::uint16_t enabled = 1;
  forEachSubChunk(header, framing, [&](const std::uint8_t* sid, ChunkCursor& sub) {
    std::uint8_t channel[4];
    if (idIs(sid, "CHAN") && !colourChannel && chunkReadBytes(sub, channel, 4)) colour = idIs(channel, "COLR");
    if (idIs(sid, "ENAB")) chunkReadU16(sub, enabled);
  });
  if (!colour || enabled == 0) return;

  draft.textured = true;
  LwTexture& texture = draft.surface.colorTexture;
  std::uint16_t projection = kProjPlanar;
  forEachSubChunk(block, framing, [&](const std::uint8_t* sid, ChunkCursor& sub) {
    std::uint16_t axis;
    if (idIs(sid, "TMAP")) {
      forEachSubChunk(sub, framing, [&](const std::uint8_t* tid, ChunkCursor& t) {
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

}  // namespace lwo2

namespace {

// VCOL: intensity, envelope, then the vertex colour map's type and name.
void readVertexColorMap(SurfaceDraft& draft, ChunkCursor& sub) {
  float intensity;
  std::uint32_t envelope;
  std::uint8_t type[4];
  std::string name;
  if (chunkReadFloat(sub, intensity) && readVX(sub, envelope) && chunkReadBytes(sub, type, 4) && readText(sub, name))
    draft.colorMap.assign(reinterpret_cast<const char*>(type), 4).append(name);
}

// assimp's LWO3 reader takes a surface's name from 8 bytes after the FORM's type: a name
// that names no tag while the one there does is read from there.
constexpr std::uint32_t kLwo3NameLead = 8;

// The surface's name and the name of the surface it derives from (whose values are repeated).
bool readSurfaceNames(const Reader& r, ChunkCursor& chunk, Framing framing, std::string& name, std::string& source) {
  if (framing.forms && startsWithLead(chunk)) {
    bool named = false;
    readLead(chunk, framing, [&](ChunkCursor& lead) { named = readText(lead, name) && readText(lead, source); });
    return named;
  }
  std::string led;
  ChunkCursor lead = chunk;
  const bool named = readText(chunk, name);
  if (framing.forms && !(named && r.tagIndex.contains(name)) && chunkSkip(lead, kLwo3NameLead) == kLwo3NameLead &&
      readText(lead, led) && r.tagIndex.contains(led)) {
    name = led;
    chunk = lead;
  } else if (!named) {
    return false;
  }
  readText(chunk, source);
  return true;
}

void readSurface(Reader& r, ChunkCursor& chunk, Framing framing, GraphReport& report) {
  std::string name, source;
  if (!readSurfaceNames(r, chunk, framing, name, source)) return;
  SurfaceDraft& draft = surfaceDraft(r, name);
  LwSurface& s = draft.surface;
  ChunkCursor graph;
  forEachSubChunk(chunk, framing, [&](const std::uint8_t* id, ChunkCursor& sub) {
    float value;
    if (idIs(id, "COLR")) {
      float rgb[3];
      draft.colored = true;
      if (readValue(sub, rgb[0]) && readValue(sub, rgb[1]) && readValue(sub, rgb[2])) setColor(s, {rgb[0], rgb[1], rgb[2]});
    } else if (idIs(id, "NODS")) {
      // LWO2 keeps the classic values beside the graph: they count. LWO3 has the graph alone.
      draft.nodeGraph = true;
      if (framing.forms) graph = sub;
    } else if (idIs(id, "VCOL")) {
      readVertexColorMap(draft, sub);
    } else if (idIs(id, "DIFF")) {
      if (readValue(sub, value)) setShade(s.diffuse, value);
    } else if (idIs(id, "LUMI")) {
      if (readValue(sub, value)) setShade(s.luminosity, value);
    } else if (idIs(id, "SPEC")) {
      if (readValue(sub, value)) setShade(s.specular, value);
    } else if (idIs(id, "TRAN")) {
      if (readValue(sub, value)) setShade(s.transparency, value);
    } else if (idIs(id, "GLOS")) {
      if (readValue(sub, value)) setGlossiness(s, value);
    } else if (idIs(id, "CLRH")) {
      if (readValue(sub, value) && std::isfinite(value)) s.colorHighlight = std::clamp(value, 0.0f, 1.0f);
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
      readBlock(draft, sub, framing, false);
    }
  });
  if (graph.data != nullptr && readNodeGraph(draft, graph, report)) draft.colored = true;
}

void readBody(LwObject& object, ChunkCursor& form, int layer, const MessageSink& sink, Framing framing) {
  Reader r(object, layer);
  // Points and polygons before any LAYR belong to layer number 0.
  r.inLayer = r.all || r.wanted == 0;
  std::uint8_t id[4];
  ChunkCursor chunk;
  const bool lwo3 = framing.forms;
  GraphReport report;
  while (nextSubChunk(form, lwo3 ? kLwo3 : kLwo2Top, id, chunk)) {
    if (readGeometryChunk(r, id, chunk)) continue;
    if (idIs(id, "SURF")) {
      readSurface(r, chunk, framing, report);
    } else if (idIs(id, "CLIP")) {
      readClip(r, chunk, framing);
    }
  }
  for (const auto& [tag, draft] : r.drafts) report.unconnected += draft.nodeGraph && !draft.colored ? 1 : 0;
  sayGraphReport(report, sink);
  finish(r, sink);
}

}  // namespace

// Nothing here fails the object: damaged parts are counted and dropped.
void lwReadLwo2Body(LwObject& object, ChunkCursor& form, int, int layer, const MessageSink& sink) {
  readBody(object, form, layer, sink, kLwo2Sub);
}

void lwReadLwo3Body(LwObject& object, ChunkCursor& form, int, int layer, const MessageSink& sink) {
  readBody(object, form, layer, sink, kLwo3);
}

}  // namespace torvo
