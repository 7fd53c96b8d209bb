// The TGA and BMP converters: pixels decoded from every kind of image, refusals before
// allocating, pipes as files.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "image/ppm.h"
#include "lwbuild.h"
#include "support/run.h"

using namespace torvo;

using lwbuild::Bytes;
using lwbuild::tgaBytes;
using lwbuild::TgaSpec;

namespace {

struct Rgb {
  std::uint8_t r = 0, g = 0, b = 0;
  bool operator==(const Rgb&) const = default;
};
constexpr Rgb kRed{255, 0, 0}, kGreen{0, 255, 0}, kBlue{0, 0, 255}, kWhite{255, 255, 255}, kBlack{0, 0, 0};
using Pixels = std::vector<Rgb>;

// Blue, green, red bytes of the colours, with a fourth byte each for a BMP colour table.
Bytes bgr(std::initializer_list<Rgb> colours, bool table = false) {
  Bytes b;
  for (Rgb c : colours) {
    for (std::uint8_t v : {c.b, c.g, c.r}) b.push_back(v);
    if (table) b.push_back(0);
  }
  return b;
}

Bytes cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// Grey pixels, each value `times` times in a row.
Pixels greys(std::initializer_list<int> values, std::size_t times = 1) {
  Pixels out;
  for (int v : values) out.insert(out.end(), times, Rgb{std::uint8_t(v), std::uint8_t(v), std::uint8_t(v)});
  return out;
}

TgaSpec tga(int type, int width, int height, int depth, int descriptor = 0, int mapLength = 0, int entrySize = 0, int firstIndex = 0) {
  TgaSpec s;
  s.imageType = type;
  s.width = width;
  s.height = height;
  s.pixelDepth = depth;
  s.descriptor = descriptor;
  s.colorMapType = mapLength > 0 ? 1 : 0;
  s.mapLength = mapLength;
  s.mapEntrySize = entrySize;
  s.firstIndex = firstIndex;
  return s;
}

enum class Kind { Bmp, Tga };
struct Conversion {
  Status result = Status::kNotThisFormat;  // not converted at all
  std::string output;  // every byte written
};

// Converts from any readable stream (pipes included), which is left open.
Conversion convertStream(Kind kind, std::FILE* source) {
  Conversion c;
  std::FILE* destination = std::tmpfile();
  if (source == nullptr || destination == nullptr) return c;
  c.result = kind == Kind::Bmp ? convertBmpToPpm("vemo", source, destination) : convertTgaToPpm("vemo", source, destination);
  std::rewind(destination);
  char buffer[65536];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, destination)) > 0;) c.output.append(buffer, n);
  std::fclose(destination);
  return c;
}

Conversion convert(Kind kind, const Bytes& input) {
  std::FILE* source = std::tmpfile();
  if (!input.empty()) std::fwrite(input.data(), 1, input.size(), source);
  std::rewind(source);
  const Conversion c = convertStream(kind, source);
  std::fclose(source);
  return c;
}

// Each image converts to exactly these pixels (top row first), its PPM headed as ours are.
struct Decoded {
  std::string what;
  Bytes file;
  long width;
  Pixels pixels;
};
void expectDecoded(Kind kind, const std::vector<Decoded>& cases) {
  for (const Decoded& d : cases) {
    std::string ppm = "P6\n# converted by vemo\n" + std::to_string(d.width) + " " + std::to_string(long(d.pixels.size()) / d.width) + "\n255\n";
    for (Rgb c : d.pixels) ppm += {char(c.r), char(c.g), char(c.b)};
    const Conversion c = convert(kind, d.file);
    EXPECT_EQ(c.result, Status::kOk) << d.what;
    EXPECT_EQ(c.output, ppm) << d.what;
  }
}

