// The .x file layer: numbers printed exactly as printf prints them, tokens, names and
// indents, a file that gets the bytes memory would, and the template prologue.
#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "lwbuild.h"
#include "support/context.h"
#include "support/run.h"
#include "xfile/header.h"
#include "xfile/numfmt.h"
#include "xfile/xwriter.h"

using namespace torvo;

using testsupport::TestRun;

namespace {

std::string fixed(double v) {
  char out[kFixedBufferSize];
  return std::string(out, formatFixed(out, v));
}

double fromBits(std::uint64_t bits) { return std::bit_cast<double>(bits); }

std::string text(const XWriter& w) { return std::string(w.buffer.begin(), w.buffer.end()); }

// The values as little-endian bytes, each `width` bytes wide.
std::string le(std::initializer_list<std::uint32_t> values, int width = 2) {
  std::string out;
  for (std::uint32_t v : values)
    for (int i = 0; i < width; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
  return out;
}
std::string name(const std::string& n) { return le({1}) + le({static_cast<std::uint32_t>(n.size())}, 4) + n; }

// Everything written to a file, read back.
std::string fileContents(std::FILE* file) {
  std::string out;
  char block[4096];
  std::rewind(file);
  for (std::size_t n; (n = std::fread(block, 1, sizeof block, file)) > 0;) out.append(block, n);
  return out;
}

}  // namespace

TEST(FormatFixed, SpecialValuesAsGlibcPrintsThem) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const std::pair<double, const char*> rows[] = {
      {0.0, "0.000000"}, {-0.0, "-0.000000"}, {-0.0000004, "-0.000000"}, {inf, "inf"}, {-inf, "-inf"}, {nan, "nan"},
      {-nan, "-nan"}, {21.333333333333332, "21.333333"}, {0.0078125, "0.007812"}, {0.0234375, "0.023438"}};  // ties to even
  for (const auto& [v, text] : rows) EXPECT_EQ(fixed(v), text);
  EXPECT_EQ(fixed(-DBL_MAX).size(), 317u);
}

// Random doubles with exponents from far below the sixth decimal to 2^64, floats as vertices are written, ordinary
// magnitudes, any bit pattern, whole parts of every length, exact binary ties (odd multiples of 1/128) and decimal
// near-ties, each with its negative and both neighbours.
TEST(FormatFixed, AgreesWithPrintfAcrossMagnitudesTiesAndBoundaries) {
  std::vector<double> v = {0.0000005, 2.5e-6, 0.0000015, 4.76837158203125e-7, 0x1p40, 0x1p52, 0x1p53, 0x1p63, 0x1p64, 9007199254.740991,
                           1e15, 1e20, 1e300, 1e308, DBL_MAX, DBL_MIN, std::numeric_limits<double>::denorm_min(), 0.9999995,
                           0.99999949999999994, 999999.9999995, 1.0, 10.0, 123456789.123456789};
  std::mt19937_64 rng(20240611);
  for (int i = 0; i < 200000; ++i) v.push_back(fromBits((static_cast<std::uint64_t>(rng() % 105 + 983) << 52) | (rng() >> 12)));
  for (int i = 0; i < 100000; ++i) v.push_back(std::bit_cast<float>(static_cast<std::uint32_t>(rng())));
  for (int i = 0; i < 50000; ++i) v.push_back(static_cast<double>(rng() % 2000000000) / 1e6 - 1000.0);
  for (int i = 0; i < 20000; ++i) v.push_back(fromBits(rng()));
  for (int i = 0; i < 30000; ++i) {
    const double x = (static_cast<double>(rng() % 1000000007) / 1000000007.0 - 0.5) * std::ldexp(1.0, static_cast<int>(rng() % 60) - 25);
    v.insert(v.end(), {x, static_cast<float>(x), std::round(x), std::round(x) - 0.0000005});
  }
  for (int k = 1; k < 200000; k += 2) v.push_back(k / 128.0);
  for (int k = 0; k < 200000; ++k) v.push_back((k + 0.5) * 1e-6);
  int failures = 0;
  for (double x : v) {
    for (double y : {x, -x, std::nextafter(x, 0.0), -std::nextafter(x, 0.0), std::nextafter(x, 1e308), -std::nextafter(x, 1e308)}) {
      char want[kFixedBufferSize + 8];
      std::snprintf(want, sizeof want, "%f", y);
      if (fixed(y) != want && ++failures <= 5) ADD_FAILURE() << std::hexfloat << y << ": " << fixed(y) << ", not " << want;
    }
  }
  EXPECT_EQ(failures, 0);
}

