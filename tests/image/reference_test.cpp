// Our PPM against independent decoders (Pillow, netpbm) on images of every kind.
#include <gtest/gtest.h>

#include <cstring>

#include "image/image_support.h"

using namespace imagetest;
using lwbuild::Bytes;
using lwbuild::TgaSpec;

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

// Run-length encodes a pixel stream the way TGA writers do, ignoring row ends.
Bytes rleEncodeStream(const Bytes& pixels, unsigned pixelBytes) {
  const std::size_t count = pixels.size() / pixelBytes;
  auto same = [&](std::size_t a, std::size_t b) {
    return std::memcmp(&pixels[a * pixelBytes], &pixels[b * pixelBytes], pixelBytes) == 0;
  };
  Bytes out;
  std::size_t i = 0;
  while (i < count) {
    std::size_t run = 1;
    while (i + run < count && run < 128 && same(i, i + run)) ++run;
    if (run >= 2) {
      out.push_back(static_cast<std::uint8_t>(0x80 | (run - 1)));
      out.insert(out.end(), &pixels[i * pixelBytes], &pixels[(i + 1) * pixelBytes]);
      i += run;
      continue;
    }
    std::size_t raw = 1;
    while (i + raw < count && raw < 128 && !(i + raw + 1 < count && same(i + raw, i + raw + 1))) ++raw;
    out.push_back(static_cast<std::uint8_t>(raw - 1));
    out.insert(out.end(), &pixels[i * pixelBytes], &pixels[(i + raw) * pixelBytes]);
    i += raw;
  }
  return out;
}

// Packets kept inside rows (Pillow refuses packets that cross a row end).
Bytes rleEncodeRows(const Bytes& pixels, unsigned pixelBytes, std::size_t width) {
  Bytes out;
  const std::size_t rowBytes = width * pixelBytes;
  for (std::size_t at = 0; at < pixels.size(); at += rowBytes) {
    const Bytes row = rleEncodeStream(Bytes(pixels.begin() + static_cast<long>(at),
                                            pixels.begin() + static_cast<long>(at + rowBytes)), pixelBytes);
    out.insert(out.end(), row.begin(), row.end());
  }
  return out;
}

void compareWith(const Reference& ref, const Picture& ours, const std::string& what) {
  ASSERT_TRUE(ref.picture.valid) << what;
  ASSERT_EQ(ours.width, ref.picture.width) << what;
  ASSERT_EQ(ours.height, ref.picture.height) << what;
  std::size_t differing = 0;
  for (std::size_t i = 0; i < ours.pixels.size(); ++i)
    if (!(ours.pixels[i] == ref.picture.pixels[i])) ++differing;
  EXPECT_EQ(differing, 0u) << what << ": pixels differ";
}

struct Case {
  std::string what;
  Bytes file;
  bool pillowReads = true;
};

void expectSame(const Reference& ref, const Picture& ours, const char* decoder) {
  if (ref.skipReason.find("not installed") != std::string::npos) return;
  ASSERT_TRUE(ref.skipReason.empty()) << ref.skipReason;
  compareWith(ref, ours, decoder);
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

TgaSpec spec(int type, int width, int height, int depth, int descriptor) {
  TgaSpec s;
  s.imageType = type;
  s.width = width;
  s.height = height;
  s.pixelDepth = depth;
  s.descriptor = descriptor;
  return s;
}

}  // namespace

TEST(Reference, TgaOfEveryKindMatchesIndependentDecoders) {
  const int w = 37, h = 23;
  const std::size_t n = static_cast<std::size_t>(w) * h;
  std::vector<Case> cases;
  for (int descriptor : {0x00, 0x20}) {
    const std::string order = descriptor ? " top-down" : " bottom-up";
    cases.push_back({"type 2, 24 bits" + order, lwbuild::tgaBytes(spec(2, w, h, 24, descriptor), {}, noise(n * 3, 1))});
    cases.push_back({"type 2, 32 bits" + order, lwbuild::tgaBytes(spec(2, w, h, 32, descriptor | 8), {}, noise(n * 4, 2))});
    cases.push_back({"type 3, 8 bits" + order, lwbuild::tgaBytes(spec(3, w, h, 8, descriptor), {}, noise(n, 3))});
    TgaSpec mapped = spec(1, w, h, 8, descriptor);
    mapped.colorMapType = 1;
    mapped.mapLength = 256;
    mapped.mapEntrySize = 24;
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
      const TgaSpec s = r.type == 9 ? mapped : spec(r.type, w, h, r.depth, descriptor | (r.depth == 32 ? 8 : 0));
      const Bytes map = r.type == 9 ? noise(256 * 3, 9) : Bytes{};
      cases.push_back({r.what + order, lwbuild::tgaBytes(s, map, rleEncodeRows(pixels, pixelBytes, w))});
      cases.push_back({r.what + order + ", packets crossing rows",
                       lwbuild::tgaBytes(s, map, rleEncodeStream(pixels, pixelBytes)), false});
    }
  }
  // Interleaved row order, which Pillow does not read.
  for (int descriptor : {0x40, 0x60, 0x80, 0xA0}) {
    const std::string what = "interleave descriptor " + std::to_string(descriptor);
    cases.push_back({what, lwbuild::tgaBytes(spec(2, 5, 11, 24, descriptor), {}, noise(5 * 11 * 3, 20)), false});
    const Bytes grey = runnyPixels(5 * 11, 1, 21);
    cases.push_back({what + ", run-length",
                     lwbuild::tgaBytes(spec(11, 5, 11, 8, descriptor), {}, rleEncodeStream(grey, 1)), false});
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
