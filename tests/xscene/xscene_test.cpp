// The scene writers: materials (values, names, merging, texture images), frames (tree,
// matrices, options), the top frame, and meshes (vertices, faces, material list,
// normals, texture coordinates, face wraps) in both encodings and at any depth.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "lwbuild.h"
#include "support/context.h"
#include "support/run.h"
#include "support/xtokens.h"
#include "xfile/header.h"
#include "xscene/frames.h"
#include "xscene/materials.h"
#include "xscene/mesh.h"

using namespace torvo;

using testsupport::addItem;
using testsupport::motionKey;
using testsupport::TestRun;

namespace {

LwSurface surface(const std::string& name, std::uint8_t r = 200, std::uint8_t g = 200, std::uint8_t b = 200, const std::string& image = "") {
  LwSurface s;
  s.name = name;
  s.color[0] = r;
  s.color[1] = g;
  s.color[2] = b;
  s.colorTexture.image = image;
  return s;
}

LwObject objectWith(std::vector<LwSurface> surfaces) {
  LwObject o;
  o.surfaces = std::move(surfaces);
  return o;
}

struct Written {
  std::string text;  // decoded tokens when binary
  std::string console;
};

Written finish(const XWriter& w, const TestRun& run) {
  return {w.binary ? xtokens::decode(w.buffer) : std::string(w.buffer.begin(), w.buffer.end()), run.printed};
}

// Collects the object's materials into the table and writes the new ones; relative names resolve against `directory`.
Written collect(MaterialTable& table, LwObject& object, bool binary = false, const ConvertOptions& set = {}, const LwConfig& config = {},
                const std::string& directory = "") {
  XWriter w;
  w.binary = binary;
  TestRun run(set, config);
  run.context.directory = directory;
  const std::size_t first = table.entries.size();
  collectMaterials(run.context, table, object);
  writeMaterials(table, first, w, 0);
  return finish(w, run);
}

const std::string kWoodValues = " 1.000000;1.000000;1.000000;1.000000;;\n 21.333333;\n 0.000000;0.000000;0.000000;;\n 0.000000;0.000000;0.000000;;\n";

std::string materialWithTexture(const std::string& file) {
  return "Material MatWood {\n" + kWoodValues + " TextureFilename {\n  \"" + file + "\";\n }\n}\n";
}

// The material names in the order written.
std::vector<std::string> materialNames(const std::string& text) {
  std::vector<std::string> names;
  for (std::size_t at = text.find("Material "); at != std::string::npos; at = text.find("Material ", at + 1))
    names.push_back(text.substr(at + 9, text.find(' ', at + 9) - at - 9));
  return names;
}

std::vector<int> materialIndices(const LwObject& o) {
  std::vector<int> indices;
  for (const LwSurface& s : o.surfaces) indices.push_back(s.materialIndex);
  return indices;
}

}  // namespace

TEST(Materials, ShadingValuesBecomeColoursAndPower) {
  LwSurface red = surface("Red", 255, 0, 0);
  red.transparency = 128;
  red.glossiness = 256;
  red.luminosity = 128;
  red.specular = 0;
  LwSurface shiny = red;  // one more point of specular crosses 256 and turns the highlight white
  shiny.name = "Shiny";
  shiny.specular = 1;
  LwSurface tinted = shiny;  // the highlight takes the surface colour; a luminous colour of its own glows instead
  tinted.name = "Tinted";
  tinted.colorHighlight = 0.5;
  tinted.ownLuminousColor = true;
  tinted.luminousColor[0] = 0;
  const struct {
    const char* label;
    LwSurface surface;
    std::string material;
  } rows[] = {
      {"red", red, "Material MatRed {\n 1.000000;0.000000;0.000000;0.500000;;\n 85.333333;\n 0.000000;0.000000;0.000000;;\n 0.500000;0.000000;0.000000;;\n}\n"},
      {"white highlight", shiny,
       "Material MatShiny {\n 1.000000;0.000000;0.000000;0.500000;;\n 85.333333;\n 1.000000;1.000000;1.000000;;\n 0.500000;0.000000;0.000000;;\n}\n"},
      {"tinted highlight, own glow", tinted,
       "Material MatTinted {\n 1.000000;0.000000;0.000000;0.500000;;\n 85.333333;\n 1.000000;0.500000;0.500000;;\n 0.000000;0.500000;0.500000;;\n}\n"},
      {"defaults", surface("Default"),
       "Material MatDefault {\n 0.784314;0.784314;0.784314;1.000000;;\n 21.333333;\n 0.000000;0.000000;0.000000;;\n 0.000000;0.000000;0.000000;;\n}\n"}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.label);
    MaterialTable table;
    LwObject o = objectWith({row.surface});
    const Written w = collect(table, o);
    EXPECT_EQ(w.text, row.material);
    EXPECT_EQ(w.console, "");
  }
}

