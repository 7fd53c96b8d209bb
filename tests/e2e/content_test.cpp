// Real content layouts: scenes and objects that name their files by another machine's
// paths, converted from an unrelated directory into a destination directory.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lwbuild.h"
#include "support/run.h"

namespace {

using testsupport::TempDir;
using testsupport::fileExists;
using testsupport::readFile;

lwbuild::Bytes texturedQuad(const std::string& image) {
  using namespace lwbuild;
  LwobBuilder b;
  b.surfaces({"Wood"});
  b.points({0, 0, 0, 2, 0, 0, 2, 2, 0, 0, 2, 0});
  b.polygons({{{0, 1, 2, 3}, 1}});
  b.surface("Wood", {subString("CTEX", "Planar Image Map"), subString("TIMG", image), subU16("TFLG", 4)});
  return b.bytes();
}

lwbuild::Bytes tga() { return lwbuild::tgaBytes(lwbuild::TgaSpec{}, {}, {10, 20, 30}); }

std::string scene(const std::vector<std::string>& objects) {
  std::string text = "LWSC\n1\n\nFirstFrame 0\nLastFrame 0\n\n";
  for (const std::string& o : objects) text += "LoadObject " + o + "\nObjectMotion (unnamed)\n9\n 1\n 0 0 0 0 0 0 1 1 1\n 0 0 0 0 0\n\n";
  return text;
}

// content/{Scenes,Objects,Images}, a destination and an unrelated working directory.
struct Layout {
  TempDir dir;
  std::string content = dir / "content";
  std::string out = dir / "out";
  std::string cwd = dir / "elsewhere";
  Layout() {
    for (const char* d : {"content", "content/Scenes", "content/Objects", "content/Images", "out", "elsewhere"})
      testsupport::makeDir(dir / d);
    lwbuild::writeFile(content + "/Objects/crate.lwo", texturedQuad("C:\\NewTek\\Images\\wood.tga"));
    lwbuild::writeFile(content + "/Images/wood.tga", tga());
  }
  testsupport::RunResult torvo(std::vector<std::string> args) const {
    return testsupport::run(TORVO_EXE, args, cwd);
  }
};

TEST(Content, ScenesFindTheirObjectsAndTexturesWhereverTheyWereWritten) {
  struct Case {
    const char* name;
    std::string sceneText;
    bool withConfig;
    const char* found;  // the object line the fallback reports, or null
  };
  const std::vector<Case> cases = {
      {"relative, no -C", scene({"Objects\\crate.lwo"}), false, "  found Objects\\crate.lwo as "},
      {"relative, -C", scene({"Objects\\crate.lwo"}), true, nullptr},
      {"drive path", scene({"C:\\NewTek\\Objects\\crate.lwo"}), false, "  found C:\\NewTek\\Objects\\crate.lwo as "},
      {"UNC path", scene({"\\\\srv\\share\\Objects\\crate.lwo"}), false, "  found \\\\srv\\share\\Objects\\crate.lwo as "},
      {"beside the scene", scene({"twin.lwo"}), false, "  found twin.lwo as "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Layout l;
    lwbuild::writeFile(l.content + "/Scenes/twin.lwo", texturedQuad("C:\\NewTek\\Images\\wood.tga"));
    lwbuild::writeFile(l.content + "/Scenes/s.lws", c.sceneText);
    lwbuild::writeFile(l.dir / "lw.cfg", "LWCO\n0\nContentDirectory " + l.content + "\n");
    std::vector<std::string> args;
    if (c.withConfig) args.push_back("-C" + (l.dir / "lw.cfg"));
    args.insert(args.end(), {l.content + "/Scenes/s.lws", l.out + "/"});
    const auto r = l.torvo(args);
    EXPECT_EQ(r.exitCode, 0) << r.out;
    if (c.found != nullptr) EXPECT_NE(r.out.find(c.found), std::string::npos) << r.out;
    else EXPECT_EQ(r.out.find("  found C:\\NewTek\\Objects"), std::string::npos) << r.out;
    // The texture, named by a drive path, is found in the content tree and converted.
    EXPECT_NE(r.out.find("  found C:\\NewTek\\Images\\wood.tga as "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("generating wood.PPM : ok"), std::string::npos) << r.out;
    EXPECT_TRUE(fileExists(l.out + "/wood.PPM"));
    EXPECT_NE(readFile(l.out + "/s.X").find("\"wood.PPM\";"), std::string::npos);
  }
}

TEST(Content, KeptTexturesAreReferredToWhereTheyWereFound) {
  Layout l;
  const auto r = l.torvo({"-B", l.content + "/Objects/crate.lwo", l.out + "/"});
  ASSERT_EQ(r.exitCode, 0) << r.out;
  EXPECT_NE(readFile(l.out + "/crate.X").find("\"../content/Images/wood.tga\";"), std::string::npos)
      << readFile(l.out + "/crate.X");
  EXPECT_FALSE(fileExists(l.out + "/wood.PPM"));
}

TEST(Content, TwoMatchesAtOneStepWarnAndTakeTheFirst) {
  Layout l;
  // D:\x\Objects\crate.lwo: the tail Objects\crate.lwo and the bare crate.lwo name two files.
  lwbuild::writeFile(l.content + "/crate.lwo", texturedQuad("none.tga"));
  lwbuild::writeFile(l.content + "/Scenes/s.lws", scene({"D:\\x\\Objects\\crate.lwo"}));
  const auto r = l.torvo({l.content + "/Scenes/s.lws", l.out + "/"});
  EXPECT_EQ(r.exitCode, 0) << r.out;
  const std::string first = l.content + "/Objects/crate.lwo";
  EXPECT_NE(r.out.find("  warning: D:\\x\\Objects\\crate.lwo matches both " + first + " and " + l.content +
                       "/crate.lwo; using the first\n"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("  found D:\\x\\Objects\\crate.lwo as " + first + "\n"), std::string::npos) << r.out;
}

TEST(Content, AFileThatExistsNowhereFailsAsBefore) {
  Layout l;
  lwbuild::writeFile(l.content + "/Scenes/s.lws", scene({"C:\\NewTek\\Objects\\gone.lwo"}));
  const auto r = l.torvo({l.content + "/Scenes/s.lws", l.out + "/"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.out.find("file not found: C:\\NewTek\\Objects\\gone.lwo\nNot LightWave file!\nerror occured.\n"),
            std::string::npos)
      << r.out;
  EXPECT_EQ(r.out.find("found C:"), std::string::npos);
  EXPECT_TRUE(testsupport::listDir(l.out).empty());
}

// torvo-batch over a tree with good, damaged and unreadable files: every good file
// converts exactly as torvo converts it alone, the others are reported, exit code 1.
TEST(Batch, ConvertsTheGoodFilesOfATreeAsTorvoDoesAlone) {
  TempDir t;
  for (const char* d : {"src", "src/a", "src/a/b", "src/c", "ref", "ref/a", "ref/a/b"}) testsupport::makeDir(t / d);
  const lwbuild::Geometry g = lwbuild::uvSphere(12, 8, 1.0);
  const lwbuild::Bytes sphere = lwbuild::LwobBuilder().surfaces({"Skin"}).points(g.points).polygons(g.polygons).bytes();
  lwbuild::writeFile(t / "src/a/one.lwo", sphere);
  lwbuild::writeFile(t / "src/a/b/Two.LWO", texturedQuad("nowhere.tga"));
  lwbuild::writeFile(t / "src/c/cut.lwo", lwbuild::Bytes(sphere.begin(), sphere.begin() + 40));
  lwbuild::writeFile(t / "src/c/lost.lws", scene({"gone.lwo"}));
  lwbuild::writeFile(t / "src/c/notes.txt", std::string("not a source"));
  const auto r = testsupport::run(TORVO_BATCH_EXE, {"-b", "-j", "3", "src", "dst"}, t.path());
  EXPECT_EQ(r.exitCode, 1) << r.out;
  EXPECT_NE(r.out.find("FAILED c/cut.lwo\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("FAILED c/lost.lws\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("  | file not found: gone.lwo\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("2 converted, 2 failed\n"), std::string::npos) << r.out;
  EXPECT_EQ(testsupport::listDir(t / "dst/c"), std::vector<std::string>{});
  for (const std::string f : {"a/one", "a/b/Two"}) {
    const std::string dir = f.substr(0, f.rfind('/') + 1);
    const std::string source = f == "a/one" ? "src/a/one.lwo" : "src/a/b/Two.LWO";
    ASSERT_EQ(testsupport::run(TORVO_EXE, {"-b", source, "ref/" + dir}, t.path()).exitCode, 0);
    EXPECT_EQ(readFile(t / ("dst/" + f + ".X")), readFile(t / ("ref/" + f + ".X"))) << f;
  }
}

}  // namespace
