#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/options.h"
#include "mesh_tokens.h"
#include "xscene/materials.h"
#include "xscene/mesh.h"

namespace {

struct Poly {
  std::vector<std::uint32_t> corners;
  int surface;
  std::vector<std::uint32_t> normals = {};  // normal-table entry per corner
  int wrapU = 0;
};

// An object as the reader leaves it: one vertex per point, corners in one pool.
LwObject makeObject(const std::vector<float>& xyz, const std::vector<Poly>& polys,
                    const std::vector<std::string>& surfaceNames = {"Default"}) {
  LwObject o;
  for (std::size_t i = 0; i + 2 < xyz.size(); i += 3) o.points.push_back({xyz[i], xyz[i + 1], xyz[i + 2]});
  for (std::size_t i = 0; i < o.points.size(); ++i) {
    LwVertex v;
    v.point = static_cast<std::uint32_t>(i);
    v.nextSplit = static_cast<std::uint32_t>(i);
    o.vertices.push_back(v);
  }
  for (const Poly& p : polys) {
    LwPolygon polygon;
    polygon.cornerCount = static_cast<std::int32_t>(p.corners.size());
    polygon.firstIndex = static_cast<std::uint32_t>(o.indices.size());
    polygon.surface = p.surface;
    polygon.wrapU = p.wrapU;
    for (std::size_t k = 0; k < p.corners.size(); ++k) {
      o.indices.push_back(p.corners[k]);
      o.cornerNormals.push_back(k < p.normals.size() ? p.normals[k] : 0);
    }
    o.polygons.push_back(polygon);
  }
  for (const std::string& name : surfaceNames) {
    LwSurface s;
    s.name = name;
    s.color[0] = static_cast<std::uint8_t>(o.surfaces.size() * 10);
    o.surfaces.push_back(s);
  }
  return o;
}

const std::vector<float> kSquare = {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0};

class MeshTest : public ::testing::Test {
 protected:
  void SetUp() override { options() = {}; }
  void TearDown() override { options() = {}; }

  // Collects the object's materials, then writes its mesh; returns text or decoded tokens.
  std::string write(LwObject& object, bool binary = false, int indent = 0) {
    XWriter materials;
    collectMaterials(table, object, materials, 0);
    XWriter w;
    w.binary = binary;
    testing::internal::CaptureStdout();
    EXPECT_EQ(writeMesh(table, object, w, indent), 0);
    console = testing::internal::GetCapturedStdout();
    return binary ? xtokens::decode(w.buffer) : std::string(w.buffer.begin(), w.buffer.end());
  }

  // The lines of the mesh text between the first line starting with `from` and the next "}" line at depth 1.
  static std::string section(const std::string& text, const std::string& from) {
    const std::size_t start = text.find(from);
    if (start == std::string::npos) return "";
    const std::size_t end = text.find("\n }\n", start);
    return text.substr(start, end == std::string::npos ? std::string::npos : end + 4 - start);
  }

  // Mesh with two surfaces on two materials, a partly used normal table and one (u, v).
  LwObject sample() {
    LwObject o = makeObject(kSquare, {{{0, 1, 2}, 0, {0, 0, 0}}, {{0, 2, 3}, 1, {2, 2, 2}}}, {"A", "B"});
    o.normals = {LwNormal{0, 0, 1, 3}, LwNormal{1, 0, 0, 0}, LwNormal{0, 0, -1, 3}};
    o.vertices[2].u = 0.5;
    o.name = "0_box";
    return o;
  }

  MaterialTable table;
  std::string console;
};

}  // namespace

TEST_F(MeshTest, TextAndBinaryLayoutOfAFullMesh) {
  LwObject o = sample();
  EXPECT_EQ(write(o),
            "Mesh Mesh0_box {\n"
            " 4;\n"
            " 0.000000;0.000000;0.000000;,\n"
            " 1.000000;0.000000;0.000000;,\n"
            " 1.000000;1.000000;0.000000;,\n"
            " 0.000000;1.000000;0.000000;;\n"
            "\n"
            " 2;\n"
            " 3;0,1,2;,\n"
            " 3;0,2,3;;\n"
            "\n"
            " MeshMaterialList {\n"
            "  2;\n"
            "  2;\n"
            "  0,1;;\n"
            "  {MatA}\n"
            "  {MatB}\n"
            " }\n"
            " MeshNormals {\n"
            "  2;\n"
            "  0.000000;0.000000;1.000000;,\n"
            "  0.000000;0.000000;-1.000000;;\n"
            "\n"
            "  2;\n"
            "  3;0,0,0;,\n"
            "  3;1,1,1;;\n"
            " }\n"
            " MeshTextureCoords {\n"
            "  4;\n"
            "  0.000000;0.000000;\n"
            "  0.000000;0.000000;\n"
            "  0.500000;0.000000;\n"
            "  0.000000;0.000000;;\n"
            " }\n"
            "}\n");
  EXPECT_EQ(console, " 4 Vertices  2 Polygons  2 Normals");
  LwObject same = sample();
  EXPECT_EQ(write(same, true),
            "Mesh Mesh0_box { I(4) F(0.000000,0.000000,0.000000,1.000000,0.000000,0.000000,1.000000,1.000000,"
            "0.000000,0.000000,1.000000,0.000000) I(2,3,0,1,2,3,0,2,3)"
            " MeshMaterialList { I(2,2,0,1) { MatA } { MatB } }"
            " MeshNormals { I(2) F(0.000000,0.000000,1.000000,0.000000,0.000000,-1.000000) I(2,3,0,0,0,3,1,1,1) }"
            " MeshTextureCoords { I(4) F(0.000000,0.000000,0.000000,0.000000,0.500000,0.000000,0.000000,"
            "0.000000) } }");
  EXPECT_EQ(console, " 4 Vertices  2 Polygons  2 Normals");
}