TEST(Materials, NamesAreFilteredMadeUniqueAndEqualValuesMerge) {
  const std::string l28(28, 'L');
  LwSurface black = surface("Black", 0, 0, 0);
  black.luminosity = -256;  // -0.0 on black, equal to 0.0
  const struct {
    const char* label;
    std::vector<LwSurface> surfaces;
    bool namesDiffer;
    std::vector<std::string> written;
    std::vector<int> indices;
    std::vector<std::string> shortened = {};
  } rows[] = {
      {"filtered; another Default numbered; equal values merge",
       {surface("wood grain"), surface("Default", 10, 20, 30), surface("a(b)-c", 1, 2, 3), surface("Default", 40, 50, 60),
        surface("Default", 70, 80, 90), surface("Other", 40, 50, 60)},
       false, {"Matwood_grain", "MatDefault", "Matabc", "MatDefault_2", "MatDefault_3"}, {0, 1, 2, 3, 4, 3}},
      {"a name like a numbered one", {surface("A", 1, 1, 1), surface("A_2", 2, 2, 2), surface("A", 3, 3, 3), surface("A_2", 4, 4, 4)},
       false, {"MatA", "MatA_2", "MatA_3", "MatA_2_2"}, {0, 1, 2, 3}},
      {"long names shortened, each to its own", {surface(std::string(78, 'L'), 1, 1, 1), surface(std::string(78, 'L'), 2, 2, 2)},
       false, {"Mat" + l28 + "_20e25f1d", "Mat" + l28 + "_08bd687c"}, {0, 1}, {"Mat" + std::string(76, 'L'), "Mat" + std::string(74, 'L') + "_2"}},
      {"equal values merge whatever the names", {surface("Red", 255, 0, 0), surface("Crimson", 255, 0, 0), black, surface("Dark", 0, 0, 0)},
       false, {"MatRed", "MatBlack"}, {0, 0, 1, 1}},
      {"-m keeps names apart", {surface("Red", 255, 0, 0), surface("Crimson", 255, 0, 0), surface("Red", 255, 0, 0)},
       true, {"MatRed", "MatCrimson"}, {0, 1, 0}}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.label);
    MaterialTable table;
    LwObject o = objectWith(row.surfaces);
    const Written w = collect(table, o, false, {.noMaterialMerge = row.namesDiffer});
    EXPECT_EQ(materialNames(w.text), row.written);
    EXPECT_EQ(table.uniqueNames, row.written);
    EXPECT_EQ(materialIndices(o), row.indices);
    EXPECT_EQ(table.shortened, row.shortened);
  }
}

TEST(Materials, AnotherObjectAddsOnlyItsNewMaterials) {
  MaterialTable table;
  LwObject first = objectWith({surface("Skin", 1, 2, 3)});
  collect(table, first);
  LwObject second = objectWith({surface("Skin", 1, 2, 3), surface("Skin", 4, 5, 6)});
  EXPECT_EQ(materialNames(collect(table, second).text), std::vector<std::string>{"MatSkin_2"});
  EXPECT_EQ(materialIndices(second), (std::vector<int>{0, 1}));
  EXPECT_EQ(materialUniqueName(table, 1), "MatSkin_2");
  EXPECT_EQ(materialUniqueName(table, 2), "");
  EXPECT_EQ(materialUniqueName(table, -1), "");
}

// Materials merge by every value and the texture (by the name only with -m: see above).
TEST(Materials, EveryValueAndTheTextureKeepMaterialsApart) {
  const struct {
    const char* label;
    void (*change)(LwSurface&);
  } rows[] = {{"red", [](LwSurface& s) { s.color[0] = 254; }},
              {"green", [](LwSurface& s) { s.color[1] = 254; }},
              {"blue", [](LwSurface& s) { s.color[2] = 254; }},
              {"transparency", [](LwSurface& s) { s.transparency = 10; }},
              {"glossiness", [](LwSurface& s) { s.glossiness = 128; }},
              {"specular", [](LwSurface& s) { s.specular = 128; }},
              {"luminosity", [](LwSurface& s) { s.luminosity = 128; }},
              {"texture", [](LwSurface& s) { s.colorTexture.image = "x.iff"; }}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.label);
    LwSurface b = surface("B", 255, 255, 255);
    row.change(b);
    MaterialTable table;
    LwObject o = objectWith({surface("A", 255, 255, 255), b});
    EXPECT_EQ(materialNames(collect(table, o).text), (std::vector<std::string>{"MatA", "MatB"}));
  }
}

