#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "app/lwcfg.h"

TEST(LwConfig, KeysHeaderAndLineEnds) {
  const std::string overlong(1100, 'v');
  const std::string filling(1022 - 17, 'w');  // with its key, a line that just fits the buffer
  struct Row {
    const char* label;
    std::string text;
    int result;
    std::string content, scenes, objects, images;
  };
  const Row rows[] = {
      {"four directories",
       "LWCO\n0\nContentDirectory C:\\NewTek\nScenesDirectory Scenes\nObjectsDirectory Objects\n"
       "ImagesDirectory Images\nDefaultSegmentMemory 2200000\n",
       0, "C:\\NewTek", "Scenes", "Objects", "Images"},
      {"windows line ends", "LWCO\r\n0\r\nContentDirectory C:\\NewTek\r\nScenesDirectory Scenes\r\n", 0,
       "C:\\NewTek", "Scenes", "", ""},
      // Blanks stay, the key is matched exactly, the later line wins, the last line needs no line end.
      {"values as they stand",
       "LWCO\n0\nContentDirectory  C:\\x \ncontentdirectory C:\\lower\nContentDirectoryC:\\nospace\n"
       "ScenesDirectory a\nScenesDirectory b\nImagesDirectory ",
       0, " C:\\x ", "b", "", ""},
      {"empty file", "", 0, "", "", "", ""},
      {"header only", "LWCO\n0\n", 0, "", "", "", ""},
      // The key's line is cut after 1023 characters; the rest is a line of its own.
      {"overlong line", "LWCO\n0\nContentDirectory " + overlong + "\nScenesDirectory s\n", 0,
       std::string(1023 - 17, 'v'), "s", "", ""},
      // A CR LF at the buffer's edge ends the line as a plain line feed would.
      {"windows line end at the edge", "LWCO\r\n0\r\nContentDirectory " + filling + "\r\nScenesDirectory s\r\n", 0,
       filling, "s", "", ""},
      {"blank after magic", "LWCO \n0\n", -1, "", "", "", ""},
      {"lower-case magic", "lwco\n0\n", -1, "", "", "", ""},
      {"version 1", "LWCO\n1\nContentDirectory x\n", -1, "", "", "", ""},
      {"blank after version", "LWCO\n0 \n", -1, "", "", "", ""},
      {"no header", "ContentDirectory x\n0\n", -1, "", "", "", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    std::FILE* f = std::tmpfile();
    std::fwrite(row.text.data(), 1, row.text.size(), f);
    std::rewind(f);
    LwConfig config;
    EXPECT_EQ(readLwConfig(config, f), row.result);
    std::fclose(f);
    if (row.result != 0) continue;
    EXPECT_EQ(config.contentDirectory, row.content);
    EXPECT_EQ(config.scenesDirectory, row.scenes);
    EXPECT_EQ(config.objectsDirectory, row.objects);
    EXPECT_EQ(config.imagesDirectory, row.images);
  }
}
