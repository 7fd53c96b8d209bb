#include <gtest/gtest.h>

#include "image/image_support.h"
#include "image/ppm.h"

using namespace imagetest;
using lwbuild::Bytes;
using lwbuild::TgaSpec;

namespace {

const Rgb kRed{255, 0, 0}, kGreen{0, 255, 0}, kBlue{0, 0, 255}, kWhite{255, 255, 255}, kBlack{0, 0, 0};

void putBgr(Bytes& b, Rgb c) {
  b.push_back(c.b);
  b.push_back(c.g);
  b.push_back(c.r);
}

TgaSpec spec(int type, int width, int height, int depth, int descriptor = 0) {
  TgaSpec s;
  s.imageType = type;
  s.width = width;
  s.height = height;
  s.pixelDepth = depth;
  s.descriptor = descriptor;
  return s;
}

Picture convertOk(const Bytes& tga) {
  const Conversion c = convert(Kind::Tga, tga);
  EXPECT_EQ(c.result, 1);
  Picture p = parsePpm(c.output);
  EXPECT_TRUE(p.valid);
  return p;
}

void expectRefused(const Bytes& tga, const std::string& what) {
  const Conversion c = convert(Kind::Tga, tga);
  EXPECT_EQ(c.result, -1) << what;
  EXPECT_TRUE(c.output.empty()) << what;
}

// One grey level per row (row r holds value r * 10 + 1), so row order is visible.
Bytes greyRows(int width, int height) {
  Bytes pixels;
  for (int r = 0; r < height; ++r) pixels.insert(pixels.end(), static_cast<std::size_t>(width), r * 10 + 1);
  return pixels;
}
std::vector<int> rowOrder(const Picture& p) {
  std::vector<int> stored;
  for (long y = 0; y < p.height; ++y) stored.push_back((p.at(0, y).r - 1) / 10);
  return stored;
}

}  // namespace

TEST(Tga, RowOrderFollowsTheDescriptor) {
  Bytes pixels;
  putBgr(pixels, kRed);
  putBgr(pixels, kGreen);
  putBgr(pixels, kBlue);
  putBgr(pixels, kWhite);
  const Conversion c = convert(Kind::Tga, lwbuild::tgaBytes(spec(2, 2, 2, 24), {}, pixels));
  ASSERT_EQ(c.result, 1);
  const std::string header = "P6\n# converted by vemo\n2 2\n255\n";
  EXPECT_EQ(c.output.substr(0, header.size()), header);
  const Picture bottomUp = parsePpm(c.output);
  ASSERT_TRUE(bottomUp.valid);
  EXPECT_EQ(bottomUp.at(0, 0), kBlue);  // the file's last row comes first
  EXPECT_EQ(bottomUp.at(1, 0), kWhite);
  EXPECT_EQ(bottomUp.at(0, 1), kRed);

  const Picture topDown = convertOk(lwbuild::tgaBytes(spec(2, 2, 2, 24, 0x20), {}, pixels));
  ASSERT_TRUE(topDown.valid);
  EXPECT_EQ(topDown.at(0, 0), kRed);
  EXPECT_EQ(topDown.at(1, 1), kWhite);
}

TEST(Tga, InterleavedRowsArePlacedPassByPass) {
  // Two-way, top to bottom, height 5: stored rows are 0, 2, 4, 1, 3.
  Picture p = convertOk(lwbuild::tgaBytes(spec(3, 1, 5, 8, 0x20 | 0x40), {}, greyRows(1, 5)));
  EXPECT_EQ(rowOrder(p), (std::vector<int>{0, 3, 1, 4, 2}));
  // Four-way, height 6: 0, 4, 1, 5, 2, 3.
  p = convertOk(lwbuild::tgaBytes(spec(3, 2, 6, 8, 0x20 | 0x80), {}, greyRows(2, 6)));
  EXPECT_EQ(rowOrder(p), (std::vector<int>{0, 2, 4, 5, 1, 3}));
  // Bottom-up two-way: row n lands at height - 1 - n.
  p = convertOk(lwbuild::tgaBytes(spec(3, 1, 5, 8, 0x40), {}, greyRows(1, 5)));
  EXPECT_EQ(rowOrder(p), (std::vector<int>{2, 4, 1, 3, 0}));
  // Interleave value 3 means none.
  p = convertOk(lwbuild::tgaBytes(spec(3, 1, 3, 8, 0x20 | 0xC0), {}, greyRows(1, 3)));
  EXPECT_EQ(rowOrder(p), (std::vector<int>{0, 1, 2}));
}