// Each image is refused with nothing written; wholes are accepted and each of their cuts refused.
void expectRefused(Kind kind, std::vector<std::pair<std::string, Bytes>> cases, const std::vector<Bytes>& wholes = {}) {
  for (const Bytes& whole : wholes) {
    EXPECT_EQ(convert(kind, whole).result, Status::kOk);
    for (std::size_t cut = 0; cut < whole.size(); ++cut)
      cases.push_back({"cut at " + std::to_string(cut), Bytes(whole.begin(), whole.begin() + static_cast<long>(cut))});
  }
  for (const auto& [what, file] : cases) {
    const Conversion c = convert(kind, file);
    EXPECT_EQ(c.result, Status::kBadInput) << what;
    EXPECT_TRUE(c.output.empty()) << what;
  }
}

// Deterministic pseudo-random bytes.
Bytes noise(std::size_t n, std::uint32_t seed) {
  Bytes b(n);
  std::uint32_t x = seed * 2654435761u + 1;
  for (auto& v : b) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    v = static_cast<std::uint8_t>(x >> 24);
  }
  return b;
}

// One grey level per row (row r holds r * 10 + 1), so row order is visible.
Bytes greyRows(int width, int height) {
  Bytes pixels;
  for (int r = 0; r < height; ++r) pixels.insert(pixels.end(), static_cast<std::size_t>(width), r * 10 + 1);
  return pixels;
}

void setLE32(Bytes& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// Stored bottom row first: blue, green / red, white; each 6-byte row padded to 8.
Bytes bmp2x2(std::size_t at = 0, std::uint32_t value = 0) {
  Bytes b = lwbuild::bmpBytes(2, 2, 24, {}, cat({bgr({kBlue, kGreen}), {0, 0}, bgr({kRed, kWhite}), {0, 0}}));
  if (at != 0) setLE32(b, at, value);
  return b;
}

}  // namespace

