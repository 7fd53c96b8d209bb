// Which level subdivision patches take, end to end: the scene's SubPatchLevel, -S, the
// face budget and its warning, and -S 0 writing the cage as plain faces are written.
#include <gtest/gtest.h>

#include "cli_support.h"

using namespace clitest;
using testsupport::TempDir;

TEST(SubdivisionLevels, SceneOptionsAndBudget) {
  const struct {
    const char* what;
    const char* type;
    const char* level;
    std::vector<std::string> options;
    const char* counts;
    const char* warning;
  } rows[] = {
      {"no SubPatchLevel: 3", "PTCH", nullptr, {}, " 56 Vertices  54 Polygons", nullptr},
      {"the display level", "PTCH", "SubPatchLevel 2 4", {}, " 26 Vertices  24 Polygons", nullptr},
      {"-S render", "PTCH", "SubPatchLevel 2 4", {"-S", "render"}, " 98 Vertices  96 Polygons", nullptr},
      {"-S n for every object", "PTCH", "SubPatchLevel 2 4", {"-S1"}, " 8 Vertices  6 Polygons", nullptr},
      {"-S 0: the cage", "SUBD", nullptr, {"-S", "0"}, " 8 Vertices  6 Polygons", nullptr},
      {"SUBD steps", "SUBD", "SubPatchLevel 2 2", {}, " 98 Vertices  96 Polygons", nullptr},
      {"SUBD 50 stays within a million faces", "SUBD", "SubPatchLevel 50 250", {}, " 393218 Vertices  393216 Polygons",
       "Warning! 0_SUBD: subdivision level 50 lowered to 8 to stay within 1000000 faces\n"},
  };
  TempDir dir;
  for (const char* type : {"PTCH", "SUBD"}) writeFile(dir / (std::string(type) + ".lwo"), patchCube(type));
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    LaterSceneBuilder scene(3, 0, 0);
    scene.line(std::string("LoadObjectLayer 1 10000000 ") + row.type + ".lwo").line("ShowObject 6 -1");
    if (row.level != nullptr) scene.line(row.level);
    scene.line("ShadowOptions 7").line("").line("AddNullObject 10000001 after");
    writeFile(dir / "cube.lws", scene.text());
    std::vector<std::string> args = row.options;
    args.push_back("cube.lws");
    const bool huge = row.warning != nullptr;
    const auto run = torvoCommand(args, dir.path(), "", {.engines = !huge});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(contains(run.out, row.counts)) << run.out;
    EXPECT_EQ(contains(run.out, "Warning!"), row.warning != nullptr) << run.out;
    if (row.warning != nullptr) {
      EXPECT_TRUE(contains(run.out, row.warning)) << run.out;
    }
  }
}

TEST(SubdivisionLevels, LevelZeroWritesTheCageAsFaces) {
  TempDir dir;
  writeFile(dir / "faces.lwo", patchCube("FACE"));
  writeFile(dir / "patches.lwo", patchCube("PTCH"));
  for (const char* format : {"-t", "-b"}) {
    SCOPED_TRACE(format);
    torvoCommand({format, "faces.lwo"}, dir.path());
    torvoCommand({format, "-S", "0", "patches.lwo"}, dir.path());
    EXPECT_EQ(readFile(dir / "faces.X"), readFile(dir / "patches.X"));
  }
  const auto bad = torvoCommand({"-S", "high", "patches.lwo"}, dir.path());
  EXPECT_EQ(bad.exitCode, 1);
  EXPECT_TRUE(contains(bad.out, "Option -S needs a level from 0 to 1000, or render.\n" + kUsage)) << bad.out;
}
