// Path names, line reading and lw.cfg: the text the program takes in before any model.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/lwcfg.h"
#include "app/paths.h"
#include "platform/platform.h"
#include "support/context.h"

namespace {

// Restores the code page a test changed.
struct CodePageScope {
  int saved = pathCodePage();
  explicit CodePageScope(int codePage) { setPathCodePage(codePage); }
  ~CodePageScope() { setPathCodePage(saved); }
};

std::string joined(std::string dst, const std::string& src) { return joinPath(dst, src), dst; }
std::string tail(const std::string& path) { return path.substr(fileNamePart(path)); }
std::string extension(const std::string& path) {
  const std::size_t dot = findExtension(path);
  return dot == std::string::npos ? "<none>" : path.substr(dot);
}

using Lines = std::vector<std::string>;

// All lines readLine returns from the bytes, until it answers "none".
Lines lines(const std::string& bytes, std::size_t size = 200) {
  std::FILE* f = testsupport::streamOf(bytes);
  Lines out;
  for (std::string line; readLine(line, size, f) && out.size() < 100;) out.push_back(line);
  std::fclose(f);
  return out;
}

}  // namespace

TEST(Paths, JoinSplitExtensionAndXNames) {
  const std::string sep(1, platform::nativeSeparator());
  const std::string joins[][3] = {
      {"c:\\work", "scene.lws", "c:\\work" + sep + "scene.lws"}, {"c:\\work\\", "scene.lws", "c:\\work\\scene.lws"},
      {"/tmp/work/", "scene.lws", "/tmp/work/scene.lws"}, {"", "scene.lws", "scene.lws"}, {"/w", "", "/w" + sep},
      {"", "", ""}, {"/w", "sub/s.lws", "/w" + sep + "sub/s.lws"}, {"c:\\w", "..\\s.lws", "..\\s.lws"},
      {"c:\\w", ".\\a.lwo", ".\\a.lwo"}, {"c:\\w", "\\x\\a.lwo", "\\x\\a.lwo"}, {"c:\\w", "/x/a.lwo", "/x/a.lwo"},
      {"c:\\w", "d:\\s.lws", "d:\\s.lws"}, {"c:\\w", "c:a.lwo", "c:a.lwo"}};
  for (const auto& row : joins) EXPECT_EQ(joined(row[0], row[1]), row[2]) << row[0] << " + " << row[1];
  const char* parts[][3] = {{"c:\\x\\a.lws", "a.lws", ".lws"}, {"/x/y/a.b.lws", "a.b.lws", ".lws"}, {"c:", "", "<none>"},
                            {"c:a.lws", "a.lws", ".lws"}, {"dir\\", "", "<none>"}, {"", "", "<none>"},
                            {"dir.x\\file", "file", "<none>"}, {"c:\\my.dir\\scene", "scene", "<none>"},
                            {".lws", ".lws", ".lws"}, {"a.", "a.", "."}};
  for (const auto& row : parts) EXPECT_EQ(tail(row[0]) + " " + extension(row[0]), row[1] + std::string(" ") + row[2]);
  for (const auto& [from, to] : {std::pair{"c:\\x\\scene.lws", "c:\\x\\scene.X"}, {"c:\\x\\out", "c:\\x\\out.X"},
                                 {"my.dir/out", "my.dir/out.X"}}) {
    std::string path = from;
    replaceExtension(path, ".X");
    EXPECT_EQ(path, to);
  }
  const char* names[][2] = {{"My Obj-1.lwo", "My_Obj1lwo"}, {"Light (2)", "Light_2"}, {"!@#$%^&*().,;", ""},
                            {"", ""}, {"9lives_\t\x7f\xe9x", "9lives_x"}, {"AZaz09_`{@[/:", "AZaz09_"}};
  for (const auto& row : names) EXPECT_EQ(makeXName(row[0]), row[1]) << row[0];
}

