// The embedding interface: options as the command line's letters, and conversions in
// several threads at once that give the bytes and messages each gives alone.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "lwbuild.h"
#include "support/run.h"
#include "torvo/torvo.h"

namespace {

struct Conversion {
  std::string source, destination;
  torvo_options options;
  std::string messages;
  int result = -1;
};

void collect(void* user, const char* text, size_t length) { static_cast<std::string*>(user)->append(text, length); }
void convert(Conversion& c) { c.result = torvo_convert(c.source.c_str(), c.destination.c_str(), &c.options, collect, &c.messages); }

// Each option set through the interface converts as its command-line letter does, alone and with all the others at
// once in threads, each with its own messages: the demo scene with an object whose two surfaces differ only in name
// and a cube of subpatches, and a source that is missing.
TEST(Api, OptionsConvertAsTheirLettersDoAloneAndSideBySide) {
  testsupport::TempDir dir;
  const std::string examples = std::string(TORVO_SOURCE_DIR) + "/examples";
  const std::string config = dir / "lw.cfg";
  const std::string templateFile = std::string(TORVO_BINARY_DIR) + "/TORVOtpl.x";
  const std::string scene = dir / "scene.lws";
  lwbuild::writeFile(config, "LWCO\n0\nContentDirectory " + examples + "\n");
  lwbuild::writeFile(dir / "twins.lwo", lwbuild::LwobBuilder().surfaces({"Red", "Crimson"}).points({0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0})
                                            .polygons({{{0, 1, 2}, 1}, {{0, 2, 3}, 2}}).surface("Red", {lwbuild::subColor(255, 0, 0)})
                                            .surface("Crimson", {lwbuild::subColor(255, 0, 0)}).bytes());
  lwbuild::writeFile(dir / "patches.lwo", lwbuild::patchCube("PTCH"));
  const std::string still = "\nObjectMotion (unnamed)\n9\n1\n 0 0 0 0 0 0 1 1 1\n 0 0 0 0 0\n";
  lwbuild::writeFile(scene, testsupport::readFile(examples + "/Scenes/demo.lws") + "LoadObject " + dir / "twins.lwo" + still +
                                "LoadObject " + dir / "patches.lwo" + still);
  const std::pair<int torvo_options::*, std::string> rows[] = {
      {&torvo_options::binary, "-b"}, {&torvo_options::top_frame, "-T"}, {&torvo_options::camera_frame, "-c"},
      {&torvo_options::light_frames, "-l"}, {&torvo_options::no_material_merge, "-m"}, {&torvo_options::no_animation, "-A"},
      {&torvo_options::no_normals, "-N"}, {&torvo_options::meshes_only, "-M"}, {&torvo_options::keep_texture_files, "-B"},
      {&torvo_options::flip_texture_v, "-F"}, {&torvo_options::texture_wrap, "-u"}, {&torvo_options::subpatch_level, "-S1"}, {nullptr, "-fP_"}, {nullptr, "missing"}};
  std::vector<Conversion> alone(std::size(rows));
  for (std::size_t i = 0; i < alone.size(); ++i) {
    const auto& [field, letter] = rows[i];
    Conversion& c = alone[i];
    torvo_default_options(&c.options);
    c.options.template_file = templateFile.c_str();
    c.options.config_file = config.c_str();
    c.options.frame_prefix = letter == "-fP_" ? "P_" : nullptr;
    if (field != nullptr) c.options.*field = 1;
    c.source = letter == "missing" ? dir / "missing.lwo" : scene;
  }
  std::vector<Conversion> together = alone;
  for (std::size_t i = 0; i < alone.size(); ++i) {
    const std::string& letter = rows[i].second;
    for (const char* kind : {"alone", "together", "cli"}) testsupport::makeDir(dir / (kind + letter));
    alone[i].destination = dir / ("alone" + letter + "/");
    together[i].destination = dir / ("together" + letter + "/");
    convert(alone[i]);
    EXPECT_EQ(alone[i].result, letter == "missing" ? 1 : 0) << letter << alone[i].messages;
    if (letter != "missing") {
      EXPECT_EQ(testsupport::run(TORVO_EXE, {letter, "-C" + config, scene, dir / ("cli" + letter + "/")}, dir.path()).exitCode, 0);
    }
  }
  std::vector<std::thread> threads;
  for (Conversion& c : together) threads.emplace_back(convert, std::ref(c));
  for (std::thread& t : threads) t.join();
  for (std::size_t i = 0; i < alone.size(); ++i) {
    const std::string& letter = rows[i].second;
    SCOPED_TRACE(letter);
    const std::vector<std::string> names = testsupport::listDir(dir / ("alone" + letter));
    EXPECT_EQ(names.empty(), letter == "missing");
    EXPECT_EQ(testsupport::listDir(dir / ("together" + letter)), names);
    for (const char* other : {"together", "cli"})
      for (const std::string& n : names)
        EXPECT_TRUE(testsupport::readFile(dir / ("alone" + letter + "/" + n)) == testsupport::readFile(dir / (other + letter + "/" + n))) << other << n;
    std::string expected = alone[i].messages;
    for (std::size_t at; (at = expected.find("alone")) != std::string::npos;) expected.replace(at, 5, "together");
    EXPECT_EQ(together[i].result, alone[i].result);
    EXPECT_EQ(together[i].messages, expected);
  }
  EXPECT_NE(alone.back().messages.find("could not open: "), std::string::npos);
  // A relative source resolves against the caller's current directory, also with a destination elsewhere.
  Conversion relative{std::filesystem::relative(dir / "twins.lwo").string(), std::filesystem::relative(dir / "alone-b").string() + "/",
                      alone[0].options, ""};
  ASSERT_EQ(relative.source.rfind("../", 0), 0u);
  convert(relative);
  EXPECT_EQ(relative.result, 0) << relative.messages;
  EXPECT_TRUE(testsupport::fileExists(dir / "alone-b/twins.X"));
  EXPECT_NE(alone[0].messages.find("Output format: Binary X"), std::string::npos) << alone[0].messages;
}

}  // namespace
