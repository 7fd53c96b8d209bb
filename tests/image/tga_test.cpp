#include <gtest/gtest.h>

#include "image/image_support.h"

using namespace imagetest;
using lwbuild::tgaBytes;

namespace {

Bytes bgr(std::initializer_list<Rgb> colours) {
  Bytes b;
  for (Rgb c : colours) putBgr(b, c);
  return b;
}

// One grey level per row (row r holds value r * 10 + 1), so row order is visible.
Bytes greyRows(int width, int height) {
  Bytes pixels;
  for (int r = 0; r < height; ++r) pixels.insert(pixels.end(), static_cast<std::size_t>(width), r * 10 + 1);
  return pixels;
}

}  // namespace

TEST(Tga, RowOrderInterleaveAndRunLengthPackets) {
  const Bytes square = bgr({kRed, kGreen, kBlue, kWhite});
  EXPECT_EQ(convert(Kind::Tga, tgaBytes(tgaSpec(2, 2, 2, 24), {}, square)).output.substr(0, 31),
            "P6\n# converted by vemo\n2 2\n255\n");
  Bytes runs = {0x83};  // one pixel 4 times, then 3 literal pixels
  putBgr(runs, kRed);
  runs.push_back(0x02);
  putBgr(runs, kGreen);
  putBgr(runs, kBlue);
  putBgr(runs, kWhite);
  // Width 3: a run of 5 fills row 0 and two pixels of row 1; a raw packet of 2 ends in
  // row 2; a run of 2 finishes it.
  Bytes acrossRows = {0x84};
  putBgr(acrossRows, kBlue);
  acrossRows.push_back(0x01);
  putBgr(acrossRows, kGreen);
  putBgr(acrossRows, kWhite);
  acrossRows.push_back(0x81);
  putBgr(acrossRows, kRed);
  expectDecoded(
      Kind::Tga,
      {{"bottom-up: the file's last row comes first",
        tgaBytes(tgaSpec(2, 2, 2, 24), {}, square),
        2,
        {kBlue, kWhite, kRed, kGreen}},
       {"top-down", tgaBytes(tgaSpec(2, 2, 2, 24, 0x20), {}, square), 2, {kRed, kGreen, kBlue, kWhite}},
       {"two-way interleave, top-down: stored rows 0 2 4 1 3",
        tgaBytes(tgaSpec(3, 1, 5, 8, 0x20 | 0x40), {}, greyRows(1, 5)), 1, greys({1, 31, 11, 41, 21})},
       {"four-way interleave: stored rows 0 4 1 5 2 3", tgaBytes(tgaSpec(3, 2, 6, 8, 0x20 | 0x80), {}, greyRows(2, 6)),
        2, greys({1, 21, 41, 51, 11, 31}, 2)},
       {"two-way interleave, bottom-up", tgaBytes(tgaSpec(3, 1, 5, 8, 0x40), {}, greyRows(1, 5)), 1,
        greys({21, 41, 11, 31, 1})},
       {"interleave value 3 means none", tgaBytes(tgaSpec(3, 1, 3, 8, 0x20 | 0xC0), {}, greyRows(1, 3)), 1,
        greys({1, 11, 21})},
       {"run and raw packets",
        tgaBytes(tgaSpec(10, 7, 1, 24), {}, runs),
        7,
        {kRed, kRed, kRed, kRed, kGreen, kBlue, kWhite}},
       {"packets across rows",
        tgaBytes(tgaSpec(10, 3, 3, 24, 0x20), {}, acrossRows),
        3,
        {kBlue, kBlue, kBlue, kBlue, kBlue, kGreen, kWhite, kRed, kRed}},
       {"8-bit grey packets", tgaBytes(tgaSpec(11, 4, 1, 8), {}, {0x81, 7, 0x01, 9, 200}), 4, greys({7, 7, 9, 200})},
       {"32-bit packets skip the extra byte", tgaBytes(tgaSpec(10, 3, 1, 32), {}, {0x82, 1, 2, 3, 99}), 3,
        std::vector<Rgb>(3, Rgb{3, 2, 1})},
       // 256 x 2 in four maximal run packets: 8 bytes of pixel data.
       {"fully packed runs", tgaBytes(tgaSpec(11, 256, 2, 8), {}, {0xFF, 1, 0xFF, 2, 0xFF, 3, 0xFF, 4}), 256,
        greys({3, 4, 1, 2}, 128)}});
}

