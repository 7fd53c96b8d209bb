// The embedding interface: conversions in several threads at once give the bytes and
// messages each gives alone.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "lwbuild.h"
#include "support/run.h"
#include "torvo/torvo.h"

namespace {

struct Conversion {
  std::string source, destination; torvo_options options; std::string messages;
  int result = -1;
};

void collect(void* user, const char* text, size_t length) { static_cast<std::string*>(user)->append(text, length); }
void convert(Conversion& c) { c.result = torvo_convert(c.source.c_str(), c.destination.c_str(), &c.options, collect, &c.messages); }

TEST(Api, ConversionsSideBySideMatchConversionsAlone) {
  testsupport::TempDir dir; const std::string templateFile = std::string(TORVO_SOURCE_DIR) + "/src/xfile/TORVOtpl.x";
  const lwbuild::Geometry g = lwbuild::uvSphere(48, 40, 1.0);
  lwbuild::writeFile(dir / "sphere.lwo", lwbuild::LwobBuilder().surfaces({"Skin"}).points(g.points).polygons(g.polygons)
                                             .surface("Skin", {lwbuild::subU16("FLAG", 4), lwbuild::subFloat("SMAN", 1.2f)}).bytes());
  // Text, binary, no normals with a prefix, and one that fails: options differ per call.
  std::vector<Conversion> alone(4), together;
  for (std::size_t i = 0; i < alone.size(); ++i) {
    Conversion& c = alone[i]; torvo_default_options(&c.options);
    c.options.template_file = templateFile.c_str(), c.source = dir / (i == 3 ? "missing.lwo" : "sphere.lwo");
    c.options.binary = i == 1, c.options.no_normals = c.options.top_frame = i == 2, c.options.frame_prefix = i == 2 ? "P" : nullptr;
  }
  together = alone;
  for (std::size_t i = 0; i < alone.size(); ++i) {
    alone[i].destination = dir / ("alone" + std::to_string(i) + ".x"), together[i].destination = dir / ("together" + std::to_string(i) + ".x");
    convert(alone[i]);
  }
  std::vector<std::thread> threads;
  for (Conversion& c : together) threads.emplace_back(convert, std::ref(c));
  for (std::thread& t : threads) t.join();
  for (std::size_t i = 0; i < alone.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_TRUE(together[i].result == alone[i].result && alone[i].result == (i == 3 ? 1 : 0)) << alone[i].messages;
    const std::string a = testsupport::readFile(dir / ("alone" + std::to_string(i) + ".X"));
    EXPECT_TRUE(a == testsupport::readFile(dir / ("together" + std::to_string(i) + ".X")) && a.empty() == (i == 3));
    std::string expected = alone[i].messages;
    for (std::size_t at; (at = expected.find("alone")) != std::string::npos;) expected.replace(at, 5, "together");
    EXPECT_EQ(together[i].messages, expected);
  }
  EXPECT_NE(alone[3].messages.find("could not open: "), std::string::npos);
  EXPECT_EQ(alone[1].messages.find("Output format: Binary X"), 0u) << alone[1].messages;
}

// Each option set through the interface converts as its command-line letter does: the demo scene, with an object
// whose two surfaces differ only in name.
TEST(Api, EachOptionConvertsAsItsCommandLineLetter) {
  testsupport::TempDir dir; const std::string examples = std::string(TORVO_SOURCE_DIR) + "/examples", config = dir / "lw.cfg";
  const std::string templateFile = std::string(TORVO_BINARY_DIR) + "/TORVOtpl.x", scene = dir / "scene.lws";
  lwbuild::writeFile(config, "LWCO\n0\nContentDirectory " + examples + "\n");
  lwbuild::writeFile(dir / "twins.lwo", lwbuild::LwobBuilder().surfaces({"Red", "Crimson"}).points({0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0})
                                            .polygons({{{0, 1, 2}, 1}, {{0, 2, 3}, 2}}).surface("Red", {lwbuild::subColor(255, 0, 0)})
                                            .surface("Crimson", {lwbuild::subColor(255, 0, 0)}).bytes());
  lwbuild::writeFile(scene, testsupport::readFile(examples + "/Scenes/demo.lws") + "LoadObject " + dir / "twins.lwo" +
                                "\nObjectMotion (unnamed)\n9\n1\n 0 0 0 0 0 0 1 1 1\n 0 0 0 0 0\n");
  const std::pair<int torvo_options::*, const char*> rows[] = {
      {&torvo_options::binary, "-b"}, {&torvo_options::top_frame, "-T"}, {&torvo_options::camera_frame, "-c"},
      {&torvo_options::light_frames, "-l"}, {&torvo_options::no_material_merge, "-m"}, {&torvo_options::no_animation, "-A"},
      {&torvo_options::no_normals, "-N"}, {&torvo_options::meshes_only, "-M"}, {&torvo_options::keep_texture_files, "-B"},
      {&torvo_options::flip_texture_v, "-F"}, {&torvo_options::texture_wrap, "-u"}, {nullptr, "-fP_"}};
  for (const auto& [field, letter] : rows) {
    torvo_options o; torvo_default_options(&o); o.template_file = templateFile.c_str(), o.config_file = config.c_str();
    if (field != nullptr) o.*field = 1;
    o.frame_prefix = field == nullptr ? "P_" : nullptr;
    const std::string api = dir / ("api" + std::string(letter)), cli = dir / ("cli" + std::string(letter)); std::string messages;
    testsupport::makeDir(api), testsupport::makeDir(cli);
    EXPECT_EQ(torvo_convert(scene.c_str(), (api + "/").c_str(), &o, collect, &messages), 0) << letter << messages;
    EXPECT_EQ(testsupport::run(TORVO_EXE, {letter, "-C" + config, scene, cli + "/"}, dir.path()).exitCode, 0) << letter;
    const std::vector<std::string> names = testsupport::listDir(api);
    EXPECT_TRUE(names == testsupport::listDir(cli) && !names.empty()) << letter;
    for (const std::string& n : names) EXPECT_TRUE(testsupport::readFile(api + "/" + n) == testsupport::readFile(cli + "/" + n)) << letter << n;
  }
}

}  // namespace
