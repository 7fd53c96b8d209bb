// One conversion: finding the source, naming the output, the extension check, the
// template beside the real program, and output that is complete or not there at all.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "cli_support.h"

using namespace clitest;
using testsupport::TempDir;

namespace fs = std::filesystem;

namespace {

// A directory tree with a content directory whose lw.cfg names it, and a Scenes folder.
struct ContentTree {
  TempDir dir;
  std::string start = dir / "start";
  std::string content = dir / "content";
  ContentTree() {
    testsupport::makeDir(start);
    testsupport::makeDir(content + "/Scenes");
    writeFile(start + "/lw.cfg", "LWCO\n0\nContentDirectory " + content + "\nScenesDirectory Scenes\n");
  }
};

}  // namespace

TEST(DriverSource, ThreeCandidatesInOrder) {
  ContentTree t;
  for (const std::string& path : {t.start + "/a.lwo", t.content + "/a.lwo", t.content + "/b.lwo",
                                  t.content + "/Scenes/b.lwo", t.content + "/Scenes/c.lwo"}) {
    writeFile(path, kJunk);
  }
  const std::pair<const char*, std::string> rows[] = {
      {"a.lwo", real(t.start) + "/a.lwo"}, {"b.lwo", t.content + "/b.lwo"}, {"c.lwo", t.content + "/Scenes/c.lwo"}};
  for (const auto& [name, found] : rows) {
    const auto r = torvo({"-Clw.cfg", name}, t.start);
    EXPECT_EQ(r.exitCode, 1);  // junk content: the readers refuse it
    EXPECT_TRUE(contains(r.out, "Convert From: " + found + "\nConvert To: " + name[0] + ".X\n")) << r.out;
  }
  const auto d = torvo({"-Clw.cfg", "d.lwo"}, t.start);
  EXPECT_EQ(d.exitCode, 1);
  EXPECT_EQ(d.out, kBanner + "Content directory: " + t.content + "\n" + kAscii + "could not open: d.lwo\n" +
                       "error occured.\n");
  EXPECT_EQ(testsupport::listDir(t.start), (std::vector<std::string>{"a.lwo", "lw.cfg"}));
}

TEST(DriverSource, FoundInContentDirectoryConvertsIntoTheStartDirectory) {
  ContentTree t;
  writeFile(t.content + "/Scenes/tri.lwo", triangle());
  const auto r = torvo({"-C", "lw.cfg", "tri.lwo"}, t.start);
  EXPECT_EQ(r.exitCode, 0) << r.out;
  EXPECT_TRUE(testsupport::fileExists(t.start + "/tri.X"));
  // With -s the output goes where the source was found.
  const auto beside = torvo({"-s", "-C", "lw.cfg", "tri.lwo"}, t.start);
  EXPECT_EQ(beside.exitCode, 0) << beside.out;
  EXPECT_TRUE(contains(beside.out, "Convert To: " + t.content + "/Scenes/tri.X\n")) << beside.out;
  EXPECT_TRUE(testsupport::fileExists(t.content + "/Scenes/tri.X"));
}

TEST(DriverSource, LightWavePathsAndCompletePaths) {
  TempDir dir;
  testsupport::makeDir(dir / "Objects");
  testsupport::makeDir(dir / "work");
  writeFile(dir / "Objects/Tri.lwo", triangle());
  const auto r = torvo({"objects\\TRI.LWO"}, dir.path());  // backslashes and any letter case
  EXPECT_EQ(r.exitCode, 0) << r.out;
  EXPECT_TRUE(contains(r.out, "Convert To: TRI.X\n")) << r.out;
  EXPECT_TRUE(testsupport::fileExists(dir / "TRI.X"));
  const auto up = torvo({"../Objects/Tri.lwo", "out.x"}, dir / "work");  // not joined to anything
  EXPECT_EQ(up.exitCode, 0) << up.out;
  EXPECT_TRUE(contains(up.out, "Convert From: ../Objects/Tri.lwo\nConvert To: out.X\n")) << up.out;
  EXPECT_TRUE(testsupport::fileExists(dir / "work/out.X"));
}

TEST(DriverExtension, OnlyLwsAndLwoInAnyCase) {
  TempDir dir;
  for (const char* name : {"scene.lwx", "scene", "scene.lws.bak"}) {
    writeFile(dir / name, triangle());
    const auto r = torvo({name}, dir.path());
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, kBanner + kAscii + "unsupported source file '" + name +
                         "': the name must end in .lws or .lwo\nerror occured.\n");
  }
  EXPECT_EQ(testsupport::listDir(dir.path()).size(), 3u);
  // The content decides the kind: an object named like a scene converts as an object.
  writeFile(dir / "MODEL.LWS", triangle());
  const auto model = torvo({"MODEL.LWS"}, dir.path());
  EXPECT_EQ(model.exitCode, 0) << model.out;
  EXPECT_TRUE(contains(model.out, "writing a mesh to X...\n")) << model.out;
  EXPECT_TRUE(testsupport::fileExists(dir / "MODEL.X"));
}