TEST(Paths, DoubleByteTrailBytesAreNeitherSeparatorsNorDots) {
  const std::string name = "dir\\\x95\x5C.lwo", sep(1, platform::nativeSeparator());  // 0x95 0x5C: one Shift-JIS character
  {
    CodePageScope cp(932);
    EXPECT_EQ(tail(name), "\x95\x5C.lwo");
    EXPECT_EQ(extension("a\x95\x2E"), "<none>");  // a lead byte always takes the next byte
    EXPECT_EQ(makeXName("A\x95\x5C" "B"), "AB");
    EXPECT_EQ(joined("c:\\\x95\x5C", "a.lwo"), "c:\\\x95\x5C" + sep + "a.lwo");
    EXPECT_EQ(joined("c:\\\x95\x5C\\", "a.lwo"), "c:\\\x95\x5C\\a.lwo");
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

TEST(ReadLine, EveryLineEndPairTheEndOfInputAndSmallBuffers) {
  const std::pair<std::string, Lines> rows[] = {
      {"a\rb", {"a", "b"}}, {"a\nb", {"a", "b"}}, {"a\r\nb", {"a", "b"}}, {"a\n\rb", {"a", "b"}},
      {"a\r\rb", {"a", "", "b"}}, {"a\n\nb", {"a", "", "b"}}, {"a\r\nb\n\nc", {"a", "b", "", "c"}},
      {"a\r\n\r\nb", {"a", "", "b"}}, {"last", {"last"}}, {"a\n", {"a"}}, {"a\nb\r", {"a", "b"}}, {"", {""}},
      {std::string("LWSC\0x\nb", 8), {"LWSC", "b"}}};  // a NUL ends the line's text
  for (const auto& [bytes, expected] : rows) EXPECT_EQ(lines(bytes), expected) << testing::PrintToString(bytes);
  // A long line arrives in pieces of size - 1; a buffer of 1 holds nothing.
  EXPECT_EQ(lines(std::string(450, 'x') + "\nend\n"), (Lines{std::string(199, 'x'), std::string(199, 'x'),
                                                            std::string(52, 'x'), "end"}));
  std::FILE* f = testsupport::streamOf("abc");
  std::string a = "old", b, c;
  EXPECT_TRUE(readLine(a, 1, f) && readLine(b, 2, f) && readLine(c, 3, f));
  EXPECT_EQ(a + "|" + b + "|" + c, "|a|bc");
  std::fclose(f);
}

TEST(LwConfig, KeysHeaderAndLineEnds) {
  const std::string overlong(1100, 'v'), filling(1022 - 17, 'w');  // with its key, a line that just fits the buffer
  const std::vector<std::string> none = {"", "", "", ""};
  const std::pair<std::string, std::vector<std::string>> accepted[] = {
      {"LWCO\n0\nContentDirectory C:\\NewTek\nScenesDirectory Scenes\nObjectsDirectory Objects\n"
       "ImagesDirectory Images\nDefaultSegmentMemory 2200000\n", {"C:\\NewTek", "Scenes", "Objects", "Images"}},
      {"LWCO\r\n0\r\nContentDirectory C:\\NewTek\r\nScenesDirectory Scenes\r\n", {"C:\\NewTek", "Scenes", "", ""}},
      // Blanks stay, the key is matched exactly, the later line wins, the last line needs no line end.
      {"LWCO\n0\nContentDirectory  C:\\x \ncontentdirectory C:\\lower\nContentDirectoryC:\\nospace\n"
       "ScenesDirectory a\nScenesDirectory b\nImagesDirectory ", {" C:\\x ", "b", "", ""}},
      {"", none}, {"LWCO\n0\n", none},
      // The key's line is cut after 1023 characters; the rest is a line of its own.
      {"LWCO\n0\nContentDirectory " + overlong + "\nScenesDirectory s\n", {std::string(1023 - 17, 'v'), "s", "", ""}},
      // A CR LF at the buffer's edge ends the line as a plain line feed would.
      {"LWCO\r\n0\r\nContentDirectory " + filling + "\r\nScenesDirectory s\r\n", {filling, "s", "", ""}}};
  for (const auto& [text, dirs] : accepted) {
    std::FILE* f = testsupport::streamOf(text);
    LwConfig c;
    EXPECT_EQ(readLwConfig(c, f), 0) << text;
    EXPECT_EQ((std::vector<std::string>{c.contentDirectory, c.scenesDirectory, c.objectsDirectory, c.imagesDirectory}),
              dirs);
    std::fclose(f);
  }
  for (const char* text : {"LWCO \n0\n", "lwco\n0\n", "LWCO\n1\nContentDirectory x\n", "LWCO\n0 \n", "ContentDirectory x\n0\n"}) {
    std::FILE* f = testsupport::streamOf(text);
    LwConfig c;
    EXPECT_EQ(readLwConfig(c, f), -1) << text;
    std::fclose(f);
  }
}
