// LoadObject: object files found beside the scene or in the content directory.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "app/lwcfg.h"
#include "lwbuild.h"
#include "lws/scene.h"
#include "support/run.h"

namespace {

using lwbuild::key;

lwbuild::Bytes triangle() {
  return lwbuild::LwobBuilder()
      .surfaces({"Skin"})
      .points({0, 0, 0, 1, 0, 0, 0, 1, 0})
      .polygons({{{0, 1, 2}, 1}})
      .surface("Skin", {lwbuild::subColor(200, 100, 50)})
      .bytes();
}

class SceneObjects : public testing::Test {
 protected:
  void SetUp() override {
    testsupport::makeDir(dir / "Objects");
    ASSERT_TRUE(lwbuild::writeFile(dir / "Objects/my cow.lwo", triangle()));
    ASSERT_TRUE(lwbuild::writeFile(dir / "Objects/broken.lwo", std::string("not an object")));
    lwConfig() = {};
  }
  void TearDown() override { lwConfig() = {}; }

  int read(LwScene& scene, const std::string& text) {
    std::FILE* f = std::tmpfile();
    std::fwrite(text.data(), 1, text.size(), f);
    std::rewind(f);
    testing::internal::CaptureStdout();
    const int r = lwReadScene(scene, f, true, true, false, false, false);
    console = testing::internal::GetCapturedStdout();
    std::fclose(f);
    return r;
  }

  testsupport::TempDir dir;
  std::string console;
};

}  // namespace

TEST_F(SceneObjects, NamesFromTheFileAndTheContentDirectory) {
  lwConfig().contentDirectory = dir.path();
  lwbuild::LwscBuilder b;
  b.line("AddNullObject a").line("AddNullObject b").line("AddNullObject c");
  b.loadObject("Objects\\my cow.lwo", {key(0, 1, 2, 3)}, 1);
  b.line("MorphTarget 1");
  b.loadObject("Objects\\broken.lwo", {key(0, 0, 0, 0)});
  b.line("AddNullObject after");
  LwScene scene;
  EXPECT_EQ(read(scene, b.text()), 1);
  ASSERT_EQ(scene.items.size(), 5u);
  const LwObject& cow = *scene.items[3];
  EXPECT_EQ(cow.name, "3_my_cow");
  EXPECT_EQ(cow.points.size(), 3u);
  EXPECT_EQ(cow.polygons.size(), 1u);
  EXPECT_EQ(cow.parentIndex, 1);
  EXPECT_EQ(cow.motionKeys.size(), 1u);
  EXPECT_EQ(cow.morphTarget, scene.items[0].get());
  // The broken object leaves no item: the next one takes its number.
  EXPECT_EQ(scene.items[4]->name, "4_after");
  EXPECT_NE(console.find(" Objects\\my cow.lwo :"), std::string::npos);
  EXPECT_NE(console.find(" Objects\\broken.lwo :"), std::string::npos);
  lwReleaseScene(scene);
}

TEST_F(SceneObjects, MissingObjectFile) {
  lwbuild::LwscBuilder b;
  b.loadObject("Objects\\nowhere.lwo", {key(0, 0, 0, 0)});
  LwScene scene;
  EXPECT_EQ(read(scene, b.text()), -1);
  EXPECT_NE(console.find("file not found: Objects\\nowhere.lwo\n"), std::string::npos);
  EXPECT_TRUE(scene.items.empty());
  // Without the content directory the relative path is not found either.
  LwScene again;
  EXPECT_EQ(read(again, lwbuild::LwscBuilder().loadObject("Objects\\my cow.lwo", {key(0, 0, 0, 0)}).text()), -1);
}

TEST_F(SceneObjects, LongFileNamesLoseTheirExtensionBeforeTheirTail) {
  lwConfig().contentDirectory = dir.path();
  const std::string stem = "v1.2 " + std::string(90, 'x');
  ASSERT_TRUE(lwbuild::writeFile(dir / ("Objects/" + stem + ".lwo"), triangle()));
  LwScene scene;
  read(scene, lwbuild::LwscBuilder().loadObject("Objects\\" + stem + ".lwo", {key(0, 0, 0, 0)}).text());
  ASSERT_EQ(scene.items.size(), 1u);
  // Cut at the last dot and filtered first, then fitted to the 79-character field.
  EXPECT_EQ(scene.items[0]->name, ("0_v12_" + std::string(90, 'x')).substr(0, 79));
  lwReleaseScene(scene);
}
