#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "xfile/xwriter.h"

namespace {

std::vector<unsigned> bytesOf(const XWriter& w) {
  std::vector<unsigned> out;
  for (char c : w.buffer) out.push_back(static_cast<unsigned char>(c));
  return out;
}

std::string textOf(const XWriter& w) { return std::string(w.buffer.begin(), w.buffer.end()); }

XWriter binaryWriter() {
  XWriter w;
  w.binary = true;
  return w;
}

// Name token bytes: 01 00, little-endian length, the name's bytes.
std::vector<unsigned> nameToken(const std::string& name) {
  std::vector<unsigned> b = {1, 0, static_cast<unsigned>(name.size()), 0, 0, 0};
  for (char c : name) b.push_back(static_cast<unsigned char>(c));
  return b;
}

std::vector<unsigned> concat(std::initializer_list<std::vector<unsigned>> parts) {
  std::vector<unsigned> out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

}  // namespace

TEST(XWriterBinary, WordDwordFloatAreLittleEndian) {
  XWriter w = binaryWriter();
  xPutWord(w, 258);
  xPutDword(w, 258);
  xPutDword(w, static_cast<std::uint32_t>(-1));
  xPutFloat(w, 1.0f);
  xPutWord(w, 0x12345);  // only the low 16 bits
  EXPECT_EQ(bytesOf(w), (std::vector<unsigned>{0x02, 0x01, 0x02, 0x01, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00,
                                               0x80, 0x3F, 0x45, 0x23}));
}

TEST(XWriterBinary, TokenWithoutTextHasLengthZero) {
  XWriter w = binaryWriter();
  xPutToken(w, kTokenName, nullptr);
  EXPECT_EQ(bytesOf(w), (std::vector<unsigned>{1, 0, 0, 0, 0, 0}));
  w.buffer.clear();
  xPutToken(w, kTokenString, "ab");
  xPutWord(w, kTokenSemicolon);
  EXPECT_EQ(bytesOf(w), (std::vector<unsigned>{2, 0, 2, 0, 0, 0, 'a', 'b', 20, 0}));
}

TEST(XWriterBinary, ObjectsAndReferencesKeepNamesUnsanitized) {
  XWriter w = binaryWriter();
  xBeginObject(w, 3, "Header", nullptr);
  EXPECT_EQ(bytesOf(w), concat({nameToken("Header"), {10, 0}}));

  w.buffer.clear();
  xBeginObject(w, 1, "Mesh", "Cube 1-x");
  xEndObject(w, 1);
  EXPECT_EQ(bytesOf(w), concat({nameToken("Mesh"), nameToken("Cube 1-x"), {10, 0, 11, 0}}));

  w.buffer.clear();
  xPutReference(w, 2, "Mat Red");
  EXPECT_EQ(bytesOf(w), concat({{10, 0}, nameToken("Mat Red"), {11, 0}}));
}

TEST(XWriterBinary, ListsCarryValueCounts) {
  XWriter w = binaryWriter();
  const std::uint32_t ints[2] = {7, 0x01020304};
  xPutIntegerList(w, ints, 2);
  const float floats[1] = {-2.0f};
  xPutFloatList(w, floats, 1);
  EXPECT_EQ(bytesOf(w), (std::vector<unsigned>{6, 0, 2, 0, 0, 0, 7, 0, 0, 0, 4, 3, 2, 1, 7, 0, 1, 0, 0, 0, 0, 0, 0,
                                               0xC0}));
}

TEST(XWriterText, ObjectsIndentAndSanitizeNames) {
  XWriter w;
  xBeginObject(w, 1, "Mesh", "Cube 1");
  xEndObject(w, 1);
  xPutReference(w, 2, "MatRed");
  xBeginObject(w, 0, "Header", nullptr);
  xBeginObject(w, 0, "Mesh", "-.-");  // sanitizes to nothing
  xPutReference(w, 0, "My Obj-1.lwo");
  EXPECT_EQ(textOf(w), " Mesh Cube_1 {\n }\n  {MatRed}\nHeader {\nMesh  {\n{My_Obj1lwo}\n");
}

TEST(XWriterText, NamesAreCutAt79Characters) {
  XWriter w;
  const std::string longName(100, 'n');
  xBeginObject(w, 0, "Frame", longName.c_str());
  xPutReference(w, 0, longName);
  const std::string cut(79, 'n');
  EXPECT_EQ(textOf(w), "Frame " + cut + " {\n{" + cut + "}\n");

  // The cut applies to the filtered name: dropped characters do not count.
  w.buffer.clear();
  const std::string padded = std::string(30, '-') + std::string(79, 'k');
  xPutReference(w, 0, padded);
  EXPECT_EQ(textOf(w), "{" + std::string(79, 'k') + "}\n");
}

TEST(XWriterText, NumbersMatchPrintf) {
  XWriter w;
  xPutFixed(w, 0.5);
  xPutChar(w, ';');
  xPutFixed(w, -0.0);
  xPutChar(w, ';');
  xPutInt(w, -42);
  EXPECT_EQ(textOf(w), "0.500000;-0.000000;-42");
}

TEST(XWriterFile, LargeOutputReachesTheFileWhole) {
  std::FILE* file = std::tmpfile();
  ASSERT_NE(file, nullptr);
  XWriter w;
  w.file = file;
  const std::string line(1000, 'z');
  for (int i = 0; i < 3000; ++i) xPutText(w, line);  // crosses the block size several times
  ASSERT_EQ(xFlush(w), 0);
  EXPECT_TRUE(w.buffer.empty());
  EXPECT_EQ(std::ftell(file), 3000L * 1000L);
  std::fclose(file);
}
