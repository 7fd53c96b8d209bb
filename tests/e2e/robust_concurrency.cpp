// Several conversions at once into one destination, and conversions killed or
// interrupted mid-way: every .X and .PPM under its final name is complete, and
// nothing partial is left.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <string>
#include <thread>
#include <vector>

#include "lwbuild.h"
#include "support/run.h"

using namespace lwbuild;
using testsupport::TempDir;

namespace {

Bytes texturedObject(float offset) {
  LwobBuilder b;
  b.surfaces({"Wood", "Paint"});
  b.points({offset, 0, 0, 1, 0, 0, 1, 1, 0, offset, 1, 0, 0, 0, 1});
  b.polygons({{{0, 1, 2, 3}, 1}, {{0, 3, 4}, 2}});
  b.surface("Wood", {subString("CTEX", "Planar Image Map"), subString("TIMG", "Images\\wood.tga"), subU16("TFLG", 4)});
  b.surface("Paint", {subColor(255, 0, 0)});
  return b.bytes();
}

Bytes woodImage() {
  TgaSpec s;
  s.width = 256;
  s.height = 256;
  Bytes px;
  for (int i = 0; i < 256 * 256; ++i) {
    putU8(px, static_cast<unsigned>(i % 251));
    putU8(px, static_cast<unsigned>(i / 256));
    putU8(px, static_cast<unsigned>((i * 7) % 256));
  }
  return tgaBytes(s, {}, px);
}

// A smoothed, mapped sphere large enough that writing it takes a moment.
Bytes bigSphere() {
  const Geometry g = uvSphere(256, 255, 1.0);
  LwobBuilder builder;
  builder.surfaces({"Skin"}).points(g.points).polygons(g.polygons);
  builder.surface("Skin", {subU16("FLAG", 4), subString("CTEX", "Planar Image Map"), subU16("TFLG", 2)});
  return builder.bytes();
}

std::string sceneText(int variant) {
  LwscBuilder s(0, 30);
  s.loadObject("Objects\\a.lwo", {key(0, variant, 0, 0), key(30, 0, variant, 0, 90, 0, 0)});
  s.loadObject("Objects\\b.lwo", {key(0, 0, 1, 0), key(30, 0, 2, 0)}, 1);
  return s.text();
}

// Content directory with objects, a shared texture and 8 scenes.
void makeContent(const TempDir& dir) {
  testsupport::makeDir(dir / "content/Objects");
  testsupport::makeDir(dir / "content/Images");
  testsupport::makeDir(dir / "content/Scenes");
  ASSERT_TRUE(writeFile(dir / "content/Objects/a.lwo", texturedObject(0)));
  ASSERT_TRUE(writeFile(dir / "content/Objects/b.lwo", texturedObject(0.5f)));
  ASSERT_TRUE(writeFile(dir / "content/Images/wood.tga", woodImage()));
  for (int i = 0; i < 8; ++i) {
    ASSERT_TRUE(writeFile(dir / ("content/Scenes/s" + std::to_string(i) + ".lws"), sceneText(i)));
  }
  ASSERT_TRUE(writeFile(dir / "lw.cfg", "LWCO\n0\nContentDirectory " + dir.path() + "/content\n"));
}

pid_t spawn(const std::vector<std::string>& args, const std::string& cwd) {
  const pid_t pid = fork();
  if (pid == 0) {
    // Signals the test runner ignores or blocks must not reach torvo that way.
    for (const int sig : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) signal(sig, SIG_DFL);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    if (chdir(cwd.c_str()) != 0 || freopen("/dev/null", "w", stdout) == nullptr) _exit(127);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(TORVO_EXE));
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(TORVO_EXE, argv.data());
    _exit(127);
  }
  return pid;
}