TEST_F(MeshTest, VerticesFollowPivotAndMorphTarget) {
  LwObject o = makeObject({1, 2, 3, 4, 4, 4}, {});
  o.pivot[0] = 1;
  o.pivot[1] = 2;
  o.pivot[2] = 3;
  EXPECT_EQ(section(write(o), " 2;"), " 2;\n 0.000000;0.000000;0.000000;,\n 3.000000;2.000000;1.000000;;\n\n 0;\n;;\n\n}\n");

  // The target has a point for vertex 0 only: vertex 1 stays where it is.
  LwObject target = makeObject({5, 6, 7}, {});
  LwObject m = makeObject({1, 2, 3, 4, 4, 4}, {});
  m.morphTarget = &target;
  const std::pair<double, const char*> rows[] = {
      {0.25, " 2.000000;3.000000;4.000000;,\n 4.000000;4.000000;4.000000;;\n"},
      {1.0, " 5.000000;6.000000;7.000000;,\n 4.000000;"}, {2.5, " 5.000000;6.000000;7.000000;,\n"},
      {0.0, " 1.000000;2.000000;3.000000;,\n"}, {-1.0, " 1.000000;2.000000;3.000000;,\n"}};
  for (const auto& [metamorph, vertices] : rows) {
    m.metamorph = metamorph;
    const std::string text = write(m);
    EXPECT_NE(text.find(vertices), std::string::npos) << metamorph << "\n" << text;
  }
}

TEST_F(MeshTest, EmptyObjectLayoutAndSkipRule) {
  LwObject points = makeObject({1, 1, 1}, {});
  EXPECT_EQ(write(points), "Mesh {\n 1;\n 1.000000;1.000000;1.000000;;\n\n 0;\n;;\n\n}\n");
  EXPECT_EQ(console, " 1 Vertices  0 Polygons  0 Normals");
  EXPECT_EQ(write(points, true), "Mesh { I(1) F(1.000000,1.000000,1.000000) I(0) }");

  LwObject none = makeObject({}, {});
  EXPECT_EQ(write(none), "");
  EXPECT_EQ(console, "");
  LwObject dissolved = makeObject(kSquare, {{{0, 1, 2}, 0}});
  dissolved.dissolve = 1.0;
  EXPECT_EQ(write(dissolved), "");
  EXPECT_EQ(console, "");
  dissolved.dissolve = 0.999;
  EXPECT_EQ(write(dissolved).rfind("Mesh {\n 4;\n", 0), 0u);
}

TEST_F(MeshTest, NamesFollowPrefixOptionAndFitTheField) {
  LwObject o = makeObject({0, 0, 0}, {});
  o.name = "0_box";
  EXPECT_EQ(write(o, false, 1).rfind(" Mesh Mesh0_box {\n", 0), 0u);
  options().framePrefix = "x";
  EXPECT_EQ(write(o, false, 1).rfind(" Mesh {\n", 0), 0u);
  EXPECT_EQ(write(o, true).rfind("Mesh { I(1)", 0), 0u);
  options() = {};
  o.name = std::string(79, 'n');
  EXPECT_EQ(write(o).rfind("Mesh Mesh" + std::string(75, 'n') + " {\n", 0), 0u);
  EXPECT_EQ(write(o, true).rfind("Mesh Mesh" + std::string(75, 'n') + " {", 0), 0u);
}

TEST_F(MeshTest, MaterialListSharedIndexWrappingAndUniqueNames) {
  // Two surfaces with equal values merge into one material: one local material.
  LwObject o = makeObject(kSquare, {{{0, 1, 2}, 0}, {{0, 2, 3}, 1}, {{1, 2, 3}, 0}}, {"Same", "Alike"});
  o.surfaces[1].color[0] = o.surfaces[0].color[0];
  EXPECT_EQ(section(write(o), " MeshMaterialList"), " MeshMaterialList {\n  1;\n  1;\n  0;;\n  {MatSame}\n }\n");
  EXPECT_NE(write(o, true).find("MeshMaterialList { I(1,1,0) { MatSame } }"), std::string::npos);

  // Face indexes wrap after 32 per line.
  table = {};
  std::vector<Poly> polys;
  for (int i = 0; i < 40; ++i) polys.push_back({{0, 1, 2}, i % 2});
  LwObject wide = makeObject(kSquare, polys, {"Even", "Odd"});
  const std::string expected = " MeshMaterialList {\n  2;\n  40;\n"
                               "  0,1,0,1,0,1,0,1,0,1,0,1,0,1,0,1,0,1,0,1,0,1,0,1,0,1,0,1,0,1,0,1,\n"
                               "  0,1,0,1,0,1,0,1;;\n  {MatEven}\n  {MatOdd}\n }\n";
  EXPECT_EQ(section(write(wide), " MeshMaterialList"), expected);

  // References use the unique material names.
  table = {};
  LwObject first = makeObject({0, 0, 0}, {}, {"Skin"});
  write(first);
  LwObject second = makeObject(kSquare, {{{0, 1, 2}, 0}}, {"Skin"});
  second.surfaces[0].color[1] = 99;
  EXPECT_NE(write(second).find("  {MatSkin_2}\n"), std::string::npos);
}

