#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "platform/platform.h"
#include "support/run.h"

using testsupport::TempDir;

namespace {

void writeText(const std::string& path, const std::string& text) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fwrite(text.data(), 1, text.size(), f);
  std::fclose(f);
}

std::string readAll(std::FILE* f) {
  std::string s;
  for (int c = std::fgetc(f); c != EOF; c = std::fgetc(f)) s.push_back(static_cast<char>(c));
  return s;
}

}  // namespace

TEST(PlatformOpenFile, BackslashIsASeparatorAndLetterCaseIsMatched) {
  TempDir dir;
  testsupport::makeDir(dir / "Objects");
  testsupport::makeDir(dir / "Objects/Cars");
  writeText(dir / "Objects/Cars/Car.lwo", "car");
  const char* variants[] = {"/Objects/Cars/Car.lwo", "\\Objects\\Cars\\Car.lwo", "/objects/CARS/car.LWO",
                            "\\OBJECTS/cars\\cAr.lwo"};
  for (const char* v : variants) {
    std::FILE* f = platform::openFile(dir.path() + v, "rb");
    ASSERT_NE(f, nullptr) << v;
    EXPECT_EQ(readAll(f), "car");
    std::fclose(f);
  }
  EXPECT_EQ(platform::openFile(dir.path() + "/objects/cars/bus.lwo", "rb"), nullptr);
  EXPECT_EQ(platform::openFile(dir.path() + "/nodir/car.lwo", "rb"), nullptr);
}

TEST(PlatformOpenFile, ExactNameWinsAndDirectoriesDoNotOpenForReading) {
  TempDir dir;
  writeText(dir / "a.lwo", "lower");
  writeText(dir / "A.lwo", "upper");
  testsupport::makeDir(dir / "b.lws");
  std::FILE* f = platform::openFile(dir / "A.lwo", "rb");
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(readAll(f), "upper");
  std::fclose(f);
  EXPECT_EQ(platform::openFile(dir / "b.lws", "rb"), nullptr);
}

TEST(PlatformOpenFile, WritingMatchesDirectoriesButKeepsTheFileName) {
  TempDir dir;
  testsupport::makeDir(dir / "Out");
  writeText(dir / "Out/scene.x", "old");
  std::FILE* f = platform::openFile(dir.path() + "\\out\\scene.X", "wb");
  ASSERT_NE(f, nullptr);
  std::fputs("new", f);
  std::fclose(f);
  EXPECT_EQ(testsupport::readFile(dir / "Out/scene.x"), "old");
  EXPECT_EQ(testsupport::readFile(dir / "Out/scene.X"), "new");
}

TEST(PlatformTempFile, CommitReplacesAndRemoveCleansUp) {
  TempDir dir;
  const std::string final = dir / "out.X";
  writeText(final, "previous");
  std::string temp;
  std::FILE* f = platform::createTempFile(final, true, temp);
  ASSERT_NE(f, nullptr);
  EXPECT_NE(temp, final);
  EXPECT_EQ(temp.substr(0, dir.path().size()), dir.path());
  std::fputs("fresh", f);
  std::fclose(f);
  EXPECT_EQ(testsupport::readFile(final), "previous");
  ASSERT_TRUE(platform::commitFile(temp, final));
  EXPECT_EQ(testsupport::readFile(final), "fresh");
  EXPECT_EQ(testsupport::listDir(dir.path()), std::vector<std::string>{"out.X"});

  std::string second;
  std::FILE* g = platform::createTempFile(final, false, second);
  ASSERT_NE(g, nullptr);
  std::fclose(g);
  EXPECT_TRUE(platform::removeFile(second));
  EXPECT_EQ(testsupport::readFile(final), "fresh");
  EXPECT_EQ(testsupport::listDir(dir.path()), std::vector<std::string>{"out.X"});
}

TEST(PlatformTempFile, FailsInAMissingDirectory) {
  TempDir dir;
  std::string temp;
  EXPECT_EQ(platform::createTempFile(dir / "missing/out.X", false, temp), nullptr);
}

TEST(PlatformDirectory, EnterAndRestore) {
  TempDir dir;
  testsupport::makeDir(dir / "Sub");
  std::string start;
  ASSERT_TRUE(platform::getCurrentDirectory(start));
  EXPECT_TRUE(platform::isDirectory(dir / "sub"));
  ASSERT_TRUE(platform::setCurrentDirectory(dir.path() + "\\sub\\."));
  std::string inside;
  ASSERT_TRUE(platform::getCurrentDirectory(inside));
  EXPECT_EQ(inside.substr(inside.size() - 4), "/Sub");
  EXPECT_FALSE(platform::setCurrentDirectory(dir / "nothere"));
  ASSERT_TRUE(platform::setCurrentDirectory(start));
}

TEST(PlatformCodePage, LeadBytes) {
  EXPECT_TRUE(platform::isLeadByte(932, 0x81));
  EXPECT_TRUE(platform::isLeadByte(932, 0x9F));
  EXPECT_FALSE(platform::isLeadByte(932, 0xA0));  // half-width katakana are single bytes
  EXPECT_FALSE(platform::isLeadByte(932, 0xDF));
  EXPECT_TRUE(platform::isLeadByte(932, 0xE0));
  EXPECT_TRUE(platform::isLeadByte(932, 0xFC));
  EXPECT_FALSE(platform::isLeadByte(932, 0xFD));
  for (int cp : {936, 949, 950}) {
    EXPECT_FALSE(platform::isLeadByte(cp, 0x80)) << cp;
    EXPECT_TRUE(platform::isLeadByte(cp, 0x81)) << cp;
    EXPECT_TRUE(platform::isLeadByte(cp, 0xFE)) << cp;
    EXPECT_FALSE(platform::isLeadByte(cp, 0xFF)) << cp;
  }
  for (int c = 0; c < 256; ++c) {
    EXPECT_FALSE(platform::isLeadByte(65001, static_cast<unsigned char>(c)));
    EXPECT_FALSE(platform::isLeadByte(1252, static_cast<unsigned char>(c)));
  }
  EXPECT_GT(platform::activeCodePage(), 0);
}

TEST(PlatformExecutablePath, NamesTheRunningProgram) {
  const std::string self = platform::executablePath("nonsense");
  EXPECT_NE(self.find("test_app"), std::string::npos) << self;
}