TEST(Tga, EveryKindRowOrderAndPacketDecodes) {
  const Bytes square = bgr({kRed, kGreen, kBlue, kWhite});
  // 16-bit pixels, little-endian: red in bits 10-14, green 5-9, blue 0-4, the top bit ignored; five bits
  // widen to eight by repeating their top three. (31 0 0), (0 31 0), (0 0 31), (1 17 30), (16 8 4):
  const Bytes fives = {0x00, 0xFC, 0xE0, 0x83, 0x1F, 0x80, 0x3E, 0x86, 0x04, 0xC1};
  const Pixels widened = {kRed, kGreen, kBlue, {8, 140, 247}, {132, 66, 33}};
  const Bytes map16 = {0x10, 0x7C, 0xE0, 0x0F};  // (31 0 16), (3 31 0)
  std::vector<Decoded> cases = {
      {"bottom-up: the file's last row comes first", tgaBytes(tga(2, 2, 2, 24), {}, square), 2, {kBlue, kWhite, kRed, kGreen}},
      {"top-down", tgaBytes(tga(2, 2, 2, 24, 0x20), {}, square), 2, {kRed, kGreen, kBlue, kWhite}},
      {"two-way interleave, top-down: stored rows 0 2 4 1 3", tgaBytes(tga(3, 1, 5, 8, 0x60), {}, greyRows(1, 5)), 1,
       greys({1, 31, 11, 41, 21})},
      {"four-way interleave: stored rows 0 4 1 5 2 3", tgaBytes(tga(3, 2, 6, 8, 0xA0), {}, greyRows(2, 6)), 2,
       greys({1, 21, 41, 51, 11, 31}, 2)},
      {"two-way interleave, bottom-up", tgaBytes(tga(3, 1, 5, 8, 0x40), {}, greyRows(1, 5)), 1, greys({21, 41, 11, 31, 1})},
      {"interleave value 3 means none", tgaBytes(tga(3, 1, 3, 8, 0xE0), {}, greyRows(1, 3)), 1, greys({1, 11, 21})},
      {"run and raw packets", tgaBytes(tga(10, 7, 1, 24), {}, cat({{0x83}, bgr({kRed}), {0x02}, bgr({kGreen, kBlue, kWhite})})),
       7, {kRed, kRed, kRed, kRed, kGreen, kBlue, kWhite}},
      {"packets across rows", tgaBytes(tga(10, 3, 3, 24, 0x20), {}, cat({{0x84}, bgr({kBlue}), {0x01}, bgr({kGreen, kWhite}),
                                                                         {0x81}, bgr({kRed})})),
       3, {kBlue, kBlue, kBlue, kBlue, kBlue, kGreen, kWhite, kRed, kRed}},
      {"8-bit grey packets", tgaBytes(tga(11, 4, 1, 8), {}, {0x81, 7, 0x01, 9, 200}), 4, greys({7, 7, 9, 200})},
      {"32-bit packets skip the extra byte", tgaBytes(tga(10, 3, 1, 32), {}, {0x82, 1, 2, 3, 99}), 3, Pixels(3, Rgb{3, 2, 1})},
      {"fully packed runs", tgaBytes(tga(11, 256, 2, 8), {}, {0xFF, 1, 0xFF, 2, 0xFF, 3, 0xFF, 4}), 256, greys({3, 4, 1, 2}, 128)},
      {"15 bits", tgaBytes(tga(2, 5, 1, 15), {}, fives), 5, widened},
      {"16 bits", tgaBytes(tga(2, 5, 1, 16), {}, fives), 5, widened},
      {"16-bit map entries", tgaBytes(tga(1, 2, 1, 8, 0, 2, 16), map16, {1, 0}), 2, {{24, 255, 0}, {255, 0, 132}}},
      // Entries 2, 3, 4 stored (first index 2); indexes 0, 1 and 9 fall outside.
      {"indexes outside the map are black", tgaBytes(tga(1, 5, 1, 8, 0, 3, 24, 2), bgr({kRed, kGreen, kBlue}), {2, 3, 4, 0, 9}),
       5, {kRed, kGreen, kBlue, kBlack, kBlack}},
      {"32-bit entries, run-length with 16-bit index",
       tgaBytes(tga(9, 3, 1, 16, 0, 2, 32), {10, 20, 30, 255, 40, 50, 60, 255}, {0x81, 1, 0, 0x00, 0, 1}), 3,
       {{60, 50, 40}, {60, 50, 40}, kBlack}},
      {"8-bit grey entries", tgaBytes(tga(9, 3, 1, 16, 0, 2, 8), {77, 88}, {0x82, 1, 0}), 3, greys({88}, 3)}};
  // True colour with an announced map and an ID field: pixels follow the map.
  for (int type : {2, 3, 10}) {
    TgaSpec s = tga(type, 2, 1, type == 3 ? 8 : 24, 0, 4, 15);
    s.idLength = 5;
    const Bytes pixels = type == 3 ? Bytes{5, 6} : cat({type == 10 ? Bytes{0x01} : Bytes{}, bgr({kGreen, kRed})});
    cases.push_back({"map skipped for type " + std::to_string(type), tgaBytes(s, Bytes(8, 0xAB), pixels), 2,
                     type == 3 ? greys({5, 6}) : Pixels{kGreen, kRed}});
  }
  expectDecoded(Kind::Tga, cases);
}

