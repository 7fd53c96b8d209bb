#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "app/options.h"
#include "xscene/frames.h"
#include "support/scene_items.h"

namespace {

MotionKey at(double x, double y, double z, int frame = 0) {
  MotionKey k;
  k.frame = frame;
  k.values[kPosX] = x;
  k.values[kPosY] = y;
  k.values[kPosZ] = z;
  k.values[kScaleX] = k.values[kScaleY] = k.values[kScaleZ] = 1.0;
  return k;
}

using testsupport::addItem;

// One triangle with one surface, enough for the mesh writer.
void makeTriangle(LwObject& object) {
  LwSurface surface;
  surface.name = "Skin";
  object.surfaces.push_back(surface);
  object.points = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
  for (std::uint32_t i = 0; i < 3; ++i) {
    LwVertex v;
    v.point = i;
    v.nextSplit = i;
    object.vertices.push_back(v);
  }
  object.indices = {0, 1, 2};
  object.cornerNormals = {0, 0, 0};
  LwPolygon polygon;
  polygon.cornerCount = 3;
  object.polygons.push_back(polygon);
  object.normals.push_back({0, 0, 1, 3});
}

// The opening of a frame with its matrix, as written in the text encoding.
std::string frameOpen(int depth, const std::string& name, double x, double y, double z) {
  const std::string pad(static_cast<std::size_t>(depth), ' '), in = pad + "  ";
  char last[128];
  std::snprintf(last, sizeof last, "%f,%f,%f,1.000000;;\n", x, y, z);
  return "\n" + pad + "Frame " + name + " {\n" + pad + " FrameTransformMatrix {\n" + in +
         "1.000000,0.000000,0.000000,0.000000,\n" + in + "0.000000,1.000000,0.000000,0.000000,\n" + in +
         "0.000000,0.000000,1.000000,0.000000,\n" + in + last + pad + " }\n";
}

std::string frameClose(int depth) { return std::string(static_cast<std::size_t>(depth), ' ') + "}\n"; }

class Frames : public testing::Test {
 protected:
  void SetUp() override { options() = {}; }
  void TearDown() override { options() = {}; }

  // Writes the scene; returns the .x text and keeps the console in `console`.
  std::string write(LwScene& scene, bool binary = false) {
    XWriter out;
    out.binary = binary;
    MaterialTable table;
    testing::internal::CaptureStdout();
    result = writeScene(table, scene, out);
    console = testing::internal::GetCapturedStdout();
    return std::string(out.buffer.begin(), out.buffer.end());
  }

  std::string console;
  int result = 0;
};

}  // namespace

TEST_F(Frames, ChildInsideParentWithParentPivotAndIdentityWithoutKeys) {
  LwScene scene;
  addItem(scene, "0_box", 0, {at(1, 2, 3)}).pivot[0] = 0.5f;
  addItem(scene, "1_lid", 1, {at(1.5, 1, 0)});
  addItem(scene, "2_still", 0, {});
  EXPECT_EQ(write(scene), frameOpen(0, "Frame0_box", 1, 2, 3) + frameOpen(1, "Frame1_lid", 1, 1, 0) + frameClose(1) +
                              frameClose(0) + frameOpen(0, "Frame2_still", 0, 0, 0) + frameClose(0));
  EXPECT_EQ(result, 0);
  EXPECT_EQ(console, "Frame0_box : \n Frame1_lid : \nFrame2_still : \n");
}

TEST_F(Frames, OrderDepthAndUnreachableItems) {
  LwScene scene;
  const std::pair<const char*, int> items[] = {{"0_a", 0}, {"1_b", 4},      {"2_c", 0},          {"3_d", 1},
                                               {"4_e", 1}, {"5_lost", 99}, {"6_below_lost", 6}, {"7_cycle", 9},
                                               {"8_cycle", 8}};
  for (const auto& [name, parent] : items) addItem(scene, name, parent, {at(0, 0, 0)});
  addItem(scene, "9_nokeys", 0, {});
  write(scene);
  EXPECT_EQ(console, "Frame0_a : \n Frame3_d : \n  Frame1_b : \n Frame4_e : \nFrame2_c : \nFrame9_nokeys : \n");

  // Starting inside a cycle stops instead of going round; an unknown parent writes nothing.
  XWriter out;
  MaterialTable table;
  testing::internal::CaptureStdout();
  EXPECT_EQ(writeFrames(table, scene, out, 8, 0), 1);
  EXPECT_EQ(writeFrames(table, scene, out, 77, 0), 1);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Frame8_cycle : \n");
}

TEST_F(Frames, DissolvedItems) {
  LwScene scene;
  addItem(scene, "0_top", 0, {at(0, 0, 0)});
  addItem(scene, "1_gone", 1, {at(0, 0, 0)}).dissolve = 1.0;
  addItem(scene, "2_child", 2, {at(1, 0, 0)});
  LwObject& faded = addItem(scene, "3_faded", 1, {at(0, 0, 0)});
  faded.dissolve = 1.5;
  makeTriangle(faded);
  options().noNormals = 1;
  std::string text = write(scene);
  text = text.substr(text.find("\nFrame "));
  // The dissolved item has no frame; its child sits one level deeper in the enclosing frame.
  const std::string expectedStart = frameOpen(0, "Frame0_top", 0, 0, 0) + frameOpen(2, "Frame2_child", 1, 0, 0) +
                                    frameClose(2) + "  Mesh Mesh3_faded {\n";
  EXPECT_EQ(text.substr(0, expectedStart.size()), expectedStart);
  EXPECT_EQ(text.find("Frame3_faded"), std::string::npos);
  EXPECT_EQ(text.find("1_gone"), std::string::npos);
  EXPECT_EQ(console, "Frame0_top : \n \n  Frame2_child : \n  3 Vertices  1 Polygons \n");
  // The geometry is released right after its mesh.
  EXPECT_TRUE(faded.vertices.empty());
}