TEST(FormatInt, EveryDigitCountBoundaryMatchesPrintf) {
  std::vector<long long> values = {LLONG_MIN, LLONG_MAX, 4294967295LL, 4294967296LL, -4294967296LL, 65535, 65536};
  for (long long power = 1;; power *= 10) {
    for (long long v : {power - 1, power, power + 1}) values.insert(values.end(), {v, -v});
    if (power > LLONG_MAX / 10) break;
  }
  for (long long v : values) {
    char expected[32];
    char got[24];
    std::snprintf(expected, sizeof expected, "%lld", v);
    EXPECT_EQ(std::string(got, formatInt(got, v)), expected) << v;
  }
}

TEST(XWriter, BinaryTokensAreLittleEndianAndNamesUnfiltered) {
  const std::uint32_t ints[3] = {7, 0x01020304, 9};
  const float floats[3] = {-2.0f, 0.5f, 1.0f};
  const struct {
    const char* label;
    void (*put)(XWriter&, const std::uint32_t*, const float*);
    std::string bytes;
  } rows[] = {
      {"word", [](XWriter& w, auto, auto) { xPutWord(w, 258); }, le({258})},
      {"word keeps the low 16 bits", [](XWriter& w, auto, auto) { xPutWord(w, 0x12345); }, le({0x2345})},
      {"dword", [](XWriter& w, auto, auto) { xPutDword(w, 258); }, le({258}, 4)},
      {"dword all ones", [](XWriter& w, auto, auto) { xPutDword(w, 0xFFFFFFFFu); }, le({0xFFFFFFFFu}, 4)},
      {"float", [](XWriter& w, auto, auto) { xPutFloat(w, 1.0f); }, le({0x3F800000}, 4)},
      {"name without text", [](XWriter& w, auto, auto) { xPutToken(w, kTokenName, nullptr); }, le({1, 0, 0})},
      {"string", [](XWriter& w, auto, auto) { xPutToken(w, kTokenString, "ab"); }, le({2, 2, 0}) + "ab"},
      {"object without a name", [](XWriter& w, auto, auto) { xBeginObject(w, 3, "Header", nullptr); }, name("Header") + le({10})},
      {"object names unfiltered", [](XWriter& w, auto, auto) { xBeginObject(w, 1, "Mesh", "Cube 1-x"); }, name("Mesh") + name("Cube 1-x") + le({10})},
      {"object end", [](XWriter& w, auto, auto) { xEndObject(w, 1); }, le({11})},
      {"reference", [](XWriter& w, auto, auto) { xPutReference(w, 2, "Mat Red"); }, le({10}) + name("Mat Red") + le({11})},
      {"integer list in order", [](XWriter& w, const std::uint32_t* i, auto) { xPutIntegerList(w, i, 3); }, le({6}) + le({3, 7, 0x01020304, 9}, 4)},
      {"two of the integers", [](XWriter& w, const std::uint32_t* i, auto) { xPutIntegerList(w, i, 2); }, le({6}) + le({2, 7, 0x01020304}, 4)},
      {"float list in order", [](XWriter& w, auto, const float* f) { xPutFloatList(w, f, 3); }, le({7}) + le({3, 0xC0000000u, 0x3F000000, 0x3F800000}, 4)},
      {"one of the floats", [](XWriter& w, auto, const float* f) { xPutFloatList(w, f, 1); }, le({7}) + le({1, 0xC0000000u}, 4)}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.label);
    XWriter w;
    w.binary = true;
    row.put(w, ints, floats);
    EXPECT_EQ(text(w), row.bytes);
  }
}

TEST(XWriter, TextNamesAreFilteredAndCutAt79) {
  const std::string cut(79, 'n');
  const struct {
    const char* label;
    void (*put)(XWriter&);
    std::string text;
  } rows[] = {
      {"indented object", [](XWriter& w) { xBeginObject(w, 1, "Mesh", "Cube 1"); }, " Mesh Cube_1 {\n"},
      {"object end", [](XWriter& w) { xEndObject(w, 1); }, " }\n"},
      {"reference", [](XWriter& w) { xPutReference(w, 2, "MatRed"); }, "  {MatRed}\n"},
      {"object without a name", [](XWriter& w) { xBeginObject(w, 0, "Header", nullptr); }, "Header {\n"},
      {"name filtered to nothing", [](XWriter& w) { xBeginObject(w, 0, "Mesh", "-.-"); }, "Mesh  {\n"},
      {"reference filtered", [](XWriter& w) { xPutReference(w, 0, "My Obj-1.lwo"); }, "{My_Obj1lwo}\n"},
      {"long object name", [](XWriter& w) { xBeginObject(w, 0, "Frame", std::string(100, 'n').c_str()); }, "Frame " + cut + " {\n"},
      {"long reference", [](XWriter& w) { xPutReference(w, 0, std::string(100, 'n')); }, "{" + cut + "}\n"},
      {"dropped characters do not count", [](XWriter& w) { xPutReference(w, 0, std::string(30, '-') + std::string(79, 'k')); },
       "{" + std::string(79, 'k') + "}\n"},
      {"fixed", [](XWriter& w) { xPutFixed(w, 0.5); }, "0.500000"},
      {"negative zero", [](XWriter& w) { xPutFixed(w, -0.0); }, "-0.000000"},
      {"int", [](XWriter& w) { xPutInt(w, -42); }, "-42"}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.label);
    XWriter w;
    row.put(w);
    EXPECT_EQ(text(w), row.text);
  }
  for (int depth : {-5, 0, 1, 63, 64, 65, 127, 128, 129, 5000}) {
    SCOPED_TRACE(depth);
    XWriter d;
    xPutIndent(d, depth);
    EXPECT_EQ(text(d), std::string(depth > 0 ? static_cast<std::size_t>(depth) : 0, ' '));
  }
}

