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

using Names = std::vector<std::string>;

Names names(const LwScene& scene) {
  Names out;
  for (const auto& item : scene.items) out.push_back(item->name);
  return out;
}

std::vector<int> parents(const LwScene& scene) {
  std::vector<int> out;
  for (const auto& item : scene.items) out.push_back(item->parentItem);
  return out;
}

std::vector<std::size_t> keyCounts(const LwScene& scene) {
  std::vector<std::size_t> out;
  for (const auto& item : scene.items) out.push_back(item->motionKeys.size());
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
    testsupport::TestRun run;
    EXPECT_EQ(lwReadScene(scene, text, run.context, LwObjectSource{}, nullptr), Status::kNotThisFormat);
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
  b.line("EndPlugin").line("ParentObject 1").line("AddBone").line("BoneMotion (unnamed)").line("ParentObject 9");
  LwScene scene;
  std::string console;
  EXPECT_EQ(readScene(scene, b.text(), &console, true), Status::kOk);  // the camera's block, read last
  // A plugin's block is skipped whole; a bone block's lines are the bone's, which follows every item (a damaged motion: at rest).
  EXPECT_EQ(names(scene), (Names{"0_Null (1)", "1_Key Light", "Camera", "3_", "4_Bone"}));
  EXPECT_EQ(parents(scene), (std::vector<int>{kNoItem, 0, 1, 0, 3}));
  EXPECT_EQ(keyCounts(scene), (std::vector<std::size_t>{1, 2, 1, 0, 1}));
  EXPECT_EQ(console, "\n");
  EXPECT_EQ(scene.firstFrame, 5);
  EXPECT_EQ(scene.lastFrame, 90);
  EXPECT_EQ(scene.framesPerSecond, 25.0);
  const LwObject& null = *scene.items[0];
  EXPECT_EQ(std::vector<float>(null.pivot, null.pivot + 3), (std::vector<float>{1.5f, -2.0f, 0.0f}));
  EXPECT_EQ(null.endBehavior, kEndRepeat);  // 5 is no end behaviour: the 2 before it stays
  EXPECT_EQ(null.targetItem, 2);
  EXPECT_EQ(null.pathAlignment, 1);
  EXPECT_EQ(null.lookAheadFrames, 4);
  EXPECT_EQ(null.dissolve, 0.25);
  EXPECT_EQ(null.metamorph, 0.5);
  EXPECT_EQ(null.limits[0].enabled, 0);
  EXPECT_EQ(scene.items[1]->endBehavior, kEndStop);
  EXPECT_EQ(scene.items[1]->lookAheadFrames, 1);
  lwReleaseScene(scene);
  // Lines ended by CR LF read the same, keys spread over two lines included.
  std::string crlf;
  for (const char c : b.text()) {
    if (c == '\n') crlf.push_back('\r');
    crlf.push_back(c);
  }
  ASSERT_EQ(readScene(scene, crlf, &console, true), Status::kOk);
  EXPECT_EQ(names(scene), (Names{"0_Null (1)", "1_Key Light", "Camera", "3_", "4_Bone"}));
  EXPECT_EQ(keyCounts(scene), (std::vector<std::size_t>{1, 2, 1, 0, 1}));
  lwReleaseScene(scene);
  EXPECT_TRUE(scene.items.empty());
  // Without lights and camera their blocks are skipped; their lines apply to no item.
  LwscBuilder c;
  c.line("AddNullObject first").line("AddLight").line("LightName Sun").motion("LightMotion (unnamed)", {key(0, 0, 0, 0)});
  c.line("ParentObject 1").motion("CameraMotion", {key(0, 1, 1, 1)}).line("AddNullObject second").motion("ObjectMotion", {key(0, 0, 0, 0)});
  const struct {
    const char* label;
    std::string text;
    Status result;
    Names names;
    std::size_t lastKeys;
  } rows[] = {
      {"no lights, no camera", c.text(), Status::kOk, {"0_first", "1_second"}, 1},
      {"an empty block", LwscBuilder().line("AddNullObject a").motion("ObjectMotion", {}).text(), Status::kBadInput, {"0_a"}, 0},
      {"no block", LwscBuilder().line("AddNullObject a").text(), Status::kBadInput, {"0_a"}, 0},
      {"two blocks append", LwscBuilder().line("AddNullObject a").motion("ObjectMotion", {key(0, 0, 0, 0)}).motion("ObjectMotion", {key(5, 0, 0, 0)}).text(),
       Status::kOk, {"0_a"}, 2},
      {"a cut block keeps the keys before the cut", "LWSC\n1\nAddNullObject a\nObjectMotion\n9\n3\n 0 0 0 0 0 0 1 1 1 0 0 0 0 0\n 1 2", Status::kOk, {"0_a"}, 1},
      // Names fit the 80-byte field; a scene line longer than 199 characters continues as another line.
      {"long names", LwscBuilder().line("AddNullObject a").line("LightName " + std::string(78, 'n')).line("AddNullObject " + std::string(250, 'q')).text(),
       Status::kBadInput, {"0_" + std::string(77, 'n'), "1_" + std::string(77, 'q')}, 0}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.label);
    LwScene s;
    EXPECT_EQ(readScene(s, row.text), row.result);
    EXPECT_EQ(names(s), row.names);
    EXPECT_EQ(keyCounts(s).back(), row.lastKeys);
  }
  LwScene withBoth;
  ASSERT_EQ(readScene(withBoth, c.text(), nullptr, true), Status::kOk);
  EXPECT_EQ(names(withBoth), (Names{"0_first", "1_Sun", "Camera", "3_second"}));
  EXPECT_EQ(parents(withBoth), (std::vector<int>{kNoItem, 0, kNoItem, kNoItem}));
  EXPECT_EQ(withBoth.items[2]->motionKeys.at(0).values[0], 1.0);
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
  EXPECT_EQ(names(scene), (Names{"0_a", "1_b", "2_c", "3_my_cow", "4_after", "5_v12_" + std::string(73, 'x')}));
  EXPECT_EQ(parents(scene)[3], 0);
  EXPECT_EQ(scene.items[3]->points.size(), 3u);
  EXPECT_EQ(scene.items[3]->polygons.size(), 1u);
  EXPECT_EQ(scene.items[3]->morphTarget, scene.items[0].get());
  EXPECT_EQ(console, "\n Objects\\my cow.lwo : Normals TextureCoords\n Objects\\broken.lwo :Not LightWave file!\n"
                     " Objects\\" + stem + ".lwo : Normals TextureCoords\n");
  lwReleaseScene(scene);
  // Joined to a content directory, a name longer than the 1024-byte path field is cut to fit it.
  std::string deep = dir.path();
  while (deep.size() < 900) deep += "/" + std::string(240, 'd');
  testsupport::makeDir(deep);
  const std::string cut = deep + "/" + std::string(1022 - deep.size(), 'f');  // 1023 characters
  ASSERT_TRUE(lwbuild::writeFile(cut, triangle()));
  ASSERT_TRUE(lwbuild::writeFile(cut + "ff", std::string("not an object")));
  EXPECT_EQ(readScene(scene, LwscBuilder().loadObject(cut.substr(deep.size() + 1) + "ffff.lwo", {key(0, 0, 0, 0)}).text(), &console, false, deep), Status::kOk);
  EXPECT_TRUE(console.ends_with(": Normals TextureCoords\n")) << console;
  lwReleaseScene(scene);
  // A missing object stops the reading; without the content directory the relative path is not found either.
  for (const auto& [content, object] : {std::pair{dir.path(), "Objects\\no.lwo"}, {std::string(), "Objects\\my cow.lwo"}}) {
    LwScene missing;
    EXPECT_EQ(readScene(missing, LwscBuilder().line("AddNullObject a").loadObject(object, {}).line("AddNullObject b").text(), &console, false, content), Status::kMissing);
    EXPECT_EQ(names(missing), Names{"0_a"});
    EXPECT_EQ(console, "\nfile not found: " + std::string(object) + "\n");
  }
}

