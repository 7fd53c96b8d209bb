// The LWSC reader: keywords, items and their fields, objects found beside the scene or in
// the content directory, cross-references, and version 1 motion blocks.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "core/options.h"
#include "core/paths.h"
#include "lwbuild.h"
#include "lws/scene_reader.h"
#include "support/context.h"
#include "support/run.h"

using namespace torvo;

using lwbuild::key;
using lwbuild::LwscBuilder;
using testsupport::readScene;

namespace {

// The items as "name^parent" with their key count when they have keys.
std::string items(const LwScene& scene) {
  std::string out;
  for (const auto& item : scene.items) {
    (out += out.empty() ? "" : ", ") += item->name;
    if (item->parentIndex != 0) (out += '^') += std::to_string(item->parentIndex);
    if (!item->motionKeys.empty()) (out += " #") += std::to_string(item->motionKeys.size());
  }
  return out;
}

lwbuild::Bytes triangle() {
  return lwbuild::LwobBuilder().surfaces({"Skin"}).points({0, 0, 0, 1, 0, 0, 0, 1, 0}).polygons({{{0, 1, 2}, 1}}).bytes();
}

}  // namespace

TEST(SceneReader, KeywordsArePrefixesWithTheirArgument) {
  const struct {
    const char* line;
    const LwKeyword* table;
    LwWord code;
    const char* argument;
  } rows[] = {
      {"LoadObjectXy", SceneKeywords, LwWord::kLoadObject, "y"},
      {"ParentObject", ItemKeywords, LwWord::kParentObject, ""},
      {"loadobject x", SceneKeywords, LwWord::kNone, "-"},
      {"EndPlugin", PluginKeywords, LwWord::kEndPlugin, ""},
      {"FramesPerSecond 25", SceneKeywords, LwWord::kFramesPerSecond, "25"},
      {"BLimits 1 2", ItemKeywords, LwWord::kBLimits, "1 2"},
      {"AddBone", SceneKeywords, LwWord::kAddBone, ""},
      {"", ItemKeywords, LwWord::kNone, "-"},
  };
  for (const auto& row : rows) {
    const char* argument = "-";
    EXPECT_EQ(lwFindKeyword(row.line, row.table, &argument), row.code) << row.line;
    EXPECT_STREQ(argument, row.argument) << row.line;
  }
}

TEST(SceneReader, HeaderDecides) {
  for (const std::string text : {"LWSC\n6\nAddNullObject a\n", "LWSC\n0\n", "FORM....LWOB", "", "LWSC\n", "LWSC \n1\n"}) {
    SCOPED_TRACE(text);
    LwScene scene;
    EXPECT_EQ(lwReadScene(scene, text, testsupport::sceneContext(false, false), LwObjectSource{}, nullptr), Status::kNotThisFormat);
    EXPECT_TRUE(scene.items.empty());
  }
}