TEST(XWriter, FileGetsTheSameBytesAsMemoryAcrossBlocks) {
  std::mt19937 random(7);
  std::vector<std::uint32_t> ints(200000);
  for (std::uint32_t& v : ints) v = static_cast<std::uint32_t>(random());
  std::vector<float> floats(150000);
  for (float& f : floats) f = static_cast<float>(random() % 2000000) / 1000.0f - 1000.0f;
  // Small pieces and lists larger than the writer's block, mixed.
  auto writeAll = [&](XWriter& w) {
    for (int depth : {0, 3, 64, 65, 700}) {
      xPutIndent(w, depth);
      xPutText(w, "Frame {\n");
    }
    xPutIntegerList(w, ints.data(), ints.size());
    for (std::size_t i = 0; i < 20000; ++i) {
      xPutFixed(w, floats[i]);
      xPutChar(w, ';');
      xPutInt(w, ints[i] - 1000LL);
    }
    xPutFloatList(w, floats.data(), floats.size());
    xPutToken(w, kTokenName, "Mesh");
    xPutDwords(w, ints.data(), 3);
    xPutFloats(w, floats.data(), 1);
    for (int i = 0; i < 3000; ++i) xPutText(w, std::string(1000, 'z'));
    xPutText(w, std::string(300000, 'y'));  // larger than a block: handed to the file directly
  };
  XWriter memory;
  XWriter toFile;
  writeAll(memory);
  toFile.file = std::tmpfile();
  ASSERT_NE(toFile.file, nullptr);
  writeAll(toFile);
  ASSERT_EQ(xFlush(toFile), Status::kOk);
  EXPECT_TRUE(toFile.buffer.empty());
  EXPECT_TRUE(fileContents(toFile.file) == text(memory));
  std::fclose(toFile.file);
}

TEST(XHeader, TemplatePiecesAndMarkers) {
  const std::string head = "xof 0302txt 0032\n";
  const std::string header = "Header {\n 1;\n 0;\n 1;\n}\n\n";
  const std::string straddling = head + std::string(200, 'x') + "\n" + std::string(75, '/') + "FrameTransformMatrix tail\ntemplate Frame {}\n";
  const std::string extras = head + "FrameTransformMatrix\n// Written only into files that use them\n\ntemplate MeshVertexColors {\n}\n\n"
                             "template XSkinMeshHeader {\n}\ntemplate SkinWeights {\n}\n\ntemplate SkinWeightsOther {\n}\n";
  const struct {
    const char* label;
    std::string file;
    unsigned templates;
    std::string kept;  // the file's text the prologue keeps
  } rows[] = {
      {"no trailing line break", head + "template Mesh {}\nno trailing line break", 0, head + "template Mesh {}\nno trailing line break"},
      {"marker straddling two pieces of a long line is missed", straddling, 0, straddling},
      {"marker in a later piece cuts there", head + std::string(100, '/') + "FrameTransformMatrix\nrest\n", 0, head + std::string(79, '/')},
      {"marker at a line start", head + "// FloatKeys\nFrameTransformMatrix\n", 0, head + "// FloatKeys\n"},
      // Templates past the marker only on request, each with the lines up to the next; the
      // lines between the marker and the first template, as in the bundled file, never.
      {"no extras asked", extras, 0, head},
      {"vertex colours", extras, kTemplatesVertexColors, head + "template MeshVertexColors {\n}\n\n"},
      {"skin", extras, kTemplatesSkin, head + "template XSkinMeshHeader {\n}\ntemplate SkinWeights {\n}\n\n"}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.label);
    XWriter w;
    TestRun run;
    writeXHeader(run.context, row.file, w, 0, row.templates);
    EXPECT_EQ(text(w), row.kept + header);
    EXPECT_EQ(run.printed, "writing template...\n");
  }
}