TEST(Tga, RefusedHeadersAndTruncations) {
  const Bytes pixel = {1, 2, 3};
  std::vector<std::pair<std::string, Bytes>> cases = {
      {"type 1 without colour map", tgaBytes(tga(1, 1, 1, 8), {}, {0})},
      {"type 9 without colour map", tgaBytes(tga(9, 1, 1, 8), {}, {0x80, 0})},
      {"width 0", tgaBytes(tga(2, 0, 1, 24), {}, pixel)}, {"height 0", tgaBytes(tga(2, 1, 0, 24), {}, pixel)},
      // More pixels than the file could hold, even fully packed, before any allocation.
      {"huge raw", tgaBytes(tga(2, 65535, 65535, 32), {}, pixel)},
      {"huge run-length", tgaBytes(tga(10, 65535, 65535, 24), {}, Bytes(1000, 0xFF))},
      {"packed runs one byte short", tgaBytes(tga(11, 256, 2, 8), {}, {0xFF, 1, 0xFF, 2, 0xFF, 3, 0xFF})},
      {"empty file", {}}};
  for (int type : {0, 4, 8, 12, 32, 33, 255}) cases.push_back({"type " + std::to_string(type), tgaBytes(tga(type, 1, 1, 24), {}, pixel)});
  for (int depth : {0, 1, 4, 12, 17, 33, 64})
    cases.push_back({"depth " + std::to_string(depth), tgaBytes(tga(2, 1, 1, depth), {}, Bytes(16, 1))});
  for (int size : {0, 7, 12, 40})
    cases.push_back({"map entry size " + std::to_string(size), tgaBytes(tga(1, 1, 1, 8, 0, 1, size), Bytes(8, 0), {0})});
  TgaSpec mapped = tga(9, 3, 2, 8, 0, 2, 24);
  mapped.idLength = 3;
  expectRefused(Kind::Tga, cases,
                {tgaBytes(tga(2, 3, 2, 24), {}, noise(18, 1)), tgaBytes(tga(10, 3, 2, 16), {}, {0x82, 1, 2, 0x02, 3, 4, 5, 6, 7, 8}),
                 tgaBytes(mapped, Bytes(6, 9), {0x01, 0, 1, 0x83, 1})});
}

TEST(Bmp, PixelsComeOutTopRowFirst) {
  // A 124-byte info header: the table starts after it, not at byte 54.
  auto v5 = [](const Bytes& table) {
    Bytes b = lwbuild::bmpBytes(2, 1, 8, table, {1, 0, 0, 0});
    b.insert(b.begin() + 54, 124 - 40, 0xEE);
    setLE32(b, 10, 54 + 84 + static_cast<std::uint32_t>(table.size()));
    setLE32(b, 14, 124);
    return b;
  };
  expectDecoded(Kind::Bmp,
                {{"24 bits, bottom row stored first", bmp2x2(), 2, {kRed, kWhite, kBlue, kGreen}},
                 {"negative height: top row stored first", bmp2x2(22, std::uint32_t(-2)), 2, {kBlue, kGreen, kRed, kWhite}},
                 {"4 bits: high nibble first, odd width", lwbuild::bmpBytes(3, 1, 4, bgr({kWhite, kRed, kGreen}, true), {0x12, 0, 0, 0}),
                  3, {kRed, kGreen, kWhite}},
                 {"8-bit indexes beyond the table are black", lwbuild::bmpBytes(4, 1, 8, bgr({kBlue, kGreen}, true), {0, 1, 2, 200}),
                  4, {kBlue, kGreen, kBlack, kBlack}},
                 {"4-bit index beyond the table is black", lwbuild::bmpBytes(2, 1, 4, bgr({kRed}, true), {0x0F, 0, 0, 0}), 2,
                  {kRed, kBlack}},
                 {"larger info header moves the colour table", v5(bgr({kRed, kGreen}, true)), 2, {kGreen, kRed}},
                 {"larger info header and no table", v5({}), 2, {kBlack, kBlack}}});
}

