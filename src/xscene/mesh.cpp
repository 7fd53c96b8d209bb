#include "xscene/mesh.h"

#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/options.h"
#include "xfile/numfmt.h"
#include "xscene/names.h"
#include "xscene/skin.h"

namespace {

// Face indexes per line in a text material list.
constexpr std::size_t kFaceIndexesPerLine = 32;
constexpr std::uint32_t kNotNumbered = 0xFFFFFFFFu;
// Engines that index vertices with 16 bits (DirectX 9 meshes by default, Irrlicht) wrap past this.
constexpr std::size_t kEngineVertexLimit = 0xFFFF;

// Corners of a polygon that really lie in the corner pool.
std::uint32_t cornerCountOf(const LwObject& object, const LwPolygon& polygon) {
  if (polygon.cornerCount <= 0 || polygon.firstIndex >= object.indices.size()) return 0;
  const std::size_t available = object.indices.size() - polygon.firstIndex;
  const std::size_t count = static_cast<std::size_t>(polygon.cornerCount);
  return static_cast<std::uint32_t>(count < available ? count : available);
}

LwPoint vertexPosition(const LwObject& object, const LwVertex& vertex) {
  LwPoint p;
  if (vertex.point < object.points.size()) p = object.points[vertex.point];
  const LwObject* target = object.morphTarget;
  // A target with fewer points leaves the missing vertices where they are.
  if (target != nullptr && object.metamorph > 0.0 && vertex.point < target->points.size()) {
    const LwPoint& t = target->points[vertex.point];
    if (object.metamorph >= 1.0) {
      p = t;
    } else {
      const double m = object.metamorph;
      p.x = static_cast<float>(m * t.x + (1.0 - m) * p.x);
      p.y = static_cast<float>(m * t.y + (1.0 - m) * p.y);
      p.z = static_cast<float>(m * t.z + (1.0 - m) * p.z);
    }
  }
  p.x -= object.pivot[0];
  p.y -= object.pivot[1];
  p.z -= object.pivot[2];
  return p;
}

// Large lists are gathered in a block on the stack and handed to the writer a block
// at a time: no per-number call into the writer and no list-sized temporary.
constexpr std::size_t kStageValues = 2048;
constexpr std::size_t kStageText = 16384;
// Deeper indents than this go to the writer directly.
constexpr std::size_t kStagedIndent = 256;

struct ListStage {
  explicit ListStage(XWriter& writer) : out(writer) {}
  XWriter& out;
  std::size_t used = 0;
  std::uint32_t values[kStageValues];  // only the first `used` are set
};

void stageFlush(ListStage& s) {
  xPutDwords(s.out, s.values, s.used);
  s.used = 0;
}

void stagePut(ListStage& s, std::uint32_t value) {
  if (s.used == kStageValues) stageFlush(s);
  s.values[s.used++] = value;
}

void stagePutFloat(ListStage& s, float value) { stagePut(s, std::bit_cast<std::uint32_t>(value)); }

// Binary list head: token and the number of values that follow.
void putListHead(XWriter& out, XToken token, std::size_t count) {
  xPutWord(out, token);
  xPutDword(out, static_cast<std::uint32_t>(count));
}

struct TextStage {
  explicit TextStage(XWriter& writer) : out(writer) {}
  XWriter& out;
  std::size_t used = 0;
  char text[kStageText];  // only the first `used` are set
};

void stageFlush(TextStage& s) {
  xPutBytes(s.out, s.text, s.used);
  s.used = 0;
}

// Room for n more bytes (n well below the block size).
char* stageRoom(TextStage& s, std::size_t n) {
  if (kStageText - s.used < n) stageFlush(s);
  return s.text + s.used;
}

template <std::size_t N>
void stageText(TextStage& s, const char (&text)[N]) {
  std::memcpy(stageRoom(s, N - 1), text, N - 1);
  s.used += N - 1;
}

void stageChar(TextStage& s, char c) {
  *stageRoom(s, 1) = c;
  ++s.used;
}

void stageFixed(TextStage& s, double value) { s.used += formatFixed(stageRoom(s, kFixedBufferSize), value); }

void stageInt(TextStage& s, long long value) { s.used += formatInt(stageRoom(s, 24), value); }

void stageIndent(TextStage& s, int indent) {
  if (indent <= 0) return;
  const auto n = static_cast<std::size_t>(indent);
  if (n > kStagedIndent) {
    stageFlush(s);
    xPutIndent(s.out, indent);
    return;
  }
  char* room = stageRoom(s, n);
  for (std::size_t i = 0; i < n; ++i) room[i] = ' ';
  s.used += n;
}

void putCountLine(XWriter& out, int indent, std::size_t count) {
  xPutIndent(out, indent);
  xPutInt(out, static_cast<long long>(count));
  xPutText(out, ";\n");
}

void putCount(XWriter& out, std::size_t count) {
  const std::uint32_t value = static_cast<std::uint32_t>(count);
  xPutIntegerList(out, &value, 1);
}

// One text row of a fixed-point triple, "a;b;c;", then the separator or, after the last, the ending.
void stageTriple(TextStage& s, int indent, float x, float y, float z, bool last) {
  stageIndent(s, indent);
  stageFixed(s, x);
  stageChar(s, ';');
  stageFixed(s, y);
  stageChar(s, ';');
  stageFixed(s, z);
  stageChar(s, ';');
  if (last) {
    stageText(s, ";\n\n");
  } else {
    stageText(s, ",\n");
  }
}

void writeVertices(const LwObject& object, XWriter& out, int indent) {
  const std::size_t count = object.vertices.size();
  if (out.binary) {
    putCount(out, count);
    putListHead(out, kTokenFloatList, count * 3);
    ListStage stage{out};
    for (const LwVertex& vertex : object.vertices) {
      const LwPoint p = vertexPosition(object, vertex);
      stagePutFloat(stage, p.x);
      stagePutFloat(stage, p.y);
      stagePutFloat(stage, p.z);
    }
    stageFlush(stage);
    return;
  }
  putCountLine(out, indent, count);
  TextStage stage{out};
  for (std::size_t i = 0; i < count; ++i) {
    const LwPoint p = vertexPosition(object, object.vertices[i]);
    stageTriple(stage, indent, p.x, p.y, p.z, i + 1 == count);
  }
  stageFlush(stage);
}

// Faces, or the normal numbers of their corners: "n;i,j,k;" per polygon.
// cornerValue gives the number written for the corner at a pool position.
template <typename CornerValue>
void writeFaceList(const LwObject& object, XWriter& out, int indent, const char* ending, CornerValue cornerValue) {
  const std::size_t polygonCount = object.polygons.size();
  if (out.binary) {
    std::size_t total = 1 + polygonCount;
    for (const LwPolygon& polygon : object.polygons) total += cornerCountOf(object, polygon);
    putListHead(out, kTokenIntegerList, total);
    ListStage stage{out};
    stagePut(stage, static_cast<std::uint32_t>(polygonCount));
    for (const LwPolygon& polygon : object.polygons) {
      const std::uint32_t corners = cornerCountOf(object, polygon);
      stagePut(stage, corners);
      for (std::uint32_t k = 0; k < corners; ++k) stagePut(stage, cornerValue(polygon.firstIndex + k));
    }
    stageFlush(stage);
    return;
  }
  putCountLine(out, indent, polygonCount);
  TextStage stage{out};
  for (std::size_t i = 0; i < polygonCount; ++i) {
    const LwPolygon& polygon = object.polygons[i];
    const std::uint32_t corners = cornerCountOf(object, polygon);
    stageIndent(stage, indent);
    stageInt(stage, corners);
    stageChar(stage, ';');
    for (std::uint32_t k = 0; k < corners; ++k) {
      if (k > 0) stageChar(stage, ',');
      stageInt(stage, cornerValue(polygon.firstIndex + k));
    }
    if (i + 1 < polygonCount) stageText(stage, ";,\n");
  }
  stageFlush(stage);
  xPutText(out, ending);
}

// One wrap pair per face: u set where the texture wraps across the u seam.
void writeFaceWraps(const LwObject& object, XWriter& out, int indent) {
  const std::size_t n = object.polygons.size();
  xBeginObject(out, indent, "MeshFaceWraps", nullptr);
  if (out.binary) {
    putListHead(out, kTokenIntegerList, 1 + 2 * n);
    ListStage stage{out};
    stagePut(stage, static_cast<std::uint32_t>(n));
    for (const LwPolygon& polygon : object.polygons) {
      stagePut(stage, polygon.wrapU == 1 ? 1 : 0);
      stagePut(stage, 0);
    }
    stageFlush(stage);
  } else {
    putCountLine(out, indent + 1, n);
    TextStage stage{out};
    for (std::size_t i = 0; i < n; ++i) {
      stageIndent(stage, indent + 1);
      if (object.polygons[i].wrapU == 1) {
        stageText(stage, "1;0;");
      } else {
        stageText(stage, "0;0;");
      }
      if (i + 1 < n) {
        stageText(stage, ",\n");
      } else {
        stageText(stage, ";\n");
      }
    }
    stageFlush(stage);
  }
  xEndObject(out, indent);
}

// usedOnly: list only the materials some face uses (a skinned mesh: engines make a buffer
// of each listed material, and an empty one breaks their skinning).
void writeMaterialList(const MaterialTable& table, const LwObject& object, bool usedOnly, XWriter& out, int indent) {
  std::vector<char> used(object.surfaces.size(), usedOnly ? 0 : 1);
  for (const LwPolygon& polygon : object.polygons) {
    if (polygon.surface >= 0 && static_cast<std::size_t>(polygon.surface) < used.size()) used[static_cast<std::size_t>(polygon.surface)] = 1;
  }
  // Local list: each distinct material of the object, in order of first appearance.
  std::vector<std::uint32_t> local;
  std::vector<std::uint32_t> surfaceLocal(object.surfaces.size(), 0);
  std::vector<std::int32_t> localOf(table.entries.size(), -1);
  for (std::size_t s = 0; s < object.surfaces.size(); ++s) {
    if (used[s] == 0) continue;
    const std::int32_t m = object.surfaces[s].materialIndex;
    if (m < 0 || static_cast<std::size_t>(m) >= table.entries.size()) continue;
    if (localOf[static_cast<std::size_t>(m)] < 0) {
      localOf[static_cast<std::size_t>(m)] = static_cast<std::int32_t>(local.size());
      local.push_back(static_cast<std::uint32_t>(m));
    }
    surfaceLocal[s] = static_cast<std::uint32_t>(localOf[static_cast<std::size_t>(m)]);
  }
  // Without any material there is nothing a face could refer to.
  if (local.empty()) return;

  auto faceIndex = [&](const LwPolygon& polygon) -> std::uint32_t {
    if (polygon.surface < 0 || static_cast<std::size_t>(polygon.surface) >= surfaceLocal.size()) return 0;
    return surfaceLocal[static_cast<std::size_t>(polygon.surface)];
  };
  // One index per face, also when all are equal: readers (Wine's among them) refuse a
  // shorter list.
  const std::size_t nFaceIndexes = object.polygons.size();

  xBeginObject(out, indent, "MeshMaterialList", nullptr);
  if (out.binary) {
    putListHead(out, kTokenIntegerList, 2 + nFaceIndexes);
    ListStage stage{out};
    stagePut(stage, static_cast<std::uint32_t>(local.size()));
    stagePut(stage, static_cast<std::uint32_t>(nFaceIndexes));
    for (std::size_t i = 0; i < nFaceIndexes; ++i) stagePut(stage, faceIndex(object.polygons[i]));
    stageFlush(stage);
  } else {
    putCountLine(out, indent + 1, local.size());
    putCountLine(out, indent + 1, nFaceIndexes);
    TextStage stage{out};
    stageIndent(stage, indent + 1);
    for (std::size_t i = 0; i < nFaceIndexes; ++i) {
      if (i > 0) {
        if (i % kFaceIndexesPerLine == 0) {
          stageText(stage, ",\n");
          stageIndent(stage, indent + 1);
        } else {
          stageChar(stage, ',');
        }
      }
      stageInt(stage, faceIndex(object.polygons[i]));
    }
    stageText(stage, ";;\n");
    stageFlush(stage);
  }
  for (const std::uint32_t m : local) xPutReference(out, indent + 1, materialUniqueName(table, static_cast<int>(m)));
  xEndObject(out, indent);
}

// Returns the number of normals written (those some corner uses).
std::size_t writeNormals(const MessageSink& sink, const LwObject& object, XWriter& out, int indent) {
  std::vector<std::uint32_t> number(object.normals.size(), kNotNumbered);
  std::uint32_t n = 0;
  for (std::size_t i = 0; i < object.normals.size(); ++i)
    if (object.normals[i].useCount > 0) number[i] = n++;
  say(sink, " %u Normals", n);
  if (n == 0) return 0;

  auto cornerNormal = [&](std::uint32_t position) -> std::uint32_t {
    if (position >= object.cornerNormals.size()) return 0;
    const std::uint32_t entry = object.cornerNormals[position];
    if (entry >= number.size() || number[entry] == kNotNumbered) return 0;
    return number[entry];
  };

  xBeginObject(out, indent, "MeshNormals", nullptr);
  if (out.binary) {
    putCount(out, n);
    putListHead(out, kTokenFloatList, std::size_t{n} * 3);
    ListStage stage{out};
    for (const LwNormal& normal : object.normals) {
      if (normal.useCount <= 0) continue;
      stagePutFloat(stage, normal.x);
      stagePutFloat(stage, normal.y);
      stagePutFloat(stage, normal.z);
    }
    stageFlush(stage);
  } else {
    putCountLine(out, indent + 1, n);
    TextStage stage{out};
    std::uint32_t written = 0;
    for (const LwNormal& normal : object.normals) {
      if (normal.useCount <= 0) continue;
      stageTriple(stage, indent + 1, normal.x, normal.y, normal.z, ++written == n);
    }
    stageFlush(stage);
  }
  writeFaceList(object, out, indent + 1, ";;\n", cornerNormal);
  xEndObject(out, indent);
  return n;
}

// True when a polygon's surface takes coordinates from a UV map: then they are written even
// where every one of them is (0, 0).
bool usesUvMap(const LwObject& object) {
  for (const LwPolygon& polygon : object.polygons) {
    if (polygon.surface >= 0 && static_cast<std::size_t>(polygon.surface) < object.surfaces.size() &&
        object.surfaces[static_cast<std::size_t>(polygon.surface)].uvMap >= 0)
      return true;
  }
  return false;
}

void writeTextureCoords(const LwObject& object, bool flip, XWriter& out, int indent) {
  bool any = false;
  for (const LwVertex& vertex : object.vertices) {
    if (vertex.u != 0.0 || vertex.v != 0.0) {
      any = true;
      break;
    }
  }
  if (!any && !usesUvMap(object)) return;

  xBeginObject(out, indent, "MeshTextureCoords", nullptr);
  if (out.binary) {
    putCount(out, object.vertices.size());
    putListHead(out, kTokenFloatList, object.vertices.size() * 2);
    ListStage stage{out};
    for (const LwVertex& vertex : object.vertices) {
      stagePutFloat(stage, static_cast<float>(vertex.u));
      stagePutFloat(stage, static_cast<float>(flip ? 1.0 - vertex.v : vertex.v));
    }
    stageFlush(stage);
  } else {
    // Pairs are printed from the double values, one pair a line.
    putCountLine(out, indent + 1, object.vertices.size());
    const std::size_t count = object.vertices.size();
    TextStage stage{out};
    for (std::size_t i = 0; i < count; ++i) {
      const LwVertex& vertex = object.vertices[i];
      stageIndent(stage, indent + 1);
      stageFixed(stage, vertex.u);
      stageChar(stage, ';');
      stageFixed(stage, flip ? 1.0 - vertex.v : vertex.v);
      stageChar(stage, ';');
      if (i + 1 < count) {
        stageChar(stage, '\n');
      } else {
        stageText(stage, ";\n");
      }
    }
    stageFlush(stage);
  }
  xEndObject(out, indent);
}

// One colour per vertex: "index;r;g;b;a;;" in text; in binary an integer list (the count
// and the first index) and then float lists and integer lists in turn.
void writeVertexColors(const LwObject& object, XWriter& out, int indent) {
  const std::size_t count = object.vertices.size();
  xBeginObject(out, indent, "MeshVertexColors", nullptr);
  if (out.binary) {
    for (std::size_t i = 0; i < count; ++i) {
      const std::uint32_t head[2] = {static_cast<std::uint32_t>(count), static_cast<std::uint32_t>(i)};
      xPutIntegerList(out, i == 0 ? head : head + 1, i == 0 ? 2 : 1);
      xPutFloatList(out, object.vertexColors[i].rgba, 4);
    }
  } else {
    putCountLine(out, indent + 1, count);
    TextStage stage{out};
    for (std::size_t i = 0; i < count; ++i) {
      stageIndent(stage, indent + 1);
      stageInt(stage, static_cast<long long>(i));
      for (const float c : object.vertexColors[i].rgba) {
        stageChar(stage, ';');
        stageFixed(stage, c);
      }
      if (i + 1 < count) {
        stageText(stage, ";;,\n");
      } else {
        stageText(stage, ";;;\n");
      }
    }
    stageFlush(stage);
  }
  xEndObject(out, indent);
}

}  // namespace

