#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/paths.h"
#include "platform/platform.h"

namespace {

// Restores the code page a test changed.
struct CodePageScope {
  int saved = pathCodePage();
  explicit CodePageScope(int codePage) { setPathCodePage(codePage); }
  ~CodePageScope() { setPathCodePage(saved); }
};

std::string joined(std::string dst, const std::string& src) {
  joinPath(dst, src);
  return dst;
}

std::string tail(const std::string& path) { return path.substr(fileNamePart(path)); }

std::string extension(const std::string& path) {
  const std::size_t dot = findExtension(path);
  return dot == std::string::npos ? "<none>" : path.substr(dot);
}

using Lines = std::vector<std::string>;

// All lines readLine returns from the bytes, until it answers "none".
Lines lines(const std::string& bytes, std::size_t size = 200) {
  std::FILE* f = std::tmpfile();
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::rewind(f);
  Lines out;
  std::string line;
  while (readLine(line, size, f) && out.size() < 100) out.push_back(line);
  std::fclose(f);
  return out;
}

}  // namespace

TEST(JoinPath, OneNativeSeparatorAndCompletePathsReplaceTheDirectory) {
  const std::string sep(1, platform::nativeSeparator());
  const std::string rows[][3] = {
      {"c:\\work", "scene.lws", "c:\\work" + sep + "scene.lws"}, {"c:\\work\\", "scene.lws", "c:\\work\\scene.lws"},
      {"/tmp/work/", "scene.lws", "/tmp/work/scene.lws"}, {"", "scene.lws", "scene.lws"},
      {"/tmp/work", "sub/scene.lws", "/tmp/work" + sep + "sub/scene.lws"}, {"/tmp/work", "", "/tmp/work" + sep},
      {"", "", ""},
      {"c:\\work", "..\\scene.lws", "..\\scene.lws"}, {"c:\\work", ".\\a.lwo", ".\\a.lwo"},
      {"c:\\work", "\\x\\a.lwo", "\\x\\a.lwo"}, {"c:\\work", "/x/a.lwo", "/x/a.lwo"},
      {"c:\\work", "d:\\s.lws", "d:\\s.lws"}, {"c:\\work", "c:a.lwo", "c:a.lwo"}};
  for (const auto& row : rows) EXPECT_EQ(joined(row[0], row[1]), row[2]) << row[0] << " + " << row[1];

  // A two-byte character whose trail byte looks like a backslash ends the directory.
  CodePageScope cp(932);
  const std::string dir = "c:\\\x95\x5C";
  EXPECT_EQ(joined(dir, "a.lwo"), dir + sep + "a.lwo");
  EXPECT_EQ(joined(dir + "\\", "a.lwo"), dir + "\\a.lwo");
}

TEST(PathParts, NameAfterTheLastSeparatorAndItsExtension) {
  const char* rows[][3] = {{"c:\\x\\a.lws", "a.lws", ".lws"}, {"/x/y/a.b.lws", "a.b.lws", ".lws"},
                           {"c:", "", "<none>"},              {"c:a.lws", "a.lws", ".lws"},
                           {"dir\\", "", "<none>"},           {"", "", "<none>"},
                           {"dir.x\\file", "file", "<none>"}, {"c:\\my.dir\\scene", "scene", "<none>"},
                           {".lws", ".lws", ".lws"},          {"a.", "a.", "."}};
  for (const auto& row : rows) {
    EXPECT_EQ(tail(row[0]), row[1]) << row[0];
    EXPECT_EQ(extension(row[0]), row[2]) << row[0];
  }
  const char* replaced[][2] = {
      {"c:\\x\\scene.lws", "c:\\x\\scene.X"}, {"c:\\x\\out", "c:\\x\\out.X"}, {"my.dir/out", "my.dir/out.X"}};
  for (const auto& row : replaced) {
    std::string path = row[0];
    replaceExtension(path, ".X");
    EXPECT_EQ(path, row[1]);
  }
}

TEST(MakeXName, KeepsLettersDigitsUnderscoreAndTurnsSpacesIntoUnderscores) {
  EXPECT_EQ(makeXName("My Obj-1.lwo"), "My_Obj1lwo");
  EXPECT_EQ(makeXName("Light (2)"), "Light_2");
  EXPECT_EQ(makeXName("!@#$%^&*().,;"), "");
  EXPECT_EQ(makeXName(""), "");
  EXPECT_EQ(makeXName("9lives_\t\x7f\xe9x"), "9lives_x");
}

TEST(DoubleByteCodePage, TrailBytesAreNeitherSeparatorsNorDots) {
  // 0x95 0x5C is one Shift-JIS character whose second byte equals '\'.
  const std::string name = "dir\\\x95\x5C.lwo";
  {
    CodePageScope cp(932);
    EXPECT_EQ(tail(name), "\x95\x5C.lwo");
    EXPECT_EQ(extension("a\x95\x2E"), "<none>");  // a lead byte always takes the next byte
    EXPECT_EQ(makeXName("A\x95\x5C" "B"), "AB");
  }
  {
    CodePageScope cp(1252);
    EXPECT_EQ(tail(name), ".lwo");
    EXPECT_EQ(makeXName("A\x95\x5C" "B"), "AB");
  }
  CodePageScope cp(936);  // a lone lead byte at the end stands alone
  EXPECT_EQ(tail("a\\\x81"), "\x81");
  EXPECT_EQ(makeXName("ab\x81"), "ab");
}

TEST(ReadLine, EveryLineEndPairAndTheEndOfInput) {
  const std::pair<std::string, Lines> rows[] = {
      {"a\rb", {"a", "b"}},           {"a\nb", {"a", "b"}},      {"a\r\nb", {"a", "b"}},
      {"a\n\rb", {"a", "b"}},         {"a\r\rb", {"a", "", "b"}}, {"a\n\nb", {"a", "", "b"}},
      {"a\r\nb\n\nc", {"a", "b", "", "c"}}, {"a\r\n\r\nb", {"a", "", "b"}}, {"last", {"last"}},
      {"a\n", {"a"}},                 {"a\nb\r", {"a", "b"}},    {"", {""}},
      {std::string("LWSC\0x\nb", 8), {"LWSC", "b"}}};  // a NUL ends the line's text
  for (const auto& [bytes, expected] : rows) EXPECT_EQ(lines(bytes), expected) << testing::PrintToString(bytes);

  // A long line arrives in pieces of size - 1.
  const Lines got = lines(std::string(450, 'x') + "\nend\n", 200);
  ASSERT_EQ(got.size(), 4u);
  EXPECT_EQ(got[0].size(), 199u);
  EXPECT_EQ(got[1].size(), 199u);
  EXPECT_EQ(got[2].size(), 52u);
  EXPECT_EQ(got[3], "end");
}

TEST(ReadLine, TinyBuffers) {
  std::FILE* f = std::tmpfile();
  std::fputs("abc", f);
  std::rewind(f);
  std::string line = "old";
  EXPECT_TRUE(readLine(line, 1, f));
  EXPECT_EQ(line, "");
  EXPECT_TRUE(readLine(line, 2, f));
  EXPECT_EQ(line, "a");
  EXPECT_TRUE(readLine(line, 3, f));
  EXPECT_EQ(line, "bc");
  std::fclose(f);
}