TEST(Tga, RunLengthPacketsAndRunsAcrossRows) {
  // 0x83: one pixel repeated 4 times; 0x02: three literal pixels. Width 7 for one row.
  Bytes data = {0x83};
  putBgr(data, kRed);
  data.push_back(0x02);
  putBgr(data, kGreen);
  putBgr(data, kBlue);
  putBgr(data, kWhite);
  Picture p = convertOk(lwbuild::tgaBytes(spec(10, 7, 1, 24), {}, data));
  ASSERT_TRUE(p.valid);
  for (int x = 0; x < 4; ++x) EXPECT_EQ(p.at(x, 0), kRed);
  EXPECT_EQ(p.at(4, 0), kGreen);
  EXPECT_EQ(p.at(5, 0), kBlue);
  EXPECT_EQ(p.at(6, 0), kWhite);

  // Width 3, top-down: a run of 5 fills row 0 and two pixels of row 1; a raw packet
  // of 2 starts in row 1 and ends in row 2; a run of 2 finishes row 2.
  data = {0x84};
  putBgr(data, kBlue);
  data.push_back(0x01);
  putBgr(data, kGreen);
  putBgr(data, kWhite);
  data.push_back(0x81);
  putBgr(data, kRed);
  p = convertOk(lwbuild::tgaBytes(spec(10, 3, 3, 24, 0x20), {}, data));
  ASSERT_TRUE(p.valid);
  const std::vector<Rgb> expected = {kBlue, kBlue, kBlue, kBlue, kBlue, kGreen, kWhite, kRed, kRed};
  EXPECT_EQ(p.pixels, expected);

  // The same with 8-bit grey and 32-bit pixels (the extra byte is skipped).
  p = convertOk(lwbuild::tgaBytes(spec(11, 4, 1, 8), {}, {0x81, 7, 0x01, 9, 200}));
  EXPECT_EQ(p.pixels, (std::vector<Rgb>{{7, 7, 7}, {7, 7, 7}, {9, 9, 9}, {200, 200, 200}}));
  p = convertOk(lwbuild::tgaBytes(spec(10, 3, 1, 32), {}, {0x82, 1, 2, 3, 99}));
  EXPECT_EQ(p.pixels, (std::vector<Rgb>{{3, 2, 1}, {3, 2, 1}, {3, 2, 1}}));
}

TEST(Tga, FiveBitComponentsAreWidened) {
  // 16-bit pixel: lo, hi with red in bits 10-14, green 5-9, blue 0-4.
  auto word = [](unsigned r, unsigned g, unsigned b) { return (r << 10) | (g << 5) | b; };
  Bytes pixels;
  const unsigned samples[][3] = {{31, 0, 0}, {0, 31, 0}, {0, 0, 31}, {1, 17, 30}, {16, 8, 4}};
  for (const auto& s : samples) lwbuild::putLE16(pixels, word(s[0], s[1], s[2]) | 0x8000);
  for (int depth : {15, 16}) {
    const Picture p = convertOk(lwbuild::tgaBytes(spec(2, 5, 1, depth), {}, pixels));
    ASSERT_TRUE(p.valid);
    for (int i = 0; i < 5; ++i)
      EXPECT_EQ(p.at(i, 0), (Rgb{widen5(samples[i][0]), widen5(samples[i][1]), widen5(samples[i][2])}))
          << "depth " << depth << " pixel " << i;
  }
  EXPECT_EQ(widen5(31), 255);
  EXPECT_EQ(widen5(16), 132);

  // 16-bit colour map entries get the same widening.
  TgaSpec mapped = spec(1, 2, 1, 8);
  mapped.colorMapType = 1;
  mapped.mapLength = 2;
  mapped.mapEntrySize = 16;
  Bytes map;
  lwbuild::putLE16(map, word(31, 0, 16));
  lwbuild::putLE16(map, word(3, 31, 0));
  const Picture q = convertOk(lwbuild::tgaBytes(mapped, map, {1, 0}));
  EXPECT_EQ(q.pixels, (std::vector<Rgb>{{widen5(3), 255, 0}, {255, 0, widen5(16)}}));
}

