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
#include <string>
#include <thread>
#include <vector>

#include "cli_support.h"

using namespace clitest;

namespace {

Bytes texturedObject(float offset, const char* image = "Images\\wood.tga") {
  return LwobBuilder().surfaces({"Wood", "Paint"}).points({offset, 0, 0, 1, 0, 0, 1, 1, 0, offset, 1, 0, 0, 0, 1})
      .polygons({{{0, 1, 2, 3}, 1}, {{0, 3, 4}, 2}})
      .surface("Wood", {subString("CTEX", "Planar Image Map"), subString("TIMG", image), subU16("TFLG", 4)})
      .surface("Paint", {subColor(255, 0, 0)}).bytes();
}

// Starts torvo with default signal handling whatever the test runner set up, its output discarded.
pid_t spawn(const std::vector<std::string>& args, const std::string& cwd) {
  const pid_t pid = fork();
  if (pid == 0) {
    for (const int sig : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) signal(sig, SIG_DFL);
    sigset_t none; sigemptyset(&none); sigprocmask(SIG_SETMASK, &none, nullptr);
    if (chdir(cwd.c_str()) != 0 || freopen("/dev/null", "w", stdout) == nullptr) _exit(127);
    std::vector<char*> argv = {const_cast<char*>(TORVO_EXE)};
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr); execv(TORVO_EXE, argv.data()); _exit(127);
  }
  return pid;
}

int temporaryFiles(const std::string& dir) {
  int n = 0;
  for (const auto& name : listDir(dir)) n += name.find(".tmp-") != std::string::npos;
  return n;
}

}  // namespace

TEST(Concurrency, KilledConversionLeavesNoPartialFileUnderTheFinalName) {
  TempDir dir;
  const Geometry g = uvSphere(256, 255, 1.0);  // smoothed and mapped: writing it takes a moment
  writeFile(dir / "big.lwo", LwobBuilder().surfaces({"Skin"}).points(g.points).polygons(g.polygons)
                                 .surface("Skin", {subU16("FLAG", 4), subString("CTEX", "Planar Image Map"), subU16("TFLG", 2)}).bytes());
  testsupport::makeDir(dir / "out"); writeFile(dir / "out/big.X", std::string("previous contents\n")); bool sawTemporary = false;
  // Kill at increasing delays: early ones catch the temporary file being written.
  for (int delayMs : {20, 60, 120, 250, 500}) {
    const pid_t pid = spawn({"big.lwo", dir / "out/"}, dir.path());
    for (const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(delayMs); std::chrono::steady_clock::now() < until;) {
      sawTemporary = sawTemporary || temporaryFiles(dir / "out") > 0; std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    kill(pid, SIGKILL); waitpid(pid, nullptr, 0); const std::string now = readFile(dir / "out/big.X");
    // Either the old file, or (when the run finished first) a complete new one.
    if (now != "previous contents\n") {
      EXPECT_TRUE(now.rfind("xof 0302txt 0032", 0) == 0 && now.substr(now.size() - 2) == "}\n");
      writeFile(dir / "out/big.X", std::string("previous contents\n"));
    }
  }
  EXPECT_TRUE(sawTemporary) << "no conversion was caught while writing";
}

// The texture is a named pipe that never delivers, so the conversion is caught with
// both its .X and its .PPM half written, whatever the machine's speed.
TEST(Concurrency, InterruptedConversionRemovesItsTemporaryFiles) {
  TempDir dir; testsupport::makeDir(dir / "Images"); testsupport::makeDir(dir / "out");
  ASSERT_EQ(mkfifo((dir / "Images/held.tga").c_str(), 0600), 0); writeFile(dir / "tex.lwo", texturedObject(0, "Images\\held.tga"));
  writeFile(dir / "lw.cfg", "LWCO\n0\nContentDirectory " + dir.path() + "\n");
  for (const int sig : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) {
    writeFile(dir / "out/tex.X", std::string("previous contents\n"));
    const pid_t pid = spawn({"-C", dir / "lw.cfg", "tex.lwo", dir / "out/"}, dir.path());
    const int pipe = open((dir / "Images/held.tga").c_str(), O_RDWR);  // does not wait for the other end
    ASSERT_GE(pipe, 0);
    for (const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
         temporaryFiles(dir / "out") < 2 && std::chrono::steady_clock::now() < until;)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(temporaryFiles(dir / "out"), 2) << sig; kill(pid, sig); int status = 0;
    for (const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(30); waitpid(pid, &status, WNOHANG) == 0;) {
      if (std::chrono::steady_clock::now() > limit) {
        ADD_FAILURE() << "still running after signal " << sig; kill(pid, SIGKILL); waitpid(pid, &status, 0);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    close(pipe);
    // Ended by the signal itself, as it would have without the clean-up.
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << sig; EXPECT_EQ(listDir(dir / "out"), Names{"tex.X"}) << sig;
    EXPECT_EQ(readFile(dir / "out/tex.X"), "previous contents\n") << sig;
  }
}
