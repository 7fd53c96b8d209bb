// Shared pieces of the end-to-end tests: the program's fixed texts, fixtures, and what
// the independent reader (xread -v, assimp's importer) reports about a file.
#pragma once

#include <cstdio>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "lwbuild.h"
#include "support/run.h"

namespace clitest {

using namespace lwbuild;
using testsupport::listDir;
using testsupport::readFile;
using testsupport::TempDir;
using Names = std::vector<std::string>;

inline const std::string kBanner = "LWS/LWO to X converter 1.11 (1998-12-04)\ntorvo (c) 2026 the torvo developers\n";
inline const std::string kUsage =
    "usage: torvo [options] <.lws(or lwo) file> [dest dir]\n  options\n    -C<lw.cfg pathname>\n    -t          Generates text .x(default) \n"
    "    -b          Generates binary .x(for DirectX3 or later)\n    -T          Wraps into TopFrame\n    -c          Adds Camera Frame\n"
    "    -l          Adds Light Frames\n    -m          Does not merge different name materials\n    -A          Does not write Animations\n"
    "    -N          Does not write Normals\n    -M          Writes Meshes only\n"
    "    -B          Does not convert texture(original texture filename will be referred)\n"
    "    -F          Flips vertical texture coordinates(for BMP with -B )\n    -f<prefix> Allows prefix of frame names\n"
    "    -W<n>       Keeps the n strongest bone influences of each vertex\n"
    "    -S<n>       Subdivides patches at level n (0: cages; render: the scene's render level)\n"
    "    -P          Pauses when done\n e. g.\n    torvo -Cc:\\NewTek\\lw.cfg test.lws c:\\x\\\n";
inline const std::string kAscii = "Output format: Ascii X (DirectX2 or later)\n";
inline const std::string kBinary = "Output format: Binary X (DirectX3 or later)\n";
inline const std::string kJunk = "this is no LightWave file\n";  // bytes that neither reader accepts

// What the real readers of every output (readers.sh) may expect of a file: its first frame
// is a character's rest pose; its bones bend it within its key range; Wine's reader holds
// it (Wine's d3dxof keeps at most 500 objects within one top-level object).
// A mesh far past the 65,535 vertices 16-bit engines index (the face budget's test) is read
// by assimp alone: Irrlicht takes minutes over it and shows it wrong anyway, as torvo warns.
struct Expect {
  bool rest = false;
  bool bends = false;
  bool wine = true;
  bool engines = true;
};

// Runs torvo; the .x files it wrote go to the collection that the real readers read.
inline testsupport::RunResult torvoCommand(const std::vector<std::string>& args, const std::string& cwd, const std::string& input = "",
                                    Expect expect = {}) {
  const testsupport::Stamps before = testsupport::xFiles(cwd);
  testsupport::RunResult r = testsupport::run(TORVO_EXE, args, cwd, input);
  if (r.exitCode != 0) return r;
  const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
  const std::string origin = test == nullptr ? "-" : std::string(test->test_suite_name()) + "." + test->name();
  const std::string flags = std::string(expect.rest ? "rest " : "- ") + (expect.bends ? "bends " : "- ") + (!expect.engines ? "none" : expect.wine ? "wine" : "-");
  testsupport::collectOutputs(before, testsupport::xFiles(cwd), TORVO_READERS_DIR, flags, origin);
  return r;
}

// A one-triangle object with one surface.
inline Bytes triangle() {
  return LwobBuilder().surfaces({"Paint"}).points({0, 0, 0, 1, 0, 0, 0, 1, 0}).polygons({{{0, 1, 2}, 1}})
      .surface("Paint", {subColor(200, 10, 10)}).bytes();
}

// A 2 x 2 quad whose surface carries a planar colour image along z named imageName.
inline Bytes mappedObject(const std::string& imageName) {
  return LwobBuilder().surfaces({"Wood"}).points({0, 0, 0, 2, 0, 0, 2, 2, 0, 0, 2, 0}).polygons({{{0, 1, 2, 3}, 1}})
      .surface("Wood", {subString("CTEX", "Planar Image Map"), subString("TIMG", imageName), subU16("TFLG", 4), subVec("TSIZ", 2, 2, 2),
                        subVec("TCTR", 1, 1, 0)}).bytes();
}

// The quad as LWO3 with its surface in a node graph: a Principled BSDF whose Color an Image node
// feeds with imageName through the UV map uv.
inline Bytes nodeMappedObject(const std::string& imageName) {
  const Node bsdf{"Principled BSDF", "Principled BSDF (1)"}, image{"Image", "Image (1)", {}, imageName, "uv"};
  Lwo2Builder b;
  b.tags({"Wood"}).layer(0).points({0, 0, 0, 2, 0, 0, 2, 2, 0, 0, 2, 0}).polygons({{0, 1, 2, 3}}).polygonTags({{0, 0}});
  b.vertexMap("TXUV", "uv", 2, {{0, 0, {0, 0}}, {1, 0, {1, 0}}, {2, 0, {1, 1}}, {3, 0, {0, 1}}});
  const Bytes graph = nodeGraph({bsdf, image}, {{"Surface", "Material", bsdf.name, "Material"}, {bsdf.name, "Color", image.name, "Color"}});
  return toLwo3(b.surface("Wood", {sub("FORM", graph)}).bytes(), {}, 8);
}

// The directory as the process sees it once entered (symbolic links resolved).
inline std::string real(const std::string& path) { return std::filesystem::canonical(path).string(); }

inline bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// True when the parts appear in text in this order.
inline bool inOrder(const std::string& text, const std::vector<std::string>& parts) {
  std::size_t at = 0;
  for (const auto& p : parts) {
    if ((at = text.find(p, at)) == std::string::npos) return false;
    at += p.size();
  }
  return true;
}

// What the independent reader found: its report, and its keys by channel name. It turns the file right-handed.
struct ReaderView {
  struct Node {
    int depth = 0;
    std::string name;
    unsigned meshes = 0;
    double transform[16] = {};
  };
  using Keys = std::vector<std::vector<double>>;  // time, then the values
  std::string text;
  std::string error;
  Names materials;                                      // "name r g b a"
  std::set<std::tuple<float, float, float>> positions;  // z turned back
  int faces = 0;
  int corners = 0;
  std::vector<Node> nodes;
  std::map<std::string, std::map<std::string, Keys>> keys;  // channel -> rotation/scale/position
  Names channels;
};

inline ReaderView readBack(const std::string& path) {
  ReaderView view;
  view.text = testsupport::run(TORVO_ASSIMP_READER, {"-v", path}, ".").out;
  std::istringstream in(view.text);
  for (std::string line, kind, name, label; std::getline(in, line);) {
    std::istringstream words(line);
    words >> kind;
    if (kind == "error") view.error = line;
    if (kind == "material") {
      double rgba[4];
      words >> label >> name >> label >> rgba[0] >> rgba[1] >> rgba[2] >> rgba[3];
      char text[160];
      std::snprintf(text, sizeof text, "%s %.3f %.3f %.3f %.3f", name.c_str(), rgba[0], rgba[1], rgba[2], rgba[3]);
      view.materials.push_back(text);
    }
    if (kind == "face") {
      ++view.faces;
      words >> label >> label;
      while (words >> label) ++view.corners;
    }
    if (kind == "vertex") {
      float x, y, z;
      words >> label >> label >> x >> y >> z;
      view.positions.insert({x, y, -z});
    }
    if (kind == "node") {
      ReaderView::Node& n = view.nodes.emplace_back();
      words >> n.depth >> n.name >> label >> n.meshes >> label >> label >> label;
      for (double& v : n.transform) words >> v;
    }
    if (kind == "channel") {
      words >> name;
      view.channels.push_back(name);
    }
    if (kind == "rotation" || kind == "scale" || kind == "position") {
      std::vector<double> key;
      words >> name;
      for (double v; words >> v;) key.push_back(v);
      view.keys[name][kind].push_back(key);
    }
  }
  return view;
}

}  // namespace clitest
