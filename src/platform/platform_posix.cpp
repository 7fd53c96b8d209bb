// POSIX implementation of the platform layer (Linux, macOS, BSDs).
#include "platform/platform.h"

#include <dirent.h>
#include <fcntl.h>
#include <langinfo.h>
#include <signal.h>
#include <strings.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <clocale>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/mapped.h"
#include "platform/pages.h"
#include "platform/pending.h"

#if defined(__APPLE__)
#include <mach-o/dyld.h>
#endif

namespace torvo {

namespace platform {

namespace {

// Closes a directory stream however its listing ends: memory may run out while names are kept.
struct DirCloser {
  DIR* stream;
  ~DirCloser() {
    if (stream != nullptr) ::closedir(stream);
  }
};

// A temporary name is the final one with 12 bytes more; names longer than this
// leave room for them by losing their end (255 is the usual limit on a name).
constexpr std::size_t kTempNameStem = 255 - 12;
constexpr int kMaxLinkHops = 40;
// The signals whose arrival deletes the temporary files.
constexpr int kInterrupts[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};

std::string toNative(const std::string& path) { return nativePath(path, fileNameCodePage()); }

// The temporary files' names are kept absolute: the handler may run in any directory.
std::string absolute(const std::string& path) {
  if (!path.empty() && path[0] == '/') return path;
  char cwd[PATH_MAX];
  if (::getcwd(cwd, sizeof cwd) == nullptr) return path;
  return std::string(cwd) + "/" + path;
}

// Only async-signal-safe calls here. SA_RESETHAND has restored the default action,
// so raising the signal again ends the process as it would have ended without us.
void onInterrupt(int sig) {
  for (const pending::Slot& slot : pending::slots) {
    if (slot.used.load(std::memory_order_acquire) == 1) ::unlink(slot.path);
  }
  ::raise(sig);
}

bool exists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

// The entries of directory `dir` whose names equal `name` ignoring letter case: the exact
// name first, then in byte order, so the choice never depends on the directory's order.
std::vector<std::string> entriesIgnoringCase(const std::string& dir, const std::string& name) {
  std::vector<std::string> found;
  const DirCloser d{::opendir(dir.empty() ? "." : dir.c_str())};
  if (d.stream == nullptr) return found;
  while (dirent* entry = ::readdir(d.stream)) {
    if (::strcasecmp(entry->d_name, name.c_str()) == 0) found.emplace_back(entry->d_name);
  }
  std::sort(found.begin(), found.end(), [&name](const std::string& a, const std::string& b) {
    return (a == name) != (b == name) ? a == name : a < b;
  });
  return found;
}

bool isRegularFile(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// Depth first along the components from `next`, every case variant of each.
void collectCaseMatches(const std::vector<std::string>& parts, std::size_t next, const std::string& current,
                        std::vector<std::string>& out) {
  if (out.size() >= kMaxCaseMatches) return;
  if (next == parts.size()) {
    if (isRegularFile(current)) out.push_back(current);
    return;
  }
  const std::string& part = parts[next];
  const std::string prefix = next + 1 < parts.size() ? "/" : "";
  if (part.empty() || part == "." || part == "..") {
    collectCaseMatches(parts, next + 1, current + part + prefix, out);
    return;
  }
  for (const std::string& entry : entriesIgnoringCase(current, part)) collectCaseMatches(parts, next + 1, current + entry + prefix, out);
}

// The path as it exists on disk: '\' taken as a separator, and each component that
// does not exist as written matched without regard to letter case. When nothing
// matches, the translated path is returned as it is. A file about to be written
// (lastAsWritten) keeps its own name: only its directories are matched, so that
// scene.X never lands on an unrelated Scene.x.
std::string resolve(const std::string& path, bool lastAsWritten) {
  const std::string native = toNative(path);
  if (native.empty() || exists(native)) return native;
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start <= native.size()) {
    std::size_t end = native.find('/', start);
    if (end == std::string::npos) end = native.size();
    parts.push_back(native.substr(start, end - start));
    start = end + 1;
  }
  std::string current = native[0] == '/' ? "/" : "";
  for (std::size_t i = 0; i < parts.size(); ++i) {
    const std::string& part = parts[i];
    if (part.empty()) continue;
    std::string candidate = current + part;
    const bool last = i + 1 == parts.size();
    if (part != "." && part != ".." && !(lastAsWritten && last) && !exists(candidate)) {
      const std::vector<std::string> entries = entriesIgnoringCase(current, part);
      if (entries.empty()) return native;
      candidate = current + entries.front();
    }
    current = candidate;
    if (i + 1 < parts.size()) current += '/';
  }
  return current;
}

// Where a file written under this name really goes: through symbolic links to the
// file they name, as opening the name for writing would, even when that file does
// not exist yet.
std::string writeTarget(const std::string& path) {
  std::string target = resolve(path, true);
  struct stat st;
  for (int hops = 0; hops < kMaxLinkHops && ::lstat(target.c_str(), &st) == 0 && S_ISLNK(st.st_mode); ++hops) {
    std::vector<char> link(PATH_MAX + 1);
    const ssize_t n = ::readlink(target.c_str(), link.data(), link.size() - 1);
    if (n <= 0) break;
    const std::string next(link.data(), static_cast<std::size_t>(n));
    const std::size_t slash = target.rfind('/');
    // A relative link names a file beside the link.
    target = next[0] == '/' || slash == std::string::npos ? next : target.substr(0, slash + 1) + next;
  }
  return target;
}

// The longest start of a file name that fits limit bytes without splitting a
// character: a double-byte one in the file-name code page, or a UTF-8 sequence.
std::size_t wholeCharacters(const std::string& name, std::size_t limit) {
  const int codePage = fileNameCodePage();
  std::size_t end = 0;
  while (end < name.size()) {
    const unsigned char c = static_cast<unsigned char>(name[end]);
    std::size_t length = 1;
    if (isLeadByte(codePage, c)) {
      length = 2;
    } else if (c >= 0xC0) {
      while (end + length < name.size() && length < 4 &&
             (static_cast<unsigned char>(name[end + length]) & 0xC0) == 0x80)
        ++length;
    }
    if (end + length > limit) break;
    end += length;
  }
  return end;
}

// Interrupts wait while a temporary file exists but is not yet on record (in this
// thread, which is the one that takes them while the others block nothing).
class InterruptsHeld {
 public:
  InterruptsHeld() {
    sigset_t held;
    sigemptyset(&held);
    for (const int sig : kInterrupts) sigaddset(&held, sig);
    ::pthread_sigmask(SIG_BLOCK, &held, &previous_);
  }
  ~InterruptsHeld() { ::pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }
  InterruptsHeld(const InterruptsHeld&) = delete;
  InterruptsHeld& operator=(const InterruptsHeld&) = delete;

