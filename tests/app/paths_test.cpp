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

// All lines readLine returns from the bytes, until it answers "none".
std::vector<std::string> lines(const std::string& bytes, std::size_t size = 200) {
  std::FILE* f = std::tmpfile();
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::rewind(f);
  std::vector<std::string> out;
  std::string line;
  while (readLine(line, size, f) && out.size() < 100) out.push_back(line);
  std::fclose(f);
  return out;
}

using Lines = std::vector<std::string>;

}  // namespace

TEST(JoinPath, AddsOneNativeSeparatorUnlessTheDirectoryEndsInOne) {
  const std::string sep(1, platform::nativeSeparator());
  EXPECT_EQ(joined("c:\\work", "scene.lws"), "c:\\work" + sep + "scene.lws");
  EXPECT_EQ(joined("c:\\work\\", "scene.lws"), "c:\\work\\scene.lws");
  EXPECT_EQ(joined("/tmp/work/", "scene.lws"), "/tmp/work/scene.lws");
  EXPECT_EQ(joined("/tmp/work", "sub/scene.lws"), "/tmp/work" + sep + "sub/scene.lws");
  EXPECT_EQ(joined("", "scene.lws"), "scene.lws");
  EXPECT_EQ(joined("/tmp/work", ""), "/tmp/work" + sep);
  EXPECT_EQ(joined("", ""), "");
}

TEST(JoinPath, CompletePathsReplaceTheDirectory) {
  EXPECT_EQ(joined("c:\\work", "..\\scene.lws"), "..\\scene.lws");
  EXPECT_EQ(joined("c:\\work", ".\\a.lwo"), ".\\a.lwo");
  EXPECT_EQ(joined("c:\\work", "\\x\\a.lwo"), "\\x\\a.lwo");
  EXPECT_EQ(joined("c:\\work", "/x/a.lwo"), "/x/a.lwo");
  EXPECT_EQ(joined("c:\\work", "d:\\s.lws"), "d:\\s.lws");
  EXPECT_EQ(joined("c:\\work", "c:a.lwo"), "c:a.lwo");
}

TEST(JoinPath, TrailByteThatLooksLikeABackslashIsNoSeparator) {
  CodePageScope cp(932);
  const std::string sep(1, platform::nativeSeparator());
  const std::string dir = "c:\\\x95\x5C";  // a two-byte character ending the directory
  EXPECT_EQ(joined(dir, "a.lwo"), dir + sep + "a.lwo");
  EXPECT_EQ(joined(dir + "\\", "a.lwo"), dir + "\\a.lwo");
}

TEST(FileNamePart, TextAfterTheLastSeparator) {
  EXPECT_EQ(tail("c:\\x\\a.lws"), "a.lws");
  EXPECT_EQ(tail("/x/y/a.lws"), "a.lws");
  EXPECT_EQ(tail("c:"), "");
  EXPECT_EQ(tail("c:a.lws"), "a.lws");
  EXPECT_EQ(tail("a.lws"), "a.lws");
  EXPECT_EQ(tail("dir\\"), "");
  EXPECT_EQ(tail(""), "");
}

TEST(FindExtension, LastDotAfterTheLastSeparator) {
  EXPECT_EQ(extension("a.b.lws"), ".lws");
  EXPECT_EQ(extension("dir.x\\file"), "<none>");
  EXPECT_EQ(extension("c:\\my.dir\\scene"), "<none>");
  EXPECT_EQ(extension(".lws"), ".lws");
  EXPECT_EQ(extension("a."), ".");
  EXPECT_EQ(extension(""), "<none>");
}

TEST(ReplaceExtension, OverwritesOrAppends) {
  std::string a = "c:\\x\\scene.lws";
  replaceExtension(a, ".X");
  EXPECT_EQ(a, "c:\\x\\scene.X");
  std::string b = "c:\\x\\out";
  replaceExtension(b, ".X");
  EXPECT_EQ(b, "c:\\x\\out.X");
  std::string c = "my.dir/out";
  replaceExtension(c, ".X");
  EXPECT_EQ(c, "my.dir/out.X");
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
}

TEST(DoubleByteCodePage, LoneLeadByteAtTheEndStandsAlone) {
  CodePageScope cp(936);
  EXPECT_EQ(tail("a\\\x81"), "\x81");
  EXPECT_EQ(makeXName("ab\x81"), "ab");
}

TEST(MakeXName, KeepsLettersDigitsUnderscoreAndTurnsSpacesIntoUnderscores) {
  EXPECT_EQ(makeXName("My Obj-1.lwo"), "My_Obj1lwo");
  EXPECT_EQ(makeXName("Light (2)"), "Light_2");
  EXPECT_EQ(makeXName("!@#$%^&*().,;"), "");
  EXPECT_EQ(makeXName(""), "");
  EXPECT_EQ(makeXName("9lives_\t\x7f\xe9x"), "9lives_x");
}

TEST(ReadLine, EveryLineEndPair) {
  EXPECT_EQ(lines("a\rb"), (Lines{"a", "b"}));
  EXPECT_EQ(lines("a\nb"), (Lines{"a", "b"}));
  EXPECT_EQ(lines("a\r\nb"), (Lines{"a", "b"}));
  EXPECT_EQ(lines("a\n\rb"), (Lines{"a", "b"}));
  EXPECT_EQ(lines("a\r\rb"), (Lines{"a", "", "b"}));
  EXPECT_EQ(lines("a\n\nb"), (Lines{"a", "", "b"}));
  EXPECT_EQ(lines("a\r\nb\n\nc"), (Lines{"a", "b", "", "c"}));
  EXPECT_EQ(lines("a\r\n\r\nb"), (Lines{"a", "", "b"}));
}

TEST(ReadLine, EndOfInput) {
  EXPECT_EQ(lines("last"), (Lines{"last"}));
  EXPECT_EQ(lines("a\n"), (Lines{"a"}));
  EXPECT_EQ(lines("a\nb\r"), (Lines{"a", "b"}));
  EXPECT_EQ(lines(""), (Lines{""}));
}

TEST(ReadLine, LongLineArrivesInPieces) {
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
