#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "app/lwcfg.h"

namespace {

struct Parsed {
  int result;
  LwConfig config;
};

Parsed parse(const std::string& text) {
  std::FILE* f = std::tmpfile();
  std::fwrite(text.data(), 1, text.size(), f);
  std::rewind(f);
  Parsed p{0, {}};
  p.result = readLwConfig(p.config, f);
  std::fclose(f);
  return p;
}

}  // namespace

TEST(LwConfig, ReadsTheFourDirectories) {
  const Parsed p = parse(
      "LWCO\n0\nContentDirectory C:\\NewTek\nScenesDirectory Scenes\nObjectsDirectory Objects\n"
      "ImagesDirectory Images\nDefaultSegmentMemory 2200000\n");
  EXPECT_EQ(p.result, 0);
  EXPECT_EQ(p.config.contentDirectory, "C:\\NewTek");
  EXPECT_EQ(p.config.scenesDirectory, "Scenes");
  EXPECT_EQ(p.config.objectsDirectory, "Objects");
  EXPECT_EQ(p.config.imagesDirectory, "Images");
}

TEST(LwConfig, WindowsLineEndsGiveTheSameValues) {
  const Parsed p = parse("LWCO\r\n0\r\nContentDirectory C:\\NewTek\r\nScenesDirectory Scenes\r\n");
  EXPECT_EQ(p.result, 0);
  EXPECT_EQ(p.config.contentDirectory, "C:\\NewTek");
  EXPECT_EQ(p.config.scenesDirectory, "Scenes");
}

TEST(LwConfig, ValuesAreTakenAsTheyStand) {
  const Parsed p = parse(
      "LWCO\n0\nContentDirectory  C:\\x \ncontentdirectory C:\\lower\nContentDirectoryC:\\nospace\n"
      "ScenesDirectory a\nScenesDirectory b\nImagesDirectory ");
  EXPECT_EQ(p.result, 0);
  EXPECT_EQ(p.config.contentDirectory, " C:\\x ");  // leading and trailing blanks stay
  EXPECT_EQ(p.config.scenesDirectory, "b");         // the later line wins
  EXPECT_EQ(p.config.imagesDirectory, "");          // last line without line end
}

TEST(LwConfig, HeaderMustMatchExactly) {
  EXPECT_EQ(parse("LWCO \n0\n").result, -1);
  EXPECT_EQ(parse("lwco\n0\n").result, -1);
  EXPECT_EQ(parse("LWCO\n1\nContentDirectory x\n").result, -1);
  EXPECT_EQ(parse("LWCO\n0 \n").result, -1);
  EXPECT_EQ(parse("ContentDirectory x\n0\n").result, -1);
}

TEST(LwConfig, EmptyAndHeaderOnlyFilesAreAccepted) {
  const Parsed empty = parse("");
  EXPECT_EQ(empty.result, 0);
  EXPECT_EQ(empty.config.contentDirectory, "");
  const Parsed header = parse("LWCO\n0\n");
  EXPECT_EQ(header.result, 0);
  EXPECT_EQ(header.config.scenesDirectory, "");
}

TEST(LwConfig, OverlongLineArrivesInPieces) {
  // The key's line is cut after 1023 characters; the rest is a line of its own.
  const std::string value(1100, 'v');
  const Parsed p = parse("LWCO\n0\nContentDirectory " + value + "\nScenesDirectory s\n");
  EXPECT_EQ(p.result, 0);
  EXPECT_EQ(p.config.contentDirectory, std::string(1023 - 17, 'v'));
  EXPECT_EQ(p.config.scenesDirectory, "s");
}