TEST(SceneReader, ItemsFieldsAndTheResultOfTheLastMotionBlock) {
  LwscBuilder b(5, 90);
  b.line("FramesPerSecond 25").line("AddNullObject Null (1)").motion("ObjectMotion (unnamed)", {key(0, 1, 2, 3)});
  b.line("EndBehavior 2").line("EndBehavior 5").line("PivotPoint 1.5 -2").line("TargetObject 3");
  b.line("PathAlignment 1\nLookAheadFrames 4\nObjDissolve 0.25\nMetamorph 0.5\nHLimits 1 2");
  b.line("AddLight").line("LightName Key Light").motion("LightMotion (unnamed)", {key(0, 0, 5, 0), key(10, 0, 6, 0)});
  b.line("ParentObject 1").motion("CameraMotion", {key(0, 0, 0, -5)}).line("ParentObject 2").line("AddNullObject");
  b.line("Plugin ItemMotionHandler 1 Whatever").line("LoadObject missing.lwo").line("ParentObject 7").line("AddNullObject hidden");
  b.line("EndPlugin").line("ParentObject 1").line("AddBone").line("BoneMotion (unnamed)").line("ParentObject 9"); LwScene scene;
  std::string console;
  EXPECT_EQ(readScene(scene, b.text(), &console, true), Status::kOk);  // the camera's block, read last
  // A plugin's block is skipped whole; a bone block's lines are the bone's, which follows every item (a damaged motion: at rest).
  EXPECT_EQ(items(scene), "0_Null (1) #1, 1_Key Light^1 #2, Camera^2 #1, 3_^1, 4_Bone^4 #1"); EXPECT_EQ(console, "\n");
  EXPECT_EQ(std::to_string(scene.firstFrame) + " " + std::to_string(scene.lastFrame) + " " + std::to_string(scene.framesPerSecond), "5 90 25.000000");
  const LwObject& null = *scene.items[0];
  EXPECT_EQ(std::vector<float>(null.pivot, null.pivot + 3), (std::vector<float>{1.5f, -2.0f, 0.0f}));
  EXPECT_TRUE(null.endBehavior == kEndRepeat && null.targetIndex == 3 && null.pathAlignment == 1 && null.lookAheadFrames == 4 &&
              null.dissolve == 0.25 && null.metamorph == 0.5 && null.limits[0].enabled == 0);
  EXPECT_TRUE(scene.items[1]->endBehavior == kEndStop && scene.items[1]->lookAheadFrames == 1);
  lwReleaseScene(scene);
  EXPECT_TRUE(scene.items.empty());
  // Without lights and camera their blocks are skipped; their lines apply to no item.
  LwscBuilder c;
  c.line("AddNullObject first").line("AddLight").line("LightName Sun").motion("LightMotion (unnamed)", {key(0, 0, 0, 0)});
  c.line("ParentObject 1").motion("CameraMotion", {key(0, 1, 1, 1)}).line("AddNullObject second").motion("ObjectMotion", {key(0, 0, 0, 0)});
  const std::pair<std::string, std::string> rows[] = {
      {c.text(), "1 0_first, 1_second #1"},
      {LwscBuilder().line("AddNullObject a").motion("ObjectMotion", {}).text(), "-1 0_a"},
      {LwscBuilder().line("AddNullObject a").text(), "-1 0_a"},
      // Two blocks for one item append into one list.
      {LwscBuilder().line("AddNullObject a").motion("ObjectMotion", {key(0, 0, 0, 0)}).motion("ObjectMotion", {key(5, 0, 0, 0)}).text(), "1 0_a #2"},
      // A truncated block keeps the keys before the cut.
      {"LWSC\n1\nAddNullObject a\nObjectMotion\n9\n3\n 0 0 0 0 0 0 1 1 1 0 0 0 0 0\n 1 2", "1 0_a #1"},
      // Names fit the 80-byte field; a scene line longer than 199 characters continues as another line.
      {LwscBuilder().line("AddNullObject a").line("LightName " + std::string(78, 'n')).line("AddNullObject " + std::string(250, 'q')).text(),
       "-1 0_" + std::string(77, 'n') + ", 1_" + std::string(77, 'q')}};
  for (const auto& [text, expected] : rows) {
    LwScene s;
    const int r = ok(readScene(s, text)) ? 1 : -1;
    EXPECT_EQ(std::to_string(r) + " " + items(s), expected);
  }
  LwScene withBoth;
  ASSERT_EQ(readScene(withBoth, c.text(), nullptr, true), Status::kOk);
  EXPECT_EQ(items(withBoth), "0_first, 1_Sun^1 #1, Camera #1, 3_second #1"); EXPECT_EQ(withBoth.items[2]->motionKeys[0].values[0], 1.0);
}