TEST(Materials, TextureImagesAreFoundConvertedOrKept) {
  const lwbuild::Bytes bmp = lwbuild::bmpBytes(1, 1, 24, {}, {1, 2, 3, 0});
  const std::string ppmHead = "P6\n# converted by vemo\n";
  const struct {
    const char* label;
    std::vector<std::pair<std::string, lwbuild::Bytes>> files;
    std::string image;
    bool keep, content;
    std::string texture, console;
    std::vector<std::string> listing;
    std::string ppm;  // start of the PPM written, if any
  } rows[] = {
      // Images of any kind are reported when they exist nowhere, and kept as named.
      {"other kinds are kept", {{"brick.iff", {1}}}, "textures\\brick.iff", false, false, "brick.iff", "", {"brick.iff"}, ""},
      {"no extension", {}, "c:\\maps\\brick", false, false, "brick", "c:\\maps\\brick not found\n", {}, ""},
      {"missing kept image", {}, "wood.tga", true, false, "wood.tga", "wood.tga not found\n", {}, ""},
      {"missing image keeps its name", {}, "images\\wood.tga", false, false, "wood.tga", "images\\wood.tga not found\n", {}, ""},
      {"found in the content directory", {{"content/maps/stone.bmp", bmp}}, "maps\\stone.bmp", false, true, "stone.PPM",
       "generating stone.PPM : ok\n", {"content", "stone.PPM"}, ppmHead + "1 1\n255\n\3\2\1"},
      {"found by bare name", {{"leaf.bmp", bmp}}, "x:\\nowhere\\leaf.BMP", false, false, "leaf.PPM", "generating leaf.PPM : ok\n",
       {"leaf.PPM", "leaf.bmp"}, ppmHead + "1 1\n255\n\3\2\1"},
      {"failed conversion keeps an earlier good file", {{"wood.PPM", {'o', 'l', 'd'}}, {"wood.tga", {9, 9}}}, "wood.tga", false, false,
       "wood.PPM", "generating wood.PPM : failure\n", {"wood.PPM", "wood.tga"}, "old"}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.label);
    testsupport::TempDir dir;
    for (const auto& [name, bytes] : row.files) {
      std::filesystem::create_directories(std::filesystem::path(dir / name).parent_path());
      ASSERT_TRUE(lwbuild::writeFile(dir / name, bytes));
    }
    MaterialTable table;
    LwObject o = objectWith({surface("Wood", 200, 200, 200, row.image)});
    const Written w = collect(table, o, false, {.keepTextureFiles = row.keep}, testsupport::contentAt(row.content ? dir / "content" : ""), dir.path());
    EXPECT_EQ(w.text, materialWithTexture(row.texture));
    EXPECT_EQ(w.console, row.console);
    EXPECT_EQ(testsupport::listDir(dir.path()), row.listing);
    const std::string ppm = row.ppm.empty() ? "" : testsupport::readFile(dir / (row.texture.substr(0, row.texture.size() - 4) + ".PPM"));
    EXPECT_EQ(ppm.substr(0, row.ppm.size()), row.ppm);
  }
  testsupport::TempDir dir;
  MaterialTable table;
  LwObject iff = objectWith({surface("Wood", 200, 200, 200, "brick.iff"), surface("Plain", 200, 200, 200, "(none)")});
  EXPECT_EQ(collect(table, iff, true, {}, {}, dir.path()).text,
            "Material MatWood { F(1.000000,1.000000,1.000000,1.000000,21.333334,0.000000,0.000000,0.000000,0.000000,0.000000,0.000000) "
            "TextureFilename { \"brick.iff\" ; } } Material MatPlain { F(0.784314,0.784314,0.784314,1.000000,21.333334,0.000000,0.000000,"
            "0.000000,0.000000,0.000000,0.000000) }");
  // A directory that does not exist takes no new files, whoever runs the test.
  ASSERT_TRUE(lwbuild::writeFile(dir / "wood.tga", lwbuild::tgaBytes({.width = 2}, {}, {0, 0, 255, 0, 255, 0})));
  table = {};
  LwObject o = objectWith({surface("Wood", 200, 200, 200, dir / "wood.tga")});
  const Written w = collect(table, o, false, {}, {}, dir / "gone");
  EXPECT_EQ(w.text, materialWithTexture("wood.PPM"));
  EXPECT_EQ(w.console, "generating wood.PPM : couldn't create!\n");
}

