#include "app/batch.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/driver.h"
#include "app/options.h"
#include "platform/platform.h"

namespace torvo {

namespace {

const char kBatchUsage[] =
    "usage: torvo-batch [options] [-j N] <source dir> <dest dir>\n"
    "  Converts every .lwo and .lws file under <source dir> into the same place under\n"
    "  <dest dir>, N files at a time (default: one per processor core).\n"
    "  The options are torvo's: -C<lw.cfg> -t -b -T -c -l -m -A -N -M -B -F -f<prefix> -W<n> -S<n> -s -u -P\n";

// A directory tree deeper than this is refused rather than walked (a loop of mounts).
constexpr int kMaxTreeDepth = 64;

struct Job {
  std::string source;       // as handed to the converter
  std::string destination;  // its directory in the mirrored tree, with a trailing separator
  std::string relative;     // for messages
  std::string messages;
  int result = -1;
};

bool hasSourceExtension(const std::string& name) {
  if (name.size() < 5) return false;
  std::string ext = name.substr(name.size() - 4);
  for (char& c : ext) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return ext == ".lwo" || ext == ".lws";
}

// Depth first, names sorted, so that the order of the work and the summary never
// depends on the file system.
bool collect(const std::string& root, const std::string& relative, const std::string& destRoot, int depth,
             std::vector<Job>& jobs) {
  if (depth > kMaxTreeDepth) return false;
  const char sep = platform::nativeSeparator();
  const std::string dir = relative.empty() ? root : root + sep + relative;
  std::vector<platform::DirectoryEntry> entries;
  if (!platform::listDirectory(dir, entries)) return false;
  std::sort(entries.begin(), entries.end(),
            [](const platform::DirectoryEntry& a, const platform::DirectoryEntry& b) { return a.name < b.name; });
  for (const platform::DirectoryEntry& entry : entries) {
    const std::string path = relative.empty() ? entry.name : relative + sep + entry.name;
    if (entry.directory) {
      if (!collect(root, path, destRoot, depth + 1, jobs)) return false;
    } else if (hasSourceExtension(entry.name)) {
      Job job;
      job.source = root + sep + path;
      job.destination = relative.empty() ? destRoot + sep : destRoot + sep + relative + sep;
      job.relative = path;
      jobs.push_back(std::move(job));
    }
  }
  return true;
}

void collectMessage(void* user, const char* text, std::size_t length) {
  static_cast<std::string*>(user)->append(text, length);
}

}  // namespace

int runTorvoBatch(int argc, char** argv) {
  const CommandLine line = parseCommandLine(argc, argv, true);
  if (line.asked == Asked::kHelp) {
    std::printf("%s", kBatchUsage);
    return 0;
  }
  const int arg = line.operands;
  if (line.bad || argc - arg != 2) {
    std::printf("%s", kBatchUsage);
    return 1;
  }
  std::string sourceRoot = argv[arg];
  std::string destRoot = argv[arg + 1];
  while (sourceRoot.size() > 1 && (sourceRoot.back() == '/' || sourceRoot.back() == '\\')) sourceRoot.pop_back();
  while (destRoot.size() > 1 && (destRoot.back() == '/' || destRoot.back() == '\\')) destRoot.pop_back();

  if (!platform::isDirectory(sourceRoot)) {
    std::printf("can't locate source directory '%s'.\n", sourceRoot.c_str());
    return 1;
  }
  std::vector<Job> jobs;
  if (!collect(sourceRoot, "", destRoot, 0, jobs)) {
    std::printf("can't read the source tree '%s'.\n", sourceRoot.c_str());
    return 1;
  }
  for (const Job& job : jobs) {
    if (!platform::makeDirectories(job.destination)) {
      std::printf("can't create destination directory '%s'.\n", job.destination.c_str());
      return 1;
    }
  }

  // The code page is asked for once, before any thread opens a file.
  platform::fileNameCodePage();
  ConversionRequest request = line.request;
  request.templatePath = templateBeside(platform::executablePath(nullptr), platform::fileNameCodePage());
  unsigned workers = line.jobs != 0 ? line.jobs : std::max(1u, std::thread::hardware_concurrency());
  workers = std::min<unsigned>(workers, static_cast<unsigned>(std::max<std::size_t>(jobs.size(), 1)));
  const bool showProgress = platform::isTerminal(stdout);

  std::atomic<std::size_t> next{0};
  std::mutex progress;
  std::size_t done = 0;
  std::size_t failed = 0;
  auto work = [&]() {
    for (;;) {
      const std::size_t i = next.fetch_add(1);
      if (i >= jobs.size()) return;
      Job& job = jobs[i];
      ConversionRequest asked = request;
      asked.source = job.source;
      asked.destination = job.destination;
      MessageSink sink;
      sink.write = collectMessage;
      sink.user = &job.messages;
      bool converted = false;
      job.result = runConversion(asked, sink, converted);
      const std::lock_guard<std::mutex> lock(progress);
      ++done;
      if (job.result != 0) ++failed;
      if (showProgress) {
        std::printf("\r[%zu/%zu] %zu failed  %.50s\033[K", done, jobs.size(), failed, job.relative.c_str());
        std::fflush(stdout);
      }
    }
  };
  std::vector<std::thread> threads;
  for (unsigned t = 1; t < workers; ++t) threads.emplace_back(work);
  work();
  for (std::thread& thread : threads) thread.join();
  if (showProgress) std::printf("\r\033[K");

  for (const Job& job : jobs) {
    if (job.result == 0) continue;
    std::printf("FAILED %s\n", job.relative.c_str());
    // The converter's own console text, indented, so the summary reads as one report.
    std::string line;
    for (const char c : job.messages) {
      if (c != '\n') {
        line.push_back(c);
        continue;
      }
      std::printf("  | %s\n", line.c_str());
      line.clear();
    }
    if (!line.empty()) std::printf("  | %s\n", line.c_str());
  }
  std::printf("%zu converted, %zu failed\n", jobs.size() - failed, failed);
  if (request.options.pauseWhenDone) waitForReturnKey();
  std::fflush(stdout);
  return failed == 0 ? 0 : 1;
}

}  // namespace torvo
