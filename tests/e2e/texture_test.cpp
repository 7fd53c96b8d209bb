// Texture images converted by the real program: where the PPM lands, what it holds,
// what the .x names, and what a broken image leaves behind.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli_support.h"

using namespace clitest;
using namespace lwbuild;
using testsupport::TempDir;

namespace {

// 2 x 1, 8 bits with a two-entry table: the PPM reads green, red.
Bytes woodBmp() { return bmpBytes(2, 1, 8, {0, 0, 255, 0, 0, 255, 0, 0}, {1, 0, 0, 0}); }

}  // namespace

TEST(Texture, ConvertedIntoTheDestinationDirectoryAndMapped) {
  TempDir dir;
  testsupport::makeDir(dir / "out");
  testsupport::makeDir(dir / "out/images");
  ASSERT_TRUE(writeFile(dir / "board.lwo", mappedObject("images\\wood.tga")));
  ASSERT_TRUE(writeFile(dir / "out/images/wood.tga", woodTga()));
  const auto r = torvo({"-u", "board.lwo", "out"}, dir.path());
  EXPECT_EQ(r.exitCode, 0) << r.out;
  EXPECT_TRUE(contains(r.out, "writing a mesh to X...\ngenerating wood.PPM : ok\n 4 Vertices  1 Polygons  1 Normals\n"))
      << r.out;
  EXPECT_EQ(testsupport::readFile(dir / "out/wood.PPM"), kWoodPpm);
  EXPECT_FALSE(testsupport::fileExists(dir / "wood.PPM"));
  EXPECT_EQ(testsupport::listDir(dir / "out"), (std::vector<std::string>{"board.X", "images", "wood.PPM"}));
  const std::string x = testsupport::readFile(dir / "out/board.X");
  EXPECT_TRUE(contains(x, " TextureFilename {\n  \"wood.PPM\";\n }\n")) << x;
  EXPECT_TRUE(contains(x, " MeshFaceWraps {\n  1;\n  0;0;;\n }\n")) << x;
  EXPECT_TRUE(contains(x, " MeshTextureCoords {\n  4;\n")) << x;
}

TEST(Texture, BmpAndLetterCaseOfTheExtension) {
  TempDir dir;
  testsupport::makeDir(dir / "images");
  ASSERT_TRUE(writeFile(dir / "board.lwo", mappedObject("images\\wood.Bmp")));
  ASSERT_TRUE(writeFile(dir / "images/wood.Bmp", woodBmp()));
  const auto r = torvo({"-b", "board.lwo"}, dir.path());
  EXPECT_EQ(r.exitCode, 0) << r.out;
  EXPECT_NE(r.out.find("generating wood.PPM : ok\n"), std::string::npos) << r.out;
  EXPECT_EQ(testsupport::readFile(dir / "wood.PPM"),
            std::string("P6\n# converted by vemo\n2 1\n255\n") + std::string("\x00\xFF\x00\xFF\x00\x00", 6));
}

TEST(Texture, KeepOptionLeavesTheImageAlone) {
  TempDir dir;
  testsupport::makeDir(dir / "images");
  ASSERT_TRUE(writeFile(dir / "board.lwo", mappedObject("images\\wood.tga")));
  ASSERT_TRUE(writeFile(dir / "images/wood.tga", woodTga()));
  const auto r = torvo({"-B", "board.lwo"}, dir.path());
  EXPECT_EQ(r.exitCode, 0) << r.out;
  EXPECT_EQ(r.out.find("generating"), std::string::npos) << r.out;
  EXPECT_NE(testsupport::readFile(dir / "board.X").find("  \"wood.tga\";\n"), std::string::npos);
  EXPECT_EQ(testsupport::listDir(dir.path()), (std::vector<std::string>{"board.X", "board.lwo", "images"}));
}

TEST(Texture, BrokenImagesReportFailureAndLeaveNoPpm) {
  TgaSpec huge;
  huge.width = 60000;
  huge.height = 60000;
  const Bytes wood = woodTga();
  Bytes wrongType = wood;
  wrongType[2] = 33;
  const std::vector<std::pair<std::string, Bytes>> broken = {
      {"truncated", Bytes(wood.begin(), wood.end() - 2)},
      {"header only", Bytes(wood.begin(), wood.begin() + 18)},
      {"wrong type", wrongType},
      {"declares more pixels than it holds", tgaBytes(huge, {}, Bytes(300, 7))},
      {"empty", {}},
  };
  for (const auto& [what, bytes] : broken) {
    SCOPED_TRACE(what);
    TempDir dir;
    testsupport::makeDir(dir / "images");
    ASSERT_TRUE(writeFile(dir / "board.lwo", mappedObject("images\\wood.tga")));
    ASSERT_TRUE(writeFile(dir / "images/wood.tga", bytes));
    const auto r = torvo({"board.lwo"}, dir.path());
    // The object itself still converts; only the texture failed.
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_NE(r.out.find("generating wood.PPM : failure\n"), std::string::npos) << r.out;
    EXPECT_EQ(testsupport::listDir(dir.path()), (std::vector<std::string>{"board.X", "board.lwo", "images"}));
    EXPECT_NE(testsupport::readFile(dir / "board.X").find("  \"wood.PPM\";\n"), std::string::npos);
  }
}
