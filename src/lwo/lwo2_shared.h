// What the LWO2 reader shares with readers of the same geometry chunks (LAYR, PNTS, POLS,
// PTAG, TAGS, VMAP, VMAD): the state of one walk, the chunk handlers, and the surfaces
// made from tags at the end. Surface and clip chunks are the caller's.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

#include <cstring>

#include "lwo/chunk.h"

namespace lwo2 {

constexpr std::uint32_t kNone = 0xFFFFFFFF;
constexpr std::int32_t kUntagged = -1;  // a polygon no PTAG SURF has named yet

// VMPA's highest UV subdivision type (4, "disco" borders); larger values mean it.
constexpr std::uint32_t kLastPatchMode = 4;

// PROJ values.
enum Projection { kProjPlanar, kProjCylindrical, kProjSpherical, kProjCubic, kProjFront, kProjUV };

inline bool idIs(const std::uint8_t* id, const char* name) { return std::memcmp(id, name, 4) == 0; }

// A variable-length index: 2 bytes, or 4 when the first is 0xFF (which is masked out).
bool readVX(ChunkCursor& c, std::uint32_t& out);
// Any string that ends inside the chunk, padded to even.
inline bool readText(ChunkCursor& c, std::string& out) { return chunkReadString(c, chunkRemaining(c), out); }
// A chunk or sub-chunk whose length is odd is followed by a pad byte.
inline void skipPad(ChunkCursor& parent, std::uint32_t length) {
  if (length % 2 != 0) chunkSkip(parent, 1);
}
// LWOB keeps shading values as 16-bit integers in which 256 is 100 %, colours as bytes.
std::int16_t toShort(double value);
std::uint8_t toByte(float value);

// A surface as read, before the tags that become surfaces are known.
struct SurfaceDraft {
  LwSurface surface;
  bool textured = false;  // its colour texture is chosen: later blocks are ignored
  std::uint32_t clip = kNone;
  bool uvMapped = false;
  std::string uvMap;  // empty: the first TXUV map of the file
  std::string colorMap;  // VCOL: the vertex colour map's type and name; empty: the file's first
  bool colored = false;    // a COLR of its own
  bool nodeGraph = false;  // NODS
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
  std::vector<std::uint32_t> skelegonOfLocal;  // the latest POLS of skelegons: object skelegon of each, or kNone
  std::vector<std::string> tags;
  SurfaceNames tagIndex;
  std::map<std::size_t, SurfaceDraft> drafts;  // by tag, for tags a SURF describes
  std::unordered_map<std::string, std::size_t> mapIndex;  // kept vertex maps by type and name, in object.vertexMaps
  std::int32_t firstUvMap = -1;                           // the file's first TXUV map there
  std::int32_t firstColorMap = -1;                        // and its first RGB or RGBA map
  std::unordered_map<std::uint32_t, std::string> clips;  // CLIP index to STIL image
  std::int32_t patchMode = 0;  // the latest VMPA's, for the vertex map after it
  int dropped = 0;
  int invalid = 0;
  int skipped = 0;  // curves, bones, metaballs and other non-face polygons
};

// Handles a geometry chunk of the layers being loaded (or LAYR and TAGS, which every walk
// needs); false when the id is none of them.
bool readGeometryChunk(Reader& r, const std::uint8_t* id, ChunkCursor& chunk);
// The draft of the surface a SURF chunk names (a tag, or a new one).
SurfaceDraft& surfaceDraft(Reader& r, const std::string& name);
// After the walk: tags become surfaces, untagged polygons go, maps are sorted, and the
// damaged or skipped polygons are reported.
void finish(Reader& r, const MessageSink& sink);

}  // namespace lwo2
