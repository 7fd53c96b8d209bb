// The scene writers: materials (values, names, merging, texture images), frames (tree,
// matrices, options), the top frame, and meshes (vertices, faces, material list,
// normals, texture coordinates, face wraps) in both encodings and at any depth.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "lwbuild.h"
#include "support/context.h"
#include "support/run.h"
#include "support/xtokens.h"
#include "xscene/frames.h"
#include "xscene/materials.h"
#include "xscene/mesh.h"

using namespace torvo;

using testsupport::ctx;

using testsupport::addItem;
using testsupport::console;
using testsupport::motionKey;
using testsupport::withOptions;

namespace {

LwSurface surface(const std::string& name, std::uint8_t r = 200, std::uint8_t g = 200, std::uint8_t b = 200, const std::string& image = "") {
  LwSurface s; s.name = name, s.color[0] = r, s.color[1] = g, s.color[2] = b, s.colorTexture.image = image;
  return s;
}

LwObject objectWith(std::vector<LwSurface> surfaces) {
  LwObject o; o.surfaces = std::move(surfaces);
  return o;
}

struct Written {
  std::string text, console; int result = 0;
};

// Collects the object's materials into the table: the .x text (decoded tokens when binary) and the console.
Written collect(MaterialTable& table, LwObject& object, bool binary = false, const ConvertOptions& set = {}, const LwConfig& config = {}) {
  XWriter w; w.binary = binary; Written out;
  out.console = console([&] { out.result = withOptions(set, [&] { const std::size_t first = table.entries.size();
    collectMaterials(ctx(), table, object);
    writeMaterials(table, first, w, 0);
    return 0; }, config); });
  out.text = binary ? xtokens::decode(w.buffer) : std::string(w.buffer.begin(), w.buffer.end());
  return out;
}

std::string materialWithTexture(const std::string& file) {
  return "Material MatWood {\n 1.000000;1.000000;1.000000;1.000000;;\n 21.333333;\n 0.000000;0.000000;0.000000;;\n"
         " 0.000000;0.000000;0.000000;;\n TextureFilename {\n  \"" + file + "\";\n }\n}\n";
}

lwbuild::Bytes smallTga() {
  lwbuild::TgaSpec header; header.width = 2;
  return lwbuild::tgaBytes(header, {}, {0, 0, 255, 0, 255, 0});
}

// A scratch directory that relative names resolve against while the object lives.
struct ScratchCwd {
  testsupport::TempDir dir;
  ScratchCwd() { ctx().directory = dir.path(); }
  ~ScratchCwd() { ctx().directory.clear(); }
};

}  // namespace

TEST(Materials, ShadingValuesBecomeColoursAndPower) {
  MaterialTable table; LwSurface s = surface("Red", 255, 0, 0);
  s.transparency = 128, s.glossiness = 256, s.luminosity = 128, s.diffuse = 256, s.specular = 0;
  LwObject o = objectWith({s});
  const Written w = collect(table, o);
  EXPECT_EQ(std::to_string(w.result) + w.console + w.text,
            "0Material MatRed {\n 1.000000;0.000000;0.000000;0.500000;;\n 85.333333;\n 0.000000;0.000000;0.000000;;\n 0.500000;0.000000;0.000000;;\n}\n");
  // One more point of specular crosses 256 and turns the highlight white.
  s.name = "Shiny", s.specular = 1;
  LwObject o2 = objectWith({s});
  EXPECT_NE(collect(table, o2).text.find(" 1.000000;1.000000;1.000000;;\n 0.500000;"), std::string::npos);
  LwObject plain = objectWith({surface("Default")});
  EXPECT_EQ(collect(table, plain, true).text, "Material MatDefault { F(0.784314,0.784314,0.784314,1.000000,21.333334,0.000000,0.000000,"
                                             "0.000000,0.000000,0.000000,0.000000) }");
  EXPECT_EQ(std::to_string(o.surfaces[0].materialIndex) + std::to_string(o2.surfaces[0].materialIndex) + std::to_string(plain.surfaces[0].materialIndex), "012");
  // Colour highlights take the surface colour into the highlight; a luminous colour of its own glows instead of the surface colour.
  s.name = "Tinted";
  s.colorHighlight = 0.5;
  s.ownLuminousColor = true;
  s.luminousColor[0] = 0;
  LwObject tinted = objectWith({s});
  EXPECT_NE(collect(table, tinted).text.find(" 1.000000;0.500000;0.500000;;\n 0.000000;0.500000;0.500000;;\n"), std::string::npos);
}