namespace {

// One triangle with one surface, enough for the mesh writer.
void makeTriangle(LwObject& object) {
  object.surfaces.push_back(surface("Skin"));
  object.points = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
  for (std::uint32_t i = 0; i < 3; ++i) object.vertices.push_back(LwVertex{0, 0, 0, i, 0, 0, 0, i});
  object.indices = {0, 1, 2};
  object.cornerNormals = {0, 0, 0};
  object.polygons.push_back(LwPolygon{3, 0, 0, {}, 0});
  object.normals.push_back({0, 0, 1, 3});
}

// The opening of a frame with its matrix, as written in the text encoding.
std::string frameOpen(int depth, const std::string& name, double x, double y, double z) {
  const std::string pad(static_cast<std::size_t>(depth), ' ');
  const std::string in = pad + "  ";
  char last[128];
  std::snprintf(last, sizeof last, "%f,%f,%f,1.000000;;\n", x, y, z);
  return "\n" + pad + "Frame " + name + " {\n" + pad + " FrameTransformMatrix {\n" + in + "1.000000,0.000000,0.000000,0.000000,\n" + in +
         "0.000000,1.000000,0.000000,0.000000,\n" + in + "0.000000,0.000000,1.000000,0.000000,\n" + in + last + pad + " }\n";
}

std::string frameClose(int depth) { return std::string(static_cast<std::size_t>(depth), ' ') + "}\n"; }

// Writes the scene's materials and frames (and animation).
Written written(LwScene& scene, const ConvertOptions& set = {}, bool binary = false) {
  XWriter out;
  out.binary = binary;
  MaterialTable table;
  TestRun run(set);
  for (auto& item : scene.items) collectMaterials(run.context, table, *item);
  SceneFeed feed = sceneFeed(run.context, table, scene);
  EXPECT_EQ(writeScene(run.context, table, feed, out), Status::kOk);
  return finish(out, run);
}

}  // namespace

TEST(Frames, TreeMatricesParentPivotAndUnreachableItems) {
  LwScene scene;
  addItem(scene, "0_box", {motionKey(0, 1, 0, 0, 2, 3)}).pivot[0] = 0.5f;
  addItem(scene, "1_lid", {motionKey(0, 1.5, 0, 0, 1)}, 0);
  addItem(scene, "2_still", {});
  const Written w = written(scene);
  EXPECT_EQ(w.text, frameOpen(0, "Frame0_box", 1, 2, 3) + frameOpen(1, "Frame1_lid", 1, 1, 0) + frameClose(1) + frameClose(0) +
                        frameOpen(0, "Frame2_still", 0, 0, 0) + frameClose(0));
  EXPECT_EQ(w.console, "Frame0_box : \n Frame1_lid : \nFrame2_still : \n");
  LwScene tree;
  // Detached items, the items below them and parent cycles are not written.
  for (const auto& [name, parent] : {std::pair{"0_a", kNoItem}, {"1_b", 3}, {"2_c", kNoItem}, {"3_d", 0}, {"4_e", 0},
                                     {"5_lost", kNoItem}, {"6_below_lost", 5}, {"7_cycle", 9}, {"8_nokeys", kNoItem},
                                     {"9_cycle", 7}})
    addItem(tree, name, {motionKey(0, 0)}, parent);
  tree.items[5]->detached = true;
  tree.items[8]->motionKeys.clear();
  EXPECT_EQ(written(tree).console, "Frame0_a : \n Frame3_d : \n  Frame1_b : \n Frame4_e : \nFrame2_c : \nFrame8_nokeys : \n");
}

