// In-memory model of a LightWave object, which is also the record of every scene item.
// The readers fill it, the geometry and animation steps derive from it, the writers read it.
// Indices are 32-bit throughout: large objects never wrap around.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "model/envelope.h"
#include "model/motion.h"
#include "model/skeleton.h"

namespace torvo {

enum MappingKind : std::int32_t {
  kMappingNone = 0,
  kMappingPlanar = 1,
  kMappingCylindrical = 2,
  kMappingSpherical = 3,
  kMappingCubic = 4,
};

// Surface flag bits used by the geometry steps.
constexpr std::uint16_t kSurfaceSmoothing = 0x0004;
constexpr std::uint16_t kSurfaceDoubleSided = 0x0100;
// Texture axis bits.
constexpr std::uint16_t kTextureAxisX = 0x0001;
constexpr std::uint16_t kTextureAxisY = 0x0002;
constexpr std::uint16_t kTextureAxisZ = 0x0004;

struct LwTexture {
  std::int32_t mapping = kMappingNone;
  std::string image;                 // at most 1023 characters
  std::uint16_t flags = 0;
  float center[3] = {0.0f, 0.0f, 0.0f};
  float size[3] = {1.0f, 1.0f, 1.0f};
  float param0 = 1.0f;
  float param1 = 1.0f;
};

// Colour and shading in LWOB's units (colour 255 is full, shading 256 is 100 %, glossiness
// the specular exponent), kept as read: LWOB gives whole numbers, LWO2 and LWO3 any value.
struct LwSurface {
  std::string name;                  // at most 79 characters
  double color[3] = {200, 200, 200};
  std::uint16_t flags = 0;
  LwTexture colorTexture;
  LwTexture transparencyTexture;
  double luminosity = 0;
  double diffuse = 256;
  double specular = 0;
  double glossiness = 64;
  double transparency = 0;
  double colorHighlight = 0;         // LWO2 CLRH: the share of the surface colour in the highlight, 0 to 1
  bool ownLuminousColor = false;     // luminosity glows in luminousColor rather than in the surface colour
  double luminousColor[3] = {1, 1, 1};  // 0 to 1
  float smoothingAngle = 1.5620697f;  // 89.5 degrees
  std::int32_t materialIndex = -1;
  std::int32_t uvMap = -1;           // LWO2: the vertex map its colour texture takes coordinates from, or -1
  std::int32_t colorMap = -1;        // LWO2: the RGB or RGBA vertex map its vertex colours come from, or -1
  bool colorAlpha = false;           // the map's alpha counts (an RGBA map the surface takes as RGBA)
};

struct LwPoint {
  float x = 0.0f, y = 0.0f, z = 0.0f;
};

// A vertex's polygon list is a run of the object's polygonLists pool rather than an
// array of its own: one allocation for all vertices instead of one per vertex.
struct LwVertex {
  double u = 0.0;
  double v = 0.0;
  std::int32_t hasUV = 0;
  std::uint32_t point = 0;                  // index into points
  std::uint32_t polygonListFirst = 0;       // start of its run in LwObject::polygonLists
  std::uint32_t polygonListCount = 0;       // polygons using this vertex, in link order
  std::uint32_t polygonListCapacity = 0;    // room in the run before it must move
  std::uint32_t nextSplit = 0;              // next vertex of the same point; last links to itself
};

// A vertex's colour from a colour map, kept beside the vertices (most objects have none).
struct LwVertexColor {
  float rgba[4] = {0.0f, 0.0f, 0.0f, 1.0f};
  bool set = false;
};

// What a polygon is to subdivision: a plain face, a cage face of either patch kind, or a
// face refined from a cage (its corners take the limit surface's normals).
enum LwPolygonKind : std::uint8_t { kPolygonFace = 0, kPolygonPatch = 1, kPolygonCatmullClark = 2, kPolygonRefined = 3 };

// Kept small: large objects hold one per face, and every byte of them is written once.
struct LwPolygon {
  std::int32_t cornerCount = 0;
  std::uint32_t firstIndex = 0;   // first corner in indices (and cornerNormals)
  std::int32_t surface = 0;       // 0-based index into surfaces
  float normal[3] = {0.0f, 0.0f, 0.0f};
  std::uint8_t wrapU = 0;         // 1: its texture wraps across the u seam
  std::uint8_t kind = kPolygonFace;
};

struct LwNormal {
  float x = 0.0f, y = 0.0f, z = 0.0f;
  std::int32_t useCount = 0;
};

struct LwLimit {
  std::int32_t enabled = 0;
  float minimum = 0.0f;
  float maximum = 0.0f;
};

// One LWO2 layer as LAYR declares it.
struct LwLayer {
  std::int32_t number = 0;            // as LAYR stores it (from 0); a scene's LoadObjectLayer says number + 1
  std::int32_t parent = -1;           // number of the parent layer, -1 for none
  float pivot[3] = {0.0f, 0.0f, 0.0f};
  std::string name;
};

// Four-character codes, as LWO2 files store them (big-endian).
constexpr std::uint32_t lwId(const char (&id)[5]) {
  return (std::uint32_t(static_cast<unsigned char>(id[0])) << 24) | (std::uint32_t(static_cast<unsigned char>(id[1])) << 16) |
         (std::uint32_t(static_cast<unsigned char>(id[2])) << 8) | std::uint32_t(static_cast<unsigned char>(id[3]));
}

// A VMAP entry names no polygon.
constexpr std::uint32_t kNoPolygon = 0xFFFFFFFF;
// Values kept per map entry: enough for UV, weight, RGB and RGBA maps.
constexpr std::uint32_t kMapValues = 4;

struct LwMapValue {
  std::uint32_t polygon = kNoPolygon;  // VMAD: the object polygon; VMAP: kNoPolygon
  std::uint32_t point = 0;             // object point
  float value[kMapValues] = {0.0f, 0.0f, 0.0f, 0.0f};
};

// One LWO2 vertex map: its per-point values (VMAP) and per-corner overrides (VMAD) of
// one type and name. Both lists are sorted by (polygon, point); where one key occurs
// more than once, the last given counts.
struct LwVertexMap {
  std::uint32_t type = 0;        // lwId("TXUV"), ...
  std::string name;
  std::uint32_t dimension = 0;   // values per entry as stored; at most kMapValues are kept
  std::int32_t patchMode = 0;    // VMPA: how patches interpolate it (0 linear, 1 smooth, 2 linear corners, 3-4 linear borders)
  std::vector<LwMapValue> points;
  std::vector<LwMapValue> corners;
};

struct LwObject {
  std::int32_t refCount = 1;
  std::vector<LwSurface> surfaces;
  std::vector<LwPoint> points;
  std::vector<LwVertex> vertices;
  std::vector<std::uint32_t> polygonLists;   // the vertices' polygon lists, one run each
  std::vector<std::uint32_t> indices;        // corner pool: vertex index per corner
  std::vector<std::uint32_t> cornerNormals;  // parallel to indices: normal-table entry per corner
  std::vector<LwPolygon> polygons;
  std::vector<LwNormal> normals;             // normal table
  // LWO2 only (both empty for LWOB): every LAYR of the file in file order, also when one
  // layer alone was loaded, and the LAYR number of each polygon, parallel to polygons.
  std::vector<LwLayer> layers;
  std::vector<std::uint16_t> polygonLayers;
  std::vector<LwVertexMap> vertexMaps;       // LWO2 only
  std::vector<LwVertexColor> vertexColors;   // parallel to vertices once a surface takes a colour map, else empty
  std::vector<LwPoint> limitNormals;         // parallel to points once patches are refined, else empty
  std::int32_t patchWeightedPoints = 0;      // points of MNVW maps, which subdivision cannot honour
  std::int32_t subPatchLevel[2] = {3, 3};    // the scene's SubPatchLevel: display and render

