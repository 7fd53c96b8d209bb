// The .x writer's primitives: tokens, names, indents, and a file that gets exactly the
// bytes the memory buffer would, however the writes fall across its blocks.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "xfile/xwriter.h"

namespace {

std::string text(const XWriter& w) { return std::string(w.buffer.begin(), w.buffer.end()); }

// The values as little-endian bytes, each `width` bytes wide.
std::string le(std::initializer_list<std::uint32_t> words, int width = 2) {
  std::string out;
  for (std::uint32_t v : words)
    for (int i = 0; i < width; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
  return out;
}
std::string name(const std::string& n) { return le({1}) + le({static_cast<std::uint32_t>(n.size())}, 4) + n; }

// Everything written to a file writer, read back.
std::string fileContents(std::FILE* file) {
  std::string out;
  std::rewind(file);
  char block[4096];
  for (std::size_t n; (n = std::fread(block, 1, sizeof block, file)) > 0;) out.append(block, n);
  return out;
}

}  // namespace

TEST(XWriter, BinaryTokensAreLittleEndianAndNamesUnfiltered) {
  XWriter w;
  w.binary = true;
  xPutWord(w, 258), xPutDword(w, 258), xPutDword(w, static_cast<std::uint32_t>(-1)), xPutFloat(w, 1.0f);
  xPutWord(w, 0x12345);  // only the low 16 bits
  xPutToken(w, kTokenName, nullptr), xPutToken(w, kTokenString, "ab"), xPutWord(w, kTokenSemicolon);
  xBeginObject(w, 3, "Header", nullptr), xBeginObject(w, 1, "Mesh", "Cube 1-x"), xEndObject(w, 1);
  xPutReference(w, 2, "Mat Red");
  const std::uint32_t ints[2] = {7, 0x01020304};
  const float floats[1] = {-2.0f};
  xPutIntegerList(w, ints, 2), xPutFloatList(w, floats, 1);
  EXPECT_EQ(text(w), le({258, 258, 0, 0xFFFF, 0xFFFF, 0, 0x3F80, 0x2345, 1, 0, 0, 2, 2, 0}) + "ab" + le({20}) +
                         name("Header") + le({10}) + name("Mesh") + name("Cube 1-x") + le({10, 11, 10}) + name("Mat Red") +
                         le({11, 6}) + le({2, 7, 0x01020304}, 4) + le({7}) + le({1, 0xC0000000u}, 4));
}

TEST(XWriter, TextNamesAreFilteredAndCutAt79AndIndentsHaveAnyDepth) {
  XWriter w;
  xBeginObject(w, 1, "Mesh", "Cube 1"), xEndObject(w, 1), xPutReference(w, 2, "MatRed");
  xBeginObject(w, 0, "Header", nullptr), xBeginObject(w, 0, "Mesh", "-.-");  // filters to nothing
  xPutReference(w, 0, "My Obj-1.lwo");
  const std::string longName(100, 'n'), cut(79, 'n');
  xBeginObject(w, 0, "Frame", longName.c_str()), xPutReference(w, 0, longName);
  xPutReference(w, 0, std::string(30, '-') + std::string(79, 'k'));  // dropped characters do not count
  xPutFixed(w, 0.5), xPutChar(w, ';'), xPutFixed(w, -0.0), xPutChar(w, ';'), xPutInt(w, -42);
  EXPECT_EQ(text(w), " Mesh Cube_1 {\n }\n  {MatRed}\nHeader {\nMesh  {\n{My_Obj1lwo}\nFrame " + cut + " {\n{" + cut +
                         "}\n{" + std::string(79, 'k') + "}\n0.500000;-0.000000;-42");
  for (int depth : {-5, 0, 1, 63, 64, 65, 127, 128, 129, 5000}) {
    XWriter d;
    xPutIndent(d, depth);
    EXPECT_EQ(text(d), std::string(depth > 0 ? static_cast<std::size_t>(depth) : 0, ' ')) << depth;
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
    for (int depth : {0, 3, 64, 65, 700}) xPutIndent(w, depth), xPutText(w, "Frame {\n");
    xPutIntegerList(w, ints.data(), ints.size());
    for (std::size_t i = 0; i < 20000; ++i) xPutFixed(w, floats[i]), xPutChar(w, ';'), xPutInt(w, ints[i] - 1000LL);
    xPutFloatList(w, floats.data(), floats.size());
    xPutToken(w, kTokenName, "Mesh"), xPutDwords(w, ints.data(), 3), xPutFloats(w, floats.data(), 1);
    for (int i = 0; i < 3000; ++i) xPutText(w, std::string(1000, 'z'));
  };
  XWriter memory, toFile;
  writeAll(memory);
  toFile.file = std::tmpfile();
  ASSERT_NE(toFile.file, nullptr);
  writeAll(toFile);
  ASSERT_EQ(xFlush(toFile), 0);
  EXPECT_TRUE(toFile.buffer.empty());
  EXPECT_TRUE(fileContents(toFile.file) == text(memory));
  std::fclose(toFile.file);
  XWriter small;
  xPutIntegerList(small, ints.data(), 2);
  EXPECT_EQ(text(small), le({6}) + le({2, ints[0], ints[1]}, 4));
}
