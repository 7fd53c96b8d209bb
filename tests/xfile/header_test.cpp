#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/options.h"
#include "lwbuild.h"
#include "support/run.h"
#include "xfile/header.h"

namespace {

const char kMeshPart[] = "xof 0302txt 0032\ntemplate Mesh {}\n";
const char kFramePart[] = "// FrameTransformMatrix and Frame\ntemplate Frame {}\n";
const char kAnimationPart[] = "// FloatKeys and animation\ntemplate AnimationSet {}\n";
const char kTextHeader[] = "Header {\n 1;\n 0;\n 1;\n}\n\n";

class HeaderTest : public ::testing::Test {
 protected:
  void SetUp() override { options() = {}; }
  void TearDown() override { options() = {}; }

  std::string writeTemplate(const std::string& text) {
    EXPECT_TRUE(lwbuild::writeFile(dir / "TORVOtpl.x", text));
    return dir / "TORVOtpl.x";
  }

  // Runs writeXHeader; returns the .x bytes, keeps the result and the console text.
  std::string prologue(const std::string& path, int writeAllTemplates, bool binary = false) {
    XWriter w;
    w.binary = binary;
    testing::internal::CaptureStdout();
    result = writeXHeader(path, w, writeAllTemplates);
    console = testing::internal::GetCapturedStdout();
    return std::string(w.buffer.begin(), w.buffer.end());
  }

  testsupport::TempDir dir;
  std::string console;
  int result = -5;
};

}  // namespace

TEST_F(HeaderTest, BinaryNeedsNoTemplateAndTextFailsWithoutOne) {
  options().binaryOutput = 1;
  const std::string binary = prologue(dir / "missing.x", 1, true);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(console, "");
  EXPECT_EQ(binary, std::string("xof 0302bin 0032") + std::string("\1\0\6\0\0\0Header\x0a\0", 14) +
                        std::string("\6\0\3\0\0\0\1\0\0\0\0\0\0\0\0\0\0\0\x0b\0", 20));

  options() = {};
  const std::string path = dir / "nowhere/TORVOtpl.x";
  EXPECT_EQ(prologue(path, 0), "");
  EXPECT_EQ(result, -1);
  EXPECT_EQ(console, "template file " + path + " not found!\n");
}

TEST_F(HeaderTest, CutFollowsConversionAndOptions) {
  const std::string path = writeTemplate(std::string(kMeshPart) + kFramePart + kAnimationPart);
  struct Row {
    const char* label;
    int writeAll;  // 0 object, 1 scene
    int topFrame, meshesOnly, noAnimation;
    int parts;  // 1 meshes, 2 and frames, 3 everything
  };
  const Row rows[] = {
      {"object", 0, 0, 0, 0, 1},      {"object -T", 0, 1, 0, 0, 2}, {"object -M", 0, 0, 1, 1, 1},
      {"object -M -T", 0, 1, 1, 1, 1}, {"scene", 1, 0, 0, 0, 3},     {"scene -A", 1, 0, 0, 1, 2},
      {"scene -M", 1, 0, 1, 1, 1},     {"scene -T", 1, 1, 0, 0, 3},  {"object -A", 0, 0, 0, 1, 1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    options() = {};
    options().topFrame = row.topFrame;
    options().meshesOnly = row.meshesOnly;
    options().noAnimation = row.noAnimation;
    std::string expected = kMeshPart;
    if (row.parts >= 2) expected += kFramePart;
    if (row.parts >= 3) expected += kAnimationPart;
    EXPECT_EQ(prologue(path, row.writeAll), expected + kTextHeader);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(console, "writing template...\n");
  }
}

TEST_F(HeaderTest, TemplatesWithoutMarkerOrWithLongLines) {
  const std::string straddling = std::string(75, '/') + "FrameTransformMatrix tail\n";
  const std::string rows[][2] = {
      {"xof 0302txt 0032\ntemplate Mesh {}\nno trailing line break", ""},
      // Long lines are copied in 79-character pieces; a marker straddling two pieces is missed.
      {"xof 0302txt 0032\n" + std::string(200, 'x') + "\n" + straddling + "template Frame {}\n", ""},
      // A marker inside a later piece of a long line cuts there; earlier pieces stay.
      {"xof 0302txt 0032\n" + std::string(100, '/') + "FrameTransformMatrix\nrest\n",
       "xof 0302txt 0032\n" + std::string(79, '/')}};
  for (const auto& row : rows) {
    EXPECT_EQ(prologue(writeTemplate(row[0]), 0), (row[1].empty() ? row[0] : row[1]) + kTextHeader);
  }
}

// The shipped template file: signature, line widths, and which templates each cut holds.
TEST_F(HeaderTest, ShippedTemplateFileKeepsItsSectionsInOrder) {
  const std::string path = std::string(TORVO_SOURCE_DIR) + "/src/xfile/TORVOtpl.x";
  const std::string whole = testsupport::readFile(path);
  ASSERT_EQ(whole.rfind("xof 0302txt 0032\n", 0), 0u);
  for (std::size_t start = 0, end = 0; start < whole.size(); start = end + 1) {
    end = whole.find('\n', start);
    if (end == std::string::npos) end = whole.size();
    EXPECT_LT(end - start, 79u) << whole.substr(start, end - start);
  }

  const std::string meshes = prologue(path, 0);
  options().topFrame = 1;
  const std::string frames = prologue(path, 0);
  const std::string all = prologue(path, 1);
  EXPECT_EQ(all, whole + kTextHeader);
  auto at = [](const std::string& text, const std::string& name) { return text.find("template " + name + " {"); };
  std::size_t last = 0;
  for (const char* name : {"Header", "Vector", "Coords2d", "ColorRGBA", "ColorRGB", "IndexedColor", "Boolean",
                           "Boolean2d", "MaterialWrap", "TextureFilename", "Material", "MeshFace", "MeshFaceWraps",
                           "MeshTextureCoords", "MeshMaterialList", "MeshNormals", "Mesh"}) {
    ASSERT_NE(at(meshes, name), std::string::npos) << name;
    EXPECT_GT(at(meshes, name), last) << name;
    last = at(meshes, name);
  }
  EXPECT_EQ(meshes.find("Matrix4x4"), std::string::npos);
  for (const char* name : {"Matrix4x4", "FrameTransformMatrix", "Frame"}) {
    EXPECT_EQ(at(meshes, name), std::string::npos) << name;
    EXPECT_NE(at(frames, name), std::string::npos) << name;
  }
  for (const char* name : {"FloatKeys", "TimedFloatKeys", "AnimationKey", "AnimationOptions", "Animation",
                           "AnimationSet"}) {
    EXPECT_EQ(at(frames, name), std::string::npos) << name;
    EXPECT_NE(at(all, name), std::string::npos) << name;
  }
  EXPECT_NE(meshes.find("<3D82AB44-62DA-11cf-AB39-0020AF71E433>"), std::string::npos);  // Mesh
}
