#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/options.h"
#include "lwbuild.h"
#include "support/run.h"
#include "xfile/header.h"

namespace {

using testsupport::TempDir;

const char kSmallTemplate[] =
    "xof 0302txt 0032\n"
    "template Mesh {}\n"
    "// FrameTransformMatrix and Frame\n"
    "template Frame {}\n"
    "// FloatKeys and animation\n"
    "template AnimationSet {}\n";

const char kMeshPart[] = "xof 0302txt 0032\ntemplate Mesh {}\n";
const char kFramePart[] = "// FrameTransformMatrix and Frame\ntemplate Frame {}\n";
const char kAnimationPart[] = "// FloatKeys and animation\ntemplate AnimationSet {}\n";
const char kTextHeader[] = "Header {\n 1;\n 0;\n 1;\n}\n\n";

class HeaderTest : public ::testing::Test {
 protected:
  void SetUp() override { options() = {}; }
  void TearDown() override { options() = {}; }

  std::string writeTemplate(const std::string& text) {
    const std::string path = dir / "TORVOtpl.x";
    EXPECT_TRUE(lwbuild::writeFile(path, text));
    return path;
  }

  // Runs writeXHeader in text mode; returns the .x text, stores the console text.
  std::string textPrologue(const std::string& path, int writeAllTemplates, int* result = nullptr) {
    XWriter w;
    testing::internal::CaptureStdout();
    const int r = writeXHeader(path, w, writeAllTemplates);
    console = testing::internal::GetCapturedStdout();
    if (result != nullptr) *result = r;
    return std::string(w.buffer.begin(), w.buffer.end());
  }

  TempDir dir;
  std::string console;
};

}  // namespace

TEST_F(HeaderTest, BinaryPrologueNeedsNoTemplate) {
  options().binaryOutput = 1;
  XWriter w;
  w.binary = true;
  testing::internal::CaptureStdout();
  EXPECT_EQ(writeXHeader(dir / "missing.x", w, 1), 0);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  const std::vector<unsigned char> expected = {
      'x', 'o', 'f', ' ', '0', '3', '0', '2', 'b', 'i', 'n', ' ', '0', '0', '3', '2',  // signature
      1, 0, 6, 0, 0, 0, 'H', 'e', 'a', 'd', 'e', 'r', 10, 0,                           // Header {
      6, 0, 3, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,                             // 1, 0, 0
      11, 0};                                                                            // }
  ASSERT_EQ(w.buffer.size(), 50u);
  EXPECT_EQ(std::vector<unsigned char>(w.buffer.begin(), w.buffer.end()), expected);
}

TEST_F(HeaderTest, MissingTemplateFailsTextOutput) {
  const std::string path = dir / "nowhere/TORVOtpl.x";
  int result = 0;
  EXPECT_EQ(textPrologue(path, 0, &result), "");
  EXPECT_EQ(result, -1);
  EXPECT_EQ(console, "template file " + path + " not found!\n");
}

struct CutRow {
  const char* label;
  int writeAll;  // 0 object, 1 scene
  int topFrame, meshesOnly, noAnimation;
  int parts;  // 1 meshes, 2 and frames, 3 everything
};

TEST_F(HeaderTest, CutFollowsConversionAndOptions) {
  const std::string path = writeTemplate(kSmallTemplate);
  const CutRow rows[] = {
      {"object", 0, 0, 0, 0, 1},      {"object -T", 0, 1, 0, 0, 2}, {"object -M", 0, 0, 1, 1, 1},
      {"object -M -T", 0, 1, 1, 1, 1}, {"scene", 1, 0, 0, 0, 3},     {"scene -A", 1, 0, 0, 1, 2},
      {"scene -M", 1, 0, 1, 1, 1},     {"scene -T", 1, 1, 0, 0, 3},  {"object -A", 0, 0, 0, 1, 1},
  };
  for (const CutRow& row : rows) {
    options() = {};
    options().topFrame = row.topFrame;
    options().meshesOnly = row.meshesOnly;
    options().noAnimation = row.noAnimation;
    std::string expected = kMeshPart;
    if (row.parts >= 2) expected += kFramePart;
    if (row.parts >= 3) expected += kAnimationPart;
    int result = -5;
    EXPECT_EQ(textPrologue(path, row.writeAll, &result), expected + kTextHeader) << row.label;
    EXPECT_EQ(result, 0) << row.label;
    EXPECT_EQ(console, "writing template...\n") << row.label;
  }
}

