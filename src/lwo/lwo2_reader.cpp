// The LWO2 reader: the chunk walk, clips and surfaces, each translated into what the LWOB
// reader would have made of the equivalent LWOB object, so that every later step is
// shared. The geometry chunks are lwo2_geometry.cpp's.
#include <cmath>
#include <cstring>

#include "lwo/lwo2_shared.h"
#include "lwo/reader.h"

namespace {

using namespace lwo2;

constexpr std::uint16_t kSideBoth = 3;

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
  SurfaceDraft& draft = surfaceDraft(r, name);
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
    if (readGeometryChunk(r, id, chunk)) continue;
    if (idIs(id, "SURF")) {
      readSurface(r, chunk);
    } else if (idIs(id, "CLIP")) {
      readClip(r, chunk);
    }
  }
  finish(r, sink);
  return 0;
}
