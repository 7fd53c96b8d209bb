#include <gtest/gtest.h>

#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "lwbuild.h"
#include "platform/platform.h"
#include "support/run.h"

using lwbuild::writeFile;
using testsupport::TempDir;

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

}  // namespace

TEST(PlatformOpenFile, BackslashIsASeparatorAndLetterCaseIsMatched) {
  TempDir dir;
  testsupport::makeDir(dir / "Objects");
  testsupport::makeDir(dir / "Objects/Cars");
  writeFile(dir / "Objects/Cars/Car.lwo", std::string("car"));
  writeFile(dir / "a.lwo", std::string("lower"));
  writeFile(dir / "A.lwo", std::string("upper"));
  testsupport::makeDir(dir / "b.lws");
  for (const char* v : {"/Objects/Cars/Car.lwo", "\\Objects\\Cars\\Car.lwo", "/objects/CARS/car.LWO",
                        "\\OBJECTS/cars\\cAr.lwo"}) {
    EXPECT_EQ(readVia(dir.path() + v), "car") << v;
  }
  EXPECT_EQ(readVia(dir / "objects/cars/bus.lwo"), "<none>");
  EXPECT_EQ(readVia(dir / "nodir/car.lwo"), "<none>");
  EXPECT_EQ(readVia(dir / "A.lwo"), "upper");  // the exact name wins
  EXPECT_EQ(readVia(dir / "b.lws"), "<none>");  // directories do not open for reading

  // Writing matches the directories but keeps the file name as given.
  testsupport::makeDir(dir / "Out");
  writeFile(dir / "Out/scene.x", std::string("old"));
  std::FILE* f = platform::openFile(dir.path() + "\\out\\scene.X", "wb");
  ASSERT_NE(f, nullptr);
  std::fputs("new", f);
  std::fclose(f);
  EXPECT_EQ(testsupport::readFile(dir / "Out/scene.x"), "old");
  EXPECT_EQ(testsupport::readFile(dir / "Out/scene.X"), "new");
}

TEST(PlatformTempFile, CommitReplacesRemoveCleansUpAndMissingDirectoryFails) {
  TempDir dir;
  const std::string final = dir / "out.X";
  writeFile(final, std::string("previous"));
  std::string temp;
  std::FILE* f = platform::createTempFile(final, true, temp);
  ASSERT_NE(f, nullptr);
  EXPECT_NE(temp, final);
  EXPECT_EQ(temp.substr(0, dir.path().size()), dir.path());
  std::fputs("fresh", f);
  std::fclose(f);
  EXPECT_EQ(testsupport::readFile(final), "previous");
  ASSERT_TRUE(platform::commitFile(temp, final));
  EXPECT_EQ(testsupport::readFile(final), "fresh");
  EXPECT_EQ(testsupport::listDir(dir.path()), std::vector<std::string>{"out.X"});

  std::FILE* g = platform::createTempFile(final, false, temp);
  ASSERT_NE(g, nullptr);
  std::fclose(g);
  EXPECT_TRUE(platform::removeFile(temp));
  EXPECT_EQ(testsupport::readFile(final), "fresh");
  EXPECT_EQ(testsupport::listDir(dir.path()), std::vector<std::string>{"out.X"});
  EXPECT_EQ(platform::createTempFile(dir / "missing/out.X", false, temp), nullptr);
}

TEST(PlatformDirectory, EnterAndRestore) {
  TempDir dir;
  testsupport::makeDir(dir / "Sub");
  std::string start;
  ASSERT_TRUE(platform::getCurrentDirectory(start));
  EXPECT_TRUE(platform::isDirectory(dir / "sub"));
  ASSERT_TRUE(platform::setCurrentDirectory(dir.path() + "\\sub\\."));
  std::string inside;
  ASSERT_TRUE(platform::getCurrentDirectory(inside));
  EXPECT_EQ(inside.substr(inside.size() - 4), "/Sub");
  EXPECT_FALSE(platform::setCurrentDirectory(dir / "nothere"));
  ASSERT_TRUE(platform::setCurrentDirectory(start));
  EXPECT_NE(platform::executablePath("nonsense").find("test_app"), std::string::npos);
}

TEST(PlatformCodePage, LeadBytes) {
  // Shift-JIS: 0x81-0x9F and 0xE0-0xFC lead; half-width katakana are single bytes.
  const std::pair<unsigned, bool> sjis[] = {{0x81, true},  {0x9F, true}, {0xA0, false}, {0xDF, false},
                                            {0xE0, true},  {0xFC, true}, {0xFD, false}};
  for (const auto& [byte, lead] : sjis) EXPECT_EQ(platform::isLeadByte(932, byte), lead) << byte;
  for (int cp : {936, 949, 950}) {
    EXPECT_FALSE(platform::isLeadByte(cp, 0x80)) << cp;
    EXPECT_TRUE(platform::isLeadByte(cp, 0x81)) << cp;
    EXPECT_TRUE(platform::isLeadByte(cp, 0xFE)) << cp;
    EXPECT_FALSE(platform::isLeadByte(cp, 0xFF)) << cp;
  }
  for (int c = 0; c < 256; ++c) {
    EXPECT_FALSE(platform::isLeadByte(65001, static_cast<unsigned char>(c)));
    EXPECT_FALSE(platform::isLeadByte(1252, static_cast<unsigned char>(c)));
  }
  EXPECT_GT(platform::activeCodePage(), 0);
}

