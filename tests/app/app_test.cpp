// The text the program takes in before any model (paths, lines, lw.cfg) and the POSIX
// platform layer under it: LightWave paths on disk, temporary files, code pages.
#include <gtest/gtest.h>

#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/lookup.h"
#include "core/lwcfg.h"
#include "core/paths.h"
#include "lwbuild.h"
#include "platform/platform.h"
#include "support/context.h"
#include "support/run.h"

using namespace torvo;

using lwbuild::writeFile;
using testsupport::listDir;
using testsupport::readFile;
using testsupport::TempDir;

namespace {

// The code page the path helpers below walk in; a scope sets it for a few checks.
int g_codePage = 1252;
struct CodePageScope {
  int saved = g_codePage;
  explicit CodePageScope(int codePage) { g_codePage = codePage; }
  ~CodePageScope() { g_codePage = saved; }
};

std::string joined(std::string dst, const std::string& src) { return joinPath(dst, src, g_codePage), dst; }
std::string tail(const std::string& path) { return path.substr(fileNamePart(path, g_codePage)); }
std::string makeXName(const std::string& name) { return ::makeXName(name, g_codePage); }
std::string extension(const std::string& path) {
  const std::size_t dot = findExtension(path, g_codePage);
  return dot == std::string::npos ? "<none>" : path.substr(dot);
}

using Lines = std::vector<std::string>;

// All lines readLine returns from the bytes, until it answers "none".
Lines lines(const std::string& bytes, std::size_t size = 200) {
  std::FILE* f = testsupport::streamOf(bytes); Lines out;
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
    replaceExtension(path, ".X", g_codePage);
    EXPECT_EQ(path, to);
  }
  const char* names[][2] = {{"My Obj-1.lwo", "My_Obj1lwo"}, {"Light (2)", "Light_2"}, {"!@#$%^&*().,;", ""},
                            {"", ""}, {"9lives_\t\x7f\xe9x", "9lives_x"}, {"AZaz09_`{@[/:", "AZaz09_"}};
  for (const auto& row : names) EXPECT_EQ(makeXName(row[0]), row[1]) << row[0];
  // A UNC name with nothing after it is all prefix, a lone lead byte at its end included.
  EXPECT_EQ(relativePath("\\\\srv\\share", "\\\\srv\\share", 1252) + relativePath("\\\\srv\\a\x81", "\\\\srv\\a\x81", 936), "");
}

TEST(Paths, DoubleByteTrailBytesAreNeitherSeparatorsNorDots) {
  const std::string name = "dir\\\x95\x5C.lwo", sep(1, platform::nativeSeparator());  // 0x95 0x5C: one Shift-JIS character
  {
    CodePageScope cp(932);
    EXPECT_EQ(tail(name), "\x95\x5C.lwo"); EXPECT_EQ(extension("a\x95\x2E"), "<none>");  // a lead byte always takes the next byte
    EXPECT_EQ(makeXName("A\x95\x5C" "B"), "AB"); EXPECT_EQ(joined("c:\\\x95\x5C", "a.lwo"), "c:\\\x95\x5C" + sep + "a.lwo");
    EXPECT_EQ(joined("c:\\\x95\x5C\\", "a.lwo"), "c:\\\x95\x5C\\a.lwo");
  }
  { CodePageScope cp(1252); EXPECT_EQ(tail(name), ".lwo"); }  // where 0x5C is a separator
  CodePageScope cp(936);  // a lone lead byte at the end stands alone
  EXPECT_EQ(tail("a\\\x81"), "\x81"); EXPECT_EQ(makeXName("ab\x81"), "ab");
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
  std::FILE* f = testsupport::streamOf("abc"); std::string a = "old", b, c;
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
  auto read = [](const std::string& text) {
    std::FILE* f = testsupport::streamOf(text); LwConfig c; const Status r = readLwConfig(c, f); std::fclose(f);
    return (ok(r) ? "0 " : "-1 ") + c.contentDirectory + "|" + c.scenesDirectory + "|" + c.objectsDirectory + "|" + c.imagesDirectory;
  };
  for (const auto& [text, dirs] : accepted) EXPECT_EQ(read(text), "0 " + dirs[0] + "|" + dirs[1] + "|" + dirs[2] + "|" + dirs[3]) << text;
  for (const char* text : {"LWCO \n0\n", "lwco\n0\n", "LWCO\n1\nContentDirectory x\n", "LWCO\n0 \n", "ContentDirectory x\n0\n"})
    EXPECT_EQ(read(text).substr(0, 3), "-1 ") << text;
}

