// The text the program takes in before any model (paths, lines, lw.cfg) and the POSIX
// platform layer under it: LightWave paths on disk, temporary files, code pages.
#include <gtest/gtest.h>

#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "core/lookup.h"
#include "core/lwcfg.h"
#include "core/paths.h"
#include "lwbuild.h"
#include "platform/pending.h"
#include "platform/platform.h"
#include "support/context.h"
#include "support/run.h"

using namespace torvo;

using lwbuild::writeFile;
using testsupport::listDir;
using testsupport::readFile;
using testsupport::TempDir;

namespace {

// The path helpers in a code page, 1252 unless given.
std::string joined(std::string dst, const std::string& src, int codePage = 1252) {
  joinPath(dst, src, codePage);
  return dst;
}
std::string tail(const std::string& path, int codePage = 1252) { return path.substr(fileNamePart(path, codePage)); }
std::string xName(const std::string& name, int codePage = 1252) { return makeXName(name, codePage); }
std::string extension(const std::string& path, int codePage = 1252) {
  const std::size_t dot = findExtension(path, codePage);
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
      {"/w", "sub/s.lws", "/w" + sep + "sub/s.lws"}, {"c:\\w", "..\\s.lws", "..\\s.lws"}, {"c:\\w", ".\\a.lwo", ".\\a.lwo"},
      {"c:\\w", "\\x\\a.lwo", "\\x\\a.lwo"}, {"c:\\w", "/x/a.lwo", "/x/a.lwo"}, {"c:\\w", "d:\\s.lws", "d:\\s.lws"},
      {"c:\\w", "c:a.lwo", "c:a.lwo"}};
  for (const auto& row : joins) EXPECT_EQ(joined(row[0], row[1]), row[2]) << row[0] << " + " << row[1];
  const char* parts[][3] = {{"c:\\x\\a.lws", "a.lws", ".lws"}, {"/x/y/a.b.lws", "a.b.lws", ".lws"}, {"c:", "", "<none>"},
                            {"c:a.lws", "a.lws", ".lws"}, {"dir\\", "", "<none>"}, {"dir.x\\file", "file", "<none>"},
                            {".lws", ".lws", ".lws"}, {"a.", "a.", "."}};
  for (const auto& [path, name, ext] : parts) {
    EXPECT_EQ(tail(path), name) << path;
    EXPECT_EQ(extension(path), ext) << path;
  }
  for (const auto& [from, to] : {std::pair{"c:\\x\\scene.lws", "c:\\x\\scene.X"}, {"my.dir/out", "my.dir/out.X"}}) {
    std::string path = from;
    replaceExtension(path, ".X", 1252);
    EXPECT_EQ(path, to);
  }
  const char* names[][2] = {{"My Obj-1.lwo", "My_Obj1lwo"}, {"Light (2)", "Light_2"}, {"9lives_\t\x7f\xe9x", "9lives_x"},
                            {"AZaz09_`{@[/:", "AZaz09_"}};
  for (const auto& [name, x] : names) EXPECT_EQ(xName(name), x) << name;
  // A UNC name with nothing after it is all prefix, a lone lead byte at its end included.
  // Drive letters of either case, at both ends of the alphabet, make a shared prefix.
  const std::string beside = std::string("..") + sep + "maps" + sep + "w.tga";
  const std::string relatives[][3] = {
      {"A:\\out", "a:\\maps\\w.tga", beside},
      {"Z:\\out", "z:\\maps\\w.tga", beside},
      {"a:\\out", "A:\\maps\\w.tga", beside},
      {"z:\\out", "Z:\\maps\\w.tga", beside},
      {"@:\\out", "@:\\maps\\w.tga", "@:\\maps\\w.tga"},
      {"[:\\out", "[:\\maps\\w.tga", "[:\\maps\\w.tga"},
      {"\\\\srv\\share\\out", "\\\\srv\\share\\maps\\w.tga", beside},
  };
  for (const auto& [directory, file, relative] : relatives) {
    EXPECT_EQ(relativePath(directory, file, 1252), relative) << directory << " to " << file;
  }
  EXPECT_EQ(relativePath("\\\\srv\\share", "\\\\srv\\share", 1252), "");
  EXPECT_EQ(relativePath("\\\\srv\\a\x81", "\\\\srv\\a\x81", 936), "");
  EXPECT_EQ(relativePath("c:\\x", "c:\\x\\a\x81", 936), "a\x81");
}

