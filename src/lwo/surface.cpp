// SURF chunks: the surface's colour, shading values, flags and texture blocks.
#include <cstdio>
#include <cstring>

#include "lwo/chunk.h"
#include "lwo/reader.h"

namespace torvo {

namespace {

bool idIs(const std::uint8_t* id, const char* name) { return std::memcmp(id, name, 4) == 0; }

void readShade(ChunkCursor& sub, double& value) {
  std::int16_t stored;
  if (chunkReadI16(sub, stored)) value = stored;
}

void readVector(ChunkCursor& sub, float (&out)[3]) {
  for (float& component : out)
    if (!chunkReadFloat(sub, component)) return;
}

// A texture header: the block it selects (or none) and its mapping kind.
LwTexture* selectTexture(ChunkCursor& sub, LwTexture& block) {
  std::string text;
  // A text that does not fit selects the block all the same, with no mapping.
  if (!chunkReadString(sub, kLwNameSize, text)) text.clear();
  lwSetMappingKind(block, text);
  return &block;
}

void readSubChunk(LwSurface& surface, const std::uint8_t* id, ChunkCursor& sub, LwTexture*& texture) {
  if (idIs(id, "COLR")) {
    // Red, green, blue; the fourth byte is unused.
    std::uint8_t rgb[3];
    if (chunkReadBytes(sub, rgb, 3))
      for (int i = 0; i < 3; ++i) surface.color[i] = rgb[i];
  } else if (idIs(id, "FLAG")) {
    chunkReadU16(sub, surface.flags);
  } else if (idIs(id, "LUMI")) {
    readShade(sub, surface.luminosity);
  } else if (idIs(id, "DIFF")) {
    readShade(sub, surface.diffuse);
  } else if (idIs(id, "SPEC")) {
    readShade(sub, surface.specular);
  } else if (idIs(id, "GLOS")) {
    readShade(sub, surface.glossiness);
  } else if (idIs(id, "TRAN")) {
    readShade(sub, surface.transparency);
  } else if (idIs(id, "SMAN")) {
    chunkReadFloat(sub, surface.smoothingAngle);
  } else if (idIs(id, "CTEX")) {
    texture = selectTexture(sub, surface.colorTexture);
  } else if (idIs(id, "TTEX")) {
    texture = selectTexture(sub, surface.transparencyTexture);
  } else if (idIs(id, "DTEX") || idIs(id, "STEX") || idIs(id, "RTEX") || idIs(id, "BTEX")) {
    // Only the colour and transparency textures are kept.
    texture = nullptr;
  } else if (texture == nullptr) {
    return;
  } else if (idIs(id, "TIMG")) {
    std::string image;
    if (chunkReadString(sub, kLwImageSize, image)) texture->image = image;
  } else if (idIs(id, "TFLG")) {
    chunkReadU16(sub, texture->flags);
  } else if (idIs(id, "TSIZ")) {
    readVector(sub, texture->size);
  } else if (idIs(id, "TCTR")) {
    readVector(sub, texture->center);
  } else if (idIs(id, "TFP0")) {
    chunkReadFloat(sub, texture->param0);
  } else if (idIs(id, "TFP1")) {
    chunkReadFloat(sub, texture->param1);
  }
}

}  // namespace

void lwSetMappingKind(LwTexture& texture, std::string_view text) {
  static constexpr std::string_view kTexts[] = {"Planar Image Map", "Cylindrical Image Map",
                                                "Spherical Image Map", "Cubic Image Map"};
  texture.mapping = kMappingNone;
  for (std::int32_t i = 0; i < 4; ++i) {
    if (text == kTexts[i]) {
      texture.mapping = i + 1;
      return;
    }
  }
}

Status lwReadSurfaceChunk(LwObject& object, ChunkCursor& chunk, const SurfaceNames& names, int indent,
                       const MessageSink& sink) {
  std::string name;
  // A name that does not fit names no surface: this chunk alone is skipped.
  if (!chunkReadString(chunk, kLwNameSize, name)) return Status::kOk;
  const auto found = names.find(name);
  if (found == names.end()) {
    report(sink, Message::kUndeclaredSurface, name, static_cast<std::size_t>(indent));
    return Status::kBadInput;
  }

  LwSurface& surface = object.surfaces[found->second];
  LwTexture* texture = nullptr;
  for (;;) {
    std::uint8_t id[4];
    std::uint16_t length;
    if (!chunkReadBytes(chunk, id, 4) || !chunkReadU16(chunk, length)) break;
    // The length is unsigned and the sub-cursor is clamped, so the position only moves forward.
    ChunkCursor sub = chunkSubCursor(chunk, length);
    readSubChunk(surface, id, sub, texture);
  }
  return Status::kOk;
}

}  // namespace torvo
