#include "xscene/mesh.h"

#include <cstdint>
#include <cstdio>
#include <string>

#include "core/options.h"
#include "ready/names.h"
#include "xscene/skin.h"

namespace torvo {

namespace {

// Face indexes per line in a text material list.
constexpr std::size_t kFaceIndexesPerLine = 32;
// Engines that index vertices with 16 bits (DirectX 9 meshes by default, Irrlicht) wrap past this.
constexpr std::size_t kEngineVertexLimit = 0xFFFF;

// Vertices made ready a run at a time into a buffer on the stack.
constexpr std::size_t kPositionRun = 1024;

void writeVertices(const LwObject& object, XWriter& out, int indent) {
  const std::size_t count = object.vertices.size();
  xPutCount(out, indent, count);
  xBeginList(out, kTokenFloatList, 3 * count);
  float run[3 * kPositionRun];
  for (std::size_t first = 0; first < count; first += kPositionRun) {
    const std::size_t n = count - first < kPositionRun ? count - first : kPositionRun;
    readyPositions(object, first, n, run);
    if (out.binary) {
      xPutFloats(out, run, 3 * n);
    } else {
      xPutFloatRows(out, indent, run, n, 3, first + n < count ? ",\n" : ";\n\n");
    }
  }
}

// Faces, or the normal numbers of their corners: "n;i,j,k;" per polygon, in binary one
// integer list with the count first. cornerValue gives the number written for the corner
// at a pool position.
template <typename CornerValue>
void writeFaceList(const LwObject& object, const ReadyMesh& mesh, XWriter& out, int indent, const char* ending,
                   CornerValue cornerValue) {
  const std::size_t polygonCount = object.polygons.size();
  xBeginList(out, kTokenIntegerList, 1 + polygonCount + mesh.corners);
  if (out.binary) {
    XRun run;
    xRunPut(out, run, static_cast<std::uint32_t>(polygonCount));
    for (const LwPolygon& polygon : object.polygons) {
      const std::uint32_t corners = cornerCountOf(polygon);
      xRunPut(out, run, corners);
      for (std::uint32_t k = 0; k < corners; ++k) xRunPut(out, run, static_cast<std::uint32_t>(cornerValue(polygon.firstIndex + k)));
    }
    xRunFlush(out, run);
    return;
  }
  xPutRowIndent(out, indent);
  xPutListInt(out, static_cast<long long>(polygonCount));
  xPutMark(out, ";\n");
  for (std::size_t i = 0; i < polygonCount; ++i) {
    const LwPolygon& polygon = object.polygons[i];
    xPutTextFace(out, indent, cornerCountOf(polygon), [&](std::uint32_t k) { return cornerValue(polygon.firstIndex + k); });
    if (i + 1 < polygonCount) xPutMark(out, ";,\n");
  }
  xPutMark(out, ending);
}

// One wrap pair per face: u set where the texture wraps across the u seam.
void writeFaceWraps(const LwObject& object, XWriter& out, int indent) {
  const std::size_t n = object.polygons.size();
  xBeginObject(out, indent, "MeshFaceWraps", nullptr);
  xBeginList(out, kTokenIntegerList, 1 + 2 * n);
  xPutRowIndent(out, indent + 1);
  xPutListInt(out, static_cast<long long>(n));
  xPutMark(out, ";\n");
  for (std::size_t i = 0; i < n; ++i) {
    xPutRowIndent(out, indent + 1);
    xPutListInt(out, object.polygons[i].wrapU == 1 ? 1 : 0);
    xPutMark(out, ";");
    xPutListInt(out, 0);
    xPutMark(out, i + 1 < n ? ";,\n" : ";;\n");
  }
  xEndObject(out, indent);
}

void writeMaterialList(const MaterialTable& table, const LwObject& object, const ReadyMesh& mesh, XWriter& out,
                       int indent) {
  // Without any material there is nothing a face could refer to.
  if (mesh.materials.empty()) return;
  auto faceIndex = [&](const LwPolygon& polygon) -> std::uint32_t {
    return mesh.surfaceMaterials[static_cast<std::size_t>(polygon.surface)];
  };
  // One index per face, also when all are equal: readers (Wine's among them) refuse a
  // shorter list.
  const std::size_t nFaceIndexes = object.polygons.size();

  xBeginObject(out, indent, "MeshMaterialList", nullptr);
  xBeginList(out, kTokenIntegerList, 2 + nFaceIndexes);
  for (const std::size_t count : {mesh.materials.size(), nFaceIndexes}) {
    xPutRowIndent(out, indent + 1);
    xPutListInt(out, static_cast<long long>(count));
    xPutMark(out, ";\n");
  }
  if (out.binary) {
    XRun run;
    for (const LwPolygon& polygon : object.polygons) xRunPut(out, run, faceIndex(polygon));
    xRunFlush(out, run);
  } else {
    xPutRowIndent(out, indent + 1);
    for (std::size_t i = 0; i < nFaceIndexes; ++i) {
      if (i > 0 && i % kFaceIndexesPerLine == 0) {
        xPutMark(out, ",\n");
        xPutRowIndent(out, indent + 1);
      } else if (i > 0) {
        xPutMark(out, ",");
      }
      xPutListInt(out, faceIndex(object.polygons[i]));
    }
  }
  xPutMark(out, ";;\n");
  for (const std::uint32_t m : mesh.materials) xPutReference(out, indent + 1, materialUniqueName(table, static_cast<int>(m)));
  xEndObject(out, indent);
}

void writeNormals(const MessageSink& sink, const LwObject& object, const ReadyMesh& mesh, XWriter& out, int indent) {
  const std::uint32_t n = mesh.normalCount;
  report(sink, Message::kNormalCount, n);
  if (n == 0) return;

  auto cornerNormal = [&](std::uint32_t position) -> std::uint32_t {
    if (position >= object.cornerNormals.size()) return 0;
    const std::uint32_t entry = object.cornerNormals[position];
    if (entry >= mesh.normalNumbers.size() || mesh.normalNumbers[entry] == kNotNumbered) return 0;
    return mesh.normalNumbers[entry];
  };

  xBeginObject(out, indent, "MeshNormals", nullptr);
  xPutCount(out, indent + 1, n);
  xBeginList(out, kTokenFloatList, std::size_t{n} * 3);
  std::uint32_t written = 0;
  if (out.binary) {
    XRun run;
    for (std::size_t i = 0; i < object.normals.size() && i < mesh.normalNumbers.size(); ++i) {
      if (mesh.normalNumbers[i] == kNotNumbered) continue;
      for (const float value : {object.normals[i].x, object.normals[i].y, object.normals[i].z}) xRunPutFloat(out, run, value);
    }
    xRunFlush(out, run);
  }
  for (std::size_t i = 0; i < object.normals.size() && i < mesh.normalNumbers.size() && !out.binary; ++i) {
    if (mesh.normalNumbers[i] == kNotNumbered) continue;
    const LwNormal& normal = object.normals[i];
    const float row[3] = {normal.x, normal.y, normal.z};
    xPutTextRow(out, indent + 1, row, 3, ++written == n ? ";\n\n" : ",\n");
  }
  writeFaceList(object, mesh, out, indent + 1, ";;\n", cornerNormal);
  xEndObject(out, indent);
}

// Pairs are printed from the double values, one pair a line.
void writeTextureCoords(const LwObject& object, XWriter& out, int indent) {
  const std::size_t count = object.vertices.size();
  xBeginObject(out, indent, "MeshTextureCoords", nullptr);
  xPutCount(out, indent + 1, count);
  xBeginList(out, kTokenFloatList, count * 2);
  if (out.binary) {
    XRun run;
    for (const LwVertex& vertex : object.vertices) {
      xRunPutFloat(out, run, vertex.u);
      xRunPutFloat(out, run, vertex.v);
    }
    xRunFlush(out, run);
    xEndObject(out, indent);
    return;
  }
  for (std::size_t i = 0; i < count; ++i) {
    const LwVertex& vertex = object.vertices[i];
    const double row[2] = {vertex.u, vertex.v};
    xPutTextRow(out, indent + 1, row, 2, i + 1 < count ? "\n" : ";\n");
  }
  xEndObject(out, indent);
}

// One colour per vertex: "index;r;g;b;a;;" in text; in binary an integer list (the count
// and the first index) and then float lists and integer lists in turn.
void writeVertexColors(const LwObject& object, XWriter& out, int indent) {
  const std::size_t count = object.vertices.size();
  xBeginObject(out, indent, "MeshVertexColors", nullptr);
  for (std::size_t i = 0; i < count; ++i) {
    xBeginList(out, kTokenIntegerList, i == 0 ? 2 : 1);
    if (i == 0) {
      xPutRowIndent(out, indent + 1);
      xPutListInt(out, static_cast<long long>(count));
      xPutMark(out, ";\n");
    }
    xPutRowIndent(out, indent + 1);
    xPutListInt(out, static_cast<long long>(i));
    xBeginList(out, kTokenFloatList, 4);
    for (const float c : object.vertexColors[i].rgba) {
      xPutMark(out, ";");
      xPutListFloat(out, c);
    }
    xPutMark(out, i + 1 < count ? ";;,\n" : ";;;\n");
  }
  xEndObject(out, indent);
}

}  // namespace

void writeMesh(const ConversionContext& context, const MaterialTable& table, const LwObject& object,
              const ReadyMesh& mesh, XWriter& out, int indent, const MeshSkin* skin) {
  if (object.vertices.empty() || object.dissolve == 1.0) return;
  // A Mesh without faces fails whole files in DirectX 9's loader; the frame stays.
  if (object.polygons.empty()) {
    report(context.sink, Message::kNoFacesNoMesh);
    return;
  }
  const ConvertOptions& opts = context.options;

  const std::string given = meshName(opts.framePrefix, object);
  const std::string name = xName(given, out.binary, out.codePage);
  xBeginObject(out, indent, "Mesh", given.empty() ? nullptr : name.c_str());

  report(context.sink, Message::kVertexCount, object.vertices.size());
  writeVertices(object, out, indent + 1);

  report(context.sink, Message::kPolygonCount, object.polygons.size());
  writeFaceList(object, mesh, out, indent + 1, ";;\n\n",
                [&](std::uint32_t position) { return object.indices[position]; });

  if (opts.textureWrap != 0) writeFaceWraps(object, out, indent + 1);
  writeMaterialList(table, object, mesh, out, indent + 1);
  if (opts.noNormals == 0) writeNormals(context.sink, object, mesh, out, indent + 1);
  if (mesh.textureCoords) writeTextureCoords(object, out, indent + 1);
  if (mesh.vertexColors) writeVertexColors(object, out, indent + 1);
  if (skin != nullptr) writeSkin(*skin, out, indent + 1);
  xEndObject(out, indent);
  if (object.vertices.size() > kEngineVertexLimit) {
    const std::string& named = object.name.empty() ? object.filePath : object.name;
    report(context.sink, Message::kManyVertices, named, object.vertices.size(), kEngineVertexLimit);
  }
}

}  // namespace torvo