TEST(Materials, NamesAreFilteredMadeUniqueAndEqualValuesMerge) {
  MaterialTable table;
  LwObject first = objectWith({surface("wood grain"), surface("Default", 10, 20, 30), surface("a(b)-c", 1, 2, 3)});
  collect(table, first);
  // Another Default gets its own record, told apart by its number; a surface equal to an earlier material is not written again.
  LwObject second = objectWith({surface("Default", 40, 50, 60), surface("Default", 70, 80, 90), surface("Other", 40, 50, 60)});
  const std::string more = collect(table, second).text;
  EXPECT_EQ(more.find("Material MatDefault_2 {") + more.find("Material MatOther"), std::string::npos);
  EXPECT_EQ(table.uniqueNames, (std::vector<std::string>{"Matwood_grain", "MatDefault", "Matabc", "MatDefault_2", "MatDefault_3"}));
  EXPECT_EQ(std::to_string(second.surfaces[1].materialIndex) + std::to_string(second.surfaces[2].materialIndex), "43");
  EXPECT_EQ(materialUniqueName(table, 4) + "|" + materialUniqueName(table, 100000) + "|" + materialUniqueName(table, -1), "MatDefault_3||");
  // A surface named like a numbered one never shares a name with another material.
  table = {};
  LwObject clash = objectWith({surface("A", 1, 1, 1), surface("A_2", 2, 2, 2), surface("A", 3, 3, 3), surface("A_2", 4, 4, 4)});
  collect(table, clash);
  EXPECT_EQ(table.uniqueNames, (std::vector<std::string>{"MatA", "MatA_2", "MatA_3", "MatA_2_2"}));
  // Names longer than 40 characters are shortened, each to a name of its own.
  table = {};
  LwObject o = objectWith({surface(std::string(78, 'L'), 1, 1, 1), surface(std::string(78, 'L'), 2, 2, 2)});
  collect(table, o);
  EXPECT_EQ(table.uniqueNames, (std::vector<std::string>{"Mat" + std::string(28, 'L') + "_20e25f1d", "Mat" + std::string(28, 'L') + "_08bd687c"}));
  EXPECT_EQ(table.shortened, (std::vector<std::string>{"Mat" + std::string(76, 'L'), "Mat" + std::string(74, 'L') + "_2"}));
  // Equal values merge whatever the names, unless -m asks names to differ; negative luminosity on black is -0.0, equal to 0.0.
  table = {};
  LwObject merged = objectWith({surface("Red", 255, 0, 0), surface("Crimson", 255, 0, 0), surface("Black", 0, 0, 0), surface("Dark", 0, 0, 0)});
  merged.surfaces[2].luminosity = -256;
  EXPECT_EQ(collect(table, merged).text.find("Material MatCrimson"), std::string::npos);
  EXPECT_EQ(std::to_string(merged.surfaces[1].materialIndex) + std::to_string(merged.surfaces[3].materialIndex), "01");
  table = {};
  LwObject kept = objectWith({surface("Red", 255, 0, 0), surface("Crimson", 255, 0, 0), surface("Red", 255, 0, 0)});
  EXPECT_NE(collect(table, kept, false, {.noMaterialMerge = 1}).text.find("Material MatCrimson {"), std::string::npos);
  EXPECT_EQ(std::to_string(kept.surfaces[1].materialIndex) + std::to_string(kept.surfaces[2].materialIndex), "10");  // same name and values merge
}

