// Objects and scenes converted by the real program: console, exact text, binary tokens,
// textures, options, failures, and both encodings read back by an independent reader.
#include <gtest/gtest.h>

#include <cmath>
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
  for (const Names& args : {Names{"-b", "shape.lwo", "bin"}, {"-N", "shape.lwo", "plain.x"}, {"-b", "-N", "shape.lwo", "bin/plain.x"}}) {
    const auto other = torvoCommand(args, dir.path());
    EXPECT_EQ(other.exitCode, 0) << args[0];
    const bool normals = args[1] != "-N" && args[0] != "-N";
    EXPECT_TRUE(contains(other.out, normals ? " 5 Vertices  3 Polygons  3 Normals\n" : " 5 Vertices  3 Polygons \n")) << other.out;
  }
  EXPECT_EQ(readBack(dir / "bin/plain.X").text, readBack(dir / "plain.X").text);
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
  writeFile(dir / "out/images/wood.tga", woodTga());
  // Relative image names resolve against the destination; the PPM lands there.
  const auto r = torvoCommand({"-u", "board.lwo", "out"}, dir.path());
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_TRUE(contains(r.out, "writing a mesh to X...\ngenerating wood.PPM : ok\n 4 Vertices  1 Polygons  1 Normals\n")) << r.out;
  EXPECT_EQ(readFile(dir / "out/wood.PPM"), kWoodPpm);
  EXPECT_EQ(listDir(dir / "out"), (Names{"board.X", "images", "wood.PPM"}));
  const std::string x = readFile(dir / "out/board.X");
  EXPECT_TRUE(inOrder(x, {" TextureFilename {\n  \"wood.PPM\";\n }\n", " MeshFaceWraps {\n  1;\n  0;0;;\n }\n", " MeshTextureCoords {\n  4;\n"})) << x;
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
  EXPECT_TRUE(inOrder(r.out, {"reading scene.lws :\n", " Objects\\box.lwo :", "\n", " Objects\\lid.lwo :", "\n", "writing a scene to X...\n",
                              "Frame0_box :  4 Vertices  1 Polygons ", "\n", " Frame1_lid :  4 Vertices  1 Polygons ", "\n", "Frame2_Helper : \n",
                              " Frame3_Sun : \n", "FrameCamera : \n", "writing animation...\n"})) << r.out;
  const std::string x = readFile(dir / "scene.X");
  EXPECT_TRUE(inOrder(x, {"Material MatPaint {", "\nFrame Frame0_box {\n FrameTransformMatrix {\n", "  1.000000,2.000000,3.000000,1.000000;;\n",
                          " Mesh Mesh0_box {", "\n Frame Frame1_lid {\n", "   0.000000,1.000000,0.000000,1.000000;;\n",  // minus the box pivot
                          "\nFrame Frame2_Helper {", "\n Frame Frame3_Sun {", "   0.000000,-1.000000,0.000000,1.000000;;\n", "\nFrame FrameCamera {",
                          "AnimationSet AnimationSet0 {\n", " Animation Animation0 {\n  {Frame0_box}\n", " Animation Animation1 {\n  {Frame1_lid}\n",
                          " Animation Animation2 {\n", " Animation Animation3 {\n", " Animation Animation4 {\n  {FrameCamera}\n"})) << x;
  EXPECT_TRUE(contains(x, "   16; 3; 0.000000, 0.000000, 0.000000;;,\n"));  // the helper resets after its last key at 15
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
  // The box turns, scales and moves: all three key sets carry every sample (0, 10, 13, 16 and 30).
  const auto& box = view.keys.at("Frame0_box");
  for (const char* kind : {"rotation", "scale", "position"}) EXPECT_EQ(box.at(kind).size(), 5u) << kind;
  EXPECT_EQ(box.at("position")[1], (std::vector<double>{10, 2, 2, -3}));
  EXPECT_EQ(box.at("scale")[1], (std::vector<double>{10, 1, 1.5, 1}));
  // Heading 90 and pitch 10 at frame 10, as a quaternion the reader turns by -(w, x, y, -z).
  const std::vector<double>& turn = box.at("rotation")[1];
  ASSERT_EQ(turn.size(), 5u);
  const double w = std::cos(M_PI / 4) * std::cos(M_PI / 36);
  EXPECT_NEAR(std::fabs(turn[1]), w, 1e-6);
}

TEST(SceneE2E, FailuresLeaveNoOutputAndDeepChainsConvert) {
  TempDir dir;
  writeFixtures(dir);
  LwscBuilder endless(0, 2000000000);
  LwscBuilder chain(0, 10);
  endless.line("AddNullObject Spinner").motion("ObjectMotion", {key(0, 0, 0, 0), key(1, 0, 0, 0, 90)}).line("EndBehavior 2");
  for (int i = 0; i < 5000; ++i) {
    chain.line("AddNullObject n").motion("ObjectMotion", {key(0, 1, 0, 0), key(10, 2, 0, 0)});
    if (i > 0) chain.line("ParentObject " + std::to_string(i));
  }
  writeFile(dir / "endless.lws", endless.text());
  writeFile(dir / "chain.lws", chain.text());
  // A repeating motion over two billion frames is refused, not sampled, after the frames are written.
  const auto r = torvoCommand({"endless.lws"}, dir.path());
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(contains(r.out, "animation of 0_Spinner too long: more than 10000000 samples\n")) << r.out;
  EXPECT_EQ(listDir(dir.path()), (Names{"Objects", "bin", "chain.lws", "endless.lws", "lw.cfg", "scene.lws"}));
  Expect deeperThanWine;
  deeperThanWine.wine = false;
  const auto deep = torvoCommand({"-b", "chain.lws"}, dir.path(), "", deeperThanWine);
  EXPECT_EQ(deep.exitCode, 0);
  EXPECT_TRUE(contains(deep.out, std::string(4999, ' ') + "Frame4999_n : \n"));
}
