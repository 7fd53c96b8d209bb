#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "app/lwcfg.h"
#include "lwbuild.h"
#include "lws/scene.h"
#include "support/run.h"

namespace {

using lwbuild::key;
using lwbuild::LwscBuilder;

std::FILE* streamOf(const std::string& text) {
  std::FILE* f = std::tmpfile();
  std::fwrite(text.data(), 1, text.size(), f);
  std::rewind(f);
  return f;
}

struct ReadResult {
  int result = 0;
  std::string console;
};

ReadResult readScene(LwScene& scene, const std::string& text, bool camera = false, bool lights = false) {
  std::FILE* f = streamOf(text);
  testing::internal::CaptureStdout();
  ReadResult r;
  r.result = lwReadScene(scene, f, true, true, false, camera, lights);
  r.console = testing::internal::GetCapturedStdout();
  std::fclose(f);
  return r;
}

std::vector<std::string> names(const LwScene& scene) {
  std::vector<std::string> out;
  for (const auto& item : scene.items) out.push_back(item->name);
  return out;
}

}  // namespace

TEST(FindKeyword, PrefixArgumentAndEndOfLine) {
  const char* argument = "unchanged";
  EXPECT_EQ(lwFindKeyword("LoadObjectXy", SceneKeywords, &argument), 11);
  EXPECT_STREQ(argument, "y");
  EXPECT_EQ(lwFindKeyword("ParentObject", ItemKeywords, &argument), 14);
  EXPECT_STREQ(argument, "");
  argument = "unchanged";
  EXPECT_EQ(lwFindKeyword("loadobject x", SceneKeywords, &argument), -1);
  EXPECT_STREQ(argument, "unchanged");
  EXPECT_EQ(lwFindKeyword("EndPlugin", PluginKeywords, &argument), 25);
  EXPECT_EQ(lwFindKeyword("FramesPerSecond 25", SceneKeywords, &argument), 7);
  EXPECT_STREQ(argument, "25");
  EXPECT_EQ(lwFindKeyword("BLimits 1 2", ItemKeywords, &argument), 23);
}

TEST(ReadScene, HeaderDecidesAndRewinds) {
  for (const std::string text : {"LWSC\n6\nAddNullObject a\n", "LWSC\n0\n", "FORM....LWOB", "", "LWSC\n", "LWSC \n1\n"}) {
    std::FILE* f = streamOf("junk line\n" + text);
    char first[32];
    ASSERT_NE(std::fgets(first, sizeof first, f), nullptr);
    const long start = std::ftell(f);
    LwScene scene;
    EXPECT_EQ(lwReadScene(scene, f, true, true, false, false, false), -1) << text;
    EXPECT_TRUE(scene.items.empty());
    EXPECT_EQ(std::ftell(f), start) << text;
    EXPECT_FALSE(std::feof(f));
    std::fclose(f);
  }
}

