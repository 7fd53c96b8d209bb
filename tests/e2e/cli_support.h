// Shared pieces of the end-to-end tests: the program's fixed texts, fixtures,
// and what the independent reader (xread -v) reports about a file.
#pragma once

#include <cstdio>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "lwbuild.h"
#include "support/run.h"

namespace clitest {

using lwbuild::writeFile;

inline const std::string kBanner =
    "LWS/LWO to X converter 1.11 (1998-12-04)\n"
    "torvo (c) 2026 the torvo developers\n";

inline const std::string kUsage =
    "usage: torvo [options] <.lws(or lwo) file> [dest dir]\n"
    "  options\n"
    "    -C<lw.cfg pathname>\n"
    "    -t          Generates text .x(default) \n"
    "    -b          Generates binary .x(for DirectX3 or later)\n"
    "    -T          Wraps into TopFrame\n"
    "    -c          Adds Camera Frame\n"
    "    -l          Adds Light Frames\n"
    "    -m          Does not merge different name materials\n"
    "    -A          Does not write Animations\n"
    "    -N          Does not write Normals\n"
    "    -M          Writes Meshes only\n"
    "    -B          Does not convert texture(original texture filename will be referred)\n"
    "    -F          Flips vertical texture coordinates(for BMP with -B )\n"
    "    -f<prefix> Allows prefix of frame names\n"
    "    -P          Pauses when done\n"
    " e. g.\n"
    "    torvo -Cc:\\NewTek\\lw.cfg test.lws c:\\x\\\n";

inline const std::string kAscii = "Output format: Ascii X (DirectX2 or later)\n";
inline const std::string kBinary = "Output format: Binary X (DirectX3 or later)\n";
inline const std::string kTextHeader = "Header {\n 1;\n 0;\n 1;\n}\n\n";

inline testsupport::RunResult torvo(const std::vector<std::string>& args, const std::string& cwd,
                                    const std::string& input = "") {
  return testsupport::run(TORVO_EXE, args, cwd, input);
}

// A one-triangle object with one surface.
inline lwbuild::Bytes triangle() {
  lwbuild::LwobBuilder b;
  b.surfaces({"Paint"});
  b.points({0, 0, 0, 1, 0, 0, 0, 1, 0});
  b.polygons({{{0, 1, 2}, 1}});
  b.surface("Paint", {lwbuild::subColor(200, 10, 10)});
  return b.bytes();
}

// A 2 x 2 quad whose surface carries a planar colour image along z named imageName.
inline lwbuild::Bytes mappedObject(const std::string& imageName) {
  using namespace lwbuild;
  LwobBuilder b;
  b.surfaces({"Wood"});
  b.points({0, 0, 0, 2, 0, 0, 2, 2, 0, 0, 2, 0});
  b.polygons({{{0, 1, 2, 3}, 1}});
  b.surface("Wood", {subString("CTEX", "Planar Image Map"), subString("TIMG", imageName), subU16("TFLG", 4),
                     subVec("TSIZ", 2, 2, 2), subVec("TCTR", 1, 1, 0)});
  return b.bytes();
}

// 3 x 2 run-length TGA, bottom-up; the PPM must read red, green, blue / white x 3.
inline lwbuild::Bytes woodTga() {
  lwbuild::TgaSpec s;
  s.imageType = 10;
  s.width = 3;
  s.height = 2;
  return lwbuild::tgaBytes(s, {}, {0x82, 255, 255, 255, 0x02, 0, 0, 255, 0, 255, 0, 255, 0, 0});
}
inline const std::string kWoodPpm = std::string("P6\n# converted by vemo\n3 2\n255\n") +
                                    std::string("\xFF\x00\x00\x00\xFF\x00\x00\x00\xFF", 9) + std::string(9, '\xFF');

// Bytes that neither reader accepts.
inline const std::string kJunk = "this is no LightWave file\n";

// The directory as the process sees it once entered (symbolic links resolved).
inline std::string real(const std::string& path) { return std::filesystem::canonical(path).string(); }

inline bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// True when the parts appear in text in this order.
inline bool inOrder(const std::string& text, const std::vector<std::string>& parts) {
  std::size_t at = 0;
  for (const auto& p : parts) {
    at = text.find(p, at);
    if (at == std::string::npos) return false;
    at += p.size();
  }
  return true;
}

// What the independent reader found. It turns the file right-handed: z is negated.
struct ReaderView {
  struct Node {
    int depth = 0;
    std::string name;
    unsigned meshes = 0;
    double transform[16] = {};
  };
  struct Key {
    double time = 0;
    double v[4] = {};
  };
  struct Channel {
    std::vector<Key> rotation, scale, position;
  };
  bool available = true;
  std::string error;
  std::string text;                    // the reader's whole report
  std::vector<std::string> materials;  // "name r g b a"
  std::set<std::tuple<float, float, float>> positions;  // z turned back
  int faces = 0, corners = 0;
  unsigned meshes = 0;
  std::vector<Node> nodes;
  std::map<std::string, Channel> channels;
  std::vector<std::string> channelOrder;
};

inline ReaderView readBack(const std::string& path, bool verbose = true) {
  ReaderView view;
  const auto r = testsupport::run(TORVO_ASSIMP_READER, verbose ? std::vector<std::string>{"-v", path}
                                                               : std::vector<std::string>{path}, ".");
  view.text = r.out;
  view.available = r.out.find("unavailable") == std::string::npos;
  std::istringstream in(r.out);
  std::string line, name, label;
  while (std::getline(in, line)) {
    std::istringstream words(line);
    std::string kind;
    words >> kind;
    if (kind == "error") {
      view.error = line;
    } else if (kind == "meshes") {
      words >> view.meshes;
    } else if (kind == "material") {
      double rgba[4];
      words >> label >> name >> label >> rgba[0] >> rgba[1] >> rgba[2] >> rgba[3];
      char text[160];
      std::snprintf(text, sizeof text, "%s %.3f %.3f %.3f %.3f", name.c_str(), rgba[0], rgba[1], rgba[2], rgba[3]);
      view.materials.push_back(text);
    } else if (kind == "face") {
      ++view.faces;
      words >> label >> label;
      while (words >> label) ++view.corners;
    } else if (kind == "vertex") {
      float x, y, z;
      words >> label >> label >> x >> y >> z;
      view.positions.insert({x, y, -z});
    } else if (kind == "node") {
      ReaderView::Node n;
      unsigned children = 0;
      words >> n.depth >> n.name >> label >> n.meshes >> label >> children >> label;
      for (double& v : n.transform) words >> v;
      view.nodes.push_back(n);
    } else if (kind == "channel") {
      words >> name;
      view.channelOrder.push_back(name);
    } else if (kind == "rotation" || kind == "scale" || kind == "position") {
      ReaderView::Key k;
      words >> name >> k.time;
      for (int i = 0; i < (kind == "rotation" ? 4 : 3); ++i) words >> k.v[i];
      ReaderView::Channel& c = view.channels[name];
      (kind == "rotation" ? c.rotation : kind == "scale" ? c.scale : c.position).push_back(k);
    }
  }
  return view;
}

}  // namespace clitest