TEST(Materials, TextureImagesAreFoundConvertedOrKept) {
  const lwbuild::Bytes bmp = lwbuild::bmpBytes(1, 1, 24, {}, {1, 2, 3, 0});
  const std::string ppmHead = "P6\n# converted by vemo\n";
  const struct {
    const char* label; std::vector<std::pair<std::string, lwbuild::Bytes>> files; std::string image; bool keep, content;
    std::string texture, console; std::vector<std::string> listing;
    std::string ppm;  // start of the PPM written, if any
  } rows[] = {
      // Images of any kind are reported when they exist nowhere, and kept as named.
      {"other kinds are kept", {{"brick.iff", {1}}}, "textures\\brick.iff", false, false, "brick.iff", "", {"brick.iff"}, ""},
      {"missing other kind", {}, "textures\\brick.png", false, false, "brick.png", "textures\\brick.png not found\n", {}, ""},
      {"no extension", {}, "c:\\maps\\brick", false, false, "brick", "c:\\maps\\brick not found\n", {}, ""},
      {"missing kept image", {}, "wood.tga", true, false, "wood.tga", "wood.tga not found\n", {}, ""},
      {"missing image keeps its name", {}, "images\\wood.tga", false, false, "wood.tga", "images\\wood.tga not found\n", {}, ""},
      {"found in the content directory", {{"content/maps/stone.bmp", bmp}}, "maps\\stone.bmp", false, true, "stone.PPM",
       "generating stone.PPM : ok\n", {"content", "stone.PPM"}, ppmHead + "1 1\n255\n\3\2\1"},
      {"found by bare name", {{"leaf.bmp", bmp}}, "x:\\nowhere\\leaf.BMP", false, false, "leaf.PPM", "generating leaf.PPM : ok\n",
       {"leaf.PPM", "leaf.bmp"}, ppmHead + "1 1\n255\n\3\2\1"},
      {"failed conversion leaves no files", {{"bad.tga", {1, 2, 3}}}, "bad.tga", false, false, "bad.PPM", "generating bad.PPM : failure\n",
       {"bad.tga"}, ""},
      {"failed conversion keeps an earlier good file", {{"wood.PPM", {'o', 'l', 'd'}}, {"wood.tga", {9, 9}}}, "wood.tga", false, false,
       "wood.PPM", "generating wood.PPM : failure\n", {"wood.PPM", "wood.tga"}, "old"},
      {"no texture at all", {}, "(none)", false, false, "", "", {}, ""}};
  for (const auto& row : rows) {
    ScratchCwd cwd;
    for (const auto& [name, bytes] : row.files) {
      std::filesystem::create_directories(std::filesystem::path(cwd.dir / name).parent_path());
      ASSERT_TRUE(lwbuild::writeFile(cwd.dir / name, bytes));
    }
    MaterialTable table;
    LwObject o = objectWith({surface("Wood", 200, 200, 200, row.image)});
    const Written w = collect(table, o, false, {.keepTextureFiles = row.keep}, testsupport::contentAt(row.content ? cwd.dir / "content" : ""));
    EXPECT_EQ(w.text, row.texture.empty() ? "Material MatWood {\n 0.784314;0.784314;0.784314;1.000000;;\n 21.333333;\n 0.000000;0.000000;0.000000;;\n"
                                            " 0.000000;0.000000;0.000000;;\n}\n" : materialWithTexture(row.texture)) << row.label;
    EXPECT_EQ(w.console, row.console) << row.label; EXPECT_EQ(testsupport::listDir(cwd.dir.path()), row.listing) << row.label;
    const std::string ppm = row.ppm.empty() ? "" : testsupport::readFile(cwd.dir / (row.texture.substr(0, row.texture.size() - 4) + ".PPM"));
    EXPECT_EQ(ppm.substr(0, row.ppm.size()), row.ppm) << row.label;
  }
  ScratchCwd cwd; MaterialTable table;
  LwObject iff = objectWith({surface("Wood", 200, 200, 200, "brick.iff")});
  EXPECT_EQ(collect(table, iff, true).text, "Material MatWood { F(1.000000,1.000000,1.000000,1.000000,21.333334,0.000000,0.000000,0.000000,"
                                            "0.000000,0.000000,0.000000) TextureFilename { \"brick.iff\" ; } }");
  // A directory that does not exist takes no new files, whoever runs the test.
  ASSERT_TRUE(lwbuild::writeFile(cwd.dir / "wood.tga", smallTga())); ctx().directory = cwd.dir / "gone"; table = {};
  LwObject o = objectWith({surface("Wood", 200, 200, 200, cwd.dir / "wood.tga")}); const Written w = collect(table, o);
  EXPECT_EQ(w.text + w.console, materialWithTexture("wood.PPM") + "generating wood.PPM : couldn't create!\n");
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
  const std::string pad(static_cast<std::size_t>(depth), ' '), in = pad + "  "; char last[128];
  std::snprintf(last, sizeof last, "%f,%f,%f,1.000000;;\n", x, y, z);
  return "\n" + pad + "Frame " + name + " {\n" + pad + " FrameTransformMatrix {\n" + in + "1.000000,0.000000,0.000000,0.000000,\n" + in +
         "0.000000,1.000000,0.000000,0.000000,\n" + in + "0.000000,0.000000,1.000000,0.000000,\n" + in + last + pad + " }\n";
}