TEST(Frames, DissolvedItemsAndOptions) {
  LwScene scene;
  addItem(scene, "0_top", {motionKey(0, 0)});
  addItem(scene, "1_gone", {motionKey(0, 0)}, 0).dissolve = 1.0;
  addItem(scene, "2_child", {motionKey(0, 1)}, 1);
  LwObject& faded = addItem(scene, "3_faded", {motionKey(0, 0)}, 0);
  faded.dissolve = 1.5;
  makeTriangle(faded);
  // Only a mesh that is written asks for the vertex colours' template.
  LwObject& gone = *scene.items[1];
  makeTriangle(gone);
  gone.vertexColors.resize(3);
  gone.vertexColors[0].set = true;
  const TestRun templates;
  EXPECT_EQ(sceneTemplates(templates.context, scene), 0u);
  faded.vertexColors = gone.vertexColors;
  EXPECT_EQ(sceneTemplates(templates.context, scene), unsigned{kTemplatesVertexColors});
  faded.vertexColors.clear();
  const Written dissolved = written(scene, {.noNormals = 1});
  // The dissolved item has no frame; its child sits one level deeper in the enclosing frame.
  const std::string start = frameOpen(0, "Frame0_top", 0, 0, 0) + frameOpen(2, "Frame2_child", 1, 0, 0) + frameClose(2) + "  Mesh Mesh3_faded {\n";
  EXPECT_EQ(dissolved.text.substr(dissolved.text.find("\nFrame "), start.size()), start);
  EXPECT_EQ(dissolved.text.find("1_gone"), std::string::npos);
  EXPECT_EQ(dissolved.text.find("Frame3_faded"), std::string::npos);
  EXPECT_EQ(dissolved.console, "Frame0_top : \n \n  Frame2_child : \n  3 Vertices  1 Polygons \n");
  EXPECT_TRUE(faded.vertices.empty());  // the geometry is released right after its mesh
  LwScene two;
  addItem(two, "0_box", {motionKey(0, 1, 0, 0, 2, 3)});
  addItem(two, "1_lid", {motionKey(0, 0, 0, 0, 1), motionKey(10, 0, 0, 0, 2)}, 0);
  const Written top = written(two, {.topFrame = 1, .noAnimation = 1});
  EXPECT_EQ(top.text, "\nFrame TopFrame {\n" + frameOpen(1, "Frame0_box", 1, 2, 3) + frameOpen(2, "Frame1_lid", 0, 1, 0) + frameClose(2) +
                          frameClose(1) + frameClose(0));
  EXPECT_EQ(top.console, "TopFrame\n Frame0_box : \n  Frame1_lid : \n");
  const Written prefixed = written(two, {.framePrefix = "Props_"});
  EXPECT_NE(prefixed.text.find("\nFrame Props_0_box {"), std::string::npos);
  EXPECT_NE(prefixed.text.find("\n Frame Props_1_lid {"), std::string::npos);
  EXPECT_NE(prefixed.text.find("AnimationSet AnimationSet0 {"), std::string::npos);  // something moves
  EXPECT_EQ(prefixed.console, "Props_0_box\n Props_1_lid\nwriting animation...\n");
  EXPECT_EQ(written(two, {.noAnimation = 1}).text.find("AnimationSet"), std::string::npos);
  makeTriangle(*two.items[1]);
  const Written meshes = written(two, {.noNormals = 1, .topFrame = 1, .noAnimation = 1, .meshesOnly = 1});
  EXPECT_EQ(meshes.text.find("Frame"), std::string::npos);
  EXPECT_EQ(meshes.text.find("AnimationSet"), std::string::npos);
  EXPECT_NE(meshes.text.find("\n   Mesh Mesh1_lid {\n"), std::string::npos);  // depth 1 + 1 for -T, + 1 inside
  EXPECT_EQ(meshes.console, " \n   3 Vertices  1 Polygons \n");
  two.items[1]->motionKeys.pop_back();
  EXPECT_EQ(written(two).text.find("AnimationSet"), std::string::npos);  // nothing moves
}

TEST(Frames, AnObjectAloneGetsATopFrame) {
  LwObject object;
  object.name = "cube";
  makeTriangle(object);
  XWriter out;
  MaterialTable table;
  TestRun run({.noNormals = 1, .topFrame = 1});
  collectMaterials(run.context, table, object);
  ReadyMesh mesh;
  readyMesh(run.context, table, object, false, mesh);
  writeObjectTopFrame(run.context, table, object, mesh, out);
  const std::string text = finish(out, run).text;
  EXPECT_EQ(text.substr(0, 35), "\nFrame TopFrame {\n Mesh Meshcube {\n");
  EXPECT_EQ(text.substr(text.size() - 5), " }\n}\n");
  EXPECT_EQ(run.printed, "TopFrame\n 3 Vertices  1 Polygons \n");
}

namespace {

struct Poly {
  std::vector<std::uint32_t> corners;
  int surface;
  std::vector<std::uint32_t> normals = {};  // normal-table entry per corner
  int wrapU = 0;
};

// An object as the reader leaves it: one vertex per point, corners in one pool.
LwObject makeObject(const std::vector<float>& xyz, const std::vector<Poly>& polys, const std::vector<std::string>& surfaces = {"Default"}) {
  LwObject o;
  for (std::size_t i = 0; i + 2 < xyz.size(); i += 3) o.points.push_back({xyz[i], xyz[i + 1], xyz[i + 2]});
  for (std::uint32_t i = 0; i < o.points.size(); ++i) o.vertices.push_back(LwVertex{0, 0, 0, i, 0, 0, 0, i});
  for (const Poly& p : polys) {
    o.polygons.push_back(LwPolygon{static_cast<std::int32_t>(p.corners.size()), static_cast<std::uint32_t>(o.indices.size()), p.surface, {}, static_cast<std::uint8_t>(p.wrapU)});
    for (std::size_t k = 0; k < p.corners.size(); ++k) {
      o.indices.push_back(p.corners[k]);
      o.cornerNormals.push_back(k < p.normals.size() ? p.normals[k] : 0);
    }
  }
  for (const std::string& name : surfaces) {
    o.surfaces.emplace_back().name = name;
    o.surfaces.back().color[0] = static_cast<std::uint8_t>(o.surfaces.size() * 10 - 10);
  }
  return o;
}

const std::vector<float> kSquare = {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0};

// Collects the object's materials into the table, then writes its mesh.
Written write(MaterialTable& table, const LwObject& source, bool binary = false, const ConvertOptions& set = {}, int indent = 0) {
  LwObject object = source;
  XWriter w;
  w.binary = binary;
  TestRun run(set);
  collectMaterials(run.context, table, object);
  ReadyMesh mesh;
  readyMesh(run.context, table, object, false, mesh);
  writeMesh(run.context, table, object, mesh, w, indent);
  return finish(w, run);
}
Written write(const LwObject& source, bool binary = false, const ConvertOptions& set = {}, int indent = 0) {
  MaterialTable table;
  return write(table, source, binary, set, indent);
}

// The section of the mesh text from the first line starting with `from` to its closing "}" at depth 1.
std::string section(const std::string& text, const std::string& from) {
  const std::size_t start = text.find(from);
  const std::size_t end = text.find("\n }\n", start);
  return start == std::string::npos ? "" : text.substr(start, end == std::string::npos ? std::string::npos : end + 4 - start);
}

}  // namespace

