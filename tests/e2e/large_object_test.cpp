// A large smoothed, mapped object (more vertices and normals than 16-bit indices
// can hold) converted by the real program and read back by an independent reader.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "lwbuild.h"
#include "support/run.h"

using namespace lwbuild;
using testsupport::TempDir;

namespace {

// A 256 x 255 UV sphere, smoothed, its polygons alternating between two surfaces with
// different planar maps, so that nearly every point is split in two.
Bytes checkeredSphere() {
  const Geometry g = uvSphere(256, 255, 100.0, [](unsigned band, unsigned s) { return 1 + static_cast<int>((band + s) % 2); });
  LwobBuilder builder;
  builder.surfaces({"Light", "Dark"}).points(g.points).polygons(g.polygons);
  builder.surface("Light", {subU16("FLAG", 4), subString("CTEX", "Planar Image Map"), subU16("TFLG", 2),
                            subVec("TSIZ", 200, 200, 200)});
  builder.surface("Dark", {subColor(20, 20, 20), subString("CTEX", "Planar Image Map"), subU16("TFLG", 4),
                           subVec("TSIZ", 200, 200, 200)});
  return builder.bytes();
}

struct Written {
  std::vector<double> xyz;                 // per vertex
  std::vector<double> uv;                  // per vertex
  std::vector<std::vector<long>> faces;    // vertex indices
  long normals = 0;
  std::vector<double> normalXyz;           // the written normals
  std::vector<std::vector<long>> faceNormals;
};

long countAfter(std::istringstream& in) {
  std::string line;
  std::getline(in, line);
  return std::strtol(line.c_str(), nullptr, 10);
}

// "x;y;z;" lines, flattened.
std::vector<double> readVectors(std::istringstream& in, long count) {
  std::vector<double> xyz;
  std::string line;
  for (long i = 0; i < count && std::getline(in, line); ++i) {
    double a = 0, b = 0, c = 0;
    std::sscanf(line.c_str(), " %lf;%lf;%lf;", &a, &b, &c);
    xyz.insert(xyz.end(), {a, b, c});
  }
  return xyz;
}

// "n;i,j,k;" lines.
std::vector<std::vector<long>> readFaces(std::istringstream& in, long count) {
  std::vector<std::vector<long>> faces;
  std::string line;
  for (long i = 0; i < count && std::getline(in, line); ++i) {
    std::vector<long> face;
    const char* p = line.c_str();
    const long corners = std::strtol(p, const_cast<char**>(&p), 10);
    for (long k = 0; k < corners; ++k) face.push_back(std::strtol(p + 1, const_cast<char**>(&p), 10));
    faces.push_back(face);
  }
  return faces;
}

// Reads back the mesh of our own text output.
Written parseText(const std::string& x) {
  Written w;
  const std::size_t meshAt = x.find("\nMesh {\n");  // past the templates
  std::istringstream in(x.substr(meshAt + 8));
  const long vertices = countAfter(in);
  std::string line;
  w.xyz = readVectors(in, vertices);
  std::getline(in, line);  // blank
  const long faces = countAfter(in);
  w.faces = readFaces(in, faces);
  const std::size_t normalsAt = x.find(" MeshNormals {\n", meshAt);
  if (normalsAt != std::string::npos) {
    std::istringstream ns(x.substr(normalsAt + 15));
    w.normals = countAfter(ns);
    w.normalXyz = readVectors(ns, w.normals);
    std::getline(ns, line);  // blank
    const long faceCount = countAfter(ns);
    w.faceNormals = readFaces(ns, faceCount);
  }
  const std::size_t uvAt = x.find(" MeshTextureCoords {\n", meshAt);
  if (uvAt != std::string::npos) {
    std::istringstream uvs(x.substr(uvAt + 21));
    const long count = countAfter(uvs);
    for (long i = 0; i < count && std::getline(uvs, line); ++i) {
      double u, v;
      std::sscanf(line.c_str(), " %lf;%lf;", &u, &v);
      w.uv.insert(w.uv.end(), {u, v});
    }
  }
  return w;
}

TEST(LargeObject, SphereWithOver65536VerticesAndNormalsReadsBackExactly) {
  TempDir dir;
  ASSERT_TRUE(writeFile(dir / "sphere.lwo", checkeredSphere()));
  const auto text = testsupport::run(TORVO_EXE, {"sphere.lwo", "text.x"}, dir.path());
  ASSERT_EQ(text.exitCode, 0) << text.out;
  const auto binary = testsupport::run(TORVO_EXE, {"-b", "sphere.lwo", "binary.x"}, dir.path());
  ASSERT_EQ(binary.exitCode, 0) << binary.out;

  const Written w = parseText(testsupport::readFile(dir / "text.X"));
  const std::size_t vertexCount = w.xyz.size() / 3;
  EXPECT_GT(vertexCount, 65536u);
  EXPECT_GT(w.normals, 65536);  // flat dark faces keep their own normals
  ASSERT_EQ(w.faces.size(), 256u * 255u);
  ASSERT_EQ(w.uv.size(), 2 * vertexCount);
  ASSERT_EQ(w.faceNormals.size(), w.faces.size());
  EXPECT_NE(text.out.find(" " + std::to_string(vertexCount) + " Vertices  65280 Polygons  " +
                          std::to_string(w.normals) + " Normals"),
            std::string::npos)
      << text.out;

  for (const char* file : {"text.X", "binary.X"}) {
    SCOPED_TRACE(file);
    const auto r = testsupport::run(TORVO_ASSIMP_READER, {"-v", file}, dir.path());
    if (r.out.find("unavailable") != std::string::npos) GTEST_SKIP() << "assimp is not available";
    ASSERT_EQ(r.exitCode, 0) << r.out.substr(0, 400);
    // assimp splits the mesh by material, gives every face corner its own vertex,
    // turns the faces around, negates z and flips v; map each of its corners back to ours.
    std::istringstream in(r.out);
    std::string line;
    std::vector<std::vector<std::vector<long>>> faces;      // [mesh][face] -> its vertices
    std::vector<std::vector<std::vector<double>>> verts;    // [mesh][vertex] -> x y z nx ny nz u v
    std::size_t faceTotal = 0;
    while (std::getline(in, line)) {
      unsigned mesh, index;
      if (line.rfind("face ", 0) == 0) {
        std::istringstream f(line.substr(5));
        f >> mesh >> index;
        if (faces.size() <= mesh) faces.resize(mesh + 1);
        std::vector<long> corners;
        for (long c; f >> c;) corners.push_back(c);
        faces[mesh].push_back(corners);
        ++faceTotal;
      } else if (line.rfind("vertex ", 0) == 0) {
        std::vector<double> v(8);
        std::sscanf(line.c_str(), "vertex %u %u %lf %lf %lf normal %lf %lf %lf uv %lf %lf", &mesh, &index, &v[0],
                    &v[1], &v[2], &v[3], &v[4], &v[5], &v[6], &v[7]);
        if (verts.size() <= mesh) verts.resize(mesh + 1);
        verts[mesh].push_back(v);
      }
    }
    ASSERT_EQ(faceTotal, w.faces.size());
    // Faces come out grouped by material in their original order: surfaces alternate, so
    // our face i is mesh (i's surface) in order. Walk both groups side by side.
    std::size_t next[2] = {0, 0};
    int mismatches = 0;
    for (std::size_t i = 0; i < w.faces.size() && mismatches < 5; ++i) {
      const int j = static_cast<int>(i / 256), k = static_cast<int>(i % 256);
      const unsigned mesh = static_cast<unsigned>((j + k) % 2);
      ASSERT_LT(mesh, faces.size());
      ASSERT_LT(next[mesh], faces[mesh].size());
      const auto& theirs = faces[mesh][next[mesh]++];
      const auto& ours = w.faces[i];
      ASSERT_EQ(theirs.size(), ours.size());
      for (std::size_t c = 0; c < ours.size(); ++c) {
        const auto& v = verts[mesh][static_cast<std::size_t>(theirs[ours.size() - 1 - c])];
        const std::size_t o = static_cast<std::size_t>(ours[c]);
        const std::size_t nrm = static_cast<std::size_t>(w.faceNormals[i][c]);
        const bool sameNormal = std::fabs(v[3] - w.normalXyz[3 * nrm]) < 1e-5 &&
                                std::fabs(v[4] - w.normalXyz[3 * nrm + 1]) < 1e-5 &&
                                std::fabs(v[5] + w.normalXyz[3 * nrm + 2]) < 1e-5;
        const bool same = sameNormal && std::fabs(v[0] - w.xyz[3 * o]) < 1e-3 && std::fabs(v[1] - w.xyz[3 * o + 1]) < 1e-3 &&
                          std::fabs(v[2] + w.xyz[3 * o + 2]) < 1e-3 && std::fabs(v[6] - w.uv[2 * o]) < 1e-5 &&
                          std::fabs(v[7] - (1 - w.uv[2 * o + 1])) < 1e-5;
        if (!same) {
          ADD_FAILURE() << "face " << i << " corner " << c << " differs: ours " << w.xyz[3 * o] << " "
                        << w.xyz[3 * o + 1] << " " << w.xyz[3 * o + 2] << " uv " << w.uv[2 * o] << " "
                        << w.uv[2 * o + 1] << ", theirs " << v[0] << " " << v[1] << " " << v[2] << " uv " << v[6]
                        << " " << v[7];
          ++mismatches;
        }
      }
    }
  }
}

}  // namespace