TEST(ReadScene, ItemsNamesAndFields) {
  LwscBuilder b(5, 90);
  b.line("FramesPerSecond 25").line("AddNullObject Null (1)").motion("ObjectMotion (unnamed)", {key(0, 1, 2, 3)});
  b.line("EndBehavior 2").line("EndBehavior 5").line("PivotPoint 1.5 -2").line("TargetObject 3");
  b.line("PathAlignment 1\nLookAheadFrames 4\nObjDissolve 0.25\nMetamorph 0.5\nHLimits 1 2");
  b.line("AddLight").line("LightName Key Light").motion("LightMotion (unnamed)", {key(0, 0, 5, 0), key(10, 0, 6, 0)});
  b.line("ParentObject 1").motion("CameraMotion", {key(0, 0, 0, -5)}).line("ParentObject 2").line("AddNullObject");
  LwScene scene;
  const ReadResult r = readScene(scene, b.text(), true, true);
  EXPECT_EQ(r.result, 1);  // the camera's block, read last
  ASSERT_EQ(names(scene), (std::vector<std::string>{"0_Null (1)", "1_Key Light", "Camera", "3_"}));
  EXPECT_EQ(scene.firstFrame, 5);
  EXPECT_EQ(scene.lastFrame, 90);
  EXPECT_EQ(scene.framesPerSecond, 25.0);
  const LwObject& null = *scene.items[0];
  EXPECT_EQ(null.motionKeys.size(), 1u);
  EXPECT_EQ(null.endBehavior, kEndRepeat);
  EXPECT_EQ(std::vector<float>(null.pivot, null.pivot + 3), (std::vector<float>{1.5f, -2.0f, 0.0f}));
  EXPECT_EQ(null.targetIndex, 3);
  EXPECT_EQ(null.pathAlignment, 1);
  EXPECT_EQ(null.lookAheadFrames, 4);
  EXPECT_EQ(null.dissolve, 0.25);
  EXPECT_EQ(null.metamorph, 0.5);
  EXPECT_EQ(null.limits[0].enabled, 0);
  const LwObject& light = *scene.items[1];
  EXPECT_EQ(light.motionKeys.size(), 2u);
  EXPECT_EQ(light.parentIndex, 1);
  EXPECT_EQ(light.endBehavior, kEndStop);
  EXPECT_EQ(light.lookAheadFrames, 1);
  EXPECT_EQ(scene.items[2]->parentIndex, 2);
  EXPECT_EQ(scene.items[2]->motionKeys.size(), 1u);
  lwReleaseScene(scene);
  EXPECT_TRUE(scene.items.empty());
}

TEST(ReadScene, ResultIsTheLastMotionBlock) {
  const std::pair<std::string, int> cases[] = {
      {LwscBuilder().line("AddNullObject a").motion("ObjectMotion", {key(0, 0, 0, 0)}).text(), 1},
      {LwscBuilder().line("AddNullObject a").motion("ObjectMotion", {}).text(), -1},
      {LwscBuilder().line("AddNullObject a").text(), -1},
  };
  for (const auto& [text, result] : cases) {
    LwScene scene;
    EXPECT_EQ(readScene(scene, text).result, result) << text;
    EXPECT_EQ(scene.items.size(), 1u);
  }
  // Two blocks for one item append into one list.
  LwScene twice;
  LwscBuilder two;
  two.line("AddNullObject a").motion("ObjectMotion", {key(0, 0, 0, 0)}).motion("ObjectMotion", {key(5, 0, 0, 0)});
  EXPECT_EQ(readScene(twice, two.text()).result, 1);
  ASSERT_EQ(twice.items[0]->motionKeys.size(), 2u);
  EXPECT_EQ(twice.items[0]->motionKeys[1].frame, 5);
}

TEST(ReadScene, LightsAndCameraOnlyWhenAsked) {
  LwscBuilder b;
  b.line("AddNullObject first")
      .line("AddLight")
      .line("LightName Sun")
      .motion("LightMotion (unnamed)", {key(0, 0, 0, 0)});
  b.line("ParentObject 1").motion("CameraMotion", {key(0, 1, 1, 1)});
  b.line("AddNullObject second").motion("ObjectMotion", {key(0, 0, 0, 0)});
  LwScene scene;
  EXPECT_EQ(readScene(scene, b.text()).result, 1);
  ASSERT_EQ(names(scene), (std::vector<std::string>{"0_first", "1_second"}));
  EXPECT_EQ(scene.items[0]->motionKeys.size(), 0u);  // the light's block was skipped
  EXPECT_EQ(scene.items[0]->parentIndex, 0);

  LwScene withBoth;
  readScene(withBoth, b.text(), true, true);
  ASSERT_EQ(names(withBoth), (std::vector<std::string>{"0_first", "1_Sun", "Camera", "3_second"}));
  EXPECT_EQ(withBoth.items[2]->motionKeys[0].values[0], 1.0);
  EXPECT_EQ(withBoth.items[1]->parentIndex, 1);
}

