// Scenes of versions 2, 3 and 5: items, links, layers, dissolve envelopes and channel
// motion read into the version 1 model; damaged envelopes refused.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "lwbuild.h"
#include "anim/envelope.h"
#include "lws/scene_reader.h"
#include "support/run.h"
#include "support/context.h"

using namespace torvo;

namespace {

using lwbuild::ckey;

// A box on layer 2 with its pivot, a null below it aiming at the box and dissolving by
// an envelope, a light below the null, a camera turned by 90 degrees; a bone and a
// plugin block in between (the bone follows every other item). Frames 3 to 33 at 30 per second.
std::string sceneText(int version) {
  lwbuild::LaterSceneBuilder s(version, 3, 33);
  const bool ids = version >= 4;
  s.line(version >= 3 ? std::string("LoadObjectLayer 2 ") + (ids ? "10000000 " : "") + "Objects/layers.lwo"
                      : "LoadObject Objects/box.lwo");
  s.motion("ObjectMotion", {{ckey(0, 0, 3), ckey(1, 2, 3)}});
  if (version != 3) s.line(version >= 3 ? "PivotPosition 0.5 0 0" : "PivotPoint 0.5 0 0");
  s.line("AddBone").motion("BoneMotion", {}).line("ParentItem 10000000");
  s.line(std::string("AddNullObject ") + (ids ? "10000001 " : "") + "Helper");
  s.motion("ObjectMotion", {{ckey(0, 1)}, {ckey(0, 0), ckey(2, 4)}}, 9, 2);  // repeated after its last key
  s.line(version >= 3 ? "ParentItem 10000000" : "ParentObject 1");
  s.line(version >= 3 ? "TargetItem 10000000" : "TargetObject 1");
  s.line(version >= 3 ? "ObjectDissolve (envelope)" : "ObjDissolve (envelope)");
  if (version < 3) s.line("  1");
  s.envelope({ckey(0, 0), ckey(1, 1, 3)});
  s.line("Plugin ItemMotionHandler 1 Nothing").line("Setting 1").line("LoadObject Objects/missing.lwo").line("EndPlugin");
  s.line(ids ? "AddLight 20000000" : "AddLight").line("LightName Sun");
  s.motion("LightMotion", {{ckey(0, -2)}});
  s.line(version >= 3 ? "ParentItem 10000001" : "ParentObject 2").line("TargetItem 50000000");
  if (version >= 3) s.line(ids ? "AddCamera 30000000" : "AddCamera").line("CameraName Cam");
  s.motion("CameraMotion", {{}, {}, {ckey(0, -5)}, {ckey(0, version >= 3 ? 1.5707963267948966 : 90.0)}}, 6);
  s.line("ParentItem 1FFFFFFF");
  return s.text();
}

class LaterScenes : public testing::TestWithParam<int> {
 protected:
  void SetUp() override {
    testsupport::makeDir(dir / "Objects");
    ASSERT_TRUE(lwbuild::writeFile(dir / "Objects/box.lwo",
                                   lwbuild::LwobBuilder().surfaces({"Paint"}).points({0, 0, 0, 1, 0, 0, 0, 1, 0}).polygons({{{0, 1, 2}, 1}}).bytes()));
    ASSERT_TRUE(lwbuild::writeFile(dir / "Objects/layers.lwo", lwbuild::lwo2Layers(2)));
  }
  void TearDown() override { lwReleaseScene(scene); }
  Status read(const std::string& text, bool cameraAndLights = true) { return testsupport::readScene(scene, text, &console, cameraAndLights, dir.path()); }
  testsupport::TempDir dir;
  LwScene scene;
  std::string console;
};

}  // namespace

TEST_P(LaterScenes, ItemsLinksAndMotion) {
  const int version = GetParam();
  ASSERT_EQ(read(sceneText(version)), Status::kOk) << console;
  ASSERT_EQ(scene.items.size(), 5u) << console;
  EXPECT_EQ(scene.items[4]->name, "4_Bone");
  EXPECT_EQ(scene.items[4]->parentItem, 0);
  EXPECT_EQ(scene.items[4]->bone.ownerItem, 0);
  const struct {
    std::string name;
    int parent, target;
  } items[] = {{version >= 3 ? "0_layers" : "0_box", kNoItem, kNoItem},
               {"1_Helper", 0, 0},
               {"2_Sun", 1, kNoItem},
               {version >= 3 ? "3_Cam" : "Camera", kNoItem, kNoItem}};
  for (std::size_t i = 0; i < std::size(items); ++i) {
    SCOPED_TRACE(items[i].name);
    const LwObject& item = *scene.items[i];
    EXPECT_EQ(item.name, items[i].name);
    EXPECT_EQ(item.parentItem, items[i].parent);
    EXPECT_EQ(item.targetItem, items[i].target);
    EXPECT_EQ(item.channels.size(), 9u);
    EXPECT_EQ(item.motionKeys.size(), 1u);
  }
  const LwObject& box = *scene.items[0];
  EXPECT_EQ(box.layer, version >= 3 ? 2 : 0);
  EXPECT_EQ(box.polygons.size(), version >= 3 ? 2u : 1u);  // that layer's polygons alone
  EXPECT_FLOAT_EQ(box.pivot[0], version == 3 ? 0.25f : 0.5f);  // LAYR's, unless the scene moves it
  // Linear from 0 to 2 over one second: frame 3 is 0.2, frame 15 is 1.
  EXPECT_NEAR(box.motionKeys[0].values[kPosX], 0.2, 1e-12);
  EXPECT_NEAR(lwEvaluateEnvelope(box.channels[kPosX], lwFrameTime(scene, 15)), 1.0, 1e-12);
  EXPECT_TRUE(lwItemMoves(box));
  EXPECT_NEAR(scene.items[1]->dissolve, 0.1, 1e-12);  // the envelope at frame 3
  EXPECT_EQ(scene.items[1]->channels[kPosY].pre, kBehaviorConstant);
  EXPECT_EQ(scene.items[1]->channels[kPosY].post, kBehaviorRepeat);
  EXPECT_FALSE(lwItemMoves(*scene.items[2]));
  const MotionKey& camera = scene.items[3]->motionKeys[0];
  EXPECT_NEAR(camera.values[kHeading], 90.0, 1e-9);  // radians from version 3 on
  EXPECT_EQ(camera.values[kPosZ], -5.0);
  EXPECT_EQ(camera.values[kScaleY], 1.0);  // a camera has six channels
}

