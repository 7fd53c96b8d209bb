// Memory running out anywhere in a conversion: the n-th allocation fails, for every n up
// to the conversion's last. Each run ends as a failed conversion (exit code 1 and the
// message) or a whole one, never an abort, and leaves no temporary file behind.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <string>

#include "app/batch.h"
#include "lwbuild.h"
#include "support/run.h"
#include "torvo/torvo.h"

using namespace torvo;

namespace {

// Allocations left before one fails; negative: none fails.
std::atomic<long> gAllocationsLeft{-1};
std::atomic<long> gAllocations{0};

void collect(void* user, const char* text, size_t length) { static_cast<std::string*>(user)->append(text, length); }

bool temporaryFilesIn(const std::string& directory) {
  for (const auto& entry : std::filesystem::recursive_directory_iterator(directory)) {
    if (entry.path().filename().string().find(".tmp-") != std::string::npos) return true;
  }
  return false;
}

}  // namespace

// Allocations go to malloc and back to free: gcc cannot see that the pair matches.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void* operator new(std::size_t size) {
  gAllocations.fetch_add(1, std::memory_order_relaxed);
  if (gAllocationsLeft.load(std::memory_order_relaxed) >= 0 && gAllocationsLeft.fetch_sub(1) == 0) throw std::bad_alloc();
  void* p = std::malloc(size != 0 ? size : 1);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

TEST(OutOfMemory, EveryAllocationOfASceneConversionMayFail) {
  testsupport::TempDir dir;
  const std::string examples = std::string(TORVO_SOURCE_DIR) + "/examples";
  const std::string config = dir / "lw.cfg";
  const std::string templateFile = std::string(TORVO_BINARY_DIR) + "/TORVOtpl.x";
  const std::string out = dir / "out/";
  lwbuild::writeFile(config, "LWCO\n0\nContentDirectory " + examples + "\n");
  testsupport::makeDir(out);
  torvo_options options;
  torvo_default_options(&options);
  options.template_file = templateFile.c_str();
  options.config_file = config.c_str();
  const std::string scene = examples + "/Scenes/demo.lws";
  long failures = 0;
  for (long n = 0;; ++n) {
    SCOPED_TRACE(n);
    std::string messages;
    messages.reserve(1 << 16);
    gAllocationsLeft = n;
    const int result = torvo_convert(scene.c_str(), out.c_str(), &options, collect, &messages);
    gAllocationsLeft = -1;
    EXPECT_FALSE(temporaryFilesIn(out));
    if (result == 0) break;
    ++failures;
    EXPECT_EQ(result, 1);
    ASSERT_NE(messages.find("Not enough memory for this conversion!\nerror occured.\n"), std::string::npos) << messages;
  }
  // Reading, deriving, converting textures and writing all allocate.
  EXPECT_GT(failures, 500);
}

// Two files in a tree, one worker: wherever memory runs out, the batch ends with exit
// code 1, a message and no temporary file, and a file that fails does not stop the other.
TEST(OutOfMemory, EveryAllocationOfABatchMayFail) {
  testsupport::TempDir dir;
  const std::string objects = std::string(TORVO_SOURCE_DIR) + "/examples/Objects/";
  testsupport::makeDir(dir / "in");
  testsupport::makeDir(dir / "in/sub");
  std::filesystem::copy_file(objects + "ball.lwo", dir / "in/ball.lwo");
  std::filesystem::copy_file(objects + "floor.lwo", dir / "in/sub/floor.lwo");
  std::string args[] = {"torvo-batch", "-b", "-j", "1", dir / "in", dir / "out"};
  char* argv[std::size(args)];
  for (std::size_t i = 0; i < std::size(args); ++i) argv[i] = args[i].data();
  MessageSink console;
  console.write = collect;
  long failures = 0;
  for (long n = 0;; ++n) {
    SCOPED_TRACE(n);
    std::filesystem::remove_all(dir / "out");
    std::string report;
    report.reserve(1 << 16);
    console.user = &report;
    gAllocationsLeft = n;
    const int result = runTorvoBatch(static_cast<int>(std::size(args)), argv, console, false);
    gAllocationsLeft = -1;
    if (std::filesystem::exists(dir / "out")) {
      EXPECT_FALSE(temporaryFilesIn(dir / "out"));
    }
    if (result == 0) {
      EXPECT_EQ(report, "2 converted, 0 failed\n");
      break;
    }
    ++failures;
    EXPECT_EQ(result, 1);
    const bool fileFailed = report.find("1 converted, 1 failed\n") != std::string::npos;
    const bool batchFailed = report.find("not enough memory for the batch.\n") != std::string::npos;
    EXPECT_TRUE(fileFailed || batchFailed) << report;
    if (fileFailed) {
      // The failed file's own text, quoted, ends with why.
      EXPECT_NE(report.find("Not enough memory for this conversion!\n  | error occured.\n"), std::string::npos)
          << report;
    }
  }
  EXPECT_GT(failures, 100);
}