TEST(Tga, FiveBitComponentsAreWidened) {
  EXPECT_EQ(widen5(31), 255);
  EXPECT_EQ(widen5(16), 132);
  // 16-bit pixel: lo, hi with red in bits 10-14, green 5-9, blue 0-4.
  auto word = [](unsigned r, unsigned g, unsigned b) { return (r << 10) | (g << 5) | b; };
  const unsigned samples[][3] = {{31, 0, 0}, {0, 31, 0}, {0, 0, 31}, {1, 17, 30}, {16, 8, 4}};
  Bytes pixels;
  std::vector<Rgb> widened;
  for (const auto& s : samples) {
    lwbuild::putLE16(pixels, word(s[0], s[1], s[2]) | 0x8000);
    widened.push_back(Rgb{widen5(s[0]), widen5(s[1]), widen5(s[2])});
  }
  Bytes map;  // 16-bit colour map entries get the same widening
  lwbuild::putLE16(map, word(31, 0, 16));
  lwbuild::putLE16(map, word(3, 31, 0));
  expectDecoded(Kind::Tga, {{"15 bits", tgaBytes(tgaSpec(2, 5, 1, 15), {}, pixels), 5, widened},
                            {"16 bits", tgaBytes(tgaSpec(2, 5, 1, 16), {}, pixels), 5, widened},
                            {"16-bit map",
                             tgaBytes(withMap(tgaSpec(1, 2, 1, 8), 2, 16), map, {1, 0}),
                             2,
                             {{widen5(3), 255, 0}, {255, 0, widen5(16)}}}});
}

TEST(Tga, ColourMaps) {
  std::vector<Decoded> cases = {
      // Entries 2, 3, 4 stored (first index 2); index 0, 1 and 9 fall outside.
      {"indexes outside the map are black",
       tgaBytes(withMap(tgaSpec(1, 5, 1, 8), 3, 24, 2), bgr({kRed, kGreen, kBlue}), {2, 3, 4, 0, 9}),
       5,
       {kRed, kGreen, kBlue, kBlack, kBlack}},
      {"32-bit entries, run-length with 16-bit index",
       tgaBytes(withMap(tgaSpec(9, 3, 1, 16), 2, 32), {10, 20, 30, 255, 40, 50, 60, 255}, {0x81, 1, 0, 0x00, 0, 1}),
       3,
       {{60, 50, 40}, {60, 50, 40}, kBlack}},
      {"8-bit grey entries", tgaBytes(withMap(tgaSpec(9, 3, 1, 16), 2, 8), {77, 88}, {0x82, 1, 0}), 3, greys({88}, 3)},
  };
  // True colour with an announced map and an ID field: pixels follow the map.
  for (int type : {2, 3, 10}) {
    TgaSpec s = withMap(tgaSpec(type, 2, 1, type == 3 ? 8 : 24), 4, 15);
    s.idLength = 5;
    Bytes pixels = type == 3 ? Bytes{5, 6} : bgr({kGreen, kRed});
    if (type == 10) pixels.insert(pixels.begin(), 0x01);
    cases.push_back({"map skipped for type " + std::to_string(type), tgaBytes(s, Bytes(8, 0xAB), pixels), 2,
                     type == 3 ? greys({5, 6}) : std::vector<Rgb>{kGreen, kRed}});
  }
  expectDecoded(Kind::Tga, cases);
}

TEST(Tga, RefusedHeadersAndTruncations) {
  const Bytes pixel = {1, 2, 3};
  std::vector<std::pair<std::string, Bytes>> cases = {
      {"type 1 without colour map", tgaBytes(tgaSpec(1, 1, 1, 8), {}, {0})},
      {"type 9 without colour map", tgaBytes(tgaSpec(9, 1, 1, 8), {}, {0x80, 0})},
      {"width 0", tgaBytes(tgaSpec(2, 0, 1, 24), {}, pixel)},
      {"height 0", tgaBytes(tgaSpec(2, 1, 0, 24), {}, pixel)},
      // More pixels than the file could hold, even fully packed, before any allocation.
      {"huge raw", tgaBytes(tgaSpec(2, 65535, 65535, 32), {}, pixel)},
      {"huge run-length", tgaBytes(tgaSpec(10, 65535, 65535, 24), {}, Bytes(1000, 0xFF))},
      {"packed runs one byte short", tgaBytes(tgaSpec(11, 256, 2, 8), {}, {0xFF, 1, 0xFF, 2, 0xFF, 3, 0xFF})},
      {"empty file", {}},
  };
  for (int type : {0, 4, 8, 12, 32, 33, 255})
    cases.push_back({"type " + std::to_string(type), tgaBytes(tgaSpec(type, 1, 1, 24), {}, pixel)});
  for (int depth : {0, 1, 4, 12, 17, 33, 64})
    cases.push_back({"depth " + std::to_string(depth), tgaBytes(tgaSpec(2, 1, 1, depth), {}, Bytes(16, 1))});
  for (int size : {0, 7, 12, 40})
    cases.push_back(
        {"map entry size " + std::to_string(size), tgaBytes(withMap(tgaSpec(1, 1, 1, 8), 1, size), Bytes(8, 0), {0})});
  expectRefused(Kind::Tga, cases);

  TgaSpec mapped = withMap(tgaSpec(9, 3, 2, 8), 2, 24);
  mapped.idLength = 3;
  for (const Bytes& whole : {tgaBytes(tgaSpec(2, 3, 2, 24), {}, noise(18, 1)),
                             tgaBytes(tgaSpec(10, 3, 2, 16), {}, {0x82, 1, 2, 0x02, 3, 4, 5, 6, 7, 8}),
                             tgaBytes(mapped, Bytes(6, 9), {0x01, 0, 1, 0x83, 1})})
    expectEveryCutRefused(Kind::Tga, whole);
}