TEST(Mesh, TextAndBinaryLayoutOfAFullMesh) {
  // Two surfaces on two materials, a partly used normal table and one (u, v).
  LwObject o = makeObject(kSquare, {{{0, 1, 2}, 0, {0, 0, 0}}, {{0, 2, 3}, 1, {2, 2, 2}}}, {"A", "B"});
  o.normals = {LwNormal{0, 0, 1, 3}, LwNormal{1, 0, 0, 0}, LwNormal{0, 0, -1, 3}};
  o.vertices[2].u = 0.5;
  o.name = "0_box";
  const Written text = write(o);
  const Written binary = write(o, true);
  EXPECT_EQ(text.text, "Mesh Mesh0_box {\n 4;\n 0.000000;0.000000;0.000000;,\n 1.000000;0.000000;0.000000;,\n 1.000000;1.000000;0.000000;,\n"
                       " 0.000000;1.000000;0.000000;;\n\n 2;\n 3;0,1,2;,\n 3;0,2,3;;\n\n MeshMaterialList {\n  2;\n  2;\n  0,1;;\n  {MatA}\n  {MatB}\n }\n"
                       " MeshNormals {\n  2;\n  0.000000;0.000000;1.000000;,\n  0.000000;0.000000;-1.000000;;\n\n  2;\n  3;0,0,0;,\n  3;1,1,1;;\n }\n"
                       " MeshTextureCoords {\n  4;\n  0.000000;0.000000;\n  0.000000;0.000000;\n  0.500000;0.000000;\n  0.000000;0.000000;;\n }\n}\n");
  EXPECT_EQ(binary.text, "Mesh Mesh0_box { I(4) F(0.000000,0.000000,0.000000,1.000000,0.000000,0.000000,1.000000,1.000000,0.000000,0.000000,1.000000,"
                         "0.000000) I(2,3,0,1,2,3,0,2,3) MeshMaterialList { I(2,2,0,1) { MatA } { MatB } } MeshNormals { I(2) F(0.000000,0.000000,"
                         "1.000000,0.000000,0.000000,-1.000000) I(2,3,0,0,0,3,1,1,1) } MeshTextureCoords { I(4) F(0.000000,0.000000,0.000000,0.000000,"
                         "0.500000,0.000000,0.000000,0.000000) } }");
  EXPECT_EQ(text.console, " 4 Vertices  2 Polygons  2 Normals");
  EXPECT_EQ(binary.console, text.console);
}

TEST(Mesh, NormalsRenumberedOnlyTheUsedOnes) {
  LwObject o = makeObject(kSquare, {{{0, 1, 2}, 0, {0, 2, 3}}});
  o.normals = {LwNormal{1, 0, 0, 1}, LwNormal{0, 1, 0, 0}, LwNormal{0, 0, 1, 1}, LwNormal{0.5f, 0.5f, 0, 1}};
  LwObject unused = o;
  for (LwNormal& n : unused.normals) n.useCount = 0;
  const struct {
    const char* label;
    LwObject object;
    int noNormals;
    std::string normals, console;
  } rows[] = {
      {"renumbered", o, 0,
       " MeshNormals {\n  3;\n  1.000000;0.000000;0.000000;,\n  0.000000;0.000000;1.000000;,\n  0.500000;0.500000;0.000000;;\n\n  1;\n  3;0,1,2;;\n }\n",
       " 4 Vertices  1 Polygons  3 Normals"},
      {"none used: counted, none written", unused, 0, "", " 4 Vertices  1 Polygons  0 Normals"},
      {"-N: not even counted", o, 1, "", " 4 Vertices  1 Polygons "}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.label);
    const Written w = write(row.object, false, {.noNormals = row.noNormals});
    EXPECT_EQ(section(w.text, " MeshNormals"), row.normals);
    EXPECT_EQ(w.console, row.console);
  }
}

