// Our PPM against independent decoders (Pillow, netpbm) on images of every kind.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "image/image_support.h"

using namespace imagetest;

namespace {

// Pixels with long and short runs (some longer than a packet, many crossing rows).
Bytes runnyPixels(std::size_t count, unsigned pixelBytes, std::uint32_t seed) {
  const Bytes r = noise(count * 2 + 8, seed);
  Bytes out;
  std::size_t i = 0;
  while (out.size() < count * pixelBytes) {
    const unsigned len = (r[i] % 4 == 0) ? 1 + r[i + 1] % 200 : 1;
    for (unsigned k = 0; k < len && out.size() < count * pixelBytes; ++k)
      for (unsigned b = 0; b < pixelBytes; ++b) out.push_back(static_cast<std::uint8_t>(r[i + 1] * 31 + b * 77));
    i = (i + 2) % (r.size() - 2);
  }
  return out;
}

// Run-length encodes pixels the way TGA writers do. Packets never cross a multiple of
// `span` pixels: a row's width for Pillow, which refuses packets that cross a row end.
Bytes rleEncode(const Bytes& pixels, unsigned pixelBytes, std::size_t span = SIZE_MAX) {
  const std::size_t count = pixels.size() / pixelBytes;
  auto same = [&](std::size_t a, std::size_t b) {
    return std::memcmp(&pixels[a * pixelBytes], &pixels[b * pixelBytes], pixelBytes) == 0;
  };
  Bytes out;
  for (std::size_t i = 0; i < count;) {
    const std::size_t end = std::min(count, (i / span + 1) * span);
    std::size_t n = 1;
    while (i + n < end && n < 128 && same(i, i + n)) ++n;
    const bool isRun = n >= 2;
    while (!isRun && i + n < end && n < 128 && !(i + n + 1 < end && same(i + n, i + n + 1))) ++n;
    out.push_back(static_cast<std::uint8_t>((isRun ? 0x80 : 0) | (n - 1)));
    out.insert(out.end(), &pixels[i * pixelBytes], &pixels[(isRun ? i + 1 : i + n) * pixelBytes]);
    i += n;
  }
  return out;
}

struct Case {
  std::string what;
  Bytes file;
  bool pillowReads = true;
};

void expectSame(const Reference& ref, const Picture& ours, const char* decoder) {
  if (ref.skipReason.find("not installed") != std::string::npos) return;
  ASSERT_TRUE(ref.skipReason.empty()) << ref.skipReason;
  ASSERT_TRUE(ref.picture.valid) << decoder;
  ASSERT_EQ(ours.width, ref.picture.width) << decoder;
  ASSERT_EQ(ours.height, ref.picture.height) << decoder;
  std::size_t differing = 0;
  for (std::size_t i = 0; i < ours.pixels.size(); ++i)
    if (!(ours.pixels[i] == ref.picture.pixels[i])) ++differing;
  EXPECT_EQ(differing, 0u) << decoder << ": pixels differ";
}

void checkAgainstDecoders(Kind kind, const std::vector<Case>& cases) {
  std::vector<Bytes> forPillow, all;
  for (const Case& c : cases) {
    all.push_back(c.file);
    if (c.pillowReads) forPillow.push_back(c.file);
  }
  const auto pillow = decodeWithPillow(forPillow, kind == Kind::Bmp ? "bmp" : "tga");
  const auto netpbm = decodeWithNetpbm(all, kind == Kind::Bmp ? "bmptoppm" : "tgatoppm");
  std::size_t nextPillow = 0;
  for (std::size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(cases[i].what);
    const Conversion conv = convert(kind, cases[i].file);
    ASSERT_EQ(conv.result, 1);
    const Picture ours = parsePpm(conv.output);
    ASSERT_TRUE(ours.valid);
    if (cases[i].pillowReads) expectSame(pillow[nextPillow++], ours, "Pillow");
    expectSame(netpbm[i], ours, "netpbm");
  }
}

}  // namespace