namespace {

// The contents of the file openFile finds for reading, or "<none>".
std::string readVia(const std::string& path) {
  std::FILE* f = platform::openFile(path, "rb");
  if (f == nullptr) return "<none>";
  std::string s;
  for (int c = std::fgetc(f); c != EOF; c = std::fgetc(f)) s.push_back(static_cast<char>(c));
  return std::fclose(f), s;
}

// Writes the file through a temporary one and commits it.
bool replace(const std::string& final, const char* text) {
  std::string temp; std::FILE* f = platform::createTempFile(final, true, temp);
  if (f == nullptr) return false;
  std::fputs(text, f); std::fclose(f);
  return platform::commitFile(temp, final);
}

}  // namespace

TEST(Platform, LightWavePathsMatchLetterCaseAndBackslashes) {
  TempDir dir; testsupport::makeDir(dir / "Objects/Cars"); testsupport::makeDir(dir / "b.lws");
  writeFile(dir / "Objects/Cars/Car.lwo", std::string("car")); writeFile(dir / "a.lwo", std::string("lower"));
  writeFile(dir / "A.lwo", std::string("upper"));
  for (const char* v : {"/Objects/Cars/Car.lwo", "\\Objects\\Cars\\Car.lwo", "/objects/CARS/car.LWO", "\\OBJECTS/cars\\cAr.lwo",
                        "/./objects/../Objects/cars/car.lwo"}) {
    EXPECT_EQ(readVia(dir.path() + v), "car") << v;
  }
  EXPECT_EQ(readVia(dir / "objects/cars/bus.lwo") + readVia(dir / "nodir/car.lwo") + readVia(dir / "b.lws"),
            "<none><none><none>");  // directories do not open for reading
  EXPECT_EQ(readVia(dir / "A.lwo"), "upper");  // the exact name wins
  // Every case variant is a file of its own: the exact name first, then in byte order.
  EXPECT_EQ(platform::findFiles(dir.path() + "\\A.LWO"), (std::vector<std::string>{dir / "A.lwo", dir / "a.lwo"}));
  EXPECT_EQ(platform::findFiles(dir / "a.lwo"), (std::vector<std::string>{dir / "a.lwo", dir / "A.lwo"}));
  // Writing matches the directories but keeps the file name as given.
  testsupport::makeDir(dir / "Out"); writeFile(dir / "Out/scene.x", std::string("old"));
  std::FILE* f = platform::openFile(dir.path() + "\\out\\scene.X", "wb");
  ASSERT_NE(f, nullptr);
  std::fputs("new", f);
  std::fclose(f);
  EXPECT_EQ(readFile(dir / "Out/scene.x") + readFile(dir / "Out/scene.X"), "oldnew");
  std::string inside;
  EXPECT_TRUE(platform::isDirectory(dir.path() + "\\out\\.") && platform::directoryPath(dir.path() + "\\out\\.", inside) && !platform::isDirectory(dir / "nothere"));
  EXPECT_EQ(inside.substr(inside.size() - 4), "/Out"); EXPECT_NE(platform::executablePath("nonsense").find("test_app"), std::string::npos);
}

