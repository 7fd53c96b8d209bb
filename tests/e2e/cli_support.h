// Shared pieces of the command-line and driver end-to-end tests.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "lwbuild.h"
#include "support/run.h"

namespace clitest {

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

inline testsupport::RunResult torvo(const std::vector<std::string>& args, const std::string& cwd,
                                    const std::string& input = "") {
  return testsupport::run(TORVO_EXE, args, cwd, input);
}

inline void writeFile(const std::string& path, const std::string& text) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return;
  std::fwrite(text.data(), 1, text.size(), f);
  std::fclose(f);
}

inline void writeFile(const std::string& path, const lwbuild::Bytes& bytes) {
  writeFile(path, std::string(bytes.begin(), bytes.end()));
}

// A one-triangle object with one surface.
inline lwbuild::Bytes triangle(const char* surface = "Paint") {
  lwbuild::LwobBuilder b;
  b.surfaces({surface});
  b.points({0, 0, 0, 1, 0, 0, 0, 1, 0});
  b.polygons({{{0, 1, 2}, 1}});
  b.surface(surface, {lwbuild::subColor(200, 10, 10)});
  return b.bytes();
}

// Bytes that neither reader accepts.
inline const std::string kJunk = "this is no LightWave file\n";

// The directory as the process sees it once entered (symbolic links resolved).
inline std::string real(const std::string& path) { return std::filesystem::canonical(path).string(); }

inline bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

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

// Files in a directory other than the given ones: leftovers such as temporary files.
inline std::vector<std::string> namesIn(const std::string& dir) { return testsupport::listDir(dir); }

}  // namespace clitest