TEST(SceneReader, ObjectsFromTheFileOrTheContentDirectory) {
  testsupport::TempDir dir;
  testsupport::makeDir(dir / "Objects");
  ASSERT_TRUE(lwbuild::writeFile(dir / "Objects/my cow.lwo", triangle()));
  ASSERT_TRUE(lwbuild::writeFile(dir / "Objects/broken.lwo", std::string("not an object")));
  const std::string stem = "v1.2 " + std::string(74, 'x');  // an item name of 80 characters, one too many
  ASSERT_TRUE(lwbuild::writeFile(dir / ("Objects/" + stem + ".lwo"), triangle()));
  LwscBuilder b;
  b.line("AddNullObject a").line("AddNullObject b").line("AddNullObject c").loadObject("Objects\\my cow.lwo", {key(0, 1, 2, 3)}, 1);
  b.line("MorphTarget 1").loadObject("Objects\\broken.lwo", {key(0, 0, 0, 0)}).line("AddNullObject after");
  b.loadObject("Objects\\" + stem + ".lwo", {key(0, 0, 0, 0)});
  LwScene scene;
  std::string console;
  EXPECT_EQ(readScene(scene, b.text(), &console, false, dir.path()), Status::kOk);
  // The broken object leaves no item: the next one takes its number. Long file names lose
  // their extension and are filtered before they are fitted to the 79-character field.
  EXPECT_EQ(items(scene), "0_a, 1_b, 2_c, 3_my_cow^1 #1, 4_after, " + ("5_v12_" + std::string(74, 'x')).substr(0, 79) + " #1");
  EXPECT_EQ(scene.items[3]->points.size() * 10 + scene.items[3]->polygons.size(), 31u);
  EXPECT_EQ(scene.items[3]->morphTarget, scene.items[0].get());
  EXPECT_EQ(console, "\n Objects\\my cow.lwo : Normals TextureCoords\n Objects\\broken.lwo :Not LightWave file!\n"
                     " Objects\\" + stem + ".lwo : Normals TextureCoords\n");
  lwReleaseScene(scene);
  // Joined to a content directory, a name longer than the 1024-byte path field is cut to fit it.
  std::string deep = dir.path();
  while (deep.size() < 900) deep += "/" + std::string(240, 'd');
  testsupport::makeDir(deep); const std::string cut = deep + "/" + std::string(1022 - deep.size(), 'f');  // 1023 characters
  ASSERT_TRUE(lwbuild::writeFile(cut, triangle()) && lwbuild::writeFile(cut + "ff", std::string("not an object")));
  EXPECT_EQ(readScene(scene, LwscBuilder().loadObject(cut.substr(deep.size() + 1) + "ffff.lwo", {key(0, 0, 0, 0)}).text(), &console, false, deep), Status::kOk);
  EXPECT_EQ(console.substr(console.size() - 24), ": Normals TextureCoords\n");
  lwReleaseScene(scene);
  // A missing object stops the reading; without the content directory the relative path is not found either.
  for (const std::string& content : {dir.path(), std::string()}) {
    LwScene missing;
    const std::string text = LwscBuilder().line("AddNullObject a").loadObject(content.empty() ? "Objects\\my cow.lwo" : "Objects\\no.lwo", {})
                                 .line("AddNullObject b").text();
    EXPECT_EQ(readScene(missing, text, &console, false, content), Status::kMissing);
    EXPECT_EQ(items(missing) + " | " + console, "0_a | \nfile not found: " + std::string(content.empty() ? "Objects\\my cow.lwo" : "Objects\\no.lwo") + "\n");
  }
}

