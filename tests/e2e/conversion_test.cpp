// Objects and scenes converted by the real program: console, exact text, binary tokens,
// textures, options, failures, and both encodings read back by an independent reader.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "cli_support.h"

using namespace clitest;

// The layout of each part is the writers' business (xscene_test); here whole files, in both
// encodings, with and without normals, read back alike.
TEST(ObjectE2E, TextBinaryConsoleAndTheIndependentReader) {
  TempDir dir;
  // Two quads and a triangle on a red and a half-transparent blue surface.
  writeFile(dir / "shape.lwo", LwobBuilder().surfaces({"Red", "Blue"}).points({0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0, 0.5f, 0.5f, 2})
                                   .polygons({{{0, 1, 2, 3}, 1}, {{0, 1, 4}, 2}, {{1, 2, 4}, 2}})
                                   .surface("Red", {subColor(255, 0, 0), subU16("GLOS", 256)})
                                   .surface("Blue", {subColor(0, 0, 255), subU16("TRAN", 128), subU16("LUMI", 256), subU16("SPEC", 64)}).bytes());
  testsupport::makeDir(dir / "bin");
  const auto r = torvoCommand({"shape.lwo"}, dir.path());
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, kBanner + kAscii + "Convert From: " + dir / "shape.lwo" + "\nConvert To: shape.X\nreading shape.lwo : Normals "
                   "TextureCoords\nwriting template...\nwriting a mesh to X...\n 5 Vertices  3 Polygons  3 Normals\n");
  // What -N leaves out is the mesh writer's business (xscene_test); here only that the letter reaches it.
  EXPECT_EQ(torvoCommand({"-b", "shape.lwo", "bin"}, dir.path()).exitCode, 0);
  EXPECT_EQ(torvoCommand({"-N", "shape.lwo", "plain.x"}, dir.path()).exitCode, 0);
  EXPECT_TRUE(contains(readBack(dir / "plain.X").text, " normals no ")) << readBack(dir / "plain.X").text;
  const ReaderView view = readBack(dir / "shape.X");
  EXPECT_EQ(readBack(dir / "bin/shape.X").text, view.text);
  EXPECT_EQ(view.error, "");
  EXPECT_EQ(view.materials, (Names{"MatRed 1.000 0.000 0.000 1.000", "MatBlue 0.000 0.000 1.000 0.500"}));
  EXPECT_EQ(view.faces, 3);
  EXPECT_EQ(view.corners, 10);
  EXPECT_EQ(view.positions, (std::set<std::tuple<float, float, float>>{{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {0.5f, 0.5f, 2}}));
}

// Finding and converting images is the materials' business (xscene_test); here the whole program
// writes what readers need: the PPM beside the output, wraps, coordinates, and a kept image's name.
TEST(ObjectE2E, TexturesAreConvertedMappedOrKept) {
  TempDir dir;
  testsupport::makeDir(dir / "out/images");
  writeFile(dir / "board.lwo", mappedObject("images\\wood.tga"));
  writeFile(dir / "out/images/wood.tga", tgaBytes(TgaSpec{}, {}, {10, 20, 30}));
  // Relative image names resolve against the destination; the PPM lands there.
  const auto r = torvoCommand({"-u", "board.lwo", "out"}, dir.path());
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_TRUE(contains(r.out, "writing a mesh to X...\ngenerating wood.PPM : ok\n 4 Vertices  1 Polygons  1 Normals\n")) << r.out;
  EXPECT_EQ(listDir(dir / "out"), (Names{"board.X", "images", "wood.PPM"}));
  EXPECT_TRUE(contains(readFile(dir / "out/board.X"), " MeshFaceWraps {\n")) << "-u reaches the mesh writer";
  EXPECT_EQ(torvoCommand({"-b", "-B", "board.lwo", "out/kept.x"}, dir.path()).exitCode, 0);
  for (const auto& [file, texture] : {std::pair{"out/board.X", "wood.PPM"}, {"out/kept.X", "wood.tga"}}) {
    const ReaderView view = readBack(dir / file);
    EXPECT_TRUE(contains(view.text, "vertices 4 faces 1 normals yes uv yes material 0")) << file << view.text;
    EXPECT_TRUE(contains(view.text, " texture " + std::string(texture) + "\n")) << file << view.text;
  }
}

