// The prologue: the template file copied in 79-character pieces up to the first piece
// holding the marker the conversion needs. (The cuts of the shipped template for each
// option are pinned end to end.)
#include <gtest/gtest.h>

#include <string>

#include "lwbuild.h"
#include "support/context.h"
#include "support/run.h"
#include "xfile/header.h"

TEST(XHeader, TemplatePiecesMarkersAndMissingFile) {
  testsupport::TempDir dir;
  const std::string head = "xof 0302txt 0032\n", header = "Header {\n 1;\n 0;\n 1;\n}\n\n";
  auto prologue = [&](const std::string& path, const ConvertOptions& set, int scene, std::string& console) {
    XWriter w;
    int result = -5;
    console = testsupport::console([&] { result = testsupport::withOptions(set, [&] { return writeXHeader(path, w, scene); }); });
    return std::to_string(result) + ":" + std::string(w.buffer.begin(), w.buffer.end());
  };
  const std::string straddling = std::string(75, '/') + "FrameTransformMatrix tail\n";
  const std::string rows[][2] = {
      {head + "template Mesh {}\nno trailing line break", ""},
      // A marker straddling two pieces of a long line is missed.
      {head + std::string(200, 'x') + "\n" + straddling + "template Frame {}\n", ""},
      // A marker inside a later piece of a long line cuts there; earlier pieces stay.
      {head + std::string(100, '/') + "FrameTransformMatrix\nrest\n", head + std::string(79, '/')},
      {head + "// FloatKeys\nFrameTransformMatrix\n", head + "// FloatKeys\n"}};
  std::string console;
  for (const auto& row : rows) {
    lwbuild::writeFile(dir / "TORVOtpl.x", row[0]);
    EXPECT_EQ(prologue(dir / "TORVOtpl.x", {}, 0, console), "0:" + (row[1].empty() ? row[0] : row[1]) + header);
    EXPECT_EQ(console, "writing template...\n");
  }
  const std::string missing = dir / "nowhere/TORVOtpl.x";
  EXPECT_EQ(prologue(missing, {}, 1, console), "-1:");
  EXPECT_EQ(console, "template file " + missing + " not found!\n");
}