// Morph targets, targets and parents name items by number; numbers naming no item, or the
// item itself, are none, and a parent that names no item detaches its child.
TEST(SceneReader, CrossReferences) {
  LwscBuilder b;
  b.line("AddNullObject a").line("MorphTarget 2").line("ParentObject 99").line("TargetObject -4");
  b.line("AddNullObject b").line("MorphTarget 2").line("AddNullObject c").line("MorphTarget 7").line("AddNullObject d").line("MorphTarget 2");
  LwScene scene;
  // No motion was read, so the scene does not count as one; its items are read all the same.
  EXPECT_EQ(readScene(scene, b.text()), Status::kBadInput);
  ASSERT_EQ(scene.items.size(), 4u);
  const LwObject* b1 = scene.items[1].get();
  EXPECT_EQ(scene.items[0]->morphTarget, b1);
  EXPECT_EQ(b1->morphTarget, nullptr);
  EXPECT_EQ(scene.items[2]->morphTarget, nullptr);
  EXPECT_EQ(scene.items[3]->morphTarget, b1);
  EXPECT_EQ(b1->refCount, 3);
  EXPECT_EQ(scene.items[0]->refCount, 1);
  const LwObject& a = *scene.items[0];
  EXPECT_EQ(a.parentItem, kNoItem);
  EXPECT_TRUE(a.detached);
  EXPECT_EQ(a.targetItem, kNoItem);
  EXPECT_FALSE(b1->detached);
}

