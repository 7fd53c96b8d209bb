// Objects and scenes converted by the real program: console, exact text, binary tokens,
// textures, options, failures, and both encodings read back by an independent reader.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "anim/sampling.h"
#include "cli_support.h"
#include "model/xform.h"
#include "support/context.h"
#include "support/xtokens.h"

using torvo::LwObject;
using torvo::LwScene;
using torvo::MotionKey;
using torvo::lwEvaluateAligned;
using torvo::lwMotionView;
using torvo::lwReleaseScene;
using torvo::lwSceneItem;

using namespace clitest;

namespace {

std::string afterHeader(const std::string& x) {
  const std::size_t at = x.find("Header {\n 1;\n 0;\n 1;\n}\n\n");
  return at == std::string::npos ? "<no header>" : x.substr(at + 24);
}

}  // namespace

TEST(ObjectE2E, TextBinaryConsoleAndTheIndependentReader) {
  TempDir dir;
  // Two quads and a triangle on a red and a half-transparent blue surface.
  writeFile(dir / "shape.lwo", LwobBuilder().surfaces({"Red", "Blue"}).points({0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0, 0.5f, 0.5f, 2})
                                   .polygons({{{0, 1, 2, 3}, 1}, {{0, 1, 4}, 2}, {{1, 2, 4}, 2}})
                                   .surface("Red", {subColor(255, 0, 0), subU16("GLOS", 256)})
                                   .surface("Blue", {subColor(0, 0, 255), subU16("TRAN", 128), subU16("LUMI", 256), subU16("SPEC", 64)}).bytes());
  testsupport::makeDir(dir / "bin");
  const auto r = torvoCommand({"shape.lwo"}, dir.path()), n = torvoCommand({"-N", "shape.lwo", "plain.x"}, dir.path());
  const auto b = torvoCommand({"-b", "shape.lwo", "bin"}, dir.path()), bn = torvoCommand({"-b", "-N", "shape.lwo", "bin/plain.x"}, dir.path());
  EXPECT_EQ(std::to_string(r.exitCode) + r.out, "0" + kBanner + kAscii + "Convert From: " + dir / "shape.lwo" + "\nConvert To: shape.X\n"
                                                   "reading shape.lwo : Normals TextureCoords\nwriting template...\nwriting a mesh to X...\n"
                                                   " 5 Vertices  3 Polygons  3 Normals\n");
  EXPECT_TRUE(n.exitCode == 0 && b.exitCode == 0 && bn.exitCode == 0 && contains(n.out, " 5 Vertices  3 Polygons \n") &&
              contains(bn.out, " 5 Vertices  3 Polygons \n")) << n.out << b.out << bn.out;
  const std::string body =
      "Material MatRed {\n 1.000000;0.000000;0.000000;1.000000;;\n 85.333333;\n 0.000000;0.000000;0.000000;;\n 0.000000;0.000000;0.000000;;\n}\n"
      "Material MatBlue {\n 0.000000;0.000000;1.000000;0.500000;;\n 21.333333;\n 1.000000;1.000000;1.000000;;\n 0.000000;0.000000;1.000000;;\n}\n"
      "Mesh {\n 5;\n 0.000000;0.000000;0.000000;,\n 1.000000;0.000000;0.000000;,\n 1.000000;1.000000;0.000000;,\n 0.000000;1.000000;0.000000;,\n"
      " 0.500000;0.500000;2.000000;;\n\n 3;\n 4;0,1,2,3;,\n 3;0,1,4;,\n 3;1,2,4;;\n\n MeshMaterialList {\n  2;\n  3;\n  0,1,1;;\n  {MatRed}\n  {MatBlue}\n }\n";
  // Without normals the file ends right after the material list; with them the reader's normals follow.
  EXPECT_EQ(afterHeader(readFile(dir / "plain.X")), body + "}\n");
  const std::string x = afterHeader(readFile(dir / "shape.X"));
  EXPECT_EQ(x.substr(0, body.size() + 20), body + " MeshNormals {\n  3;\n");
  EXPECT_EQ(x.substr(x.size() - 8), ";;\n }\n}\n");
  const std::string bin = readFile(dir / "bin/plain.X");
  EXPECT_EQ(bin.substr(0, 16), "xof 0302bin 0032");
  EXPECT_EQ(xtokens::decode(bin, 16),
            "Header { I(1,0,0) } Material MatRed { F(1.000000,0.000000,0.000000,1.000000,85.333336,0.000000,0.000000,0.000000,0.000000,0.000000,"
            "0.000000) } Material MatBlue { F(0.000000,0.000000,1.000000,0.500000,21.333334,1.000000,1.000000,1.000000,0.000000,0.000000,1.000000) }"
            " Mesh { I(5) F(0.000000,0.000000,0.000000,1.000000,0.000000,0.000000,1.000000,1.000000,0.000000,0.000000,1.000000,0.000000,0.500000,"
            "0.500000,2.000000) I(3,4,0,1,2,3,3,0,1,4,3,1,2,4) MeshMaterialList { I(2,3,0,1,1) { MatRed } { MatBlue } } }");
  for (const std::string file : {"shape.X", "bin/shape.X"}) {
    const ReaderView view = readBack(dir / file);
    EXPECT_EQ(view.error, "") << file;
    EXPECT_EQ(view.materials, (Names{"MatRed 1.000 0.000 0.000 1.000", "MatBlue 0.000 0.000 1.000 0.500"})) << file;
    EXPECT_EQ(view.faces * 100 + view.corners, 310) << file;
    EXPECT_EQ(view.positions, (std::set<std::tuple<float, float, float>>{{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {0.5f, 0.5f, 2}})) << file;
  }
}

TEST(ObjectE2E, TexturesAreConvertedMappedOrKept) {
  TempDir dir;
  for (const char* d : {"out/images", "images"}) testsupport::makeDir(dir / d);
  writeFile(dir / "board.lwo", mappedObject("images\\wood.tga")); writeFile(dir / "out/images/wood.tga", woodTga());
  // Relative image names resolve against the destination; the PPM lands there.
  const auto r = torvoCommand({"-u", "board.lwo", "out"}, dir.path());
  EXPECT_TRUE(r.exitCode == 0 && contains(r.out, "writing a mesh to X...\ngenerating wood.PPM : ok\n 4 Vertices  1 Polygons  1 Normals\n")) << r.out;
  EXPECT_EQ(readFile(dir / "out/wood.PPM"), kWoodPpm); EXPECT_EQ(listDir(dir / "out"), (Names{"board.X", "images", "wood.PPM"}));
  const std::string x = readFile(dir / "out/board.X");
  EXPECT_TRUE(inOrder(x, {" TextureFilename {\n  \"wood.PPM\";\n }\n", " MeshFaceWraps {\n  1;\n  0;0;;\n }\n", " MeshTextureCoords {\n  4;\n"})) << x;
  // BMP in any letter case, binary; -B leaves the image alone; the reader sees coordinates and the texture.
  writeFile(dir / "bmp.lwo", mappedObject("images\\wood.Bmp"));
  writeFile(dir / "images/wood.Bmp", bmpBytes(2, 1, 8, {0, 0, 255, 0, 0, 255, 0, 0}, {1, 0, 0, 0}));
  const auto bmp = torvoCommand({"-b", "-u", "bmp.lwo"}, dir.path());
  EXPECT_TRUE(bmp.exitCode == 0 && contains(bmp.out, "generating wood.PPM : ok\n")) << bmp.out;
  EXPECT_EQ(readFile(dir / "wood.PPM"), "P6\n# converted by vemo\n2 1\n255\n" + std::string("\x00\xFF\x00\xFF\x00\x00", 6));
  writeFile(dir / "images/wood.tga", woodTga());
  const auto keep = torvoCommand({"-B", "board.lwo"}, dir.path());
  EXPECT_TRUE(keep.exitCode == 0 && !contains(keep.out, "generating") && contains(readFile(dir / "board.X"), "  \"wood.tga\";\n")) << keep.out;
  for (const auto& [file, texture] : {std::pair{"out/board.X", "wood.PPM"}, {"bmp.X", "wood.PPM"}, {"board.X", "wood.tga"}}) {
    const ReaderView view = readBack(dir / file);
    EXPECT_TRUE(contains(view.text, "vertices 4 faces 1 normals yes uv yes material 0") && contains(view.text, " texture " + std::string(texture) + "\n"))
        << file << view.text;
  }
  // A broken image is reported; the object still converts and no PPM is left.
  TgaSpec huge; huge.width = huge.height = 60000; const Bytes wood = woodTga();
  for (const Bytes& image : {Bytes(wood.begin(), wood.end() - 2), tgaBytes(huge, {}, Bytes(300, 7))}) {
    TempDir broken; testsupport::makeDir(broken / "images"); writeFile(broken / "board.lwo", mappedObject("images\\wood.tga"));
    writeFile(broken / "images/wood.tga", image);
    const auto f = torvoCommand({"board.lwo"}, broken.path());
    EXPECT_TRUE(f.exitCode == 0 && contains(f.out, "generating wood.PPM : failure\n")) << image.size() << f.out;
    EXPECT_EQ(listDir(broken.path()), (Names{"board.X", "board.lwo", "images"}));
    EXPECT_TRUE(contains(readFile(broken / "board.X"), "  \"wood.PPM\";\n"));
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
  const auto text = torvoCommand({"sphere.lwo", "text.x"}, dir.path()), binary = torvoCommand({"-b", "sphere.lwo", "binary.x"}, dir.path());
  ASSERT_TRUE(text.exitCode == 0 && binary.exitCode == 0) << text.out << binary.out;
  // Flat dark faces keep their own normals; the last normal is in use.
  EXPECT_TRUE(contains(text.out, " 130052 Vertices  65280 Polygons  97666 Normals\n")) << text.out;
  EXPECT_TRUE(contains(readFile(dir / "text.X"), ",97665;,\n  3;"));
  EXPECT_TRUE(contains(text.out, "sphere.lwo has 130052 vertices: engines with 16-bit indices show at most 65535\n")) << text.out;
  for (const char* file : {"text.X", "binary.X"}) {
    const ReaderView view = readBack(dir / file);
    EXPECT_TRUE(view.error.empty() && view.faces == 65280 && contains(view.text, "normals yes uv yes")) << file << view.error;
  }
}

namespace {

Bytes shape(float size) {
  return LwobBuilder().surfaces({"Paint"}).points({0, 0, 0, size, 0, 0, size, size, 0, 0, size, 0}).polygons({{{0, 1, 2, 3}, 1}})
      .surface("Paint", {subColor(200, 10, 10)}).bytes();
}

SceneKey tcb(SceneKey k, double tension, double continuity, double bias) {
  k.tension = tension, k.continuity = continuity, k.bias = bias;
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
  testsupport::makeDir(dir / "Objects"); testsupport::makeDir(dir / "bin");
  writeFile(dir / "Objects/box.lwo", shape(1.0f)); writeFile(dir / "Objects/lid.lwo", shape(0.5f));
  writeFile(dir / "scene.lws", s.text()); writeFile(dir / "lw.cfg", "LWCO\n0\nContentDirectory " + dir.path() + "\n");
}

MotionKey evaluate(const LwScene& scene, const LwObject& item, int frame) {
  const LwObject* aim = lwSceneItem(scene, item.targetIndex);
  const Motion target = aim != nullptr ? lwMotionView(aim->motionKeys, aim->endBehavior) : Motion{};
  MotionKey out;
  lwEvaluateAligned(lwMotionView(item.motionKeys, item.endBehavior), out, frame, item.pathAlignment != 0 ? item.lookAheadFrames : 0,
                    aim != nullptr ? &target : nullptr);
  return out;
}

// Compares what the reader found with the model. The reader turns the file right-handed:
// z is negated, and quaternions come back as -(w, x, y, -z).
void compareWithModel(const ReaderView& view, const LwScene& scene) {
  ASSERT_TRUE(view.error.empty()) << view.error;
  const Names names = {"Frame0_box", "Frame1_lid", "Frame2_Helper", "Frame3_Sun", "FrameCamera"};
  const int depths[] = {0, 1, 0, 1, 0};
  ASSERT_EQ(view.nodes.size(), names.size() + 1);  // the reader adds a root above several top frames
  EXPECT_EQ(view.channels, names);
  const double flip[4] = {1, 1, -1, 1};
  for (std::size_t i = 0; i < names.size(); ++i) {
    const ReaderView::Node& node = view.nodes[i + 1]; const LwObject& item = *scene.items[i];
    const LwObject* parent = lwSceneItem(scene, item.parentIndex);
    const float pivot[3] = {parent ? parent->pivot[0] : 0.0f, parent ? parent->pivot[1] : 0.0f, parent ? parent->pivot[2] : 0.0f};
    EXPECT_EQ(node.name + " " + std::to_string(node.depth) + " " + std::to_string(node.meshes),
              names[i] + " " + std::to_string(depths[i] + 1) + (item.points.empty() ? " 0" : " 1"));
    const Mat4 m = itemMatrix(item.motionKeys[0], pivot);
    for (int k = 0; k < 16; ++k) EXPECT_NEAR(node.transform[k], flip[k / 4] * flip[k % 4] * m.m[k / 4][k % 4], 2e-6) << names[i] << k;
    std::vector<std::int32_t> frames;
    ASSERT_EQ(animationSampleFrames(scene, item, frames), 0);
    const auto& keys = view.keys.at(names[i]);
    EXPECT_EQ(keys.at("position").size(), item.motionKeys.size() > 1 ? frames.size() : 1u) << names[i];
    for (const char* kind : {"position", "scale", "rotation"}) {
      for (const std::vector<double>& k : keys.count(kind) ? keys.at(kind) : ReaderView::Keys{}) {
        const MotionKey at = evaluate(scene, item, static_cast<int>(k[0]) + scene.firstFrame);
        const Quat q = quatFromAngles(at.values[kHeading], at.values[kPitch], at.values[kBank]); const double* v = at.values;
        const double rotation[4] = {q.w, q.v.x, q.v.y, -q.v.z}, position[3] = {v[0] - pivot[0], v[1] - pivot[1], -(v[2] - pivot[2])};
        const double* expected = kind[0] == 'r' ? rotation : kind[0] == 's' ? v + kScaleX : position;
        const double sign = kind[0] == 'r' && k[1] * rotation[0] + k[2] * rotation[1] + k[3] * rotation[2] + k[4] * rotation[3] < 0 ? -1 : 1;
        for (std::size_t j = 1; j < k.size(); ++j) EXPECT_NEAR(k[j], sign * expected[j - 1], 2e-6) << names[i] << " " << kind << " " << k[0];
      }
    }
  }
  // The box turns, scales and moves: all three key sets carry every sample (0, 10, 13, 16 and 30).
  const auto& box = view.keys.at("Frame0_box");
  EXPECT_EQ(box.at("rotation").size() * 100 + box.at("scale").size() * 10 + box.at("position").size(), 555u);
}

}  // namespace

TEST(SceneE2E, MultiItemSceneConsoleTextAndBothEncodingsReadBack) {
  TempDir dir; writeFixtures(dir);
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
  // Both encodings read back as modelled. With a destination the object paths resolve through the content directory.
  ASSERT_EQ(torvoCommand({"-b", "-l", "-c", "-Clw.cfg", "scene.lws", "bin"}, dir.path()).exitCode, 0);
  LwScene scene;
  ASSERT_EQ(testsupport::readScene(scene, readFile(dir / "scene.lws"), nullptr, true, dir.path()), torvo::Status::kOk);
  ASSERT_EQ(scene.items.size(), 5u);
  for (const std::string file : {"scene.X", "bin/scene.X"}) {
    const ReaderView view = readBack(dir / file);
    SCOPED_TRACE(file); compareWithModel(view, scene);
  }
  lwReleaseScene(scene);
}

TEST(SceneE2E, FailuresLeaveNoOutputAndDeepChainsConvert) {
  TempDir dir; writeFixtures(dir); LwscBuilder endless(0, 2000000000), chain(0, 10);
  endless.line("AddNullObject Spinner").motion("ObjectMotion", {key(0, 0, 0, 0), key(1, 0, 0, 0, 90)}).line("EndBehavior 2");
  for (int i = 0; i < 5000; ++i) {
    chain.line("AddNullObject n").motion("ObjectMotion", {key(0, 1, 0, 0), key(10, 2, 0, 0)});
    if (i > 0) chain.line("ParentObject " + std::to_string(i));
  }
  writeFile(dir / "endless.lws", endless.text());
  writeFile(dir / "chain.lws", chain.text());
  // A repeating motion over two billion frames is refused, not sampled, after the frames are written.
  const auto r = torvoCommand({"endless.lws"}, dir.path());
  EXPECT_TRUE(r.exitCode == 1 && contains(r.out, "animation of 0_Spinner too long: more than 10000000 samples\n")) << r.out;
  EXPECT_EQ(listDir(dir.path()), (Names{"Objects", "bin", "chain.lws", "endless.lws", "lw.cfg", "scene.lws"}));
  Expect deeperThanWine;
  deeperThanWine.wine = false;
  const auto deep = torvoCommand({"-b", "chain.lws"}, dir.path(), "", deeperThanWine);
  EXPECT_TRUE(deep.exitCode == 0 && contains(deep.out, std::string(4999, ' ') + "Frame4999_n : \n"));
  EXPECT_TRUE(testsupport::fileExists(dir / "chain.X"));
}