TEST(Paths, DoubleByteTrailBytesAreNeitherSeparatorsNorDots) {
  const std::string name = "dir\\\x95\x5C.lwo";  // 0x95 0x5C: one Shift-JIS character
  EXPECT_EQ(tail(name), ".lwo");  // in 1252, 0x5C is a separator
  EXPECT_EQ(tail(name, 932), "\x95\x5C.lwo");
  EXPECT_EQ(extension("a\x95\x2E", 932), "<none>");  // a lead byte always takes the next byte
  EXPECT_EQ(xName("A\x95\x5C" "B", 932), "AB");
  EXPECT_EQ(joined("c:\\\x95\x5C", "a.lwo", 932), "c:\\\x95\x5C" + std::string(1, platform::nativeSeparator()) + "a.lwo");
  // A lone lead byte at the end stands alone.
  EXPECT_EQ(tail("a\\\x81", 936), "\x81");
  EXPECT_EQ(xName("ab\x81", 936), "ab");
}

TEST(ReadLine, EveryLineEndPairTheEndOfInputAndSmallBuffers) {
  const std::pair<std::string, Lines> rows[] = {
      {"a\rb", {"a", "b"}}, {"a\nb", {"a", "b"}}, {"a\r\nb", {"a", "b"}}, {"a\n\rb", {"a", "b"}},
      {"a\r\rb", {"a", "", "b"}}, {"a\n\nb", {"a", "", "b"}}, {"a\r\n\r\nb", {"a", "", "b"}}, {"a\n", {"a"}},
      {"a\nb\r", {"a", "b"}}, {"", {""}}, {std::string("LWSC\0x\nb", 8), {"LWSC", "b"}}};  // a NUL ends the line's text
  for (const auto& [bytes, expected] : rows) EXPECT_EQ(lines(bytes), expected) << testing::PrintToString(bytes);
  // A long line arrives in pieces of size - 1; a buffer of 1 holds nothing.
  EXPECT_EQ(lines(std::string(450, 'x') + "\nend\n"), (Lines{std::string(199, 'x'), std::string(199, 'x'), std::string(52, 'x'), "end"}));
  std::FILE* f = testsupport::streamOf("abc");
  std::string line = "old";
  for (const auto& [size, expected] : {std::pair{1, ""}, {2, "a"}, {3, "bc"}}) {
    EXPECT_TRUE(readLine(line, size, f)) << size;
    EXPECT_EQ(line, expected) << size;
  }
  std::fclose(f);
}

TEST(LwConfig, KeysHeaderAndLineEnds) {
  const std::string filling(1022 - 17, 'w');  // with its key, a line that just fits the buffer
  const Lines none = {"", "", "", ""};
  const std::pair<std::string, Lines> accepted[] = {
      {"LWCO\n0\nContentDirectory C:\\NewTek\nScenesDirectory Scenes\nObjectsDirectory Objects\n"
       "ImagesDirectory Images\nDefaultSegmentMemory 2200000\n", {"C:\\NewTek", "Scenes", "Objects", "Images"}},
      {"LWCO\r\n0\r\nContentDirectory C:\\NewTek\r\nScenesDirectory Scenes\r\n", {"C:\\NewTek", "Scenes", "", ""}},
      // Blanks stay, the key is matched exactly, the later line wins, the last line needs no line end.
      {"LWCO\n0\nContentDirectory  C:\\x \ncontentdirectory C:\\lower\nContentDirectoryC:\\nospace\n"
       "ScenesDirectory a\nScenesDirectory b\nImagesDirectory ", {" C:\\x ", "b", "", ""}},
      {"", none}, {"LWCO\n0\n", none},
      // The key's line is cut after 1023 characters; the rest is a line of its own.
      {"LWCO\n0\nContentDirectory " + std::string(1100, 'v') + "\nScenesDirectory s\n", {std::string(1023 - 17, 'v'), "s", "", ""}},
      // A CR LF at the buffer's edge ends the line as a plain line feed would.
      {"LWCO\r\n0\r\nContentDirectory " + filling + "\r\nScenesDirectory s\r\n", {filling, "s", "", ""}}};
  for (const auto& [text, dirs] : accepted) {
    std::FILE* f = testsupport::streamOf(text);
    LwConfig c;
    EXPECT_TRUE(ok(readLwConfig(c, f))) << text;
    std::fclose(f);
    EXPECT_EQ((Lines{c.contentDirectory, c.scenesDirectory, c.objectsDirectory, c.imagesDirectory}), dirs) << text;
  }
  for (const char* text : {"LWCO \n0\n", "lwco\n0\n", "LWCO\n1\nContentDirectory x\n", "LWCO\n0 \n", "ContentDirectory x\n0\n"}) {
    std::FILE* f = testsupport::streamOf(text);
    LwConfig c;
    EXPECT_FALSE(ok(readLwConfig(c, f))) << text;
    std::fclose(f);
  }
}

