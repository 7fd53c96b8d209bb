#include "xscene/mesh.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "app/options.h"

namespace {

// Face indexes per line in a text material list.
constexpr std::size_t kFaceIndexesPerLine = 32;
constexpr std::uint32_t kNotNumbered = 0xFFFFFFFFu;

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

void putCountLine(XWriter& out, int indent, std::size_t count) {
  xPutIndent(out, indent);
  xPutInt(out, static_cast<long long>(count));
  xPutText(out, ";\n");
}

void putCount(XWriter& out, std::size_t count) {
  const std::uint32_t value = static_cast<std::uint32_t>(count);
  xPutIntegerList(out, &value, 1);
}

// Text rows of fixed-point tuples: "a;b;c;" joined by separator, ending with ending.
void putTextRows(XWriter& out, int indent, const std::vector<float>& values, int width, const char* separator,
                 const char* ending) {
  const std::size_t rows = values.size() / static_cast<std::size_t>(width);
  for (std::size_t r = 0; r < rows; ++r) {
    xPutIndent(out, indent);
    for (int k = 0; k < width; ++k) {
      xPutFixed(out, values[r * static_cast<std::size_t>(width) + static_cast<std::size_t>(k)]);
      xPutChar(out, ';');
    }
    xPutText(out, r + 1 < rows ? separator : ending);
  }
}

void writeVertices(const LwObject& object, XWriter& out, int indent) {
  std::vector<float> xyz;
  xyz.reserve(object.vertices.size() * 3);
  for (const LwVertex& vertex : object.vertices) {
    const LwPoint p = vertexPosition(object, vertex);
    xyz.push_back(p.x);
    xyz.push_back(p.y);
    xyz.push_back(p.z);
  }
  if (out.binary) {
    putCount(out, object.vertices.size());
    xPutFloatList(out, xyz.data(), xyz.size());
    return;
  }
  putCountLine(out, indent, object.vertices.size());
  putTextRows(out, indent, xyz, 3, ",\n", ";\n\n");
}

// Faces, or the normal numbers of their corners: "n;i,j,k;" per polygon.
// cornerValue gives the number written for the corner at a pool position.
template <typename CornerValue>
void writeFaceList(const LwObject& object, XWriter& out, int indent, const char* ending, CornerValue cornerValue) {
  const std::size_t polygonCount = object.polygons.size();
  if (out.binary) {
    std::vector<std::uint32_t> list;
    list.reserve(1 + polygonCount * 4);
    list.push_back(static_cast<std::uint32_t>(polygonCount));
    for (const LwPolygon& polygon : object.polygons) {
      const std::uint32_t corners = cornerCountOf(object, polygon);
      list.push_back(corners);
      for (std::uint32_t k = 0; k < corners; ++k) list.push_back(cornerValue(polygon.firstIndex + k));
    }
    xPutIntegerList(out, list.data(), list.size());
    return;
  }
  putCountLine(out, indent, polygonCount);
  for (std::size_t i = 0; i < polygonCount; ++i) {
    const LwPolygon& polygon = object.polygons[i];
    const std::uint32_t corners = cornerCountOf(object, polygon);
    xPutIndent(out, indent);
    xPutInt(out, corners);
    xPutChar(out, ';');
    for (std::uint32_t k = 0; k < corners; ++k) {
      if (k > 0) xPutChar(out, ',');
      xPutInt(out, cornerValue(polygon.firstIndex + k));
    }
    if (i + 1 < polygonCount) xPutText(out, ";,\n");
  }
  xPutText(out, ending);
}

// One wrap pair per face: u set where the texture wraps across the u seam.
void writeFaceWraps(const LwObject& object, XWriter& out, int indent) {
  const std::size_t n = object.polygons.size();
  xBeginObject(out, indent, "MeshFaceWraps", nullptr);
  if (out.binary) {
    std::vector<std::uint32_t> list;
    list.reserve(1 + 2 * n);
    list.push_back(static_cast<std::uint32_t>(n));
    for (const LwPolygon& polygon : object.polygons) {
      list.push_back(polygon.wrapU == 1 ? 1 : 0);
      list.push_back(0);
    }
    xPutIntegerList(out, list.data(), list.size());
  } else {
    putCountLine(out, indent + 1, n);
    for (std::size_t i = 0; i < n; ++i) {
      xPutIndent(out, indent + 1);
      xPutText(out, object.polygons[i].wrapU == 1 ? "1;0;" : "0;0;");
      xPutText(out, i + 1 < n ? ",\n" : ";\n");
    }
  }
  xEndObject(out, indent);
}

void writeMaterialList(const MaterialTable& table, const LwObject& object, XWriter& out, int indent) {
  // Local list: each distinct material of the object, in order of first appearance.
  std::vector<std::uint32_t> local;
  std::vector<std::uint32_t> surfaceLocal(object.surfaces.size(), 0);
  std::vector<std::int32_t> localOf(table.entries.size(), -1);
  for (std::size_t s = 0; s < object.surfaces.size(); ++s) {
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
  const std::size_t polygonCount = object.polygons.size();
  std::size_t nFaceIndexes = 1;
  const std::uint32_t first = faceIndex(object.polygons[0]);
  for (std::size_t i = 1; i < polygonCount; ++i) {
    if (faceIndex(object.polygons[i]) != first) {
      nFaceIndexes = polygonCount;
      break;
    }
  }

  xBeginObject(out, indent, "MeshMaterialList", nullptr);
  if (out.binary) {
    std::vector<std::uint32_t> list;
    list.reserve(2 + nFaceIndexes);
    list.push_back(static_cast<std::uint32_t>(local.size()));
    list.push_back(static_cast<std::uint32_t>(nFaceIndexes));
    for (std::size_t i = 0; i < nFaceIndexes; ++i) list.push_back(faceIndex(object.polygons[i]));
    xPutIntegerList(out, list.data(), list.size());
  } else {
    putCountLine(out, indent + 1, local.size());
    putCountLine(out, indent + 1, nFaceIndexes);
    xPutIndent(out, indent + 1);
    for (std::size_t i = 0; i < nFaceIndexes; ++i) {
      if (i > 0) {
        if (i % kFaceIndexesPerLine == 0) {
          xPutText(out, ",\n");
          xPutIndent(out, indent + 1);
        } else {
          xPutChar(out, ',');
        }
      }
      xPutInt(out, faceIndex(object.polygons[i]));
    }
    xPutText(out, ";;\n");
  }
  for (const std::uint32_t m : local) xPutReference(out, indent + 1, materialUniqueName(table, static_cast<int>(m)));
  xEndObject(out, indent);
}

// Returns the number of normals written (those some corner uses).
std::size_t writeNormals(const LwObject& object, XWriter& out, int indent) {
  std::vector<std::uint32_t> number(object.normals.size(), kNotNumbered);
  std::vector<float> xyz;
  std::uint32_t n = 0;
  for (std::size_t i = 0; i < object.normals.size(); ++i) {
    const LwNormal& normal = object.normals[i];
    if (normal.useCount <= 0) continue;
    number[i] = n++;
    xyz.push_back(normal.x);
    xyz.push_back(normal.y);
    xyz.push_back(normal.z);
  }
  std::printf(" %u Normals", n);
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
    xPutFloatList(out, xyz.data(), xyz.size());
  } else {
    putCountLine(out, indent + 1, n);
    putTextRows(out, indent + 1, xyz, 3, ",\n", ";\n\n");
  }
  writeFaceList(object, out, indent + 1, ";;\n", cornerNormal);
  xEndObject(out, indent);
  return n;
}

void writeTextureCoords(const LwObject& object, XWriter& out, int indent) {
  bool any = false;
  for (const LwVertex& vertex : object.vertices) {
    if (vertex.u != 0.0 || vertex.v != 0.0) {
      any = true;
      break;
    }
  }
  if (!any) return;

  const bool flip = options().flipTextureV != 0;
  xBeginObject(out, indent, "MeshTextureCoords", nullptr);
  if (out.binary) {
    std::vector<float> uv;
    uv.reserve(object.vertices.size() * 2);
    for (const LwVertex& vertex : object.vertices) {
      uv.push_back(static_cast<float>(vertex.u));
      uv.push_back(static_cast<float>(flip ? 1.0 - vertex.v : vertex.v));
    }
    putCount(out, object.vertices.size());
    xPutFloatList(out, uv.data(), uv.size());
  } else {
    // Pairs are printed from the double values, one pair a line.
    putCountLine(out, indent + 1, object.vertices.size());
    const std::size_t count = object.vertices.size();
    for (std::size_t i = 0; i < count; ++i) {
      const LwVertex& vertex = object.vertices[i];
      xPutIndent(out, indent + 1);
      xPutFixed(out, vertex.u);
      xPutChar(out, ';');
      xPutFixed(out, flip ? 1.0 - vertex.v : vertex.v);
      xPutChar(out, ';');
      xPutText(out, i + 1 < count ? "\n" : ";\n");
    }
  }
  xEndObject(out, indent);
}

}  // namespace

int writeMesh(const MaterialTable& table, const LwObject& object, XWriter& out, int indent) {
  if (object.vertices.empty() || object.dissolve == 1.0) return 0;
  const ConvertOptions& opts = options();

  std::string name;
  bool named = false;
  if (opts.framePrefix.empty() && !object.name.empty()) {
    name = "Mesh" + object.name;
    if (name.size() > kNameSize - 1) name.resize(kNameSize - 1);
    named = true;
  }
  xBeginObject(out, indent, "Mesh", named ? name.c_str() : nullptr);

  std::printf(" %zu Vertices ", object.vertices.size());
  writeVertices(object, out, indent + 1);

  std::printf(" %zu Polygons ", object.polygons.size());
  writeFaceList(object, out, indent + 1, ";;\n\n",
                [&](std::uint32_t position) { return object.indices[position]; });

  if (opts.textureWrap != 0 && !object.polygons.empty()) writeFaceWraps(object, out, indent + 1);
  if (!object.polygons.empty()) writeMaterialList(table, object, out, indent + 1);
  if (opts.noNormals == 0) writeNormals(object, out, indent + 1);
  writeTextureCoords(object, out, indent + 1);
  xEndObject(out, indent);
  return 0;
}