bool meshHasVertexColors(const LwObject& object) {
  for (const LwVertexColor& colour : object.vertexColors)
    if (colour.set) return true;
  return false;
}

bool meshWritten(const LwObject& object) {
  return !object.vertices.empty() && object.dissolve != 1.0 && !object.polygons.empty();
}

int writeMesh(const ConversionContext& context, const MaterialTable& table, const LwObject& object, XWriter& out,
              int indent, const MeshSkin* skin) {
  if (object.vertices.empty() || object.dissolve == 1.0) return 0;
  // A Mesh without faces fails whole files in DirectX 9's loader; the frame stays.
  if (object.polygons.empty()) {
    sayText(context.sink, " no faces: no Mesh written");
    return 0;
  }
  const ConvertOptions& opts = context.options;

  const std::string given = meshName(opts.framePrefix, object);
  const std::string name = xName(given, out.binary, out.codePage);
  xBeginObject(out, indent, "Mesh", given.empty() ? nullptr : name.c_str());

  say(context.sink, " %zu Vertices ", object.vertices.size());
  writeVertices(object, out, indent + 1);

  say(context.sink, " %zu Polygons ", object.polygons.size());
  writeFaceList(object, out, indent + 1, ";;\n\n",
                [&](std::uint32_t position) { return object.indices[position]; });

  if (opts.textureWrap != 0) writeFaceWraps(object, out, indent + 1);
  writeMaterialList(table, object, skin != nullptr, out, indent + 1);
  if (opts.noNormals == 0) writeNormals(context.sink, object, out, indent + 1);
  writeTextureCoords(object, opts.flipTextureV != 0, out, indent + 1);
  if (meshHasVertexColors(object)) writeVertexColors(object, out, indent + 1);
  if (skin != nullptr) writeSkin(*skin, out, indent + 1);
  xEndObject(out, indent);
  if (object.vertices.size() > kEngineVertexLimit) {
    const std::string& named = object.name.empty() ? object.filePath : object.name;
    say(context.sink, "\nWarning! %s has %zu vertices: engines with 16-bit indices show at most %zu", named.c_str(),
        object.vertices.size(), kEngineVertexLimit);
  }
  return 0;
}