TEST(Mesh, VariantsOfEverySection) {
  const std::vector<Poly> triangle = {{{0, 1, 2}, 0}};
  LwObject pivoted = makeObject({1, 2, 3, 4, 4, 4, 0, 0, 0}, triangle);
  pivoted.pivot[0] = 1;
  pivoted.pivot[1] = 2;
  pivoted.pivot[2] = 3;
  LwObject target = makeObject({5, 6, 7}, {});
  LwObject morphed = makeObject({1, 2, 3, 4, 4, 4, 0, 0, 0}, triangle);
  morphed.morphTarget = &target;  // a point for vertex 0 only: vertex 1 stays where it is
  LwObject merged = makeObject(kSquare, {{{0, 1, 2}, 0}, {{0, 2, 3}, 1}, {{1, 2, 3}, 0}}, {"Same", "Alike"});
  merged.surfaces[1].color[0] = merged.surfaces[0].color[0];  // equal values merge into one material
  std::vector<Poly> forty;
  for (int i = 0; i < 40; ++i) forty.push_back({{0, 1, 2}, i % 2});
  LwObject uv = makeObject(kSquare, {{{0, 1, 2}, 0}});
  uv.vertices[1].v = 0.25;
  const LwObject wraps = makeObject(kSquare, {{{0, 1, 2}, 0, {}, 0}, {{0, 2, 3}, 0, {}, 1}, {{1, 2, 3}, 0, {}, 0}});
  // Damaged records never read outside their arrays.
  const struct {
    const char* label;
    LwObject object;
    char option;  // 'F' flips v, 'u' wraps faces
    std::string from, expected, binary;
    double metamorph = 0;
  } rows[] = {
      {"vertices less the pivot", pivoted, ' ', " 3;", " 3;\n 0.000000;0.000000;0.000000;,\n 3.000000;2.000000;1.000000;,\n -1.000000;-2.000000;-3.000000;;\n\n 1;\n",
       "Mesh { I(3) F(0.000000,0.000000,0.000000,3.000000,2.000000,1.000000,-1.000000,-2.000000,-3.000000) I(1,3,0,1,2)"},
      {"a quarter morphed", morphed, ' ', " 3;", " 3;\n 2.000000;3.000000;4.000000;,\n 4.000000;4.000000;4.000000;,\n", "", 0.25},
      {"morph past 1 is full", morphed, ' ', " 3;", " 3;\n 5.000000;6.000000;7.000000;,\n", "", 2.5},
      {"negative morph is none", morphed, ' ', " 3;", " 3;\n 1.000000;2.000000;3.000000;,\n", "", -1.0},
      // One face index per face, also when every face has the same material.
      {"one material", merged, ' ', " MeshMaterialList", " MeshMaterialList {\n  1;\n  3;\n  0,0,0;;\n  {MatSame}\n }\n",
       "MeshMaterialList { I(1,3,0,0,0) { MatSame } }"},
      {"face indexes wrap after 32 a line", makeObject(kSquare, forty, {"Even", "Odd"}), ' ', " MeshMaterialList",
       " MeshMaterialList {\n  2;\n  40;\n  0,1,0,1,0,1,0,1,0,1,0,1,0,1,0,1,0,1,0,1,0,1,0,1,0,1,0,1,0,1,0,1,\n  0,1,0,1,0,1,0,1;;\n  {MatEven}\n  {MatOdd}\n }\n", ""},
      {"materials in surface order", makeObject(kSquare, {{{0, 1, 2}, 1}, {{0, 2, 3}, 0}}, {"First", "Second"}), ' ', " MeshMaterialList",
       " MeshMaterialList {\n  2;\n  2;\n  1,0;;\n  {MatFirst}\n  {MatSecond}\n }\n", "MeshMaterialList { I(2,2,1,0) { MatFirst } { MatSecond } }"},
      {"texture coordinates", uv, ' ', " MeshTextureCoords",
       " MeshTextureCoords {\n  4;\n  0.000000;0.000000;\n  0.000000;0.250000;\n  0.000000;0.000000;\n  0.000000;0.000000;;\n }\n", ""},
      {"-F flips v", uv, 'F', " MeshTextureCoords",
       " MeshTextureCoords {\n  4;\n  0.000000;1.000000;\n  0.000000;0.750000;\n  0.000000;1.000000;\n  0.000000;1.000000;;\n }\n",
       "MeshTextureCoords { I(4) F(0.000000,1.000000,0.000000,0.750000,0.000000,1.000000,0.000000,1.000000) }"},
      {"no coordinates set", makeObject(kSquare, {{{0, 1, 2}, 0}}), ' ', " MeshTextureCoords", "", ""},
      {"face wraps without -u", wraps, ' ', " MeshFaceWraps", "", ""},
      {"face wraps with -u", wraps, 'u', " 3;1,2,3;;", " 3;1,2,3;;\n\n MeshFaceWraps {\n  3;\n  0;0;,\n  1;0;,\n  0;0;;\n }\n",
       "I(3,3,0,1,2,3,0,2,3,3,1,2,3) MeshFaceWraps { I(3,0,0,1,0,0,0) } MeshMaterialList"}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.label);
    LwObject o = row.object;
    o.metamorph = row.metamorph;
    const ConvertOptions set = {.flipTextureV = row.option == 'F', .textureWrap = row.option == 'u'};
    const std::string text = write(o, false, set).text;
    EXPECT_EQ(section(text, row.from).substr(0, row.expected.size()), row.expected);
    const std::string binary = row.binary.empty() ? "" : write(o, true, set).text;
    EXPECT_NE(binary.find(row.binary), std::string::npos) << binary;
  }
  // References use the unique material names.
  MaterialTable table;
  write(table, makeObject(kSquare, triangle, {"Skin"}));
  LwObject second = makeObject(kSquare, {{{0, 1, 2}, 0}}, {"Skin"});
  second.surfaces[0].color[1] = 99;
  EXPECT_NE(write(table, second).text.find("  {MatSkin_2}\n"), std::string::npos);
}