TEST(ReadScene, PluginBlocksAndBones) {
  LwscBuilder b;
  b.line("AddNullObject a").line("Plugin ItemMotionHandler 1 Whatever").line("LoadObject missing.lwo");
  b.line("ParentObject 7").line("AddNullObject hidden").line("EndPlugin").line("ParentObject 2");
  b.line("AddBone").line("BoneMotion (unnamed)").line("ParentObject 9");
  LwScene scene;
  const ReadResult r = readScene(scene, b.text());
  EXPECT_EQ(r.console.find("file not found"), std::string::npos);
  ASSERT_EQ(names(scene), std::vector<std::string>{"0_a"});
  EXPECT_EQ(scene.items[0]->parentIndex, 2);  // applied to the item open before Plugin
}

TEST(ReadScene, MissingObjectStopsReading) {
  LwScene scene;
  const ReadResult r =
      readScene(scene, LwscBuilder().line("AddNullObject a").line("LoadObjectXy").line("AddNullObject b").text());
  EXPECT_EQ(r.result, -1);
  EXPECT_NE(r.console.find("file not found: y\n"), std::string::npos);
  EXPECT_EQ(names(scene), std::vector<std::string>{"0_a"});
}

TEST(ReadScene, LongNamesAndLongLines) {
  const std::string longText(150, 'n');
  LwscBuilder b;
  b.line("AddNullObject " + longText).line("LightName " + longText).line("AddNullObject " + std::string(250, 'q'));
  LwScene scene;
  readScene(scene, b.text());
  ASSERT_EQ(scene.items.size(), 2u);
  EXPECT_EQ(scene.items[0]->name, "0_" + std::string(77, 'n'));
  EXPECT_EQ(scene.items[1]->name.size(), 79u);
}

TEST(ReadScene, CrossReferencesOutOfRange) {
  LwscBuilder b;
  b.line("AddNullObject a").line("MorphTarget 2").line("ParentObject 99").line("TargetObject -4");
  b.line("AddNullObject b").line("MorphTarget 2");  // itself
  b.line("AddNullObject c").line("MorphTarget 7");
  b.line("AddNullObject d").line("MorphTarget 2");
  LwScene scene;
  readScene(scene, b.text());
  ASSERT_EQ(scene.items.size(), 4u);
  EXPECT_EQ(scene.items[0]->morphTarget, scene.items[1].get());
  EXPECT_EQ(scene.items[1]->morphTarget, nullptr);
  EXPECT_EQ(scene.items[2]->morphTarget, nullptr);
  EXPECT_EQ(scene.items[3]->morphTarget, scene.items[1].get());
  EXPECT_EQ(scene.items[1]->refCount, 3);
  EXPECT_EQ(scene.items[0]->refCount, 1);
  EXPECT_EQ(lwSceneItem(scene, 0), nullptr);
  EXPECT_EQ(lwSceneItem(scene, 99), nullptr);
  EXPECT_EQ(lwSceneItem(scene, -4), nullptr);
  EXPECT_EQ(lwSceneItem(scene, 4), scene.items[3].get());
}

TEST(ReadScene, ChildIndexGroupsByParentInItemOrder) {
  LwScene scene;
  const int parents[] = {0, 4, 0, 1, 1, 77, -1, 6};
  for (int p : parents) {
    scene.items.push_back(std::make_unique<LwObject>());
    scene.items.back()->parentIndex = p;
  }
  const LwChildIndex index = lwBuildChildIndex(scene);
  auto children = [&](int p) {
    return std::vector<std::int32_t>(index.items.begin() + index.first[p], index.items.begin() + index.first[p + 1]);
  };
  EXPECT_EQ(children(0), (std::vector<std::int32_t>{0, 2}));
  EXPECT_EQ(children(1), (std::vector<std::int32_t>{3, 4}));
  EXPECT_EQ(children(4), std::vector<std::int32_t>{1});
  EXPECT_EQ(children(6), std::vector<std::int32_t>{7});
  EXPECT_EQ(index.items.size(), 6u);  // 77 and -1 name no item
}
