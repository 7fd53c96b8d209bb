// The POSIX platform layer: LightWave paths on disk, temporary files, code pages.
#include <gtest/gtest.h>

#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "lwbuild.h"
#include "platform/platform.h"
#include "support/run.h"

using lwbuild::writeFile;
using testsupport::listDir;
using testsupport::readFile;
using testsupport::TempDir;

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
                        "/./objects/../Objects/cars/car.lwo"}) {
    EXPECT_EQ(readVia(dir.path() + v), "car") << v;
  }
  EXPECT_EQ(readVia(dir / "objects/cars/bus.lwo") + readVia(dir / "nodir/car.lwo") + readVia(dir / "b.lws"),
            "<none><none><none>");  // directories do not open for reading
  EXPECT_EQ(readVia(dir / "A.lwo"), "upper");  // the exact name wins
  // Writing matches the directories but keeps the file name as given.
  testsupport::makeDir(dir / "Out");
  writeFile(dir / "Out/scene.x", std::string("old"));
  std::FILE* f = platform::openFile(dir.path() + "\\out\\scene.X", "wb");
  ASSERT_NE(f, nullptr);
  std::fputs("new", f);
  std::fclose(f);
  EXPECT_EQ(readFile(dir / "Out/scene.x") + readFile(dir / "Out/scene.X"), "oldnew");

  std::string start, inside;
  ASSERT_TRUE(platform::getCurrentDirectory(start));
  EXPECT_TRUE(platform::isDirectory(dir / "out"));
  ASSERT_TRUE(platform::setCurrentDirectory(dir.path() + "\\out\\."));
  ASSERT_TRUE(platform::getCurrentDirectory(inside));
  EXPECT_EQ(inside.substr(inside.size() - 4), "/Out");
  EXPECT_FALSE(platform::setCurrentDirectory(dir / "nothere"));
  ASSERT_TRUE(platform::setCurrentDirectory(start));
  EXPECT_NE(platform::executablePath("nonsense").find("test_app"), std::string::npos);
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
  // A symbolic link is written through, not replaced, even to a file not there yet.
  writeFile(dir / "target.X", std::string("old"));
  ASSERT_EQ(symlink("target.X", (dir / "link.X").c_str()), 0);
  ASSERT_TRUE(replace(dir / "link.X", "through"));
  EXPECT_EQ(readFile(dir / "target.X"), "through");
  testsupport::makeDir(dir / "sub");
  ASSERT_EQ(symlink("sub/later.X", (dir / "dangling.X").c_str()), 0);
  ASSERT_TRUE(replace(dir / "dangling.X", "created"));
  EXPECT_EQ(readFile(dir / "sub/later.X"), "created");
  struct stat st;
  for (const char* link : {"link.X", "dangling.X"}) EXPECT_TRUE(lstat((dir / link).c_str(), &st) == 0 && S_ISLNK(st.st_mode));
  // Permissions stay; so do owner and group where we may give them back (only root may give files away).
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
  EXPECT_EQ(st.st_uid + st.st_gid, 2 * 65534u);
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
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  ASSERT_EQ(stat((dir / "shared/g.X").c_str(), &st), 0);
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
  // The user's locale decides the code page; names are compared without '-' and '_'.
  const char* saved = std::getenv("LC_ALL");
  const std::string restore = saved != nullptr ? saved : "";
  for (const auto& [locale, codePage] : {std::pair{"C.UTF-8", 65001}, {"C", 1252}}) {
    setenv("LC_ALL", locale, 1);
    EXPECT_EQ(platform::activeCodePage(), codePage) << locale;
  }
  saved != nullptr ? setenv("LC_ALL", restore.c_str(), 1) : unsetenv("LC_ALL");

  const int savedPage = platform::fileNameCodePage();
  platform::setFileNameCodePage(932);
  TempDir dir;
  const std::string so = "\x83\x5c";  // a Shift-JIS katakana whose trail byte is '\'
  testsupport::makeDir(dir / ("d" + so));
  writeFile(dir / ("d" + so + "/a" + so + ".lwo"), std::string("so"));
  EXPECT_EQ(readVia(dir.path() + "\\d" + so + "\\a" + so + ".lwo"), "so");
  EXPECT_TRUE(replace(dir.path() + "\\d" + so + "\\b" + so + ".X", ""));
  EXPECT_EQ(listDir(dir / ("d" + so)), (std::vector<std::string>{"a" + so + ".lwo", "b" + so + ".X"}));
  platform::setFileNameCodePage(savedPage);
}
