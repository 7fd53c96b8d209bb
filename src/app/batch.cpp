#include "app/batch.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <new>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "app/driver.h"
#include "app/options.h"
#include "platform/platform.h"

namespace torvo {

namespace {

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

int runBatch(int argc, char** argv, const MessageSink& console, bool showProgress) {
  const CommandLine line = parseCommandLine(argc, argv, true);
  if (line.asked == Asked::kHelp) {
    report(console, Message::kBatchUsage);
    return 0;
  }
  const int arg = line.operands;
  if (line.bad || argc - arg != 2) {
    report(console, Message::kBatchUsage);
    return 1;
  }
  std::string sourceRoot = argv[arg];
  std::string destRoot = argv[arg + 1];
  while (sourceRoot.size() > 1 && (sourceRoot.back() == '/' || sourceRoot.back() == '\\')) sourceRoot.pop_back();
  while (destRoot.size() > 1 && (destRoot.back() == '/' || destRoot.back() == '\\')) destRoot.pop_back();

  if (!platform::isDirectory(sourceRoot)) {
    report(console, Message::kBatchNoSource, sourceRoot);
    return 1;
  }
  std::vector<Job> jobs;
  if (!collect(sourceRoot, "", destRoot, 0, jobs)) {
    report(console, Message::kBatchTreeUnreadable, sourceRoot);
    return 1;
  }
  for (const Job& job : jobs) {
    if (!platform::makeDirectories(job.destination)) {
      report(console, Message::kBatchNoDestination, job.destination);
      return 1;
    }
  }

  // The code page is asked for once, before any thread opens a file.
  platform::fileNameCodePage();
  ConversionRequest request = line.request;
  request.templatePath = templateBeside(platform::executablePath(nullptr), platform::fileNameCodePage());
  unsigned workers = line.jobs != 0 ? line.jobs : std::max(1u, std::thread::hardware_concurrency());
  workers = std::min<unsigned>(workers, static_cast<unsigned>(std::max<std::size_t>(jobs.size(), 1)));

  std::atomic<std::size_t> next{0};
  std::mutex progress;
  std::size_t done = 0;
  std::size_t failed = 0;
  auto work = [&]() {
    for (;;) {
      const std::size_t i = next.fetch_add(1);
      if (i >= jobs.size()) return;
      Job& job = jobs[i];
      MessageSink sink;
      sink.write = collectMessage;
      sink.user = &job.messages;
      // Memory running out fails this file alone; the other workers go on.
      try {
        ConversionRequest asked = request;
        asked.source = job.source;
        asked.destination = job.destination;
        bool converted = false;
        job.result = runConversion(asked, sink, converted);
      } catch (...) {
        job.result = conversionAbandoned(sink);
      }
      const std::lock_guard<std::mutex> lock(progress);
      ++done;
      if (job.result != 0) ++failed;
      if (showProgress) report(console, Message::kBatchProgress, job.relative, done, jobs.size(), failed);
    }
  };
  std::vector<std::thread> threads;
  // A worker that cannot be started leaves its share to the others.
  try {
    for (unsigned t = 1; t < workers; ++t) threads.emplace_back(work);
  } catch (...) {
  }
  work();
  for (std::thread& thread : threads) thread.join();
  if (showProgress) report(console, Message::kBatchProgressCleared);

  for (const Job& job : jobs) {
    if (job.result == 0) continue;
    report(console, Message::kBatchFailed, job.relative);
    // The converter's own console text, indented, so the summary reads as one report;
    // printed as it stands, since memory may be what the file ran out of.
    const std::string_view text = job.messages;
    for (std::size_t at = 0; at < text.size();) {
      const std::size_t end = std::min(text.find('\n', at), text.size());
      report(console, Message::kBatchQuote);
      if (console.write != nullptr) console.write(console.user, text.data() + at, end - at);
      report(console, Message::kLineEnd);
      at = end + 1;
    }
  }
  report(console, Message::kBatchSummary, jobs.size() - failed, failed);
  if (request.options.pauseWhenDone) waitForReturnKey();
  return failed == 0 ? 0 : 1;
}

}  // namespace

int runTorvoBatch(int argc, char** argv, const MessageSink& console, bool showProgress) {
  // Memory running out before or after the workers: the batch ends with a message, not an abort.
  try {
    return runBatch(argc, argv, console, showProgress);
  } catch (const std::bad_alloc&) {
    report(console, Message::kBatchOutOfMemory);
  } catch (...) {
    report(console, Message::kBatchInternalError);
  }
  return 1;
}

}  // namespace torvo