TEST_P(LaterScenes, OptionsLeaveOutLightsAndCameraButKeepTheirPlaces) {
  std::string text = sceneText(GetParam());
  text += GetParam() >= 3 ? "AddNullObject Last\nParentItem 20000000\n" : "AddNullObject Last\nParentObject 4\n";
  ASSERT_EQ(read(text, false), Status::kOk);
  ASSERT_EQ(scene.items.size(), 4u);
  EXPECT_EQ(scene.items[2]->name, "2_Last");
  EXPECT_EQ(scene.items[2]->parentItem, kNoItem);  // the light, not kept; or a fourth object
}

INSTANTIATE_TEST_SUITE_P(Versions, LaterScenes, testing::Values(2, 3, 5));

// An item id or number one past the last item of its kind names no item.
TEST_F(LaterScenes, ReferencesPastTheLastItemAreNone) {
  for (const std::string text : {"LWSC\n3\nAddNullObject 10000000 a\nParentItem 10000001\n", "LWSC\n2\nAddNullObject a\nParentObject 2\n"}) {
    lwReleaseScene(scene);
    static_cast<void>(read(text));  // no motion: no scene, but its items are read
    ASSERT_EQ(scene.items.size(), 1u) << text;
    EXPECT_EQ(scene.items[0]->parentItem, kNoItem) << text;
  }
}

TEST_F(LaterScenes, DamagedEnvelopesAreRefused) {
  const std::string head = "LWSC\n5\nAddNullObject N\nObjectMotion\nNumChannels 1\nChannel 0\n";
  // Ends before the block; no brace; a bad or too large key count; fewer keys than counted; a short key; no such
  // shape; no number; a bad behaviour; never closed; a version 2 key cut short.
  const std::pair<std::string, int> cases[] = {
      {head, 6}, {head + "Envelope\n  1\n", 7}, {head + "{ Envelope\n  x\n", 8}, {head + "{ Envelope\n  2000000\n  Key 0 0 0 0 0 0 0 0 0\n}\n", 8},
      {head + "{ Envelope\n  2\n  Key 0 0 0 0 0 0 0 0 0\n}\n", 10}, {head + "{ Envelope\n  1\n  Key 0 0 0 0 0 0 0 0\n}\n", 9},
      {head + "{ Envelope\n  1\n  Key 0 0 6 0 0 0 0 0 0\n}\n", 9}, {head + "{ Envelope\n  1\n  Key nan 0 0 0 0 0 0 0 0\n}\n", 9},
      {head + "{ Envelope\n  1\n  Key 0 0 0 0 0 0 0 0 0\n  Behaviors 1 9\n}\n", 10},
      {head + "{ Envelope\n  1\n  Key 0 0 0 0 0 0 0 0 0\n", 9}, {"LWSC\n2\nAddNullObject N\nObjectMotion\n  9\n  1\n  0 0 2 x 0 0\n", 7}};
  for (const auto& [text, line] : cases) {
    lwReleaseScene(scene);
    EXPECT_NE(read(text), Status::kOk) << text;
    EXPECT_NE(console.find("damaged envelope in line " + std::to_string(line) + " "), std::string::npos) << text << console;
  }
  lwReleaseScene(scene);
  // Linear, the last behaviour, is one.
  ASSERT_EQ(read(head + "{ Envelope\n  1\n  Key 0 0 0 0 0 0 0 0 0\n  Behaviors 5 5\n}\n"), Status::kOk) << console;
  EXPECT_EQ(scene.items[0]->channels[0].pre, kBehaviorLinear);
  EXPECT_EQ(scene.items[0]->channels[0].post, kBehaviorLinear);
  lwReleaseScene(scene);
  EXPECT_EQ(read("LWSC\n6\n"), Status::kNotThisFormat);  // a later version is no scene
  // A turning channel's tangents (Hermite) and handle values (2D Bezier) turn into degrees with its values; handle times do not.
  const std::string turn = "LWSC\n3\nAddNullObject N\nObjectMotion\nNumChannels 4\nChannel 3\n{ Envelope\n  2\n"
                           "  Key 1 0 1 0 0 0 0.5 0.25 0\n  Key 1 1 5 0.5 0.25 0.5 0.25 0 0\n}\n";
  lwReleaseScene(scene);
  ASSERT_EQ(read(turn), Status::kOk) << console;
  const auto& keys = scene.items.at(0)->channels.at(kHeading).keys;
  const double d = kRadiansToDegrees;
  EXPECT_DOUBLE_EQ(keys[0].param[0], 0.5 * d);
  EXPECT_DOUBLE_EQ(keys[0].param[1], 0.25 * d);
  EXPECT_EQ(keys[1].param[0], 0.5);  // a handle's time
  EXPECT_DOUBLE_EQ(keys[1].param[1], 0.25 * d);
  EXPECT_EQ(keys[1].param[2], 0.5);
  EXPECT_DOUBLE_EQ(keys[1].param[3], 0.25 * d);
}
