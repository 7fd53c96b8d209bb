// The start of every output file, produced by the real program: the binary
// signature and Header, and the template block cut to what the file uses.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "lwbuild.h"
#include "support/run.h"

using namespace lwbuild;
using testsupport::TempDir;

namespace {

const std::string kTextHeader = "Header {\n 1;\n 0;\n 1;\n}\n\n";

testsupport::RunResult torvo(const std::vector<std::string>& args, const std::string& cwd,
                             const std::string& program = TORVO_EXE) {
  return testsupport::run(program, args, cwd);
}

Bytes box() {
  LwobBuilder b;
  b.surfaces({"Paint"});
  b.points({0, 0, 0, 1, 0, 0, 0, 1, 0});
  b.polygons({{{0, 1, 2}, 1}});
  return b.bytes();
}

void writeSources(const TempDir& dir) {
  ASSERT_TRUE(writeFile(dir / "box.lwo", box()));
  LwscBuilder scene;
  scene.loadObject("box.lwo", {key(0, 0, 0, 0), key(30, 1, 0, 0)});
  ASSERT_TRUE(writeFile(dir / "scene.lws", scene.text()));
}

// The template file beside the program, up to the first line holding marker (or whole).
std::string templateUpTo(const char* marker) {
  const std::string whole = testsupport::readFile(std::string(TORVO_BINARY_DIR) + "/TORVOtpl.x");
  if (marker == nullptr) return whole;
  const std::size_t at = whole.find(marker);
  if (at == std::string::npos) return whole;
  return whole.substr(0, whole.rfind('\n', at) + 1);
}

std::string prologueOf(const std::string& x) {
  const std::size_t at = x.find(kTextHeader);
  return at == std::string::npos ? "<no header>" : x.substr(0, at);
}

}  // namespace

TEST(Prologue, BinaryFileStartsWithSignatureAndHeader) {
  TempDir dir;
  writeSources(dir);
  for (const char* source : {"box.lwo", "scene.lws"}) {
    const auto r = torvo({"-b", source}, dir.path());
    ASSERT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(r.out.find("writing template"), std::string::npos);
    const std::string x = testsupport::readFile(dir / (std::string(source).substr(0, std::string(source).find('.')) + ".X"));
    const std::string expected = std::string("xof 0302bin 0032") +
                                 std::string("\1\0\6\0\0\0Header\x0a\0", 14) +
                                 std::string("\6\0\3\0\0\0\1\0\0\0\0\0\0\0\0\0\0\0\x0b\0", 20);
    ASSERT_GE(x.size(), 50u);
    EXPECT_EQ(x.substr(0, 50), expected) << source;
  }
}

TEST(Prologue, TextTemplatesAreCutToWhatTheFileUses) {
  TempDir dir;
  writeSources(dir);
  const std::string template_ = templateUpTo(nullptr);
  ASSERT_EQ(template_.rfind("xof 0302txt 0032\n", 0), 0u);
  struct Row {
    std::vector<std::string> args;
    const char* output;
    const char* marker;  // null: the whole file
  };
  const Row rows[] = {
      {{"box.lwo"}, "box.X", "FrameTransformMatrix"},
      {{"-T", "box.lwo"}, "box.X", "FloatKeys"},
      {{"-M", "box.lwo"}, "box.X", "FrameTransformMatrix"},
      {{"-M", "-T", "box.lwo"}, "box.X", "FrameTransformMatrix"},
      {{"scene.lws"}, "scene.X", nullptr},
      {{"-A", "scene.lws"}, "scene.X", "FloatKeys"},
      {{"-M", "scene.lws"}, "scene.X", "FrameTransformMatrix"},
  };
  for (const Row& row : rows) {
    const auto r = torvo(row.args, dir.path());
    const std::string label = row.args.size() > 1 ? row.args[0] + " " + row.args.back() : row.args[0];
    ASSERT_EQ(r.exitCode, 0) << label << "\n" << r.out;
    EXPECT_NE(r.out.find("writing template...\n"), std::string::npos) << label;
    const std::string x = testsupport::readFile(dir / row.output);
    EXPECT_EQ(prologueOf(x), templateUpTo(row.marker)) << label;
  }
}

TEST(Prologue, MissingTemplateFailsOnlyTextConversions) {
  TempDir dir;
  writeSources(dir);
  testsupport::makeDir(dir / "bin");
  const std::string program = dir / "bin/torvo";
  std::filesystem::copy_file(TORVO_EXE, program);
  std::filesystem::permissions(program, std::filesystem::perms::owner_all);

  const auto text = torvo({"box.lwo"}, dir.path(), program);
  EXPECT_EQ(text.exitCode, 1);
  EXPECT_NE(text.out.find("template file " + dir / "bin/TORVOtpl.x" + " not found!\n"), std::string::npos)
      << text.out;
  EXPECT_EQ(text.out.find("writing template"), std::string::npos);
  EXPECT_FALSE(testsupport::fileExists(dir / "box.X"));

  const auto scene = torvo({"scene.lws"}, dir.path(), program);
  EXPECT_EQ(scene.exitCode, 1);
  EXPECT_FALSE(testsupport::fileExists(dir / "scene.X"));

  const auto binary = torvo({"-b", "box.lwo"}, dir.path(), program);
  EXPECT_EQ(binary.exitCode, 0) << binary.out;
  EXPECT_EQ(testsupport::readFile(dir / "box.X").substr(0, 16), "xof 0302bin 0032");
}