TEST(Platform, TemporaryFilesCommitRemoveAndKeepWhatWritingInPlaceWould) {
  TempDir dir; const std::string final = dir / "out.X"; writeFile(final, std::string("previous")); std::string temp;
  std::FILE* f = platform::createTempFile(final, true, temp);
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(temp.substr(0, dir.path().size() + 1), dir.path() + "/");
  std::fputs("fresh", f);
  std::fclose(f);
  EXPECT_EQ(readFile(final), "previous");
  ASSERT_TRUE(platform::commitFile(temp, final)); EXPECT_EQ(readFile(final), "fresh");
  std::fclose(platform::createTempFile(final, false, temp));
  EXPECT_TRUE(platform::removeFile(temp));
  EXPECT_EQ(listDir(dir.path()), std::vector<std::string>{"out.X"});
  EXPECT_EQ(platform::createTempFile(dir / "missing/out.X", false, temp), nullptr);
  // A name near the system's limit gets a temporary name that fits, cut before a character, not inside it.
  for (const std::string& name : {std::string(250, 'a') + ".X", std::string(242, 'a') + "\xC3\xA9.X"}) {
    ASSERT_TRUE(replace(dir / name, "long")); EXPECT_EQ(readFile(dir / name), "long");
    std::fclose(platform::createTempFile(dir / name, true, temp));
    EXPECT_EQ(temp.find('\xC3'), std::string::npos);
    EXPECT_TRUE(platform::removeFile(temp));
  }
  // A file replaced keeps its own name beside one that differs in letter case only.
  writeFile(dir / "case.x", std::string("lower"));
  ASSERT_TRUE(replace(dir / "case.X", "upper"));
  EXPECT_EQ(readFile(dir / "case.x") + readFile(dir / "case.X"), "lowerupper");
  // A symbolic link is written through, not replaced, even to a file not there yet.
  writeFile(dir / "target.X", std::string("old"));
  ASSERT_EQ(symlink((dir / "target.X").c_str(), (dir / "link.X").c_str()), 0);  // by its full path
  ASSERT_TRUE(replace(dir / "link.X", "through")); EXPECT_EQ(readFile(dir / "target.X"), "through");
  testsupport::makeDir(dir / "sub");
  ASSERT_EQ(symlink("sub/later.X", (dir / "dangling.X").c_str()), 0);
  ASSERT_TRUE(replace(dir / "dangling.X", "created"));
  EXPECT_EQ(readFile(dir / "sub/later.X"), "created");
  struct stat st;
  for (const char* link : {"link.X", "dangling.X"}) EXPECT_TRUE(lstat((dir / link).c_str(), &st) == 0 && S_ISLNK(st.st_mode));
  // Links that lead round in a circle are followed a bounded number of times; the file then replaces one of them.
  ASSERT_EQ(symlink("loop2.X", (dir / "loop1.X").c_str()) + symlink("loop1.X", (dir / "loop2.X").c_str()), 0);
  ASSERT_TRUE(replace(dir / "loop1.X", "cut")); EXPECT_EQ(readFile(dir / "loop1.X") + readFile(dir / "loop2.X"), "cutcut");
  // Permissions stay; so do owner and group where we may give them back (only root may give files away).
  ASSERT_EQ(chmod((dir / "target.X").c_str(), 0640), 0); ASSERT_TRUE(replace(dir / "target.X", "again"));
  ASSERT_EQ(stat((dir / "target.X").c_str(), &st), 0); EXPECT_EQ(st.st_mode & 07777, 0640u);
  if (geteuid() != 0) {  // a file its owner made read-only is left alone
    ASSERT_EQ(chmod((dir / "target.X").c_str(), 0440), 0); EXPECT_FALSE(replace(dir / "target.X", "refused"));
    return;
  }
  ASSERT_EQ(chown((dir / "target.X").c_str(), 65534, 65534), 0); ASSERT_TRUE(replace(dir / "target.X", "owned"));
  ASSERT_EQ(stat((dir / "target.X").c_str(), &st), 0); EXPECT_EQ(st.st_uid + st.st_gid, 2 * 65534u);
  // A member of the file's group who does not own it keeps at least the group.
  ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
  testsupport::makeDir(dir / "shared");
  ASSERT_EQ(chmod((dir / "shared").c_str(), 0777), 0);
  writeFile(dir / "shared/g.X", std::string("theirs"));
  ASSERT_EQ(chown((dir / "shared/g.X").c_str(), 0, 100) + chmod((dir / "shared/g.X").c_str(), 0664), 0);
  const pid_t pid = fork();
  if (pid == 0) {
    const gid_t groups[] = {100};
    if (setgroups(1, groups) != 0 || setgid(65534) != 0 || setuid(65534) != 0) _exit(2);
    _exit(replace(dir / "shared/g.X", "mine") ? 0 : 1);
  }
  int status = 0; waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status; ASSERT_EQ(stat((dir / "shared/g.X").c_str(), &st), 0);
  EXPECT_EQ(std::to_string(st.st_uid) + " " + std::to_string(st.st_gid) + " " + std::to_string(st.st_mode & 07777),
            "65534 100 436");  // 0664
}