TEST(DriverOutput, CompanionObjectIsReadToo) {
  TempDir dir;
  writeFile(dir / "car.lwo", triangle());
  writeFile(dir / "car.lwoo", triangle());
  const auto r = torvo({"-b", "car.lwo"}, dir.path());
  EXPECT_EQ(r.exitCode, 0) << r.out;
  EXPECT_TRUE(inOrder(r.out, {"reading car.lwo :", "\nreading lwoo file :", "\nwriting a mesh to X...\n"}))
      << r.out;
  writeFile(dir / "car.lwoo", kJunk);
  const auto bad = torvo({"-b", "car.lwo"}, dir.path());
  EXPECT_EQ(bad.exitCode, 1) << bad.out;
  EXPECT_FALSE(contains(bad.out, "writing a mesh"));
}

TEST(DriverOutput, FailedConversionKeepsAnExistingFileAndLeavesNoTemporary) {
  TempDir dir;
  writeFile(dir / "a.lwo", kJunk);
  const std::string old = "an older a.X that must survive\n";
  writeFile(dir / "a.X", old);
  for (const char* format : {"-t", "-b"}) {
    const auto r = torvo({format, "a.lwo"}, dir.path());
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(contains(r.out, "error occured.\n"));
    EXPECT_EQ(testsupport::readFile(dir / "a.X"), old);
    EXPECT_EQ(testsupport::listDir(dir.path()), (std::vector<std::string>{"a.X", "a.lwo"}));
  }
  // A successful conversion replaces it.
  writeFile(dir / "a.lwo", triangle());
  EXPECT_EQ(torvo({"a.lwo"}, dir.path()).exitCode, 0);
  EXPECT_EQ(testsupport::readFile(dir / "a.X").substr(0, 16), "xof 0302txt 0032");
  EXPECT_EQ(testsupport::listDir(dir.path()), (std::vector<std::string>{"a.X", "a.lwo"}));
}

TEST(DriverOutput, WriteErrorFailsTheConversion) {
  TempDir dir;
  writeFile(dir / "a.lwo", triangle());
  writeFile(dir / "a.X", std::string("old"));
  // A file size limit of zero makes every write fail (the signal it raises is ignored).
  const auto r = testsupport::run("/bin/sh", {"-c", "trap '' XFSZ; ulimit -f 0; exec \"$0\" -b a.lwo", TORVO_EXE},
                                  dir.path());
  EXPECT_EQ(r.exitCode, 1) << r.out;
  EXPECT_TRUE(contains(r.out, "could not write: a.X\nerror occured.\n")) << r.out;
  EXPECT_EQ(testsupport::readFile(dir / "a.X"), "old");
  EXPECT_EQ(testsupport::listDir(dir.path()), (std::vector<std::string>{"a.X", "a.lwo"}));
  // The output name taken by a directory.
  std::remove((dir / "a.X").c_str());
  testsupport::makeDir(dir / "a.X");
  const auto taken = torvo({"a.lwo"}, dir.path());
  EXPECT_EQ(taken.exitCode, 1) << taken.out;
  EXPECT_TRUE(contains(taken.out, "could not write: a.X\nerror occured.\n")) << taken.out;
  EXPECT_EQ(testsupport::listDir(dir.path()), (std::vector<std::string>{"a.X", "a.lwo"}));
}

TEST(DriverTemplate, FoundBesideTheRealProgram) {
  TempDir dir;
  testsupport::makeDir(dir / "bin");
  testsupport::makeDir(dir / "work");
  fs::create_symlink(TORVO_EXE, dir / "bin/torvo");
  writeFile(dir / "work/a.lwo", triangle());
  const auto viaLink = testsupport::run(dir / "bin/torvo", {"a.lwo"}, dir / "work");
  EXPECT_EQ(viaLink.exitCode, 0) << viaLink.out;
  EXPECT_TRUE(contains(viaLink.out, "writing template...\n")) << viaLink.out;
  // Started by bare name through PATH.
  const auto viaPath = testsupport::run("/bin/sh", {"-c", "PATH=\"$0\" exec torvo a.lwo b.x", dir / "bin"},
                                        dir / "work");
  EXPECT_EQ(viaPath.exitCode, 0) << viaPath.out;
  EXPECT_TRUE(testsupport::fileExists(dir / "work/b.X"));
}