TEST(Bmp, UnsupportedImpossibleAndCutFilesAreRefusedBeforeAllocating) {
  const Bytes rows(16, 0);
  const Bytes table = bgr({kRed, kWhite}, true);
  Bytes wrongMagic = bmp2x2();
  wrongMagic[0] = 'X';
  std::vector<std::pair<std::string, Bytes>> cases = {
      {"RLE8", lwbuild::bmpBytes(2, 2, 8, table, rows, 1)}, {"RLE4", lwbuild::bmpBytes(2, 2, 4, table, rows, 2)},
      {"bit fields", lwbuild::bmpBytes(2, 2, 24, {}, rows, 3)}, {"magic", wrongMagic}, {"OS/2 core header", bmp2x2(14, 12)},
      {"empty file", {}}, {"pixel data offset below the headers", bmp2x2(10, 40)},
      {"pixel data offset past the end", bmp2x2(10, 0xFFFFFFF0u)}};
  for (int bits : {1, 2, 16, 32, 0, 48})
    cases.push_back({"bits " + std::to_string(bits), lwbuild::bmpBytes(2, 2, bits, table, Bytes(32, 0))});
  for (const auto& [w, h] : {std::pair<std::int32_t, std::int32_t>{0, 2}, {-2, 2}, {2, 0}, {0x7FFFFFFF, 0x7FFFFFFF},
                             {0x7FFFFFFF, -0x7FFFFFFF - 1}, {1, 0x7FFFFFFF}, {0x40000000, 1}}) {
    Bytes bmp = bmp2x2(18, std::uint32_t(w));
    setLE32(bmp, 22, std::uint32_t(h));
    cases.push_back({"size " + std::to_string(w) + " x " + std::to_string(h), bmp});
  }
  expectRefused(Kind::Bmp, cases,
                {bmp2x2(), lwbuild::bmpBytes(3, 2, 4, table, Bytes(8, 0x10)), lwbuild::bmpBytes(3, 2, 8, table, Bytes(8, 1))});
}

// Streams that cannot seek (pipes) do not tell their size in advance; streams missing or unwritable fail.
TEST(ImageStreams, PipesGiveTheSameResultsAsFilesAndWriteFailuresAreReported) {
  testsupport::TempDir dir;  // the TGA is larger than one block of pipe reading
  for (const auto& [kind, whole] : {std::pair{Kind::Tga, tgaBytes(tga(2, 700, 600, 24), {}, noise(700 * 600 * 3, 5))},
                                    {Kind::Bmp, lwbuild::bmpBytes(5, 3, 24, {}, noise(16 * 3, 6))}}) {
    for (std::size_t cut : {whole.size(), whole.size() - 1, std::size_t{17}}) {
      const Bytes file(whole.begin(), whole.begin() + static_cast<long>(cut));
      lwbuild::writeFile(dir / "image", file);
      const Conversion fromFile = convert(kind, file);
      std::FILE* pipe = ::popen(("cat '" + dir / "image" + "'").c_str(), "r");
      const Conversion fromPipe = convertStream(kind, pipe);
      if (pipe != nullptr) ::pclose(pipe);
      EXPECT_EQ(fromPipe.result, fromFile.result) << cut;
      EXPECT_EQ(fromPipe.output, fromFile.output) << cut;
      EXPECT_EQ(fromFile.result, cut == whole.size() ? Status::kOk : Status::kBadInput) << cut;
    }
  }
  lwbuild::writeFile(dir / "in.bmp", lwbuild::bmpBytes(1, 1, 24, {}, {1, 2, 3, 0}));
  lwbuild::writeFile(dir / "in.tga", tgaBytes(tga(2, 1, 1, 24), {}, {1, 2, 3}));
  lwbuild::writeFile(dir / "out.ppm", Bytes{});
  for (const auto& [fn, name] : {std::pair{&convertBmpToPpm, "in.bmp"}, {&convertTgaToPpm, "in.tga"}}) {
    std::FILE* source = std::fopen((dir / name).c_str(), "rb");
    std::FILE* readOnly = std::fopen((dir / "out.ppm").c_str(), "rb");
    // No source, no destination, a destination that cannot be written to.
    EXPECT_EQ(fn("vemo", nullptr, readOnly), Status::kBadInput) << name;
    EXPECT_EQ(fn("vemo", source, nullptr), Status::kBadInput) << name;
    EXPECT_EQ(fn("vemo", source, readOnly), Status::kWriteFailed) << name;
    std::fclose(source);
    std::fclose(readOnly);
  }
}