int waitExit(pid_t pid) {
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool hasTemporaryFile(const std::string& dir) {
  for (const auto& name : testsupport::listDir(dir)) {
    if (name.find(".tmp-") != std::string::npos) return true;
  }
  return false;
}

TEST(Concurrency, EightConversionsSharingTexturesMatchASerialRun) {
  TempDir dir;
  makeContent(dir);
  testsupport::makeDir(dir / "serial");
  testsupport::makeDir(dir / "parallel");
  for (const char* binary : {"-t", "-b"}) {
    SCOPED_TRACE(binary);
    for (int i = 0; i < 8; ++i) {
      const auto r = testsupport::run(TORVO_EXE, {binary, "-C", dir / "lw.cfg", "Scenes/s" + std::to_string(i) + ".lws",
                                                  dir / "serial/"},
                                      dir.path());
      ASSERT_EQ(r.exitCode, 0) << r.out;
    }
    std::vector<pid_t> pids;
    for (int i = 0; i < 8; ++i) {
      pids.push_back(spawn({binary, "-C", dir / "lw.cfg", "Scenes/s" + std::to_string(i) + ".lws", dir / "parallel/"},
                           dir.path()));
    }
    for (pid_t pid : pids) EXPECT_EQ(waitExit(pid), 0);
    const auto names = testsupport::listDir(dir / "serial");
    EXPECT_EQ(names, testsupport::listDir(dir / "parallel"));
    ASSERT_EQ(names.size(), 9u);  // 8 scenes and the shared texture
    for (const auto& name : names) {
      SCOPED_TRACE(name);
      const std::string expected = testsupport::readFile(dir / ("serial/" + name));
      EXPECT_FALSE(expected.empty());
      EXPECT_EQ(expected, testsupport::readFile(dir / ("parallel/" + name)));
    }
  }
}

TEST(Concurrency, KilledConversionLeavesNoPartialFileUnderTheFinalName) {
  TempDir dir;
  ASSERT_TRUE(writeFile(dir / "big.lwo", bigSphere()));
  testsupport::makeDir(dir / "out");
  ASSERT_TRUE(writeFile(dir / "out/big.X", std::string("previous contents\n")));
  bool sawTemporary = false;
  // Kill at increasing delays: early ones catch the temporary file being written.
  for (int delayMs : {20, 60, 120, 250, 500}) {
    const pid_t pid = spawn({"big.lwo", dir / "out/"}, dir.path());
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(delayMs);
    while (std::chrono::steady_clock::now() < until) {
      if (hasTemporaryFile(dir / "out")) sawTemporary = true;
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    kill(pid, SIGKILL);
    waitExit(pid);
    const std::string now = testsupport::readFile(dir / "out/big.X");
    // Either the old file, or (when the run finished first) a complete new one.
    if (now != "previous contents\n") {
      EXPECT_NE(now.find("xof 0302txt 0032"), std::string::npos);
      EXPECT_EQ(now.substr(now.size() - 2), "}\n");
      ASSERT_TRUE(writeFile(dir / "out/big.X", std::string("previous contents\n")));
    }
  }
  EXPECT_TRUE(sawTemporary) << "no conversion was caught while writing";
}

int temporaryFiles(const std::string& dir) {
  int n = 0;
  for (const auto& name : testsupport::listDir(dir)) n += name.find(".tmp-") != std::string::npos ? 1 : 0;
  return n;
}

// The texture is a named pipe that never delivers, so the conversion is caught with
// both its .X and its .PPM half written, whatever the machine's speed.
TEST(Concurrency, InterruptedConversionRemovesItsTemporaryFiles) {
  TempDir dir;
  testsupport::makeDir(dir / "Images");
  testsupport::makeDir(dir / "out");
  ASSERT_EQ(mkfifo((dir / "Images/held.tga").c_str(), 0600), 0);
  LwobBuilder b;
  b.surfaces({"Wood"}).points({0, 0, 0, 1, 0, 0, 1, 1, 0}).polygons({{{0, 1, 2}, 1}});
  b.surface("Wood", {subString("CTEX", "Planar Image Map"), subString("TIMG", "Images\\held.tga"), subU16("TFLG", 4)});
  ASSERT_TRUE(writeFile(dir / "tex.lwo", b.bytes()));
  ASSERT_TRUE(writeFile(dir / "lw.cfg", "LWCO\n0\nContentDirectory " + dir.path() + "\n"));
  for (const int sig : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) {
    SCOPED_TRACE(sig);
    ASSERT_TRUE(writeFile(dir / "out/tex.X", std::string("previous contents\n")));
    const pid_t pid = spawn({"-C", dir / "lw.cfg", "tex.lwo", dir / "out/"}, dir.path());
    // Opening for reading and writing does not wait for the other end.
    const int pipe = open((dir / "Images/held.tga").c_str(), O_RDWR);
    ASSERT_GE(pipe, 0);
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (temporaryFiles(dir / "out") < 2 && std::chrono::steady_clock::now() < until)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(temporaryFiles(dir / "out"), 2);
    kill(pid, sig);
    int status = 0;
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (waitpid(pid, &status, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > limit) {
        ADD_FAILURE() << "still running after the signal";
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    close(pipe);
    // Ended by the signal itself, as it would have without the clean-up.
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig);
    EXPECT_EQ(testsupport::listDir(dir / "out"), std::vector<std::string>{"tex.X"});
    EXPECT_EQ(testsupport::readFile(dir / "out/tex.X"), "previous contents\n");
  }
}

}  // namespace