TEST(Tga, ColourMapsAndIndexesOutsideThem) {
  // Entries 2, 3, 4 stored (first index 2); index 0, 1 and 9 fall outside.
  TgaSpec s = spec(1, 5, 1, 8);
  s.colorMapType = 1;
  s.firstIndex = 2;
  s.mapLength = 3;
  s.mapEntrySize = 24;
  Bytes map;
  putBgr(map, kRed);
  putBgr(map, kGreen);
  putBgr(map, kBlue);
  Picture p = convertOk(lwbuild::tgaBytes(s, map, {2, 3, 4, 0, 9}));
  EXPECT_EQ(p.pixels, (std::vector<Rgb>{kRed, kGreen, kBlue, kBlack, kBlack}));

  // 32-bit and 8-bit (grey) entries; run-length type 9 with a 16-bit index.
  s = spec(9, 3, 1, 16);
  s.colorMapType = 1;
  s.mapLength = 2;
  s.mapEntrySize = 32;
  p = convertOk(lwbuild::tgaBytes(s, {10, 20, 30, 255, 40, 50, 60, 255}, {0x81, 1, 0, 0x00, 0, 1}));
  EXPECT_EQ(p.pixels, (std::vector<Rgb>{{60, 50, 40}, {60, 50, 40}, kBlack}));
  s.mapEntrySize = 8;
  p = convertOk(lwbuild::tgaBytes(s, {77, 88}, {0x82, 1, 0}));
  EXPECT_EQ(p.pixels, (std::vector<Rgb>{{88, 88, 88}, {88, 88, 88}, {88, 88, 88}}));
}

TEST(Tga, AnnouncedColourMapIsSkippedForTrueColour) {
  // Types 2, 3, 10 with colour map type 1 and an ID field: pixels follow the map.
  for (int type : {2, 3, 10}) {
    TgaSpec s = spec(type, 2, 1, type == 3 ? 8 : 24);
    s.idLength = 5;
    s.colorMapType = 1;
    s.mapLength = 4;
    s.mapEntrySize = 15;
    const Bytes map(8, 0xAB);
    Bytes pixels;
    if (type == 10) pixels.push_back(0x01);
    if (type == 3) {
      pixels.push_back(5);
      pixels.push_back(6);
    } else {
      putBgr(pixels, kGreen);
      putBgr(pixels, kRed);
    }
    const Picture p = convertOk(lwbuild::tgaBytes(s, map, pixels));
    const std::vector<Rgb> expected =
        type == 3 ? std::vector<Rgb>{{5, 5, 5}, {6, 6, 6}} : std::vector<Rgb>{kGreen, kRed};
    EXPECT_EQ(p.pixels, expected) << "type " << type;
  }
}

