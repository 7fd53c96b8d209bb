// Texture images converted by the real program: where the PPM lands, what it holds,
// what the .x names, and what a broken image leaves behind.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "lwbuild.h"
#include "support/run.h"

using namespace lwbuild;
using testsupport::TempDir;

namespace {

testsupport::RunResult torvo(const std::vector<std::string>& args, const std::string& cwd) {
  return testsupport::run(TORVO_EXE, args, cwd);
}

// A quad whose surface carries a planar colour image named imageName.
Bytes mappedObject(const std::string& imageName) {
  LwobBuilder b;
  b.surfaces({"Wood"});
  b.points({0, 0, 0, 2, 0, 0, 2, 2, 0, 0, 2, 0});
  b.polygons({{{0, 1, 2, 3}, 1}});
  b.surface("Wood", {subString("CTEX", "Planar Image Map"), subString("TIMG", imageName), subU16("TFLG", 4),
                     subVec("TSIZ", 2, 2, 2), subVec("TCTR", 1, 1, 0)});
  return b.bytes();
}

// 3 x 2 run-length TGA, bottom-up; the PPM must read red, green, blue / white x 3.
Bytes woodTga() {
  TgaSpec s;
  s.imageType = 10;
  s.width = 3;
  s.height = 2;
  return tgaBytes(s, {}, {0x82, 255, 255, 255, 0x02, 0, 0, 255, 0, 255, 0, 255, 0, 0});
}
const std::string kWoodPpm = std::string("P6\n# converted by vemo\n3 2\n255\n") +
                             std::string("\xFF\x00\x00\x00\xFF\x00\x00\x00\xFF", 9) + std::string(9, '\xFF');

// 2 x 1, 8 bits with a two-entry table: the PPM reads green, red.
Bytes woodBmp() {
  const Bytes table = {0, 0, 255, 0, 0, 255, 0, 0};
  return bmpBytes(2, 1, 8, table, {1, 0, 0, 0});
}

// An empty image is made without handing fwrite the null data of an empty vector.
bool writeImage(const std::string& path, const Bytes& bytes) {
  if (!bytes.empty()) return writeFile(path, bytes);
  std::FILE* f = std::fopen(path.c_str(), "wb");
  return f != nullptr && std::fclose(f) == 0;
}

std::vector<std::string> filesIn(const std::string& dir) { return testsupport::listDir(dir); }

}  // namespace

TEST(Texture, ConvertedIntoTheDestinationDirectory) {
  TempDir dir;
  testsupport::makeDir(dir / "out");
  testsupport::makeDir(dir / "out/images");
  ASSERT_TRUE(writeFile(dir / "board.lwo", mappedObject("images\\wood.tga")));
  ASSERT_TRUE(writeFile(dir / "out/images/wood.tga", woodTga()));
  const auto r = torvo({"board.lwo", "out"}, dir.path());
  EXPECT_EQ(r.exitCode, 0) << r.out;
  EXPECT_NE(r.out.find("generating wood.PPM : ok\n"), std::string::npos) << r.out;
  EXPECT_EQ(testsupport::readFile(dir / "out/wood.PPM"), kWoodPpm);
  EXPECT_FALSE(testsupport::fileExists(dir / "wood.PPM"));
  EXPECT_EQ(filesIn(dir / "out"), (std::vector<std::string>{"board.X", "images", "wood.PPM"}));
  const std::string x = testsupport::readFile(dir / "out/board.X");
  EXPECT_NE(x.find("  \"wood.PPM\";\n"), std::string::npos) << x;
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
  EXPECT_EQ(filesIn(dir.path()), (std::vector<std::string>{"board.X", "board.lwo", "images"}));
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
    ASSERT_TRUE(writeImage(dir / "images/wood.tga", bytes));
    const auto r = torvo({"board.lwo"}, dir.path());
    // The object itself still converts; only the texture failed.
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_NE(r.out.find("generating wood.PPM : failure\n"), std::string::npos) << r.out;
    EXPECT_EQ(filesIn(dir.path()), (std::vector<std::string>{"board.X", "board.lwo", "images"}));
    EXPECT_NE(testsupport::readFile(dir / "board.X").find("  \"wood.PPM\";\n"), std::string::npos);
  }
}