std::string frameClose(int depth) { return std::string(static_cast<std::size_t>(depth), ' ') + "}\n"; }

// Writes the scene's materials and frames (and animation); the .x text (decoded tokens when binary) and the console.
Written written(LwScene& scene, const ConvertOptions& set = {}, bool binary = false) {
  XWriter out; out.binary = binary; MaterialTable table; Written w;
  w.console = console([&] { w.result = withOptions(set, [&] { for (auto& item : scene.items) collectMaterials(ctx(), table, *item);
    SceneFeed feed = sceneFeed(ctx(), table, scene);
    return ok(writeScene(ctx(), table, feed, out)) ? 0 : -1; }); });
  w.text = binary ? xtokens::decode(out.buffer) : std::string(out.buffer.begin(), out.buffer.end());
  return w;
}

}  // namespace

TEST(Frames, TreeMatricesParentPivotAndUnreachableItems) {
  LwScene scene;
  addItem(scene, "0_box", 0, {motionKey(0, 1, 0, 0, 2, 3)}).pivot[0] = 0.5f;
  addItem(scene, "1_lid", 1, {motionKey(0, 1.5, 0, 0, 1)});
  addItem(scene, "2_still", 0, {});
  Written w = written(scene);
  EXPECT_EQ(w.text, frameOpen(0, "Frame0_box", 1, 2, 3) + frameOpen(1, "Frame1_lid", 1, 1, 0) + frameClose(1) + frameClose(0) +
                        frameOpen(0, "Frame2_still", 0, 0, 0) + frameClose(0));
  EXPECT_EQ(std::to_string(w.result) + w.console, "0Frame0_box : \n Frame1_lid : \nFrame2_still : \n");

  LwScene tree;
  for (const auto& [name, parent] : {std::pair{"0_a", 0}, {"1_b", 4}, {"2_c", 0}, {"3_d", 1}, {"4_e", 1}, {"5_lost", 99},
                                     {"6_below_lost", 6}, {"7_cycle", 10}, {"8_nokeys", 0}, {"9_cycle", 8}})
    addItem(tree, name, parent, {motionKey(0, 0)});
  tree.items[8]->motionKeys.clear();
  EXPECT_EQ(written(tree).console, "Frame0_a : \n Frame3_d : \n  Frame1_b : \n Frame4_e : \nFrame2_c : \nFrame8_nokeys : \n");
  // Starting inside a cycle stops instead of going round; an unknown parent writes nothing.
  XWriter out; MaterialTable table; SceneFeed feed = sceneFeed(ctx(), table, tree);
  EXPECT_EQ(console([&] { writeFrames(ctx(), table, feed, out, 10, 0), writeFrames(ctx(), table, feed, out, 11, 0), writeFrames(ctx(), table, feed, out, -1, 0); }),
            "Frame7_cycle : \n");
}