// A smoothed sphere on two alternating planar maps: more vertices and normals than 16-bit indices hold.
TEST(ObjectE2E, LargeObjectPassesSixteenBitIndices) {
  TempDir dir;
  const Geometry g = uvSphere(256, 255, 100.0, [](unsigned band, unsigned s) { return 1 + static_cast<int>((band + s) % 2); });
  const Bytes bytes = LwobBuilder().surfaces({"Light", "Dark"}).points(g.points).polygons(g.polygons)
                          .surface("Light", {subU16("FLAG", 4), subString("CTEX", "Planar Image Map"), subU16("TFLG", 2), subVec("TSIZ", 200, 200, 200)})
                          .surface("Dark", {subColor(20, 20, 20), subString("CTEX", "Planar Image Map"), subU16("TFLG", 4), subVec("TSIZ", 200, 200, 200)})
                          .bytes();
  writeFile(dir / "sphere.lwo", bytes);
  const auto text = torvoCommand({"sphere.lwo", "text.x"}, dir.path());
  ASSERT_EQ(text.exitCode, 0);
  ASSERT_EQ(torvoCommand({"-b", "sphere.lwo", "binary.x"}, dir.path()).exitCode, 0);
  // Flat dark faces keep their own normals; the last normal is in use.
  EXPECT_TRUE(contains(text.out, " 130052 Vertices  65280 Polygons  97666 Normals\n")) << text.out;
  EXPECT_TRUE(contains(readFile(dir / "text.X"), ",97665;,\n  3;"));
  EXPECT_TRUE(contains(text.out, "sphere.lwo has 130052 vertices: engines with 16-bit indices show at most 65535\n")) << text.out;
  for (const char* file : {"text.X", "binary.X"}) {
    SCOPED_TRACE(file);
    const ReaderView view = readBack(dir / file);
    EXPECT_EQ(view.error, "");
    EXPECT_EQ(view.faces, 65280);
    EXPECT_TRUE(contains(view.text, "normals yes uv yes"));
  }
}

namespace {

Bytes shape(float size) {
  return LwobBuilder().surfaces({"Paint"}).points({0, 0, 0, size, 0, 0, size, size, 0, 0, size, 0}).polygons({{{0, 1, 2, 3}, 1}})
      .surface("Paint", {subColor(200, 10, 10)}).bytes();
}

SceneKey tcb(SceneKey k, double tension, double continuity, double bias) {
  k.tension = tension;
  k.continuity = continuity;
  k.bias = bias;
  return k;
}

// A box with a lid on its pivot, a null aiming at the box with a light below it, and a
// camera following its path: linear and spline keys, reset, rotation, scale and position.
void writeFixtures(const TempDir& dir) {
  LwscBuilder s(0, 30);
  s.line("LoadObject Objects\\box.lwo").motion("ObjectMotion (unnamed)", {key(0, 1, 2, 3), key(10, 2, 2, 3, 90, 10, 0, 1, 1.5, 1, 1),
                                                                          tcb(key(20, 3, 2, 4, 45, 0, 30), 0.3, -0.2, 0.5)});
  s.line("PivotPoint 0.5 0 0").line("").line("LoadObject Objects\\lid.lwo");
  s.motion("ObjectMotion (unnamed)", {key(0, 0.5, 1, 0), key(30, 0.5, 1.5, 0, 0, 0, 0, 1, 1, 1, 1)}).line("ParentObject 1").line("PivotPoint 0 0.2 0");
  s.line("AddNullObject Helper").motion("ObjectMotion (unnamed)", {key(0, -3, 0, 0), key(15, -3, 4, 2)}).line("EndBehavior 0").line("TargetObject 1");
  s.line("AddLight").line("LightName Sun").motion("LightMotion (unnamed)", {key(0, 0, -1, 0)}).line("ParentObject 3");
  s.motion("CameraMotion", {key(0, 0, 1, -5), key(20, 4, 1, -5, 0, 0, 0, 1, 1, 1, 1)}).line("PathAlignment 1").line("LookAheadFrames 2");
  testsupport::makeDir(dir / "Objects");
  testsupport::makeDir(dir / "bin");
  writeFile(dir / "Objects/box.lwo", shape(1.0f));
  writeFile(dir / "Objects/lid.lwo", shape(0.5f));
  writeFile(dir / "scene.lws", s.text());
  writeFile(dir / "lw.cfg", "LWCO\n0\nContentDirectory " + dir.path() + "\n");
}

}  // namespace