TEST(SceneReader, CrossReferencesAndTheChildIndex) {
  LwscBuilder b; b.line("AddNullObject a").line("MorphTarget 2").line("ParentObject 99").line("TargetObject -4");
  b.line("AddNullObject b").line("MorphTarget 2").line("AddNullObject c").line("MorphTarget 7").line("AddNullObject d").line("MorphTarget 2");
  LwScene scene;
  // No motion was read, so the scene does not count as one; its items are read all the same.
  EXPECT_EQ(readScene(scene, b.text()), Status::kBadInput);
  ASSERT_EQ(scene.items.size(), 4u);
  const LwObject* b1 = scene.items[1].get();  // item 2 is no morph target of itself, nor is 7 of anything
  EXPECT_TRUE(scene.items[0]->morphTarget == b1 && !b1->morphTarget && !scene.items[2]->morphTarget && scene.items[3]->morphTarget == b1);
  EXPECT_EQ(b1->refCount * 10 + scene.items[0]->refCount, 31);
  EXPECT_TRUE(!lwSceneItem(scene, 0) && !lwSceneItem(scene, 99) && !lwSceneItem(scene, -4) && !lwSceneItem(scene, 5));
  EXPECT_EQ(lwSceneItem(scene, 4), scene.items[3].get());
  EXPECT_EQ(lwSceneItem(scene, 1), scene.items[0].get());
  LwScene parents;
  for (int p : {0, 4, 0, 1, 1, 77, -1, 6, 9}) testsupport::addItem(parents, "", p, {});
  const LwChildIndex index = lwBuildChildIndex(parents); std::string children;
  for (int p = 0; p <= 9; ++p) {
    children += std::to_string(p) + ":";
    for (int i = index.first[p]; i < index.first[p + 1]; ++i) children += std::to_string(index.items[i]) + " ";
  }
  EXPECT_EQ(children, "0:0 2 1:3 4 2:3:4:1 5:6:7 7:8:9:8 ");  // 77 and -1 name no item
}

namespace {

// Reads blocks from the text until one fails: "result:keys" per block, then the line after.
std::string readBlocks(const std::string& text, std::vector<MotionKey>& keys) {
  TextCursor in(text); std::string out, rest;
  for (bool read = true; read && !in.atEnd;) {
    read = lwReadMotion(in, keys);
    out += std::string(read ? "1" : "-1") + ":" + std::to_string(keys.size()) + " ";
  }
  readLine(rest, kMotionLineSize, in);
  return out + rest;
}

}  // namespace

TEST(ReadMotion, KeysBlocksCountsAndBrokenKeys) {
  std::vector<MotionKey> keys;
  EXPECT_EQ(readBlocks("9\n 2\n 1 2 3 4 5 6 7 8 9\n 0 1 0.5 -0.5 0.25 trailing words\n 1 1 1 0 0 0 1 1 1\n 10 0 0 0 0\n"
                       "9\n1\n 5 5 5 0 0 0 1 1 1 20 1 0 0 0\n9\n0\nNextLine\n", keys), "1:2 1:3 -1:3 NextLine");
  const MotionKey& k = keys[0];
  EXPECT_EQ(std::to_string(k.values[8]) + " " + std::to_string(k.frame) + " " + std::to_string(k.linear) + " " + std::to_string(k.tension) +
                " " + std::to_string(k.continuity) + " " + std::to_string(k.bias) + " " + std::to_string(keys[1].frame) + " " + std::to_string(keys[2].frame),
            "9.000000 0 1 0.500000 -0.500000 0.250000 10 20");
  const std::pair<std::string, std::string> rows[] = {
      {"9\n0\n 1 2 3 4 5 6 7 8 9 0 0 0 0 0\n", "-1:0  1 2 3 4 5 6 7 8 9 0 0 0 0 0"},  // no key line consumed
      {"9\n3\n 0 0 0 0 0 0 1 1 1 0 0 0 0 0\n 1 2 x\nAddNullObject a\n", "1:1 -1:1 "},  // the first key stays
      {"9\n2\n 0 0 0", "-1:0 "}};  // truncated at the end of the file
  for (const auto& [block, expected] : rows) {
    keys.clear();
    EXPECT_EQ(readBlocks(block, keys), expected);
  }
  keys.clear(); readBlocks("9\n1\n 0 0 0 0 0 0 1 1 1 99999999999999 0 0 0 0\n", keys);
  EXPECT_EQ(keys.at(0).frame, 2147483647);  // frames beyond the int range saturate
}