  // Scene fields.
  std::int32_t parentItem = kNoItem;         // kNoItem: top level
  bool detached = false;                     // its parent named no item: it belongs to no frame group
  std::vector<MotionKey> motionKeys;
  std::int32_t endBehavior = kEndStop;
  std::int32_t pathAlignment = 0;
  std::int32_t lookAheadFrames = 1;
  std::int32_t targetItem = kNoItem;
  std::int32_t morphTargetItem = kNoItem;
  float pivot[3] = {0.0f, 0.0f, 0.0f};
  double metamorph = 0.0;
  double dissolve = 0.0;
  std::string name;                          // at most 79 characters
  std::string filePath;                      // the object file as opened; its textures are looked for near it
  LwLimit limits[3];                         // heading, pitch, bank; never enabled
  LwObject* morphTarget = nullptr;           // counted reference, not owned
  // Scenes of version 2 and later: one envelope per MotionChannel, empty for version 1.
  // Once the scene is settled (lwSettleScene), motionKeys hold one key: the state at the first frame.
  std::vector<LwEnvelope> channels;
  std::vector<LwEnvelope> dissolveEnvelope;  // one envelope when the dissolve is animated: its value at the first frame counts
  std::int32_t layer = 0;                    // object layer to load (1-based); 0 = whole object
  LwBone bone;                               // bones: owner set
  LwSkeleton skeleton;                       // objects: how bones deform them
  std::vector<LwSkelegon> skelegons;         // LWO2 only
};

// Drops one reference; at zero frees the geometry (motion and scene fields stay).
void lwReleaseObject(LwObject& object);
// Frees geometry whatever the count says, and the motion keys.
void lwDisposeObject(LwObject& object);

// A vertex's polygon list.
inline std::span<const std::uint32_t> lwVertexPolygons(const LwObject& object, std::uint32_t vertex) {
  const LwVertex& v = object.vertices[vertex];
  return {object.polygonLists.data() + v.polygonListFirst, v.polygonListCount};
}

// The value a sorted entry list gives for (polygon, point), or null.
const LwMapValue* lwFindMapValue(const std::vector<LwMapValue>& sorted, std::uint32_t polygon, std::uint32_t point);
// Sorts a map's entries as LwVertexMap keeps them.
void lwSortMapValues(std::vector<LwMapValue>& values);

}  // namespace torvo