 private:
  sigset_t previous_;
};

}  // namespace

bool getCurrentDirectory(std::string& out) {
  std::vector<char> buffer(PATH_MAX + 1);
  if (::getcwd(buffer.data(), buffer.size()) == nullptr) return false;
  out = buffer.data();
  return true;
}

namespace {
// realpath's buffer, freed however the copy out of it ends.
struct FreeRealPath {
  void operator()(char* p) const { std::free(p); }
};
using RealPath = std::unique_ptr<char, FreeRealPath>;
}  // namespace

bool isDirectory(const std::string& path) {
  struct stat st;
  return ::stat(resolve(path, false).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool directoryPath(const std::string& path, std::string& out) {
  const std::string native = resolve(path, false);
  struct stat st;
  if (::stat(native.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || ::access(native.c_str(), X_OK) != 0) return false;
  const RealPath real{::realpath(native.c_str(), nullptr)};
  if (real == nullptr) return false;
  out = real.get();
  return true;
}

bool makeDirectories(const std::string& path) {
  const std::string native = toNative(path);
  for (std::size_t slash = native.find('/', 1);; slash = native.find('/', slash + 1)) {
    const std::string part = native.substr(0, slash);
    if (!part.empty() && ::mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) return false;
    if (slash == std::string::npos) break;
  }
  struct stat st;
  return ::stat(native.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool listDirectory(const std::string& path, std::vector<DirectoryEntry>& entries) {
  const std::string native = resolve(path, false);
  const DirCloser d{::opendir(native.empty() ? "." : native.c_str())};
  if (d.stream == nullptr) return false;
  while (dirent* entry = ::readdir(d.stream)) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    struct stat st;
    const bool directory = ::lstat((native + "/" + name).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    entries.push_back(DirectoryEntry{name, directory});
  }
  return true;
}

bool isTerminal(std::FILE* stream) { return ::isatty(::fileno(stream)) != 0; }

std::string executablePath(const char* argv0) {
#if defined(__linux__)
  std::vector<char> buffer(PATH_MAX + 1);
  const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
  if (n > 0) return std::string(buffer.data(), static_cast<std::size_t>(n));
#elif defined(__APPLE__)
  std::uint32_t size = 0;
  _NSGetExecutablePath(nullptr, &size);
  std::vector<char> buffer(size + 1);
  if (_NSGetExecutablePath(buffer.data(), &size) == 0) {
      if (const RealPath real{::realpath(buffer.data(), nullptr)}; real != nullptr) return real.get();
  }
#endif
  if (argv0 == nullptr) return std::string();
  if (const RealPath real{::realpath(argv0, nullptr)}; real != nullptr) return real.get();
  return argv0;
}

int activeCodePage() {
  // Ask the user's locale without changing the process's own.
  const char* previous = std::setlocale(LC_CTYPE, nullptr);
  const std::string saved = previous != nullptr ? previous : "C";
  std::setlocale(LC_CTYPE, "");
  const std::string codeset = ::nl_langinfo(CODESET);
  std::setlocale(LC_CTYPE, saved.c_str());
  return codePageOfCharset(codeset);
}

bool isLeadByte(int codePage, unsigned char c) {
  switch (codePage) {
    case 932:
      return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
    case 936:
    case 949:
    case 950:
      return c >= 0x81 && c <= 0xFE;
    default:
      return false;
  }
}

bool findFile(const std::string& path, std::string& onDisk) {
  const std::string native = resolve(path, false);
  struct stat st;
  if (::stat(native.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  onDisk = native;
  return true;
}

std::vector<std::string> findFiles(const std::string& path) {
  const std::string native = toNative(path);
  std::vector<std::string> found;
  if (native.empty()) return found;
  std::vector<std::string> parts;
  for (std::size_t start = native[0] == '/' ? 1 : 0; start <= native.size();) {
    std::size_t end = native.find('/', start);
    if (end == std::string::npos) end = native.size();
    parts.push_back(native.substr(start, end - start));
    start = end + 1;
  }
  collectCaseMatches(parts, 0, native[0] == '/' ? "/" : "", found);
  return found;
}

std::string nativePath(const std::string& path, int codePage) {
  std::string result = path;
  for (std::size_t i = 0; i < result.size(); ++i) {
    if (isLeadByte(codePage, static_cast<unsigned char>(result[i])) && i + 1 < result.size()) {
      ++i;  // the trail byte belongs to the character, whatever its value
    } else if (result[i] == '\\') {
      result[i] = '/';
    }
  }
  return result;
}

std::FILE* openFile(const std::string& path, const char* mode) {
  const bool reading = mode[0] == 'r';
  std::FILE* file = std::fopen(resolve(path, !reading).c_str(), mode);
  // A directory opens for reading here but yields no bytes; it is no file to read.
  if (file != nullptr && reading) {
    struct stat st;
    if (::fstat(::fileno(file), &st) != 0 || S_ISDIR(st.st_mode)) {
      std::fclose(file);
      return nullptr;
    }
  }
  return file;
}

std::FILE* createTempFile(const std::string& finalPath, bool binary, std::string& tempPath) {
  (void)binary;  // no text translation on POSIX
  const std::string target = writeTarget(finalPath);
  struct stat existing;
  const bool replacing = ::stat(target.c_str(), &existing) == 0;
  // A file the user may not write stays as it is, as opening it for writing would fail.
  if (replacing && ::access(target.c_str(), W_OK) != 0) return nullptr;
  const std::size_t slash = target.rfind('/');
  const std::string dir = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
  std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
  if (name.size() > kTempNameStem) name.resize(wholeCharacters(name, kTempNameStem));
  // Every name is made before the file exists: from then on nothing allocates, so running
  // out of memory cannot leave a file that nobody knows of.
  std::string pattern = dir + "." + name + ".tmp-XXXXXX";
  std::string pendingName = absolute(pattern);
  tempPath.swap(pattern);
  constexpr std::size_t kRandomPart = 6;
  const InterruptsHeld held;
  const int fd = ::mkstemp(tempPath.data());
  if (fd < 0) {
    tempPath.clear();
    return nullptr;
  }
  pendingName.replace(pendingName.size() - kRandomPart, kRandomPart, tempPath, tempPath.size() - kRandomPart, kRandomPart);
  pending::remember(pendingName);
  // mkstemp makes the file private: give it the mode of the file it replaces, or the
  // one an ordinary new file gets.
  mode_t mode;
  if (replacing) {
    // Owner and group too, or at least the group, where the system lets us;
    // otherwise the file is ours, as a new one is.
    if (::fchown(fd, existing.st_uid, existing.st_gid) != 0) {
      [[maybe_unused]] const int grouped = ::fchown(fd, static_cast<uid_t>(-1), existing.st_gid);
    }
    mode = existing.st_mode & 07777;
  } else {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
  }
  ::fchmod(fd, mode);  // after fchown, which may clear set-id bits
  std::FILE* file = ::fdopen(fd, "wb");
  if (file == nullptr) {
    ::close(fd);
    ::unlink(tempPath.c_str());
    pending::forget(pendingName);
    tempPath.clear();
    return nullptr;
  }
  return file;
}

bool commitFile(const std::string& tempPath, const std::string& finalPath) {
  const std::string pendingName = absolute(tempPath);
  const bool moved = std::rename(tempPath.c_str(), writeTarget(finalPath).c_str()) == 0;
  // Forgotten only afterwards: an interrupt in between finds the name already gone.
  if (moved) pending::forget(pendingName);
  return moved;
}

bool removeFile(const std::string& path) {
  const std::string pendingName = absolute(path);
  const bool removed = std::remove(resolve(path, false).c_str()) == 0;
  pending::forget(pendingName);
  return removed;
}

void removeTempFilesOnInterrupt() {
  for (const int sig : kInterrupts) {
    struct sigaction old;
    // A signal the caller chose to ignore (nohup, a shell's background job) stays ignored.
    if (::sigaction(sig, nullptr, &old) != 0 || old.sa_handler == SIG_IGN) continue;
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = onInterrupt;
    sigfillset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND;
    ::sigaction(sig, &action, nullptr);
  }
}

bool isAbsolutePath(const std::string& path) { return !path.empty() && (path[0] == '/' || path[0] == '\\'); }

char nativeSeparator() { return '/'; }

MappedRange mapFileRange(std::FILE* file, long offset, std::size_t length) {
  MappedRange range;
  const int fd = fileno(file);
  struct stat info;
  if (fd < 0 || offset < 0 || length == 0 || fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) ||
      static_cast<unsigned long long>(info.st_size) < static_cast<unsigned long long>(offset) + length)
    return range;
  const long page = sysconf(_SC_PAGESIZE);
  if (page <= 0) return range;
  const long start = offset - offset % page;
  const std::size_t lead = static_cast<std::size_t>(offset - start);
  void* base = mmap(nullptr, lead + length, PROT_READ, MAP_PRIVATE, fd, start);
  if (base == MAP_FAILED) return range;
  range.base = base;
  range.baseLength = lead + length;
  range.data = static_cast<const std::uint8_t*>(base) + lead;
  return range;
}

void unmapFileRange(MappedRange& range) {
  if (range.base != nullptr) munmap(range.base, range.baseLength);
  range = MappedRange{};
}

void populatePages(void* data, std::size_t bytes) {
#if defined(__linux__)
  // Below this a call saves less than it costs.
  constexpr std::size_t kPopulateFrom = std::size_t{1} << 16;
  // Older C libraries lack the name; older kernels refuse the call, and pages then fault as usual.
  constexpr int kPopulateWrite = 23;  // MADV_POPULATE_WRITE
  if (bytes < kPopulateFrom) return;
  const long page = sysconf(_SC_PAGESIZE);
  if (page <= 0) return;
  const auto size = static_cast<std::uintptr_t>(page);
  const auto begin = (reinterpret_cast<std::uintptr_t>(data) + size - 1) / size * size;
  const auto end = (reinterpret_cast<std::uintptr_t>(data) + bytes) / size * size;
  if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, kPopulateWrite);
#else
  (void)data;
  (void)bytes;
#endif
}

}  // namespace platform

}  // namespace torvo