TEST(Frames, DissolvedItemsOptionsAndTheTopFrame) {
  LwScene scene;
  addItem(scene, "0_top", 0, {motionKey(0, 0)});
  addItem(scene, "1_gone", 1, {motionKey(0, 0)}).dissolve = 1.0;
  addItem(scene, "2_child", 2, {motionKey(0, 1)});
  LwObject& faded = addItem(scene, "3_faded", 1, {motionKey(0, 0)});
  faded.dissolve = 1.5; makeTriangle(faded);
  Written w = written(scene, {.noNormals = 1});
  // The dissolved item has no frame; its child sits one level deeper in the enclosing frame.
  const std::string start = frameOpen(0, "Frame0_top", 0, 0, 0) + frameOpen(2, "Frame2_child", 1, 0, 0) + frameClose(2) + "  Mesh Mesh3_faded {\n";
  EXPECT_EQ(w.text.substr(w.text.find("\nFrame "), start.size()), start);
  EXPECT_EQ(w.text.find("Frame3_faded") + w.text.find("1_gone"), 2 * std::string::npos);
  EXPECT_EQ(w.console, "Frame0_top : \n \n  Frame2_child : \n  3 Vertices  1 Polygons \n");
  EXPECT_TRUE(faded.vertices.empty());  // the geometry is released right after its mesh
  LwScene two;
  addItem(two, "0_box", 0, {motionKey(0, 1, 0, 0, 2, 3)});
  addItem(two, "1_lid", 1, {motionKey(0, 0, 0, 0, 1), motionKey(10, 0, 0, 0, 2)});
  w = written(two, {.topFrame = 1, .noAnimation = 1});
  EXPECT_EQ(w.text + w.console, "\nFrame TopFrame {\n" + frameOpen(1, "Frame0_box", 1, 2, 3) + frameOpen(2, "Frame1_lid", 0, 1, 0) + frameClose(2) +
                                    frameClose(1) + frameClose(0) + "TopFrame\n Frame0_box : \n  Frame1_lid : \n");
  w = written(two, {.framePrefix = "Props_"});
  EXPECT_NE(w.text.find("Frame Props_0_box {"), std::string::npos); EXPECT_NE(w.text.find("\n Frame Props_1_lid {"), std::string::npos);
  EXPECT_NE(w.text.find("AnimationSet AnimationSet0 {"), std::string::npos);  // something moves
  EXPECT_EQ(w.console, "Props_0_box\n Props_1_lid\nwriting animation...\n");
  EXPECT_EQ(written(two, {.noAnimation = 1}).text.find("AnimationSet"), std::string::npos);
  makeTriangle(*two.items[1]);
  w = written(two, {.noNormals = 1, .topFrame = 1, .noAnimation = 1, .meshesOnly = 1});
  EXPECT_EQ(w.text.find("Frame") + w.text.find("AnimationSet"), 2 * std::string::npos);
  EXPECT_NE(w.text.find("\n   Mesh Mesh1_lid {\n"), std::string::npos);  // depth 1 + 1 for -T, + 1 inside
  EXPECT_EQ(w.console, " \n   3 Vertices  1 Polygons \n");
  two.items[1]->motionKeys.pop_back();
  EXPECT_EQ(written(two).text.find("AnimationSet"), std::string::npos);  // nothing moves
  LwObject object; object.name = "cube"; makeTriangle(object); XWriter out; MaterialTable table;
  collectMaterials(ctx(), table, object);
  out.buffer.clear();
  EXPECT_EQ(console([&] { withOptions({.noNormals = 1, .topFrame = 1}, [&] { ReadyMesh mesh;
    readyMesh(ctx(), table, object, false, mesh);
    return writeObjectTopFrame(ctx(), table, object, mesh, out); }); }),
            "TopFrame\n 3 Vertices  1 Polygons \n");
  const std::string text(out.buffer.begin(), out.buffer.end());
  EXPECT_EQ(text.substr(0, 38) + "|" + text.substr(text.size() - 5), "\nFrame TopFrame {\n Mesh Meshcube {\n  3| }\n}\n");
}

namespace {

struct Poly {
  std::vector<std::uint32_t> corners; int surface;
  std::vector<std::uint32_t> normals = {};  // normal-table entry per corner
  int wrapU = 0;
};

// An object as the reader leaves it: one vertex per point, corners in one pool.
LwObject makeObject(const std::vector<float>& xyz, const std::vector<Poly>& polys, const std::vector<std::string>& surfaces = {"Default"}) {
  LwObject o;
  for (std::size_t i = 0; i + 2 < xyz.size(); i += 3) o.points.push_back({xyz[i], xyz[i + 1], xyz[i + 2]});
  for (std::uint32_t i = 0; i < o.points.size(); ++i) o.vertices.push_back(LwVertex{0, 0, 0, i, 0, 0, 0, i});
  for (const Poly& p : polys) {
    o.polygons.push_back(LwPolygon{static_cast<std::int32_t>(p.corners.size()), static_cast<std::uint32_t>(o.indices.size()), p.surface, {}, p.wrapU});
    for (std::size_t k = 0; k < p.corners.size(); ++k) o.indices.push_back(p.corners[k]), o.cornerNormals.push_back(k < p.normals.size() ? p.normals[k] : 0);
  }
  for (const std::string& name : surfaces) {
    o.surfaces.emplace_back().name = name; o.surfaces.back().color[0] = static_cast<std::uint8_t>(o.surfaces.size() * 10 - 10);
  }
  return o;
}

const std::vector<float> kSquare = {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0};

// Collects the object's materials into the table, then writes its mesh: text or decoded tokens, and the console.
Written write(MaterialTable& table, const LwObject& source, bool binary = false, const ConvertOptions& set = {}, int indent = 0) {
  LwObject object = source; XWriter materials, w; w.binary = binary; Written out;
  out.console = testsupport::console([&] {
    testsupport::withOptions(set, [&] { ReadyMesh mesh;
      collectMaterials(ctx(), table, object);
      readyMesh(ctx(), table, object, false, mesh);
      writeMesh(ctx(), table, object, mesh, w, indent); });
  });
  out.text = binary ? xtokens::decode(w.buffer) : std::string(w.buffer.begin(), w.buffer.end());
  return out;
}
Written write(const LwObject& source, bool binary = false, const ConvertOptions& set = {}, int indent = 0) {
  MaterialTable table;
  return write(table, source, binary, set, indent);
}

// The section of the mesh text from the first line starting with `from` to its closing "}" at depth 1.
std::string section(const std::string& text, const std::string& from) {
  const std::size_t start = text.find(from), end = text.find("\n }\n", start);
  return start == std::string::npos ? "" : text.substr(start, end == std::string::npos ? std::string::npos : end + 4 - start);
}

}  // namespace