TEST(Platform, CodePagesLeadBytesAndDoubleByteFileNames) {
  // Shift-JIS: 0x81-0x9F and 0xE0-0xFC lead; half-width katakana are single bytes.
  for (const auto& [byte, lead] : {std::pair{0x80u, false}, {0x81u, true}, {0x9Fu, true}, {0xA0u, false}, {0xDFu, false},
                                   {0xE0u, true}, {0xFCu, true}, {0xFDu, false}})
    EXPECT_EQ(platform::isLeadByte(932, static_cast<unsigned char>(byte)), lead) << byte;
  for (int cp : {936, 949, 950}) {
    EXPECT_EQ(std::to_string(platform::isLeadByte(cp, 0x80)) + std::to_string(platform::isLeadByte(cp, 0x81)) +
                  std::to_string(platform::isLeadByte(cp, 0xFE)) + std::to_string(platform::isLeadByte(cp, 0xFF)),
              "0110") << cp;
  }
  for (int c = 0; c < 256; ++c) EXPECT_FALSE(platform::isLeadByte(65001, c) || platform::isLeadByte(1252, c));
  for (const auto& [charset, codePage] : {std::pair{"UTF-8", 65001}, {"utf_8", 65001}, {"Shift_JIS", 932}, {"SJIS", 932}, {"CP932", 932},
                                          {"WINDOWS-31J", 932}, {"GBK", 936}, {"GB2312", 936}, {"CP936", 936}, {"EUC-CN", 936}, {"EUC-KR", 949},
                                          {"CP949", 949}, {"UHC", 949}, {"BIG5", 950}, {"CP950", 950}, {"BIG5-HKSCS", 950}, {"ISO-8859-1", 1252}})
    EXPECT_EQ(platform::codePageOfCharset(charset), codePage) << charset;
  // The user's locale decides the code page; names are compared without '-' and '_'.
  const char* saved = std::getenv("LC_ALL"); const std::string restore = saved != nullptr ? saved : "";
  for (const auto& [locale, codePage] : {std::pair{"C.UTF-8", 65001}, {"C", 1252}}) {
    setenv("LC_ALL", locale, 1);
    EXPECT_EQ(platform::activeCodePage(), codePage) << locale;
  }
  saved != nullptr ? setenv("LC_ALL", restore.c_str(), 1) : unsetenv("LC_ALL");
  const std::string so = "\x83\x5c";  // a Shift-JIS katakana whose trail byte is '\'
  EXPECT_EQ(platform::nativePath("\\d" + so + "\\a" + so + ".lwo", 932), "/d" + so + "/a" + so + ".lwo");
  EXPECT_EQ(platform::nativePath("\\d" + so, 1252), "/d\x83/");
}