TEST(Reference, TgaOfEveryKindMatchesIndependentDecoders) {
  const int w = 37, h = 23;
  const std::size_t n = static_cast<std::size_t>(w) * h;
  std::vector<Case> cases;
  for (int descriptor : {0x00, 0x20}) {
    const std::string order = descriptor ? " top-down" : " bottom-up";
    cases.push_back(
        {"type 2, 24 bits" + order, lwbuild::tgaBytes(tgaSpec(2, w, h, 24, descriptor), {}, noise(n * 3, 1))});
    cases.push_back(
        {"type 2, 32 bits" + order, lwbuild::tgaBytes(tgaSpec(2, w, h, 32, descriptor | 8), {}, noise(n * 4, 2))});
    cases.push_back({"type 3, 8 bits" + order, lwbuild::tgaBytes(tgaSpec(3, w, h, 8, descriptor), {}, noise(n, 3))});
    TgaSpec mapped = withMap(tgaSpec(1, w, h, 8, descriptor), 256, 24);
    cases.push_back({"type 1, 24-bit map" + order, lwbuild::tgaBytes(mapped, noise(256 * 3, 4), noise(n, 5))});
    mapped.imageType = 9;
    struct Rle {
      int type, depth;
      std::string what;
    };
    for (const Rle& r : {Rle{10, 24, "type 10, 24 bits"}, Rle{10, 32, "type 10, 32 bits"},
                         Rle{11, 8, "type 11, 8 bits"}, Rle{9, 8, "type 9, 24-bit map"}}) {
      const unsigned pixelBytes = static_cast<unsigned>(r.depth / 8);
      const Bytes pixels = runnyPixels(n, pixelBytes, static_cast<std::uint32_t>(r.type * 10 + r.depth));
      const TgaSpec s = r.type == 9 ? mapped : tgaSpec(r.type, w, h, r.depth, descriptor | (r.depth == 32 ? 8 : 0));
      const Bytes map = r.type == 9 ? noise(256 * 3, 9) : Bytes{};
      cases.push_back({r.what + order, lwbuild::tgaBytes(s, map, rleEncode(pixels, pixelBytes, w))});
      cases.push_back({r.what + order + ", packets crossing rows",
                       lwbuild::tgaBytes(s, map, rleEncode(pixels, pixelBytes)), false});
    }
  }
  // Interleaved row order, which Pillow does not read.
  for (int descriptor : {0x40, 0x60, 0x80, 0xA0}) {
    const std::string what = "interleave descriptor " + std::to_string(descriptor);
    cases.push_back({what, lwbuild::tgaBytes(tgaSpec(2, 5, 11, 24, descriptor), {}, noise(5 * 11 * 3, 20)), false});
    const Bytes grey = runnyPixels(5 * 11, 1, 21);
    cases.push_back(
        {what + ", run-length", lwbuild::tgaBytes(tgaSpec(11, 5, 11, 8, descriptor), {}, rleEncode(grey, 1)), false});
  }
  checkAgainstDecoders(Kind::Tga, cases);
}

TEST(Reference, BmpOfEveryKindMatchesIndependentDecoders) {
  std::vector<Case> cases;
  for (int w : {1, 2, 3, 5, 31}) {
    const int h = 7;
    for (int bits : {4, 8, 24}) {
      const std::size_t rowSize = static_cast<std::size_t>((bits * w + 31) / 32 * 4);
      const int entries = bits == 24 ? 0 : 1 << bits;
      Bytes table = noise(static_cast<std::size_t>(entries) * 4, 10u + static_cast<unsigned>(bits));
      for (std::size_t i = 3; i < table.size(); i += 4) table[i] = 0;
      const Bytes rows = noise(rowSize * h, static_cast<std::uint32_t>(w * 100 + bits));
      const std::string what = std::to_string(bits) + " bits, width " + std::to_string(w);
      cases.push_back({what, lwbuild::bmpBytes(w, h, bits, table, rows)});
      Bytes topDown = lwbuild::bmpBytes(w, h, bits, table, rows);
      const std::uint32_t negative = static_cast<std::uint32_t>(-h);
      for (int i = 0; i < 4; ++i) topDown[22 + i] = static_cast<std::uint8_t>(negative >> (8 * i));
      cases.push_back({what + " top-down", topDown});
    }
  }
  checkAgainstDecoders(Kind::Bmp, cases);
}