TEST(Mesh, TextAndBinaryLayoutOfAFullMesh) {
  // Two surfaces on two materials, a partly used normal table and one (u, v).
  LwObject o = makeObject(kSquare, {{{0, 1, 2}, 0, {0, 0, 0}}, {{0, 2, 3}, 1, {2, 2, 2}}}, {"A", "B"});
  o.normals = {LwNormal{0, 0, 1, 3}, LwNormal{1, 0, 0, 0}, LwNormal{0, 0, -1, 3}};
  o.vertices[2].u = 0.5, o.name = "0_box"; const Written text = write(o), binary = write(o, true);
  EXPECT_EQ(text.text, "Mesh Mesh0_box {\n 4;\n 0.000000;0.000000;0.000000;,\n 1.000000;0.000000;0.000000;,\n 1.000000;1.000000;0.000000;,\n"
                       " 0.000000;1.000000;0.000000;;\n\n 2;\n 3;0,1,2;,\n 3;0,2,3;;\n\n MeshMaterialList {\n  2;\n  2;\n  0,1;;\n  {MatA}\n  {MatB}\n }\n"
                       " MeshNormals {\n  2;\n  0.000000;0.000000;1.000000;,\n  0.000000;0.000000;-1.000000;;\n\n  2;\n  3;0,0,0;,\n  3;1,1,1;;\n }\n"
                       " MeshTextureCoords {\n  4;\n  0.000000;0.000000;\n  0.000000;0.000000;\n  0.500000;0.000000;\n  0.000000;0.000000;;\n }\n}\n");
  EXPECT_EQ(binary.text, "Mesh Mesh0_box { I(4) F(0.000000,0.000000,0.000000,1.000000,0.000000,0.000000,1.000000,1.000000,0.000000,0.000000,1.000000,"
                         "0.000000) I(2,3,0,1,2,3,0,2,3) MeshMaterialList { I(2,2,0,1) { MatA } { MatB } } MeshNormals { I(2) F(0.000000,0.000000,"
                         "1.000000,0.000000,0.000000,-1.000000) I(2,3,0,0,0,3,1,1,1) } MeshTextureCoords { I(4) F(0.000000,0.000000,0.000000,0.000000,"
                         "0.500000,0.000000,0.000000,0.000000) } }");
  EXPECT_EQ(text.console + "|" + binary.console, " 4 Vertices  2 Polygons  2 Normals| 4 Vertices  2 Polygons  2 Normals");
  // Renumbered normals; none used: the count is printed and nothing written; -N: not even the count.
  o.normals = {LwNormal{1, 0, 0, 1}, LwNormal{0, 1, 0, 0}, LwNormal{0, 0, 1, 1}, LwNormal{0.5f, 0.5f, 0, 1}};
  o.polygons.resize(1), o.cornerNormals = {0, 2, 3, 0, 0, 0};
  const Written renumbered = write(o);
  EXPECT_EQ(section(renumbered.text, " MeshNormals") + renumbered.console,
            " MeshNormals {\n  3;\n  1.000000;0.000000;0.000000;,\n  0.000000;0.000000;1.000000;,\n  0.500000;0.500000;0.000000;;\n\n  1;\n  3;0,1,2;;\n }\n"
            " 4 Vertices  1 Polygons  3 Normals");
  for (LwNormal& n : o.normals) n.useCount = 0;
  EXPECT_EQ(section(write(o).text, " MeshNormals") + write(o).console, " 4 Vertices  1 Polygons  0 Normals");
  o.normals[0].useCount = 1;
  EXPECT_EQ(section(write(o, false, {.noNormals = 1}).text, " MeshNormals") + write(o, false, {.noNormals = 1}).console, " 4 Vertices  1 Polygons ");
}