namespace {

// The contents of the file openFile finds for reading, or "<none>".
std::string readVia(const std::string& path) {
  std::FILE* f = platform::openFile(path, "rb");
  if (f == nullptr) return "<none>";
  std::string s;
  for (int c = std::fgetc(f); c != EOF; c = std::fgetc(f)) s.push_back(static_cast<char>(c));
  std::fclose(f);
  return s;
}

// Writes the file through a temporary one and commits it.
bool replace(const std::string& final, const char* text) {
  std::string temp;
  std::FILE* f = platform::createTempFile(final, true, temp);
  if (f == nullptr) return false;
  std::fputs(text, f);
  std::fclose(f);
  return platform::commitFile(temp, final);
}

}  // namespace

TEST(Platform, LightWavePathsMatchLetterCaseAndBackslashes) {
  TempDir dir;
  testsupport::makeDir(dir / "Objects/Cars");
  testsupport::makeDir(dir / "b.lws");
  writeFile(dir / "Objects/Cars/Car.lwo", std::string("car"));
  writeFile(dir / "a.lwo", std::string("lower"));
  writeFile(dir / "A.lwo", std::string("upper"));
  for (const char* v : {"/Objects/Cars/Car.lwo", "\\Objects\\Cars\\Car.lwo", "/objects/CARS/car.LWO", "\\OBJECTS/cars\\cAr.lwo",
                        "/./objects/../Objects/cars/car.lwo"})
    EXPECT_EQ(readVia(dir.path() + v), "car") << v;
  // Nothing matches, or only a directory, which does not open for reading.
  for (const char* v : {"objects/cars/bus.lwo", "nodir/car.lwo", "b.lws"}) EXPECT_EQ(readVia(dir / v), "<none>") << v;
  EXPECT_EQ(readVia(dir / "A.lwo"), "upper");  // the exact name wins
  // Every case variant is a file of its own: the exact name first, then in byte order.
  EXPECT_EQ(platform::findFiles(dir.path() + "\\A.LWO"), (std::vector<std::string>{dir / "A.lwo", dir / "a.lwo"}));
  EXPECT_EQ(platform::findFiles(dir / "a.lwo"), (std::vector<std::string>{dir / "a.lwo", dir / "A.lwo"}));
  // Writing matches the directories but keeps the file name as given.
  testsupport::makeDir(dir / "Out");
  writeFile(dir / "Out/scene.x", std::string("old"));
  std::FILE* f = platform::openFile(dir.path() + "\\out\\scene.X", "wb");
  ASSERT_NE(f, nullptr);
  std::fputs("new", f);
  std::fclose(f);
  EXPECT_EQ(readFile(dir / "Out/scene.x"), "old");
  EXPECT_EQ(readFile(dir / "Out/scene.X"), "new");
  std::string inside;
  EXPECT_TRUE(platform::isDirectory(dir.path() + "\\out\\."));
  EXPECT_FALSE(platform::isDirectory(dir / "nothere"));
  EXPECT_TRUE(platform::directoryPath(dir.path() + "\\out\\.", inside));
  EXPECT_TRUE(inside.ends_with("/Out")) << inside;
  EXPECT_TRUE(platform::executablePath("nonsense").ends_with("/test_app"));
}