TEST_F(HeaderTest, TemplateWithoutMarkerIsCopiedWhole) {
  const std::string text = "xof 0302txt 0032\ntemplate Mesh {}\nno trailing line break";
  EXPECT_EQ(textPrologue(writeTemplate(text), 0), text + kTextHeader);
}

TEST_F(HeaderTest, LongLinesAreCopiedInPiecesAndSplitMarkersAreMissed) {
  // The marker straddles the 79-character piece boundary, so it is not seen.
  const std::string straddling = std::string(75, '/') + "FrameTransformMatrix tail\n";
  const std::string longLine = std::string(200, 'x') + "\n";
  std::string text = "xof 0302txt 0032\n" + longLine + straddling + "template Frame {}\n";
  EXPECT_EQ(textPrologue(writeTemplate(text), 0), text + kTextHeader);

  // A marker inside a later piece of a long line cuts there; earlier pieces stay.
  text = "xof 0302txt 0032\n" + std::string(100, '/') + "FrameTransformMatrix\nrest\n";
  EXPECT_EQ(textPrologue(writeTemplate(text), 0), "xof 0302txt 0032\n" + std::string(79, '/') + kTextHeader);
}

// The shipped template file: signature, order of the sections, and line widths.
TEST_F(HeaderTest, ShippedTemplateFileKeepsItsSectionsInOrder) {
  const std::string path = std::string(TORVO_SOURCE_DIR) + "/src/xfile/TORVOtpl.x";
  const std::string whole = testsupport::readFile(path);
  ASSERT_FALSE(whole.empty());
  EXPECT_EQ(whole.rfind("xof 0302txt 0032\n", 0), 0u);
  std::size_t start = 0;
  while (start < whole.size()) {
    const std::size_t end = whole.find('\n', start);
    const std::size_t length = (end == std::string::npos ? whole.size() : end) - start;
    EXPECT_LT(length, 79u) << whole.substr(start, length);
    if (end == std::string::npos) break;
    start = end + 1;
  }

  const std::string meshes = textPrologue(path, 0);
  const std::string frames = (options().topFrame = 1, textPrologue(path, 0));
  options() = {};
  const std::string all = textPrologue(path, 1);
  const char* meshTemplates[] = {"Header",    "Vector",          "Coords2d", "ColorRGBA",         "ColorRGB",
                                 "IndexedColor", "Boolean",      "Boolean2d", "MaterialWrap",     "TextureFilename",
                                 "Material",  "MeshFace",        "MeshFaceWraps", "MeshTextureCoords",
                                 "MeshMaterialList", "MeshNormals", "Mesh"};
  std::size_t last = 0;
  for (const char* name : meshTemplates) {
    const std::size_t at = meshes.find(std::string("template ") + name + " {");
    ASSERT_NE(at, std::string::npos) << name;
    EXPECT_GT(at, last) << name;
    last = at;
  }
  EXPECT_EQ(meshes.find("Matrix4x4"), std::string::npos);
  for (const char* name : {"Matrix4x4", "FrameTransformMatrix", "Frame"}) {
    EXPECT_EQ(meshes.find(std::string("template ") + name + " {"), std::string::npos) << name;
    EXPECT_NE(frames.find(std::string("template ") + name + " {"), std::string::npos) << name;
  }
  for (const char* name :
       {"FloatKeys", "TimedFloatKeys", "AnimationKey", "AnimationOptions", "Animation", "AnimationSet"}) {
    EXPECT_EQ(frames.find(std::string("template ") + name + " {"), std::string::npos) << name;
    EXPECT_NE(all.find(std::string("template ") + name + " {"), std::string::npos) << name;
  }
  EXPECT_EQ(all, whole + kTextHeader);
  EXPECT_NE(meshes.find("<3D82AB44-62DA-11cf-AB39-0020AF71E433>"), std::string::npos);  // Mesh
}
