#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "xfile/xwriter.h"

namespace {

using Bytes = std::vector<unsigned>;

// Name token bytes: 01 00, little-endian length, the name's bytes.
Bytes name(const std::string& text) {
  Bytes b = {1, 0, static_cast<unsigned>(text.size()), 0, 0, 0};
  for (char c : text) b.push_back(static_cast<unsigned char>(c));
  return b;
}

Bytes concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

}  // namespace

TEST(XWriterBinary, LittleEndianValuesTokensAndUnsanitizedNames) {
  XWriter w;
  w.binary = true;
  xPutWord(w, 258);
  xPutDword(w, 258);
  xPutDword(w, static_cast<std::uint32_t>(-1));
  xPutFloat(w, 1.0f);
  xPutWord(w, 0x12345);  // only the low 16 bits
  xPutToken(w, kTokenName, nullptr);
  xPutToken(w, kTokenString, "ab");
  xPutWord(w, kTokenSemicolon);
  xBeginObject(w, 3, "Header", nullptr);
  xBeginObject(w, 1, "Mesh", "Cube 1-x");
  xEndObject(w, 1);
  xPutReference(w, 2, "Mat Red");
  const std::uint32_t ints[2] = {7, 0x01020304};
  xPutIntegerList(w, ints, 2);
  const float floats[1] = {-2.0f};
  xPutFloatList(w, floats, 1);
  Bytes got;
  for (char c : w.buffer) got.push_back(static_cast<unsigned char>(c));
  EXPECT_EQ(got, concat({{0x02, 0x01, 0x02, 0x01, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x80, 0x3F, 0x45, 0x23},
                         {1, 0, 0, 0, 0, 0},
                         {2, 0, 2, 0, 0, 0, 'a', 'b', 20, 0},
                         name("Header"), {10, 0},
                         name("Mesh"), name("Cube 1-x"), {10, 0, 11, 0},
                         {10, 0}, name("Mat Red"), {11, 0},
                         {6, 0, 2, 0, 0, 0, 7, 0, 0, 0, 4, 3, 2, 1, 7, 0, 1, 0, 0, 0, 0, 0, 0, 0xC0}}));
}

TEST(XWriterText, IndentSanitizedNamesCutAt79AndNumbers) {
  XWriter w;
  xBeginObject(w, 1, "Mesh", "Cube 1");
  xEndObject(w, 1);
  xPutReference(w, 2, "MatRed");
  xBeginObject(w, 0, "Header", nullptr);
  xBeginObject(w, 0, "Mesh", "-.-");  // sanitizes to nothing
  xPutReference(w, 0, "My Obj-1.lwo");
  const std::string longName(100, 'n'), cut(79, 'n');
  xBeginObject(w, 0, "Frame", longName.c_str());
  xPutReference(w, 0, longName);
  xPutReference(w, 0, std::string(30, '-') + std::string(79, 'k'));  // dropped characters do not count
  xPutFixed(w, 0.5);
  xPutChar(w, ';');
  xPutFixed(w, -0.0);
  xPutChar(w, ';');
  xPutInt(w, -42);
  EXPECT_EQ(std::string(w.buffer.begin(), w.buffer.end()),
            " Mesh Cube_1 {\n }\n  {MatRed}\nHeader {\nMesh  {\n{My_Obj1lwo}\nFrame " + cut + " {\n{" + cut + "}\n{" +
                std::string(79, 'k') + "}\n0.500000;-0.000000;-42");
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