TEST(DriverTemplate, MissingTemplateFailsTextButNotBinary) {
  TempDir dir;
  testsupport::makeDir(dir / "bin");
  fs::copy_file(TORVO_EXE, dir / "bin/torvo");
  writeFile(dir / "a.lwo", triangle());
  writeFile(dir / "s.lws", lwbuild::LwscBuilder().loadObject("a.lwo", {lwbuild::key(0, 0, 0, 0)}).text());
  for (const char* source : {"a.lwo", "s.lws"}) {
    const auto text = testsupport::run(dir / "bin/torvo", {source}, dir.path());
    EXPECT_EQ(text.exitCode, 1);
    EXPECT_TRUE(contains(text.out, "template file " + real(dir / "bin") + "/TORVOtpl.x not found!\n")) << text.out;
    EXPECT_FALSE(contains(text.out, "writing template"));
    EXPECT_EQ(testsupport::listDir(dir.path()), (std::vector<std::string>{"a.lwo", "bin", "s.lws"}));
  }
  const auto binary = testsupport::run(dir / "bin/torvo", {"-b", "a.lwo"}, dir.path());
  EXPECT_EQ(binary.exitCode, 0) << binary.out;
  EXPECT_TRUE(testsupport::fileExists(dir / "a.X"));
}

// Every output starts with the signature and Header; text files carry the template cut to what they use.
TEST(DriverTemplate, PrologueOfObjectsAndScenes) {
  TempDir dir;
  writeFile(dir / "box.lwo", triangle());
  writeFile(dir / "scene.lws",
            lwbuild::LwscBuilder().loadObject("box.lwo", {lwbuild::key(0, 0, 0, 0), lwbuild::key(30, 1, 0, 0)}).text());
  const std::string binaryStart = std::string("xof 0302bin 0032") + std::string("\1\0\6\0\0\0Header\x0a\0", 14) +
                                  std::string("\6\0\3\0\0\0\1\0\0\0\0\0\0\0\0\0\0\0\x0b\0", 20);
  const std::string whole = testsupport::readFile(std::string(TORVO_BINARY_DIR) + "/TORVOtpl.x");
  ASSERT_EQ(whole.rfind("xof 0302txt 0032\n", 0), 0u);
  auto upTo = [&whole](const char* marker) {
    const std::size_t at = marker == nullptr ? std::string::npos : whole.find(marker);
    return at == std::string::npos ? whole : whole.substr(0, whole.rfind('\n', at) + 1);
  };
  struct Row {
    std::vector<std::string> args;
    const char* marker;  // null: the whole template; "": binary
  };
  const Row rows[] = {
      {{"-b", "box.lwo"}, ""},       {{"-b", "scene.lws"}, ""},
      {{"box.lwo"}, "FrameTransformMatrix"}, {{"-T", "box.lwo"}, "FloatKeys"},
      {{"-M", "box.lwo"}, "FrameTransformMatrix"}, {{"-M", "-T", "box.lwo"}, "FrameTransformMatrix"},
      {{"scene.lws"}, nullptr},      {{"-A", "scene.lws"}, "FloatKeys"},
      {{"-M", "scene.lws"}, "FrameTransformMatrix"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.args[0] + " " + row.args.back());
    const auto r = torvo(row.args, dir.path());
    ASSERT_EQ(r.exitCode, 0) << r.out;
    const std::string& source = row.args.back();
    const std::string x = testsupport::readFile(dir / (source.substr(0, source.find('.')) + ".X"));
    const bool binary = row.marker != nullptr && *row.marker == '\0';
    EXPECT_EQ(contains(r.out, "writing template...\n"), !binary);
    if (binary) {
      EXPECT_EQ(x.substr(0, binaryStart.size()), binaryStart);
    } else {
      EXPECT_EQ(x.substr(0, x.find(kTextHeader)), upTo(row.marker));
    }
  }
}

TEST(DriverScene, SceneFromTheScenesDirectoryIntoADestination) {
  ContentTree t;
  testsupport::makeDir(t.content + "/Objects");
  testsupport::makeDir(t.start + "/out");
  writeFile(t.content + "/Objects/tri.lwo", triangle());
  lwbuild::LwscBuilder scene(0, 10);
  scene.loadObject("Objects\\tri.lwo", {lwbuild::key(0, 0, 0, 0), lwbuild::key(10, 1, 0, 0)});
  writeFile(t.content + "/Scenes/s.lws", scene.text());
  const std::string out = real(t.start + "/out");
  const auto r = torvo({"-C", "lw.cfg", "-b", "s.lws", "out/"}, t.start);
  EXPECT_EQ(r.exitCode, 0) << r.out;
  EXPECT_TRUE(inOrder(r.out, {kBinary, "Convert From: " + t.content + "/Scenes/s.lws\nConvert To: " + out +
                                           "/s.X\nreading s.lws :",
                              "\nwriting a scene to X...\n"}))
      << r.out;
  EXPECT_EQ(testsupport::listDir(out), std::vector<std::string>{"s.X"});
  // A scene whose object is missing fails and leaves nothing behind.
  writeFile(t.content + "/Scenes/broken.lws", lwbuild::LwscBuilder().loadObject("Objects\\gone.lwo", {}).text());
  const auto broken = torvo({"-C", "lw.cfg", "broken.lws", "out/"}, t.start);
  EXPECT_EQ(broken.exitCode, 1) << broken.out;
  EXPECT_EQ(testsupport::listDir(out), std::vector<std::string>{"s.X"});
}