TEST_F(Frames, TopFramePrefixAndMeshesOnly) {
  LwScene scene;
  addItem(scene, "0_box", 0, {at(1, 2, 3)});
  addItem(scene, "1_lid", 1, {at(0, 1, 0), at(0, 2, 0, 10)});
  options().topFrame = options().noAnimation = 1;
  EXPECT_EQ(write(scene), "\nFrame TopFrame {\n" + frameOpen(1, "Frame0_box", 1, 2, 3) +
                              frameOpen(2, "Frame1_lid", 0, 1, 0) + frameClose(2) + frameClose(1) + frameClose(0));
  EXPECT_EQ(console, "TopFrame\n Frame0_box : \n  Frame1_lid : \n");

  options().topFrame = 0;
  options().framePrefix = "Props_";
  const std::string prefixed = write(scene);
  EXPECT_NE(prefixed.find("Frame Props_0_box {"), std::string::npos);
  EXPECT_NE(prefixed.find(" Frame Props_1_lid {"), std::string::npos);
  EXPECT_EQ(console, "Props_0_box\n Props_1_lid\n");

  options() = {};
  options().meshesOnly = options().noAnimation = options().topFrame = options().noNormals = 1;
  makeTriangle(*scene.items[1]);
  const std::string only = write(scene);
  EXPECT_EQ(only.find("Frame"), std::string::npos);
  EXPECT_EQ(only.find("AnimationSet"), std::string::npos);
  EXPECT_NE(only.find("\n   Mesh Mesh1_lid {\n"), std::string::npos);  // depth 1 + 1 for -T, + 1 inside
  EXPECT_EQ(console, " \n   3 Vertices  1 Polygons \n");
}

TEST_F(Frames, TopFrameAroundOneObject) {
  LwObject object;
  object.name = "cube";
  makeTriangle(object);
  options().topFrame = 1;
  options().noNormals = 1;
  XWriter out;
  MaterialTable table;
  collectMaterials(table, object, out, 0);
  out.buffer.clear();
  testing::internal::CaptureStdout();
  EXPECT_EQ(writeTopFrame(table, nullptr, &object, out), 1);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "TopFrame\n 3 Vertices  1 Polygons \n");
  const std::string text(out.buffer.begin(), out.buffer.end());
  EXPECT_EQ(text.substr(0, 38), "\nFrame TopFrame {\n Mesh Meshcube {\n  3");
  EXPECT_EQ(text.substr(text.size() - 5), " }\n}\n");
  EXPECT_TRUE(object.vertices.empty());
}

TEST_F(Frames, AnimationSetOnlyWhenSomethingMoves) {
  LwScene scene;
  addItem(scene, "0_a", 0, {at(0, 0, 0)});
  addItem(scene, "1_b", 0, {at(0, 0, 0)});
  EXPECT_EQ(write(scene).find("AnimationSet"), std::string::npos);
  scene.items[1]->motionKeys.push_back(at(1, 0, 0, 10));
  EXPECT_NE(write(scene).find("AnimationSet AnimationSet0 {"), std::string::npos);
  EXPECT_NE(console.find("writing animation...\n"), std::string::npos);
  options().noAnimation = 1;
  EXPECT_EQ(write(scene).find("AnimationSet"), std::string::npos);
}

TEST_F(Frames, BinaryMatrixAndDeepChains) {
  LwScene scene;
  addItem(scene, "0_a", 0, {at(1, 2, 3)});
  const std::string one = write(scene, true);
  // Name token "Frame", name token "Frame0_a", '{', name "FrameTransformMatrix", '{', 4 float lists.
  const std::size_t matrixStart = 2 + 4 + 5 + 2 + 4 + 8 + 2 + 2 + 4 + 20 + 2;
  ASSERT_EQ(one.size(), matrixStart + 4 * (2 + 4 + 16) + 2 + 2);
  float last[4];
  std::memcpy(last, one.data() + matrixStart + 3 * 22 + 6, sizeof last);  // little-endian host
  EXPECT_EQ(std::vector<float>(last, last + 4), (std::vector<float>{1, 2, 3, 1}));

  // A chain 5000 deep: one frame per item, each nested in the one before.
  LwScene chain;
  const int depth = 5000;
  for (int i = 0; i < depth; ++i) addItem(chain, std::to_string(i) + "_n", i, {at(0, 0, 0)});
  const std::string deep = write(chain, true);
  std::size_t frames = 0;
  for (std::size_t pos = deep.find("FrameTransformMatrix"); pos != std::string::npos;
       pos = deep.find("FrameTransformMatrix", pos + 1)) {
    ++frames;
  }
  EXPECT_EQ(frames, static_cast<std::size_t>(depth));
  // All closing braces come last: 2 per item (matrix and frame), the matrices' first.
  const std::string closeBrace("\x0b\x00", 2);
  std::string tail;
  for (int i = 0; i < depth + 1; ++i) tail += closeBrace;
  EXPECT_EQ(deep.substr(deep.size() - tail.size()), tail);
  EXPECT_NE(console.find(std::string(depth - 1, ' ') + "Frame4999_n"), std::string::npos);
}
