#include <gtest/gtest.h>

#include "image/image_support.h"
#include "image/ppm.h"
#include "support/run.h"

using namespace imagetest;
using lwbuild::Bytes;

namespace {

const Rgb kRed{255, 0, 0}, kGreen{0, 255, 0}, kBlue{0, 0, 255}, kWhite{255, 255, 255}, kBlack{0, 0, 0};

void putBgr(Bytes& b, Rgb c) {
  b.push_back(c.b);
  b.push_back(c.g);
  b.push_back(c.r);
}
Bytes table(std::initializer_list<Rgb> colours) {
  Bytes t;
  for (Rgb c : colours) {
    putBgr(t, c);
    t.push_back(0);
  }
  return t;
}

Picture convertOk(const Bytes& bmp) {
  const Conversion c = convert(Kind::Bmp, bmp);
  EXPECT_EQ(c.result, 1);
  Picture p = parsePpm(c.output);
  EXPECT_TRUE(p.valid);
  return p;
}

void expectRefused(const Bytes& bmp, const char* what) {
  const Conversion c = convert(Kind::Bmp, bmp);
  EXPECT_EQ(c.result, -1) << what;
  EXPECT_TRUE(c.output.empty()) << what;
}

void setLE32(Bytes& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}
void setLE16(Bytes& b, std::size_t at, unsigned v) {
  b[at] = static_cast<std::uint8_t>(v);
  b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

// Stored bottom row first: blue, green / red, white; each 6-byte row padded to 8.
Bytes twoByTwo() {
  Bytes rows;
  putBgr(rows, kBlue);
  putBgr(rows, kGreen);
  rows.insert(rows.end(), {0, 0});
  putBgr(rows, kRed);
  putBgr(rows, kWhite);
  rows.insert(rows.end(), {0, 0});
  return lwbuild::bmpBytes(2, 2, 24, {}, rows);
}

}  // namespace

TEST(Bmp, TwentyFourBitRowsComeOutTopRowFirst) {
  const Conversion c = convert(Kind::Bmp, twoByTwo());
  ASSERT_EQ(c.result, 1);
  const std::string header = "P6\n# converted by vemo\n2 2\n255\n";
  ASSERT_EQ(c.output.substr(0, header.size()), header);
  const Picture p = parsePpm(c.output);
  ASSERT_TRUE(p.valid);
  EXPECT_EQ(p.at(0, 0), kRed);
  EXPECT_EQ(p.at(1, 0), kWhite);
  EXPECT_EQ(p.at(0, 1), kBlue);
  EXPECT_EQ(p.at(1, 1), kGreen);
}

TEST(Bmp, NegativeHeightIsStoredTopRowFirst) {
  Bytes bmp = twoByTwo();
  setLE32(bmp, 22, static_cast<std::uint32_t>(-2));
  const Picture p = convertOk(bmp);
  ASSERT_TRUE(p.valid);
  EXPECT_EQ(p.at(0, 0), kBlue);
  EXPECT_EQ(p.at(1, 0), kGreen);
  EXPECT_EQ(p.at(0, 1), kRed);
  EXPECT_EQ(p.at(1, 1), kWhite);
}

TEST(Bmp, FourBitPixelsTakeTheHighNibbleFirst) {
  // Byte 0x12: left pixel entry 1, right pixel entry 2; a third pixel in an odd width.
  const Bytes rows = {0x12, 0x00, 0x00, 0x00};
  const Picture p = convertOk(lwbuild::bmpBytes(3, 1, 4, table({kWhite, kRed, kGreen}), rows));
  ASSERT_TRUE(p.valid);
  ASSERT_EQ(p.width, 3);
  EXPECT_EQ(p.at(0, 0), kRed);
  EXPECT_EQ(p.at(1, 0), kGreen);
  EXPECT_EQ(p.at(2, 0), kWhite);
}

TEST(Bmp, IndexesBeyondTheColourTableAreBlack) {
  const Bytes rows = {0, 1, 2, 200};
  const Picture p = convertOk(lwbuild::bmpBytes(4, 1, 8, table({kBlue, kGreen}), rows));
  ASSERT_TRUE(p.valid);
  EXPECT_EQ(p.at(0, 0), kBlue);
  EXPECT_EQ(p.at(1, 0), kGreen);
  EXPECT_EQ(p.at(2, 0), kBlack);
  EXPECT_EQ(p.at(3, 0), kBlack);

  const Bytes nibbles = {0x0F, 0, 0, 0};
  const Picture q = convertOk(lwbuild::bmpBytes(2, 1, 4, table({kRed}), nibbles));
  ASSERT_TRUE(q.valid);
  EXPECT_EQ(q.at(0, 0), kRed);
  EXPECT_EQ(q.at(1, 0), kBlack);
}

TEST(Bmp, LargerInfoHeaderMovesTheColourTable) {
  // A 124-byte info header: the table starts after it, not at byte 54.
  Bytes bmp = lwbuild::bmpBytes(2, 1, 8, table({kRed, kGreen}), {1, 0, 0, 0});
  bmp.insert(bmp.begin() + 54, 124 - 40, 0xEE);
  setLE32(bmp, 10, 54 + 84 + 8);
  setLE32(bmp, 14, 124);
  const Picture p = convertOk(bmp);
  ASSERT_TRUE(p.valid);
  EXPECT_EQ(p.at(0, 0), kGreen);
  EXPECT_EQ(p.at(1, 0), kRed);
}

TEST(Bmp, UnsupportedKindsAreRefusedWithNothingWritten) {
  const Bytes rows(16, 0);
  expectRefused(lwbuild::bmpBytes(2, 2, 8, table({kRed}), rows, 1), "RLE8");
  expectRefused(lwbuild::bmpBytes(2, 2, 4, table({kRed}), rows, 2), "RLE4");
  expectRefused(lwbuild::bmpBytes(2, 2, 24, {}, rows, 3), "bit fields");
  for (int bits : {1, 2, 16, 32, 0, 48})
    expectRefused(lwbuild::bmpBytes(2, 2, bits, table({kRed, kWhite}), Bytes(32, 0)), "bits per pixel");
  Bytes wrongMagic = twoByTwo();
  wrongMagic[0] = 'X';
  expectRefused(wrongMagic, "magic");
  Bytes core = twoByTwo();
  setLE32(core, 14, 12);
  expectRefused(core, "OS/2 core header");
  expectRefused({}, "empty file");
}

TEST(Bmp, ImpossibleGeometryIsRefusedBeforeAllocating) {
  struct Case {
    std::int32_t width, height;
    const char* what;
  };
  for (const Case& c : {Case{0, 2, "width 0"}, Case{-2, 2, "negative width"}, Case{2, 0, "height 0"},
                        Case{0x7FFFFFFF, 0x7FFFFFFF, "huge"}, Case{0x7FFFFFFF, -0x7FFFFFFF - 1, "huge top-down"},
                        Case{1, 0x7FFFFFFF, "tall"}, Case{0x40000000, 1, "wide"}}) {
    Bytes bmp = twoByTwo();
    setLE32(bmp, 18, static_cast<std::uint32_t>(c.width));
    setLE32(bmp, 22, static_cast<std::uint32_t>(c.height));
    expectRefused(bmp, c.what);
  }
  Bytes lowOffset = twoByTwo();
  setLE32(lowOffset, 10, 40);
  expectRefused(lowOffset, "pixel data offset below the headers");
  Bytes farOffset = twoByTwo();
  setLE32(farOffset, 10, 0xFFFFFFF0u);
  expectRefused(farOffset, "pixel data offset past the end");
  Bytes planes = twoByTwo();
  setLE16(planes, 26, 7);  // unused field: still fine
  EXPECT_EQ(convert(Kind::Bmp, planes).result, 1);
}

TEST(Bmp, EveryTruncationIsRefusedWithNothingWritten) {
  for (const Bytes& whole : {twoByTwo(), lwbuild::bmpBytes(3, 2, 4, table({kRed, kBlue}), Bytes(8, 0x10)),
                             lwbuild::bmpBytes(3, 2, 8, table({kRed, kBlue}), Bytes(8, 1))}) {
    ASSERT_EQ(convert(Kind::Bmp, whole).result, 1);
    for (std::size_t cut = 0; cut < whole.size(); ++cut) {
      const Conversion c = convert(Kind::Bmp, Bytes(whole.begin(), whole.begin() + static_cast<long>(cut)));
      EXPECT_EQ(c.result, -1) << "cut at " << cut;
      EXPECT_TRUE(c.output.empty()) << "cut at " << cut;
    }
  }
}

TEST(Bmp, MissingStreamsAndWriteFailures) {
  std::FILE* f = std::tmpfile();
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(convertBmpToPpm("vemo", nullptr, f), -1);
  EXPECT_EQ(convertBmpToPpm("vemo", f, nullptr), -1);
  std::fclose(f);

  // A destination that cannot be written to gives -2.
  testsupport::TempDir dir;
  const Bytes bmp = twoByTwo();
  lwbuild::writeFile(dir / "in.bmp", bmp);
  std::FILE* empty = std::fopen((dir / "out.ppm").c_str(), "wb");
  ASSERT_NE(empty, nullptr);
  std::fclose(empty);
  std::FILE* source = std::fopen((dir / "in.bmp").c_str(), "rb");
  std::FILE* readOnly = std::fopen((dir / "out.ppm").c_str(), "rb");
  ASSERT_NE(source, nullptr);
  ASSERT_NE(readOnly, nullptr);
  EXPECT_EQ(convertBmpToPpm("vemo", source, readOnly), -2);
  std::fclose(source);
  std::fclose(readOnly);
}