TEST(PlatformOpenFile, DoubleByteNamesKeepTrailBytesThatLookLikeBackslashes) {
  const int saved = platform::fileNameCodePage();
  platform::setFileNameCodePage(932);
  TempDir dir;
  const std::string so = "\x83\x5c";  // a Shift-JIS katakana whose trail byte is '\'
  testsupport::makeDir(dir / ("d" + so));
  writeFile(dir / ("d" + so + "/a" + so + ".lwo"), std::string("so"));
  EXPECT_EQ(readVia(dir.path() + "\\d" + so + "\\a" + so + ".lwo"), "so");

  const std::string final = dir.path() + "\\d" + so + "\\b" + so + ".X";
  std::string temp;
  std::FILE* f = platform::createTempFile(final, true, temp);
  ASSERT_NE(f, nullptr);
  std::fclose(f);
  EXPECT_TRUE(platform::commitFile(temp, final));
  EXPECT_EQ(testsupport::listDir(dir / ("d" + so)), (std::vector<std::string>{"a" + so + ".lwo", "b" + so + ".X"}));
  platform::setFileNameCodePage(saved);
}

TEST(PlatformTempFile, ReplacingKeepsWhatOpeningTheFileForWritingWould) {
  TempDir dir;
  auto replace = [](const std::string& final, const char* text) {
    std::string temp;
    std::FILE* f = platform::createTempFile(final, true, temp);
    if (f == nullptr) return false;
    std::fputs(text, f);
    std::fclose(f);
    return platform::commitFile(temp, final);
  };
  // A name near the system's limit still gets a temporary name that fits.
  for (const std::string& longName : {std::string(250, 'a') + ".X", std::string(242, 'a') + "\xC3\xA9.X"}) {
    ASSERT_TRUE(replace(dir / longName, "long"));
    EXPECT_EQ(testsupport::readFile(dir / longName), "long");
  }
  std::string temp;
  std::FILE* f = platform::createTempFile(dir / (std::string(242, 'a') + "\xC3\xA9.X"), true, temp);
  ASSERT_NE(f, nullptr);
  std::fclose(f);
  EXPECT_EQ(temp.find('\xC3'), std::string::npos);  // shortened before the character, not inside it
  EXPECT_TRUE(platform::removeFile(temp));

  // A symbolic link is written through, not replaced, even to a file not there yet.
  writeFile(dir / "target.X", std::string("old"));
  ASSERT_EQ(symlink("target.X", (dir / "link.X").c_str()), 0);
  ASSERT_TRUE(replace(dir / "link.X", "through"));
  EXPECT_EQ(testsupport::readFile(dir / "target.X"), "through");
  testsupport::makeDir(dir / "sub");
  ASSERT_EQ(symlink("sub/later.X", (dir / "dangling.X").c_str()), 0);
  ASSERT_TRUE(replace(dir / "dangling.X", "created"));
  EXPECT_EQ(testsupport::readFile(dir / "sub/later.X"), "created");
  struct stat st;
  for (const char* link : {"link.X", "dangling.X"}) {
    ASSERT_EQ(lstat((dir / link).c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode)) << link;
  }

  // The replaced file's permissions stay.
  ASSERT_EQ(chmod((dir / "target.X").c_str(), 0640), 0);
  ASSERT_TRUE(replace(dir / "target.X", "again"));
  ASSERT_EQ(stat((dir / "target.X").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);

  // So does its owner, where we may give it back (only root may give files away).
  if (geteuid() == 0) {
    ASSERT_EQ(chown((dir / "target.X").c_str(), 65534, 65534), 0);
    ASSERT_TRUE(replace(dir / "target.X", "owned"));
    ASSERT_EQ(stat((dir / "target.X").c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 65534u);
    EXPECT_EQ(st.st_gid, 65534u);
  }

  // A member of the file's group who does not own it keeps at least the group.
  if (geteuid() == 0) {
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
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    ASSERT_EQ(stat((dir / "shared/g.X").c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 65534u);
    EXPECT_EQ(st.st_gid, 100u);
    EXPECT_EQ(st.st_mode & 07777, 0664u);
  }

  // A file its owner made read-only is left alone (root may write anything).
  if (geteuid() != 0) {
    ASSERT_EQ(chmod((dir / "target.X").c_str(), 0440), 0);
    EXPECT_FALSE(replace(dir / "target.X", "refused"));
    EXPECT_EQ(testsupport::readFile(dir / "target.X"), "again");  // unchanged
  }
}