TEST(Tga, RefusedHeaders) {
  const Bytes pixel = {1, 2, 3};
  TgaSpec noMap = spec(1, 1, 1, 8);
  expectRefused(lwbuild::tgaBytes(noMap, {}, {0}), "type 1 without colour map");
  noMap.imageType = 9;
  expectRefused(lwbuild::tgaBytes(noMap, {}, {0x80, 0}), "type 9 without colour map");
  for (int type : {0, 4, 8, 12, 32, 33, 255})
    expectRefused(lwbuild::tgaBytes(spec(type, 1, 1, 24), {}, pixel), "type " + std::to_string(type));
  for (int depth : {0, 1, 4, 12, 17, 33, 64})
    expectRefused(lwbuild::tgaBytes(spec(2, 1, 1, depth), {}, Bytes(16, 1)), "depth " + std::to_string(depth));
  TgaSpec badEntry = spec(1, 1, 1, 8);
  badEntry.colorMapType = 1;
  badEntry.mapLength = 1;
  for (int size : {0, 7, 12, 40}) {
    badEntry.mapEntrySize = size;
    expectRefused(lwbuild::tgaBytes(badEntry, Bytes(8, 0), {0}), "map entry size " + std::to_string(size));
  }
  expectRefused(lwbuild::tgaBytes(spec(2, 0, 1, 24), {}, pixel), "width 0");
  expectRefused(lwbuild::tgaBytes(spec(2, 1, 0, 24), {}, pixel), "height 0");
  // More pixels than the file could hold, even fully packed, before any allocation.
  expectRefused(lwbuild::tgaBytes(spec(2, 65535, 65535, 32), {}, pixel), "huge raw");
  expectRefused(lwbuild::tgaBytes(spec(10, 65535, 65535, 24), {}, Bytes(1000, 0xFF)), "huge run-length");
  expectRefused({}, "empty file");
}

TEST(Tga, FullyPackedRunsNeedOnlyTwoBytesPer128Pixels) {
  // 256 x 2 grey pixels in four maximal run packets: 8 bytes of pixel data.
  const Picture p = convertOk(lwbuild::tgaBytes(spec(11, 256, 2, 8), {}, {0xFF, 1, 0xFF, 2, 0xFF, 3, 0xFF, 4}));
  ASSERT_TRUE(p.valid);
  EXPECT_EQ(p.at(0, 1), (Rgb{1, 1, 1}));
  EXPECT_EQ(p.at(255, 0), (Rgb{4, 4, 4}));
  expectRefused(lwbuild::tgaBytes(spec(11, 256, 2, 8), {}, {0xFF, 1, 0xFF, 2, 0xFF, 3, 0xFF}), "one byte short");
}

TEST(Tga, EveryTruncationIsRefusedWithNothingWritten) {
  TgaSpec mapped = spec(9, 3, 2, 8);
  mapped.idLength = 3;
  mapped.colorMapType = 1;
  mapped.mapLength = 2;
  mapped.mapEntrySize = 24;
  const std::vector<Bytes> images = {
      lwbuild::tgaBytes(spec(2, 3, 2, 24), {}, noise(18, 1)),
      lwbuild::tgaBytes(spec(10, 3, 2, 16), {}, {0x82, 1, 2, 0x02, 3, 4, 5, 6, 7, 8}),
      lwbuild::tgaBytes(mapped, Bytes(6, 9), {0x01, 0, 1, 0x83, 1}),
  };
  for (const Bytes& whole : images) {
    ASSERT_EQ(convert(Kind::Tga, whole).result, 1);
    for (std::size_t cut = 0; cut < whole.size(); ++cut) {
      const Conversion c = convert(Kind::Tga, Bytes(whole.begin(), whole.begin() + static_cast<long>(cut)));
      EXPECT_EQ(c.result, -1) << "cut at " << cut;
      EXPECT_TRUE(c.output.empty()) << "cut at " << cut;
    }
  }
}

TEST(Tga, MissingStreams) {
  std::FILE* f = std::tmpfile();
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(convertTgaToPpm("vemo", nullptr, f), -1);
  EXPECT_EQ(convertTgaToPpm("vemo", f, nullptr), -1);
  std::fclose(f);
}
