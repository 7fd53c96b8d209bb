#include <gtest/gtest.h>

#include "image/image_support.h"

using namespace imagetest;

namespace {

Bytes table(std::initializer_list<Rgb> colours) {
  Bytes t;
  for (Rgb c : colours) {
    putBgr(t, c);
    t.push_back(0);
  }
  return t;
}

void setLE32(Bytes& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// Stored bottom row first: blue, green / red, white; each 6-byte row padded to 8.
Bytes twoByTwo() {
  Bytes rows;
  for (Rgb c : {kBlue, kGreen}) putBgr(rows, c);
  rows.resize(rows.size() + 2);  // row padding
  for (Rgb c : {kRed, kWhite}) putBgr(rows, c);
  rows.resize(rows.size() + 2);  // row padding
  return lwbuild::bmpBytes(2, 2, 24, {}, rows);
}

// twoByTwo with the 32-bit field at `at` changed.
Bytes twoByTwoWith(std::size_t at, std::uint32_t value) {
  Bytes b = twoByTwo();
  setLE32(b, at, value);
  return b;
}

}  // namespace

TEST(Bmp, PixelsComeOutTopRowFirst) {
  const Conversion c = convert(Kind::Bmp, twoByTwo());
  EXPECT_EQ(c.output.substr(0, 31), "P6\n# converted by vemo\n2 2\n255\n");
  // A 124-byte info header: the table starts after it, not at byte 54.
  Bytes bigHeader = lwbuild::bmpBytes(2, 1, 8, table({kRed, kGreen}), {1, 0, 0, 0});
  bigHeader.insert(bigHeader.begin() + 54, 124 - 40, 0xEE);
  setLE32(bigHeader, 10, 54 + 84 + 8);
  setLE32(bigHeader, 14, 124);
  Bytes planes = twoByTwo();
  planes[26] = 7;  // unused field
  expectDecoded(
      Kind::Bmp,
      {{"24 bits, bottom row stored first", twoByTwo(), 2, {kRed, kWhite, kBlue, kGreen}},
       {"negative height: top row stored first", twoByTwoWith(22, std::uint32_t(-2)), 2, {kBlue, kGreen, kRed, kWhite}},
       {"4 bits: high nibble first, odd width",
        lwbuild::bmpBytes(3, 1, 4, table({kWhite, kRed, kGreen}), {0x12, 0, 0, 0}),
        3,
        {kRed, kGreen, kWhite}},
       {"8-bit indexes beyond the table are black",
        lwbuild::bmpBytes(4, 1, 8, table({kBlue, kGreen}), {0, 1, 2, 200}),
        4,
        {kBlue, kGreen, kBlack, kBlack}},
       {"4-bit index beyond the table is black",
        lwbuild::bmpBytes(2, 1, 4, table({kRed}), {0x0F, 0, 0, 0}),
        2,
        {kRed, kBlack}},
       {"larger info header moves the colour table", bigHeader, 2, {kGreen, kRed}},
       {"planes field ignored", planes, 2, {kRed, kWhite, kBlue, kGreen}}});
}

TEST(Bmp, UnsupportedOrImpossibleFilesAreRefusedBeforeAllocating) {
  const Bytes rows(16, 0);
  Bytes wrongMagic = twoByTwo();
  wrongMagic[0] = 'X';
  std::vector<std::pair<std::string, Bytes>> cases = {
      {"RLE8", lwbuild::bmpBytes(2, 2, 8, table({kRed}), rows, 1)},
      {"RLE4", lwbuild::bmpBytes(2, 2, 4, table({kRed}), rows, 2)},
      {"bit fields", lwbuild::bmpBytes(2, 2, 24, {}, rows, 3)},
      {"magic", wrongMagic},
      {"OS/2 core header", twoByTwoWith(14, 12)},
      {"empty file", {}},
      {"pixel data offset below the headers", twoByTwoWith(10, 40)},
      {"pixel data offset past the end", twoByTwoWith(10, 0xFFFFFFF0u)},
  };
  for (int bits : {1, 2, 16, 32, 0, 48})
    cases.push_back(
        {"bits " + std::to_string(bits), lwbuild::bmpBytes(2, 2, bits, table({kRed, kWhite}), Bytes(32, 0))});
  struct Size {
    std::int32_t width, height;
  };
  for (const Size s : {Size{0, 2}, Size{-2, 2}, Size{2, 0}, Size{0x7FFFFFFF, 0x7FFFFFFF},
                       Size{0x7FFFFFFF, -0x7FFFFFFF - 1}, Size{1, 0x7FFFFFFF}, Size{0x40000000, 1}}) {
    Bytes bmp = twoByTwoWith(18, std::uint32_t(s.width));
    setLE32(bmp, 22, std::uint32_t(s.height));
    cases.push_back({"size " + std::to_string(s.width) + " x " + std::to_string(s.height), bmp});
  }
  expectRefused(Kind::Bmp, cases);
}

TEST(Bmp, EveryTruncationIsRefusedWithNothingWritten) {
  for (const Bytes& whole : {twoByTwo(), lwbuild::bmpBytes(3, 2, 4, table({kRed, kBlue}), Bytes(8, 0x10)),
                             lwbuild::bmpBytes(3, 2, 8, table({kRed, kBlue}), Bytes(8, 1))})
    expectEveryCutRefused(Kind::Bmp, whole);
}
