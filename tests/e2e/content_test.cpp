// Real content layouts: scenes and objects that name their files by another machine's
// paths, converted from an unrelated directory into a destination directory.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "cli_support.h"
#include "support/run.h"

namespace {

using clitest::contains;
using clitest::mappedObject;
using testsupport::TempDir;
using testsupport::fileExists;
using testsupport::readFile;

std::string scene(const std::vector<std::string>& objects) {
  lwbuild::LwscBuilder b(0, 0);
  for (const std::string& o : objects) b.loadObject(o, {lwbuild::key(0, 0, 0, 0)});
  return b.text();
}

// Each case in its own tree: content/{Scenes,Objects,Images} with a crate object (its texture named by a drive path)
// and a twin beside the scene, a destination, lw.cfg, and an unrelated working directory. In the arguments and
// expected texts @ stands for the content directory and % for the tree.
TEST(Content, ScenesFindTheirObjectsAndTexturesWhereverTheyWereWritten) {
  const std::string wood = "  found C:\\NewTek\\Images\\wood.tga as ";
  const std::string ok = "generating wood.PPM : ok\n";
  const std::string ppm = "\"wood.PPM\";";
  const struct {
    const char* name;
    std::string sceneText;
    std::vector<std::string> args;
    int exitCode;
    std::vector<std::string> present;
    std::string absent, output, outputHas;
  } cases[] = {
      {"relative, no -C", scene({"Objects\\crate.lwo"}), {"@/Scenes/s.lws", "%/out/"}, 0, {"  found Objects\\crate.lwo as ", wood, ok}, "", "s.X", ppm},
      {"relative, -C", scene({"Objects\\crate.lwo"}), {"-C%/lw.cfg", "@/Scenes/s.lws", "%/out/"}, 0, {wood, ok}, "  found Objects", "s.X", ppm},
      {"drive path", scene({"C:\\NewTek\\Objects\\crate.lwo"}), {"@/Scenes/s.lws", "%/out/"}, 0,
       {"  found C:\\NewTek\\Objects\\crate.lwo as ", wood, ok}, "", "s.X", ppm},
      {"beside the scene", scene({"twin.lwo"}), {"@/Scenes/s.lws", "%/out/"}, 0, {"  found twin.lwo as ", wood, ok}, "", "s.X", ppm},
      // D:\x\Objects\crate.lwo: the tail Objects\crate.lwo and the bare crate.lwo name two files at one step.
      {"two matches", scene({"D:\\x\\Objects\\crate.lwo"}), {"@/Scenes/s.lws", "%/out/"}, 0,
       {"  warning: D:\\x\\Objects\\crate.lwo matches both @/Objects/crate.lwo and @/crate.lwo; using the first\n",
        "  found D:\\x\\Objects\\crate.lwo as @/Objects/crate.lwo\n", wood, ok}, "", "s.X", ppm},
      // Box.lwo and BOX.lwo both match box.lwo: two files at one step, named as they are on disk.
      {"letter case", scene({"C:\\x\\box.lwo"}), {"@/Scenes/s.lws", "%/out/"}, 0,
       {"  warning: C:\\x\\box.lwo matches both @/BOX.lwo and @/Box.lwo; using the first\n", "  found C:\\x\\box.lwo as @/BOX.lwo\n", wood, ok},
       "", "s.X", ppm},
      // An image of any kind that exists nowhere is reported, and its stored name referred to.
      {"png nowhere", "", {"@/Objects/paint.lwo", "%/out/"}, 0, {"C:\\x\\paint.png not found\n"}, "  found", "paint.X", "\"paint.png\";"},
      // An LWO3 surface's image from its node graph, named in LightWave's neutral form.
      {"node graph image", "", {"@/Objects/node.lwo", "%/out/"}, 0, {"  found C:storage/Images/wood.tga as ", ok}, "", "node.X", ppm},
      // A kept texture is referred to where it was found.
      {"kept texture", "", {"-B", "@/Objects/crate.lwo", "%/out/"}, 0, {}, "generating", "crate.X", "\"../content/Images/wood.tga\";"},
      {"nowhere", scene({"C:\\NewTek\\Objects\\gone.lwo"}), {"@/Scenes/s.lws", "%/out/"}, 1,
       {"file not found: C:\\NewTek\\Objects\\gone.lwo\nNot LightWave file!\nerror occured.\n"}, "found C:", "", ""}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const std::string content = dir / "content";
    for (const char* d : {"content", "content/Scenes", "content/Objects", "content/Images", "out", "elsewhere"}) testsupport::makeDir(dir / d);
    lwbuild::writeFile(content + "/Objects/crate.lwo", mappedObject("C:\\NewTek\\Images\\wood.tga"));
    lwbuild::writeFile(content + "/Images/wood.tga", lwbuild::tgaBytes(lwbuild::TgaSpec{}, {}, {10, 20, 30}));
    lwbuild::writeFile(content + "/Scenes/twin.lwo", mappedObject("C:\\NewTek\\Images\\wood.tga"));
    if (std::string(c.name) == "two matches") lwbuild::writeFile(content + "/crate.lwo", mappedObject("none.tga"));
    for (const char* twin : {"/Box.lwo", "/BOX.lwo"})
      if (std::string(c.name) == "letter case") lwbuild::writeFile(content + twin, mappedObject("C:\\NewTek\\Images\\wood.tga"));
    lwbuild::writeFile(content + "/Objects/paint.lwo", mappedObject("C:\\x\\paint.png"));
    lwbuild::writeFile(content + "/Objects/node.lwo", clitest::nodeMappedObject("C:storage/Images/wood.tga"));
    lwbuild::writeFile(content + "/Scenes/s.lws", c.sceneText);
    lwbuild::writeFile(dir / "lw.cfg", "LWCO\n0\nContentDirectory " + content + "\n");
    auto place = [&](std::string text) {
      for (std::size_t at; (at = text.find_first_of("@%")) != std::string::npos;) text.replace(at, 1, text[at] == '@' ? content : dir.path());
      return text;
    };
    std::vector<std::string> args;
    for (const std::string& a : c.args) args.push_back(place(a));
    const auto r = testsupport::run(TORVO_EXE, args, dir / "elsewhere");
    EXPECT_EQ(r.exitCode, c.exitCode) << r.out;
    for (const std::string& part : c.present) EXPECT_NE(r.out.find(place(part)), std::string::npos) << place(part) << r.out;
    if (!c.absent.empty()) { EXPECT_EQ(r.out.find(c.absent), std::string::npos) << r.out; }
    EXPECT_EQ(fileExists(dir / "out/wood.PPM"), c.present.size() > 1 && c.present.back() == ok);
    if (c.output.empty()) { EXPECT_TRUE(testsupport::listDir(dir / "out").empty()); }
    else EXPECT_NE(readFile(dir / ("out/" + c.output)).find(c.outputHas), std::string::npos);
  }
}

// torvo-batch over a tree with good, damaged and unreadable files: every good file
// converts exactly as torvo converts it alone, the others are reported, exit code 1.
TEST(Batch, ConvertsTheGoodFilesOfATreeAsTorvoDoesAlone) {
  TempDir t;
  for (const char* d : {"src/a/b", "src/c", "ref/a/b"}) testsupport::makeDir(t / d);
  const lwbuild::Geometry g = lwbuild::uvSphere(12, 8, 1.0);
  const lwbuild::Bytes sphere = lwbuild::LwobBuilder().surfaces({"Skin"}).points(g.points).polygons(g.polygons).bytes();
  lwbuild::writeFile(t / "src/a/one.lwo", sphere);
  lwbuild::writeFile(t / "src/a/b/Two.LWO", mappedObject("nowhere.tga"));
  lwbuild::writeFile(t / "src/c/cut.lwo", lwbuild::Bytes(sphere.begin(), sphere.begin() + 40));
  lwbuild::writeFile(t / "src/c/lost.lws", scene({"gone.lwo"}));
  lwbuild::writeFile(t / "src/c/notes.txt", std::string("not a source"));
  lwbuild::writeFile(t / "lw.cfg", "LWCO\n0\nContentDirectory " + t / "src/a\n");
  const auto r = testsupport::run(TORVO_BATCH_EXE, {"-b", "-j", "3", "src", "dst"}, t.path());
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(clitest::inOrder(r.out, {"FAILED c/cut.lwo\n", "FAILED c/lost.lws\n", "  | file not found: gone.lwo\n",
                                       "  | error occured.\n2 converted, 2 failed\n"}))
      << r.out;
  EXPECT_EQ(testsupport::listDir(t / "dst/c"), std::vector<std::string>{});
  // With the content directory holding the scene's object only the cut file fails; an unknown option converts nothing.
  lwbuild::writeFile(t / "src/a/gone.lwo", sphere);
  EXPECT_TRUE(contains(testsupport::run(TORVO_BATCH_EXE, {"-Clw.cfg", "src", "again"}, t.path()).out, "4 converted, 1 failed\n"));
  const auto bad = testsupport::run(TORVO_BATCH_EXE, {"-x", "src", "none"}, t.path());
  EXPECT_EQ(bad.exitCode, 1);
  EXPECT_TRUE(contains(bad.out, "Invalid option: -x\n")) << bad.out;
  EXPECT_FALSE(fileExists(t / "none"));
  // A tree deeper than the walk goes is refused as a whole.
  std::string deep = t / "deep";
  for (int i = 0; i < 66; ++i) deep += "/d";
  std::filesystem::create_directories(deep);
  const auto tooDeep = testsupport::run(TORVO_BATCH_EXE, {"deep", "deepout"}, t.path());
  EXPECT_EQ(tooDeep.exitCode, 1);
  EXPECT_EQ(tooDeep.out, "can't read the source tree 'deep'.\n");
  // The same tree named with a leading dot, from above, or absolutely converts the same, reported alike.
  const std::pair<std::string, std::string> trees[] = {{t.path(), "./src"}, {t / "ref", "../src"}, {t / "ref", t / "src"}};
  std::string first;
  for (std::size_t i = 0; i < std::size(trees); ++i) {
    SCOPED_TRACE(trees[i].second);
    const std::string dest = t / ("tree" + std::to_string(i));
    const auto again = testsupport::run(TORVO_BATCH_EXE, {"-b", trees[i].second, dest}, trees[i].first);
    EXPECT_EQ(again.exitCode, 1);
    std::string report = again.out;
    for (const std::string& path : {trees[i].second + "/", dest})
      for (std::size_t at; (at = report.find(path)) != std::string::npos;) report.replace(at, path.size(), "<path>");
    EXPECT_TRUE(contains(report, "3 converted, 2 failed\n")) << report;
    EXPECT_EQ(report, i == 0 ? report : first);
    first = i == 0 ? report : first;
  }
  for (const std::string out : {"a/one.X", "a/b/Two.X"}) {
    const std::string source = "src/" + out.substr(0, out.size() - 1) + (out == "a/one.X" ? "lwo" : "LWO");
    ASSERT_EQ(testsupport::run(TORVO_EXE, {"-b", source, "ref/" + out.substr(0, out.rfind('/') + 1)}, t.path()).exitCode, 0);
    for (const char* tree : {"dst/", "tree0/", "tree1/", "tree2/"}) EXPECT_EQ(readFile(t / (tree + out)), readFile(t / ("ref/" + out))) << tree << out;
  }
}

}  // namespace
