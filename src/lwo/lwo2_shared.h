// What the LWO2 reader shares with readers of the same geometry chunks (LAYR, PNTS, POLS,
// PTAG, TAGS, VMAP, VMAD): the state of one walk, the chunk handlers, and the surfaces
// made from tags at the end. Surface and clip chunks are the caller's.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include <cstring>

#include "lwo/chunk.h"

namespace torvo {

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
// LWO2 and LWO3 values (fractions, colours from 0 to 1, glossiness 0 to 1) into the
// model's LWOB units, unrounded; what is not a number is not taken. A value that LWOB's
// units hold within the precision of a float is taken as that whole number, so an LWO2
// twin of an LWOB object gives its bytes.
void setColor(LwSurface& surface, const double (&rgb)[3]);
void setShade(double& field, double fraction);
void setGlossiness(LwSurface& surface, double fraction);

// How chunks are framed. LWO2 gives the sub-chunks inside SURF, BLOK, TMAP and CLIP 16-bit
// lengths; LWO3 gives every chunk a 4-byte length and makes some of them FORMs, which
// stand for a chunk named by the FORM's type.
struct Framing {
  bool wideLengths;
  bool forms;
};
constexpr Framing kLwo2Top{true, false};
constexpr Framing kLwo2Sub{false, false};
constexpr Framing kLwo3{true, true};

// The next chunk: its id and a cursor over its data (after a FORM's type). A chunk that
// claims more than its parent holds is cut at the parent's end.
bool nextSubChunk(ChunkCursor& chunk, Framing framing, std::uint8_t (&id)[4], ChunkCursor& sub);

template <typename Handle>
void forEachSubChunk(ChunkCursor& chunk, Framing framing, Handle handle) {
  std::uint8_t id[4];
  ChunkCursor sub;
  while (nextSubChunk(chunk, framing, id, sub)) handle(id, sub);
}

// LightWave keeps the data that LWO2 puts before a chunk's sub-chunks (a surface's name,
// a clip's index, a block header's ordinal) in a leading chunk whose id is four spaces;
// converted files may keep it inline. `read` gets that chunk, or the chunk itself.
bool startsWithLead(const ChunkCursor& chunk);
template <typename Read>
void readLead(ChunkCursor& chunk, Framing framing, Read read) {
  if (!framing.forms || !startsWithLead(chunk)) {
    read(chunk);
    return;
  }
  std::uint8_t id[4];
  ChunkCursor lead;
  nextSubChunk(chunk, framing, id, lead);
  read(lead);
}

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

// A texture block. The first enabled image map on the colour channel (or on any channel,
// for a layer inside a node's colour) becomes the colour texture, as CTEX, TIMG, TFLG,
// TSIZ, TCTR, TFP0 and TFP1 would have made it.
void readBlock(SurfaceDraft& draft, ChunkCursor& block, Framing framing, bool colourChannel);

// What the node graphs of one object's surfaces held that could not be used in full.
struct GraphReport {
  std::uint32_t unconnected = 0;  // surfaces whose Material input no node feeds
  std::uint32_t damaged = 0;      // graphs with parts that could not be read
  std::uint32_t enveloped = 0;    // values that held more than their base value
  std::set<std::string> partial;  // types of material nodes read in part
};

// The FORM NODS of an LWO3 surface: the values and colour texture of the material node
// wired to the Surface node's Material input go into the draft. False when the graph is
// whole and no material node is connected (the draft is then left as it was).
bool readNodeGraph(SurfaceDraft& draft, ChunkCursor& graph, GraphReport& report);
// Says what the report holds, one line for each kind.
void sayGraphReport(const GraphReport& report, const MessageSink& sink);

struct Reader {
  Reader(LwObject& o, int layer) : object(o), all(layer < 0), wanted(std::int64_t{layer} - 1) {}
  LwObject& object;
  bool all;             // every layer is loaded
  std::int64_t wanted;  // else the LAYR number to load (a scene's layer - 1)
  bool inLayer = true;
  std::uint16_t layerNumber = 0;
  std::uint32_t pointBase = 0;  // the current layer's points in object.points
  std::uint32_t pointCount = 0;
  // The latest POLS: the object polygon of each, or kNone. While each one read became the
  // next object polygon (the usual case), polygon i is localFirst + i and no list is kept.
  std::vector<std::uint32_t> polygonOfLocal;
  bool localInOrder = true;
  std::uint32_t localFirst = 0;
  std::uint32_t localCount = 0;
  std::vector<std::uint32_t> skelegonOfLocal;  // the latest POLS of skelegons: object skelegon of each, or kNone
  std::vector<std::string> tags;
  SurfaceNames tagIndex;
  std::map<std::size_t, SurfaceDraft> drafts;  // by tag, for tags a SURF describes
  std::unordered_map<std::string, std::size_t> mapIndex;  // kept vertex maps by type and name, in object.vertexMaps
  std::int32_t firstUvMap = -1;                           // the file's first TXUV map there
  std::int32_t firstColorMap = -1;                        // and its first RGB or RGBA map
  std::unordered_map<std::uint32_t, std::string> clips;  // CLIP index to STIL image
  std::int32_t patchMode = 0;  // the latest VMPA's, for the vertex map after it
  std::uint32_t dropped = 0;
  std::uint32_t invalid = 0;
  std::uint32_t skipped = 0;  // curves, bones, metaballs and other non-face polygons
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

}  // namespace torvo