TEST(SceneE2E, MultiItemSceneConsoleTextAndBothEncodingsReadBack) {
  TempDir dir;
  writeFixtures(dir);
  const auto r = torvoCommand({"-l", "-c", "-Clw.cfg", "scene.lws"}, dir.path());
  ASSERT_EQ(r.exitCode, 0) << r.out;
  // -l and -c add the light's and the camera's frames; the listing's layout is the frame writer's (xscene_test).
  EXPECT_TRUE(inOrder(r.out, {"writing a scene to X...\n", " Frame1_lid :  4 Vertices  1 Polygons ", " Frame3_Sun : \n", "FrameCamera : \n",
                              "writing animation...\n"})) << r.out;
  // With a destination the object paths resolve through the content directory.
  ASSERT_EQ(torvoCommand({"-b", "-l", "-c", "-Clw.cfg", "scene.lws", "bin"}, dir.path()).exitCode, 0);
  // The independent reader finds the same in both encodings. It turns the file right-handed (z negated)
  // and adds a root above several top frames.
  const ReaderView view = readBack(dir / "scene.X");
  EXPECT_EQ(view.error, "");
  EXPECT_EQ(readBack(dir / "bin/scene.X").text, view.text);
  const struct {
    std::string name;
    int depth;
    unsigned meshes;
    double position[3];
  } nodes[] = {{"Frame0_box", 1, 1, {1, 2, -3}}, {"Frame1_lid", 2, 1, {0, 1, 0}}, {"Frame2_Helper", 1, 0, {-3, 0, 0}},
               {"Frame3_Sun", 2, 0, {0, -1, 0}}, {"FrameCamera", 1, 0, {0, 1, 5}}};
  ASSERT_EQ(view.nodes.size(), std::size(nodes) + 1);
  for (std::size_t i = 0; i < std::size(nodes); ++i) {
    SCOPED_TRACE(nodes[i].name);
    const ReaderView::Node& node = view.nodes[i + 1];
    EXPECT_EQ(node.name, nodes[i].name);
    EXPECT_EQ(node.depth, nodes[i].depth);
    EXPECT_EQ(node.meshes, nodes[i].meshes);
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(node.transform[4 * k + 3], nodes[i].position[k], 1e-6) << k;
  }
  EXPECT_EQ(view.channels, (Names{"Frame0_box", "Frame1_lid", "Frame2_Helper", "Frame3_Sun", "FrameCamera"}));
}

// Five thousand nested items: deeper than Wine's reader goes, so it is left out.
TEST(SceneE2E, DeepChainsConvert) {
  TempDir dir;
  LwscBuilder chain(0, 10);
  for (int i = 0; i < 5000; ++i) {
    chain.line("AddNullObject n").motion("ObjectMotion", {key(0, 1, 0, 0), key(10, 2, 0, 0)});
    if (i > 0) chain.line("ParentObject " + std::to_string(i));
  }
  writeFile(dir / "chain.lws", chain.text());
  Expect deeperThanWine;
  deeperThanWine.wine = false;
  const auto deep = torvoCommand({"-b", "chain.lws"}, dir.path(), "", deeperThanWine);
  EXPECT_EQ(deep.exitCode, 0);
  EXPECT_TRUE(contains(deep.out, std::string(4999, ' ') + "Frame4999_n : \n"));
}