TEST(Mesh, NamesEmptyObjectsAndDepth) {
  LwObject o = makeObject({0, 0, 0, 1, 0, 0, 0, 1, 0}, {{{0, 1, 2}, 0}});
  o.name = "0_box";
  LwObject atLimit = o;  // names longer than engines keep are shortened alike in both encodings
  atLimit.name = std::string(36, 'n');
  LwObject overLimit = o;
  overLimit.name = std::string(79, 'n');
  const std::string shortName = "Mesh Mesh" + std::string(27, 'n') + "_";
  LwObject dissolved = makeObject(kSquare, {{{0, 1, 2}, 0}});
  dissolved.dissolve = 1.0;
  LwObject nearlyDissolved = dissolved;
  nearlyDissolved.dissolve = 0.999;
  const struct {
    const char* label;
    LwObject object;
    bool binary;
    const char* prefix;
    int indent;
    std::string start;  // the text's start; empty: nothing written
    std::string console = " 3 Vertices  1 Polygons  0 Normals";
  } rows[] = {
      {"indented", o, false, "", 1, " Mesh Mesh0_box {\n"},
      {"a frame prefix leaves meshes unnamed", o, false, "x", 1, " Mesh {\n"},
      {"unnamed in binary", o, true, "x", 0, "Mesh { I(3)"},
      {"name at the limit", atLimit, false, "", 0, "Mesh Mesh" + std::string(36, 'n') + " {\n"},
      {"name past the limit", overLimit, false, "", 0, shortName},
      {"name past the limit in binary", overLimit, true, "", 0, shortName},
      // Points without faces make no Mesh: DirectX 9's loader refuses one.
      {"points without faces", makeObject({0, 0, 0}, {}), false, "", 0, "", " no faces: no Mesh written"},
      {"no vertices", makeObject({}, {}), false, "", 0, "", ""},
      {"fully dissolved", dissolved, false, "", 0, "", ""},
      {"nearly dissolved", nearlyDissolved, false, "", 0, "Mesh {\n 4;\n", " 4 Vertices  1 Polygons  0 Normals"}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.label);
    const Written w = write(row.object, row.binary, {.framePrefix = row.prefix}, row.indent);
    EXPECT_EQ(w.text.substr(0, row.start.size()), row.start);
    EXPECT_EQ(w.text.empty(), row.start.empty());
    EXPECT_EQ(w.console, row.console);
  }
  EXPECT_EQ(write(overLimit).text.find(" {\n"), 45u);
}

// Engines keep names in 40-byte fields: a longer frame name is shortened once, and the frame
// and the animation's reference to it agree, in both encodings; one warning lists it.
TEST(Names, LongFrameNamesAreShortenedAlikeWhereverTheyAreWritten) {
  LwScene scene;
  const std::string name = "0_" + std::string(40, 'a');
  addItem(scene, name, {motionKey(0, 0), motionKey(10, 1)});
  addItem(scene, "1_" + std::string(33, 'b'), {});
  const std::string shortName = "Frame0_" + std::string(24, 'a') + "_";
  for (const bool binary : {false, true}) {
    SCOPED_TRACE(binary ? "binary" : "text");
    const Written w = written(scene, {}, binary);
    const std::size_t frame = w.text.find("Frame " + shortName);
    ASSERT_NE(frame, std::string::npos) << w.text;
    const std::string full = w.text.substr(frame + 6, 40);
    EXPECT_NE(w.text.find(binary ? "{ " + full + " }" : "{" + full + "}"), std::string::npos) << w.text;
    EXPECT_NE(w.text.find("Frame Frame1_" + std::string(33, 'b') + " "), std::string::npos);
    EXPECT_EQ(w.console.rfind("Warning! 1 names longer than 40 characters shortened: Frame" + name + " as " + full + "\n", 0), 0u);
  }
}