TEST(ReadMotion, KeysBlocksCountsAndBrokenKeys) {
  std::vector<MotionKey> keys;
  TextCursor in("9\n 2\n 1 2 3 4 5 6 7 8 9\n 0 1 0.5 -0.5 0.25 trailing words\n 1 1 1 0e5 0 0 1 1 1\n 10 0 0 0 0\n"
                "9\n1\n 5 5 5 0 0 0 1 1 1 20 1 0 0 0\n9\n0\nNextLine\n");
  EXPECT_TRUE(lwReadMotion(in, keys));
  EXPECT_TRUE(lwReadMotion(in, keys));  // appended
  EXPECT_FALSE(lwReadMotion(in, keys));  // no keys
  std::string rest;
  readLine(rest, kMotionLineSize, in);
  EXPECT_EQ(rest, "NextLine");
  ASSERT_EQ(keys.size(), 3u);
  EXPECT_EQ(keys[0].values[8], 9.0);
  EXPECT_EQ(keys[0].frame, 0);
  EXPECT_EQ(keys[0].linear, 1);
  EXPECT_EQ(keys[0].tension, 0.5);
  EXPECT_EQ(keys[0].continuity, -0.5);
  EXPECT_EQ(keys[0].bias, 0.25);
  EXPECT_EQ(keys[1].values[3], 0.0);  // "0e5" is one number, as fscanf reads it
  EXPECT_EQ(keys[1].frame, 10);
  EXPECT_EQ(keys[2].frame, 20);
  const struct {
    const char* label;
    std::string block;
    bool read;
    std::size_t keys;
    const char* next;  // the line after the block, where it matters
  } rows[] = {
      {"no key line consumed", "9\n0\n 1 2 3 4 5 6 7 8 9 0 0 0 0 0\n", false, 0, " 1 2 3 4 5 6 7 8 9 0 0 0 0 0"},
      {"a broken key ends the block after the first", "9\n3\n 0 0 0 0 0 0 1 1 1 0 0 0 0 0\n 1 2 x\nAddNullObject a\n", true, 1, nullptr},
      {"cut at the end of the file", "9\n2\n 0 0 0", false, 0, ""}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.label);
    keys.clear();
    TextCursor block(row.block);
    EXPECT_EQ(lwReadMotion(block, keys), row.read);
    EXPECT_EQ(keys.size(), row.keys);
    std::string next;
    readLine(next, kMotionLineSize, block);
    if (row.next != nullptr) {
      EXPECT_EQ(next, row.next);
    }
  }
  keys.clear();
  TextCursor big("9\n1\n 0 0 0 0 0 0 1 1 1 99999999999999 0 0 0 0\n");
  EXPECT_TRUE(lwReadMotion(big, keys));
  EXPECT_EQ(keys.at(0).frame, 2147483647);  // frames beyond the int range saturate
}
