// Makes large 24-bit TGA images (uncompressed and run-length), converts each with
// our converter and with netpbm's tgatoppm, and prints the best of a few runs.
//   bench_tga [work-dir] [side]      (defaults: a fresh directory, 4096)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "image/ppm.h"
#include "lwbuild.h"

using namespace torvo;

namespace {

using lwbuild::Bytes;
constexpr int kRepeats = 3;

// A texture-like picture: smooth gradients with flat stretches of varying length,
// so run-length coding meets both run and raw packets, many crossing row ends.
Bytes makePixels(int side) {
  Bytes px(static_cast<std::size_t>(side) * side * 3);
  std::uint32_t seed = 12345;
  std::size_t i = 0;
  while (i < px.size()) {
    seed = seed * 1664525u + 1013904223u;
    const unsigned flat = (seed >> 28) < 6 ? 1 + ((seed >> 16) & 63) : 1;
    const std::size_t pixel = i / 3;
    const auto b = static_cast<std::uint8_t>(pixel % static_cast<std::size_t>(side));
    const auto g = static_cast<std::uint8_t>(pixel / static_cast<std::size_t>(side));
    const auto r = static_cast<std::uint8_t>(seed >> 8);
    for (unsigned k = 0; k < flat && i < px.size(); ++k, i += 3) {
      px[i] = b;
      px[i + 1] = g;
      px[i + 2] = r;
    }
  }
  return px;
}

Bytes rleEncode(const Bytes& px) {
  const std::size_t count = px.size() / 3;
  auto same = [&](std::size_t a, std::size_t b) { return std::memcmp(&px[a * 3], &px[b * 3], 3) == 0; };
  Bytes out;
  out.reserve(px.size() + px.size() / 64);
  std::size_t i = 0;
  while (i < count) {
    std::size_t run = 1;
    while (i + run < count && run < 128 && same(i, i + run)) ++run;
    if (run >= 2) {
      out.push_back(static_cast<std::uint8_t>(0x80 | (run - 1)));
      out.insert(out.end(), &px[i * 3], &px[i * 3 + 3]);
      i += run;
      continue;
    }
    std::size_t raw = 1;
    while (i + raw < count && raw < 128 && !(i + raw + 1 < count && same(i + raw, i + raw + 1))) ++raw;
    out.push_back(static_cast<std::uint8_t>(raw - 1));
    out.insert(out.end(), &px[i * 3], &px[(i + raw) * 3]);
    i += raw;
  }
  return out;
}

double seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

double timeOurs(const std::string& in, const std::string& out, bool& ok) {
  double best = 1e30;
  for (int k = 0; k < kRepeats; ++k) {
    const auto start = std::chrono::steady_clock::now();
    std::FILE* source = std::fopen(in.c_str(), "rb");
    std::FILE* destination = std::fopen(out.c_str(), "wb");
    const bool converted = source && destination && convertTgaToPpm("vemo", source, destination) == Status::kOk;
    if (source) std::fclose(source);
    if (destination) std::fclose(destination);
    const double t = seconds(start);
    ok = converted;
    if (!ok) return 0;
    if (t < best) best = t;
  }
  return best;
}

double timeNetpbm(const std::string& in, const std::string& out, bool& ok) {
  double best = 1e30;
  const std::string command = "tgatoppm '" + in + "' > '" + out + "' 2>/dev/null";
  for (int k = 0; k < kRepeats; ++k) {
    const auto start = std::chrono::steady_clock::now();
    ok = std::system(command.c_str()) == 0;
    const double t = seconds(start);
    if (!ok) return 0;
    if (t < best) best = t;
  }
  return best;
}

// The pixel bytes of a P6 file: what follows the maxval line.
std::string ppmPixels(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return {};
  std::string all;
  char buffer[1 << 16];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) all.append(buffer, n);
  std::fclose(f);
  const std::size_t at = all.find("\n255\n");
  return at == std::string::npos ? std::string() : all.substr(at + 5);
}

}  // namespace

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  const fs::path dir = argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path() / "torvo-bench-tga";
  const int side = argc > 2 ? std::atoi(argv[2]) : 4096;
  if (side <= 0 || side > 65535) {
    std::printf("side must be 1..65535\n");
    return 1;
  }
  std::error_code ec;
  fs::create_directories(dir, ec);

  const Bytes pixels = makePixels(side);
  lwbuild::TgaSpec header;
  header.width = header.height = side;
  header.descriptor = 0x20;
  struct Input {
    const char* label;
    std::string file;
  };
  std::vector<Input> inputs;
  header.imageType = 2;
  inputs.push_back({"24-bit uncompressed", (dir / "big.tga").string()});
  lwbuild::writeFile(inputs.back().file, lwbuild::tgaBytes(header, {}, pixels));
  header.imageType = 10;
  inputs.push_back({"24-bit run-length", (dir / "big_rle.tga").string()});
  lwbuild::writeFile(inputs.back().file, lwbuild::tgaBytes(header, {}, rleEncode(pixels)));

  const bool haveNetpbm = std::system("tgatoppm --version >/dev/null 2>&1") == 0;
  std::printf("TGA %d x %d, best of %d runs\n", side, side, kRepeats);
  std::printf("%-22s %12s %12s %10s\n", "input", "torvo", "tgatoppm", "same");
  int status = 0;
  for (const Input& in : inputs) {
    const std::string ours = in.file + ".torvo.ppm", theirs = in.file + ".netpbm.ppm";
    bool ok = false;
    const double t = timeOurs(in.file, ours, ok);
    if (!ok) {
      std::printf("%-22s conversion failed\n", in.label);
      status = 1;
      continue;
    }
    if (!haveNetpbm) {
      std::printf("%-22s %10.3f s %12s %10s\n", in.label, t, "(missing)", "-");
      continue;
    }
    bool netOk = false;
    const double n = timeNetpbm(in.file, theirs, netOk);
    const bool same = netOk && ppmPixels(ours) == ppmPixels(theirs);
    if (!same) status = 1;
    std::printf("%-22s %10.3f s %10.3f s %10s\n", in.label, t, n, netOk ? (same ? "yes" : "NO") : "failed");
  }
  return status;
}