TEST(Platform, TemporaryFilesCommitRemoveAndKeepWhatWritingInPlaceWould) {
  TempDir dir;
  const std::string final = dir / "out.X";
  writeFile(final, std::string("previous"));
  std::string temp;
  std::FILE* f = platform::createTempFile(final, true, temp);
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(temp.substr(0, dir.path().size() + 1), dir.path() + "/");
  std::fputs("fresh", f);
  std::fclose(f);
  EXPECT_EQ(readFile(final), "previous");
  ASSERT_TRUE(platform::commitFile(temp, final));
  EXPECT_EQ(readFile(final), "fresh");
  std::fclose(platform::createTempFile(final, false, temp));
  EXPECT_TRUE(platform::removeFile(temp));
  EXPECT_EQ(listDir(dir.path()), std::vector<std::string>{"out.X"});
  EXPECT_EQ(platform::createTempFile(dir / "missing/out.X", false, temp), nullptr);
  // A name near the system's limit gets a temporary name that fits, cut before a character, not inside it.
  for (const std::string& name : {std::string(250, 'a') + ".X", std::string(242, 'a') + "\xC3\xA9.X"}) {
    ASSERT_TRUE(replace(dir / name, "long"));
    EXPECT_EQ(readFile(dir / name), "long");
    std::fclose(platform::createTempFile(dir / name, true, temp));
    EXPECT_EQ(temp.find('\xC3'), std::string::npos);
    EXPECT_TRUE(platform::removeFile(temp));
  }
  // A file replaced keeps its own name beside one that differs in letter case only.
  writeFile(dir / "case.x", std::string("lower"));
  ASSERT_TRUE(replace(dir / "case.X", "upper"));
  EXPECT_EQ(readFile(dir / "case.x"), "lower");
  // A symbolic link is written through, not replaced, even to a file not there yet.
  writeFile(dir / "target.X", std::string("old"));
  ASSERT_EQ(symlink((dir / "target.X").c_str(), (dir / "link.X").c_str()), 0);
  ASSERT_TRUE(replace(dir / "link.X", "through"));
  EXPECT_EQ(readFile(dir / "target.X"), "through");
  testsupport::makeDir(dir / "sub");
  ASSERT_EQ(symlink("sub/later.X", (dir / "dangling.X").c_str()), 0);
  ASSERT_TRUE(replace(dir / "dangling.X", "created"));
  EXPECT_EQ(readFile(dir / "sub/later.X"), "created");
  EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.X"));
  EXPECT_TRUE(std::filesystem::is_symlink(dir / "dangling.X"));
  // Links that lead round in a circle are followed a bounded number of times; the file then replaces one of them.
  ASSERT_EQ(symlink("loop2.X", (dir / "loop1.X").c_str()), 0);
  ASSERT_EQ(symlink("loop1.X", (dir / "loop2.X").c_str()), 0);
  ASSERT_TRUE(replace(dir / "loop1.X", "cut"));
  EXPECT_EQ(readFile(dir / "loop2.X"), "cut");
  // Permissions stay; so do owner and group where we may give them back (only root may give files away).
  struct stat st;
  ASSERT_EQ(chmod((dir / "target.X").c_str(), 0640), 0);
  ASSERT_TRUE(replace(dir / "target.X", "again"));
  ASSERT_EQ(stat((dir / "target.X").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  if (geteuid() != 0) {  // a file its owner made read-only is left alone
    ASSERT_EQ(chmod((dir / "target.X").c_str(), 0440), 0);
    EXPECT_FALSE(replace(dir / "target.X", "refused"));
    return;
  }
  ASSERT_EQ(chown((dir / "target.X").c_str(), 65534, 65534), 0);
  ASSERT_TRUE(replace(dir / "target.X", "owned"));
  ASSERT_EQ(stat((dir / "target.X").c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, 65534u);
  EXPECT_EQ(st.st_gid, 65534u);
  // A member of the file's group who does not own it keeps at least the group.
  ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
  testsupport::makeDir(dir / "shared");
  ASSERT_EQ(chmod((dir / "shared").c_str(), 0777), 0);
  writeFile(dir / "shared/g.X", std::string("theirs"));
  ASSERT_EQ(chown((dir / "shared/g.X").c_str(), 0, 100), 0);
  ASSERT_EQ(chmod((dir / "shared/g.X").c_str(), 0664), 0);
  const pid_t pid = fork();
  if (pid == 0) {
    const gid_t groups[] = {100};
    if (setgroups(1, groups) != 0 || setgid(65534) != 0 || setuid(65534) != 0) _exit(2);
    _exit(replace(dir / "shared/g.X", "mine") ? 0 : 1);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_EQ(status, 0);
  ASSERT_EQ(stat((dir / "shared/g.X").c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, 65534u);
  EXPECT_EQ(st.st_gid, 100u);
  EXPECT_EQ(st.st_mode & 07777, 0664u);
}

// Temporary files are recorded by absolute name: an interrupt deletes them whatever
// directory the process is in by then.
TEST(Platform, TemporaryFilesAreRecordedByAbsoluteName) {
  TempDir dir;
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(dir.path());
  std::string temp;
  std::FILE* f = platform::createTempFile("relative.X", false, temp);
  std::filesystem::current_path(before);
  ASSERT_NE(f, nullptr);
  std::fclose(f);
  const std::string absolute = std::filesystem::canonical(dir.path()).string() + "/" + temp;
  const auto recorded = [] {
    std::vector<std::string> paths;
    for (const platform::pending::Slot& slot : platform::pending::slots) {
      if (slot.used.load() == 1) paths.emplace_back(slot.path);
    }
    return paths;
  };
  EXPECT_EQ(recorded(), std::vector<std::string>{absolute});
  EXPECT_TRUE(platform::removeFile(absolute));
  EXPECT_EQ(recorded(), std::vector<std::string>{});
}

TEST(Platform, CodePagesLeadBytesAndDoubleByteFileNames) {
  // Shift-JIS: 0x81-0x9F and 0xE0-0xFC lead; half-width katakana are single bytes. The others: 0x81-0xFE.
  const struct {
    int codePage;
    unsigned byte;
    bool lead;
  } bytes[] = {{932, 0x80, false}, {932, 0x81, true}, {932, 0x9F, true}, {932, 0xA0, false}, {932, 0xDF, false}, {932, 0xE0, true},
               {932, 0xFC, true},  {932, 0xFD, false}, {936, 0x80, false}, {936, 0x81, true}, {949, 0xFE, true}, {950, 0xFF, false}};
  for (const auto& row : bytes) EXPECT_EQ(platform::isLeadByte(row.codePage, row.byte), row.lead) << row.codePage << " " << row.byte;
  for (int c = 0; c < 256; ++c) {
    EXPECT_FALSE(platform::isLeadByte(65001, c)) << c;
    EXPECT_FALSE(platform::isLeadByte(1252, c)) << c;
  }
  // Names are compared without '-' and '_', in any letter case.
  for (const auto& [charset, codePage] : {std::pair{"utf_8", 65001}, {"Shift_JIS", 932}, {"SJIS", 932}, {"CP932", 932},
                                          {"WINDOWS-31J", 932}, {"GBK", 936}, {"GB2312", 936}, {"CP936", 936}, {"EUC-CN", 936},
                                          {"EUC-KR", 949}, {"CP949", 949}, {"UHC", 949}, {"BIG5", 950}, {"CP950", 950},
                                          {"BIG5-HKSCS", 950}, {"ISO-8859-1", 1252}})
    EXPECT_EQ(platform::codePageOfCharset(charset), codePage) << charset;
  // The user's locale decides the code page.
  const char* saved = std::getenv("LC_ALL");
  const std::string restore = saved != nullptr ? saved : "";
  for (const auto& [locale, codePage] : {std::pair{"C.UTF-8", 65001}, {"C", 1252}}) {
    setenv("LC_ALL", locale, 1);
    EXPECT_EQ(platform::activeCodePage(), codePage) << locale;
  }
  if (saved != nullptr) setenv("LC_ALL", restore.c_str(), 1);
  if (saved == nullptr) unsetenv("LC_ALL");
  const std::string so = "\x83\x5c";  // a Shift-JIS katakana whose trail byte is '\'
  EXPECT_EQ(platform::nativePath("\\d" + so + "\\a" + so + ".lwo", 932), "/d" + so + "/a" + so + ".lwo");
  EXPECT_EQ(platform::nativePath("\\d" + so, 1252), "/d\x83/");
}