TEST_F(MeshTest, NormalsAreRenumberedAndCanBeLeftOut) {
  LwObject o = makeObject(kSquare, {{{0, 1, 2}, 0, {0, 2, 3}}});
  o.normals = {LwNormal{1, 0, 0, 1}, LwNormal{0, 1, 0, 0}, LwNormal{0, 0, 1, 1}, LwNormal{0.5f, 0.5f, 0, 1}};
  const std::string text = write(o);
  EXPECT_EQ(section(text, " MeshNormals"),
            " MeshNormals {\n  3;\n  1.000000;0.000000;0.000000;,\n  0.000000;0.000000;1.000000;,\n"
            "  0.500000;0.500000;0.000000;;\n\n  1;\n  3;0,1,2;;\n }\n");
  EXPECT_EQ(console, " 4 Vertices  1 Polygons  3 Normals");

  // No used entry: the count is printed and nothing is written.
  for (LwNormal& n : o.normals) n.useCount = 0;
  EXPECT_EQ(write(o).find("MeshNormals"), std::string::npos);
  EXPECT_EQ(console, " 4 Vertices  1 Polygons  0 Normals");

  o.normals[0].useCount = 1;
  options().noNormals = 1;
  EXPECT_EQ(write(o).find("MeshNormals"), std::string::npos);
  EXPECT_EQ(console, " 4 Vertices  1 Polygons ");
}

TEST_F(MeshTest, TextureCoordinatesOnlyWhenSomeAreSetAndFlippedOnRequest) {
  LwObject o = makeObject(kSquare, {{{0, 1, 2}, 0}});
  EXPECT_EQ(write(o).find("MeshTextureCoords"), std::string::npos);
  o.vertices[1].v = 0.25;
  options().flipTextureV = 1;
  EXPECT_EQ(section(write(o), " MeshTextureCoords"),
            " MeshTextureCoords {\n  4;\n  0.000000;1.000000;\n  0.000000;0.750000;\n  0.000000;1.000000;\n"
            "  0.000000;1.000000;;\n }\n");
  EXPECT_NE(write(o, true).find("MeshTextureCoords { I(4) F(0.000000,1.000000,0.000000,0.750000,"),
            std::string::npos);
}

TEST_F(MeshTest, FaceWrapsGiveOnePairPerFace) {
  LwObject o = makeObject(kSquare, {{{0, 1, 2}, 0, {}, 0}, {{0, 2, 3}, 0, {}, 1}, {{1, 2, 3}, 0, {}, 0}});
  EXPECT_EQ(write(o).find("MeshFaceWraps"), std::string::npos);
  options().textureWrap = 1;
  const std::string text = write(o);
  EXPECT_EQ(section(text, " MeshFaceWraps"), " MeshFaceWraps {\n  3;\n  0;0;,\n  1;0;,\n  0;0;;\n }\n");
  EXPECT_LT(text.find(" 3;1,2,3;;\n\n MeshFaceWraps {"), text.find(" MeshMaterialList {"));
  EXPECT_NE(write(o, true).find("I(3,3,0,1,2,3,0,2,3,3,1,2,3) MeshFaceWraps { I(3,0,0,1,0,0,0) } MeshMaterialList"),
            std::string::npos);
  // An object without faces has nothing to wrap.
  LwObject points = makeObject({0, 0, 0}, {});
  EXPECT_EQ(write(points).find("MeshFaceWraps"), std::string::npos);
}

TEST_F(MeshTest, DamagedRecordsNeverReadOutsideTheirArrays) {
  LwObject o = makeObject(kSquare, {{{0, 1, 2}, 0, {0, 7, 1}}, {{1, 2, 3}, 5}});
  o.normals = {LwNormal{0, 0, 1, 2}};
  o.polygons[1].cornerCount = 9;      // more corners than the pool holds
  o.cornerNormals.resize(2);          // corner normals missing
  o.vertices[3].point = 40;           // no such point
  o.surfaces[0].materialIndex = -1;   // collected below anyway
  const std::string text = write(o);
  EXPECT_NE(text.find(" 3;1,2,3;;\n"), std::string::npos);
  EXPECT_NE(text.find(" 0.000000;0.000000;0.000000;;\n"), std::string::npos);
  EXPECT_NE(text.find("  3;0,0,0;,\n  3;0,0,0;;\n"), std::string::npos) << text;
}