TEST(Mesh, VariantsOfEverySection) {
  const std::vector<Poly> triangle = {{{0, 1, 2}, 0}};
  LwObject pivoted = makeObject({1, 2, 3, 4, 4, 4, 0, 0, 0}, triangle);
  pivoted.pivot[0] = 1, pivoted.pivot[1] = 2, pivoted.pivot[2] = 3;
  LwObject target = makeObject({5, 6, 7}, {}), morphed = makeObject({1, 2, 3, 4, 4, 4, 0, 0, 0}, triangle);
  morphed.morphTarget = &target;  // a point for vertex 0 only: vertex 1 stays where it is
  LwObject merged = makeObject(kSquare, {{{0, 1, 2}, 0}, {{0, 2, 3}, 1}, {{1, 2, 3}, 0}}, {"Same", "Alike"});
  merged.surfaces[1].color[0] = merged.surfaces[0].color[0];  // equal values merge into one material
  std::vector<Poly> forty;
  for (int i = 0; i < 40; ++i) forty.push_back({{0, 1, 2}, i % 2});
  LwObject uv = makeObject(kSquare, {{{0, 1, 2}, 0}});
  uv.vertices[1].v = 0.25;
  const LwObject wraps = makeObject(kSquare, {{{0, 1, 2}, 0, {}, 0}, {{0, 2, 3}, 0, {}, 1}, {{1, 2, 3}, 0, {}, 0}});
  // Damaged records never read outside their arrays.
  LwObject damaged = makeObject(kSquare, {{{0, 1, 2}, 0, {0, 7, 1}}, {{1, 2, 3}, 5}});
  damaged.normals = {LwNormal{0, 0, 1, 2}};
  damaged.polygons[1].cornerCount = 9, damaged.cornerNormals.resize(2), damaged.vertices[3].point = 40;
  const struct {
    LwObject object;
    char option;  // 'F' flips v, 'u' wraps faces
    std::string from, expected, binary;
    double metamorph = 0;
  } rows[] = {
      {pivoted, ' ', " 3;", " 3;\n 0.000000;0.000000;0.000000;,\n 3.000000;2.000000;1.000000;,\n -1.000000;-2.000000;-3.000000;;\n\n 1;\n",
       "Mesh { I(3) F(0.000000,0.000000,0.000000,3.000000,2.000000,1.000000,-1.000000,-2.000000,-3.000000) I(1,3,0,1,2)"},
      {morphed, ' ', " 3;", " 3;\n 2.000000;3.000000;4.000000;,\n 4.000000;4.000000;4.000000;,\n", "", 0.25},
      {morphed, ' ', " 3;", " 3;\n 5.000000;6.000000;7.000000;,\n 4.000000;", "", 1.0},
      {morphed, ' ', " 3;", " 3;\n 5.000000;6.000000;7.000000;,\n", "", 2.5},
      {morphed, ' ', " 3;", " 3;\n 1.000000;2.000000;3.000000;,\n", "", -1.0},
      // One face index per face, also when every face has the same material.
      {merged, ' ', " MeshMaterialList", " MeshMaterialList {\n  1;\n  3;\n  0,0,0;;\n  {MatSame}\n }\n", "MeshMaterialList { I(1,3,0,0,0) { MatSame } }"},
      {makeObject(kSquare, forty, {"Even", "Odd"}), ' ', " MeshMaterialList",  // face indexes wrap after 32 a line
       " MeshMaterialList {\n  2;\n  40;\n  0,1,0,1,0,1,0,1,0,1,0,1,0,1,0,1,0,1,0,1,0,1,0,1,0,1,0,1,0,1,0,1,\n  0,1,0,1,0,1,0,1;;\n  {MatEven}\n  {MatOdd}\n }\n", ""},
      {makeObject(kSquare, {{{0, 1, 2}, 1}, {{0, 2, 3}, 0}}, {"First", "Second"}), ' ', " MeshMaterialList",
       " MeshMaterialList {\n  2;\n  2;\n  1,0;;\n  {MatFirst}\n  {MatSecond}\n }\n", "MeshMaterialList { I(2,2,1,0) { MatFirst } { MatSecond } }"},
      {uv, ' ', " MeshTextureCoords", " MeshTextureCoords {\n  4;\n  0.000000;0.000000;\n  0.000000;0.250000;\n  0.000000;0.000000;\n  0.000000;0.000000;;\n }\n", ""},
      {uv, 'F', " MeshTextureCoords",
       " MeshTextureCoords {\n  4;\n  0.000000;1.000000;\n  0.000000;0.750000;\n  0.000000;1.000000;\n  0.000000;1.000000;;\n }\n",
       "MeshTextureCoords { I(4) F(0.000000,1.000000,0.000000,0.750000,0.000000,1.000000,0.000000,1.000000) }"},
      {makeObject(kSquare, {{{0, 1, 2}, 0}}), ' ', " MeshTextureCoords", "", ""},  // none set
      {wraps, ' ', " MeshFaceWraps", "", ""},
      {wraps, 'u', " 3;1,2,3;;", " 3;1,2,3;;\n\n MeshFaceWraps {\n  3;\n  0;0;,\n  1;0;,\n  0;0;;\n }\n",
       "I(3,3,0,1,2,3,0,2,3,3,1,2,3) MeshFaceWraps { I(3,0,0,1,0,0,0) } MeshMaterialList"},
      {damaged, ' ', " 1.000000;1.000000;0.000000;,\n", " 1.000000;1.000000;0.000000;,\n 0.000000;0.000000;0.000000;;\n", ""},
      {damaged, ' ', " 2;\n 3;", " 2;\n 3;0,1,2;,\n 3;1,2,3;;\n\n MeshMaterialList {\n  1;\n  2;\n  0,0;;\n  {MatDefault}\n }\n", ""},
      {damaged, ' ', " MeshNormals", " MeshNormals {\n  1;\n  0.000000;0.000000;1.000000;;\n\n  2;\n  3;0,0,0;,\n  3;0,0,0;;\n }\n", ""}};
  for (const auto& row : rows) {
    LwObject o = row.object;
    o.metamorph = row.metamorph;
    const ConvertOptions set = {.flipTextureV = row.option == 'F', .textureWrap = row.option == 'u'};
    const std::string text = write(o, false, set).text;
    EXPECT_EQ(section(text, row.from).substr(0, row.expected.size()), row.expected) << text;
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
  EXPECT_EQ(write(o, false, {}, 1).text.rfind(" Mesh Mesh0_box {\n", 0), 0u);
  EXPECT_EQ(write(o, false, {.framePrefix = "x"}, 1).text.rfind(" Mesh {\n", 0), 0u);
  EXPECT_EQ(write(o, true, {.framePrefix = "x"}).text.rfind("Mesh { I(3)", 0), 0u);
  // Names longer than engines keep are shortened alike in both encodings.
  o.name = std::string(36, 'n');
  EXPECT_EQ(write(o).text.rfind("Mesh Mesh" + std::string(36, 'n') + " {\n", 0), 0u);
  o.name = std::string(79, 'n');
  const std::string shortName = "Mesh Mesh" + std::string(27, 'n') + "_";
  EXPECT_EQ(write(o).text.rfind(shortName, 0), 0u);
  EXPECT_EQ(write(o).text.find(" {\n"), 45u);
  EXPECT_EQ(write(o, true).text.rfind(shortName, 0), 0u);
  EXPECT_EQ(write(o).console, " 3 Vertices  1 Polygons  0 Normals");
  // Points without faces make no Mesh: DirectX 9's loader refuses one.
  const Written points = write(makeObject({0, 0, 0}, {}));
  EXPECT_EQ(points.text, "");
  EXPECT_EQ(points.console, " no faces: no Mesh written");
  // Nothing at all for an object without vertices or fully dissolved.
  LwObject dissolved = makeObject(kSquare, {{{0, 1, 2}, 0}}); dissolved.dissolve = 1.0;
  EXPECT_EQ(write(makeObject({}, {})).text + write(makeObject({}, {})).console + write(dissolved).text + write(dissolved).console, "");
  dissolved.dissolve = 0.999;
  EXPECT_EQ(write(dissolved).text.rfind("Mesh {\n 4;\n", 0), 0u);
}

// Engines keep names in 40-byte fields: a longer frame name is shortened once, and the frame
// and the animation's reference to it agree, in both encodings; one warning lists it.
TEST(Names, LongFrameNamesAreShortenedAlikeWhereverTheyAreWritten) {
  LwScene scene;
  const std::string name = "0_" + std::string(40, 'a');
  addItem(scene, name, 0, {motionKey(0, 0), motionKey(10, 1)});
  addItem(scene, "1_" + std::string(33, 'b'), 0, {});
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
