#include "support/run.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace testsupport {

RunResult run(const std::string& program, const std::vector<std::string>& args, const std::string& cwd,
              const std::string& input, int timeoutSeconds) {
  RunResult result;
  int out[2], in[2];
  if (pipe(out) != 0 || pipe(in) != 0) return result;
  // A program that exits before reading its input must not end the test with SIGPIPE; the
  // program itself keeps the default action.
  signal(SIGPIPE, SIG_IGN);
  const pid_t pid = fork();
  if (pid == 0) {
    signal(SIGPIPE, SIG_DFL);
    dup2(in[0], 0);
    dup2(out[1], 1);
    dup2(out[1], 2);
    close(in[0]);
    close(in[1]);
    close(out[0]);
    close(out[1]);
    std::vector<char*> argv = {const_cast<char*>(program.c_str())};
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    if (chdir(cwd.c_str()) == 0) execv(program.c_str(), argv.data());
    _exit(127);
  }
  close(in[0]);
  close(out[1]);
  if (!input.empty() && write(in[1], input.data(), input.size()) < 0) result.out = "<input not written>";
  close(in[1]);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
  char buffer[65536];
  for (pollfd pfd{out[0], POLLIN, 0};; pfd.revents = 0) {
    if (poll(&pfd, 1, 100) > 0) {
      const ssize_t n = read(out[0], buffer, sizeof buffer);
      if (n <= 0) break;
      result.out.append(buffer, static_cast<std::size_t>(n));
    }
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid, SIGKILL);
      break;
    }
  }
  close(out[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
  return result;
}

TempDir::TempDir() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base != nullptr && *base ? base : "/tmp") + "/torvo-test-XXXXXX";
  if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ec;
  if (!path_.empty()) std::filesystem::remove_all(path_, ec);
}

std::string readFile(const std::string& path) {
  std::ostringstream ss;
  ss << std::ifstream(path, std::ios::binary).rdbuf();
  return ss.str();
}

bool fileExists(const std::string& path) {
  return std::filesystem::exists(path);
}

void makeDir(const std::string& path) {
  std::filesystem::create_directories(path);
}

std::vector<std::string> listDir(const std::string& path) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(path, ec))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

Stamps xFiles(const std::string& dir) {
  namespace fs = std::filesystem;
  const char* base = std::getenv("TMPDIR");
  const std::string scratch = std::string(base != nullptr && *base ? base : "/tmp") + "/torvo-test-";
  Stamps stamps;
  std::error_code ec;
  const std::string root = fs::absolute(dir, ec).lexically_normal().string();
  if (root.rfind(scratch, 0) != 0) return stamps;
  for (fs::recursive_directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string extension = it->path().extension().string();
    if (it->is_regular_file(ec) && (extension == ".x" || extension == ".X"))
      stamps[it->path().string()] = it->last_write_time(ec);
  }
  return stamps;
}

void collectOutputs(const Stamps& before, const Stamps& after, const std::string& collection, const std::string& flags,
                    const std::string& origin) {
  if (collection.empty()) return;
  std::error_code ec;
  std::filesystem::create_directories(collection, ec);
  for (const auto& [path, time] : after) {
    const auto old = before.find(path);
    if (old != before.end() && old->second == time) continue;
    const std::string bytes = readFile(path);
    std::uint64_t hash = 14695981039346656037ull;  // FNV-1a
    for (const char c : bytes) hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    char name[32];
    std::snprintf(name, sizeof name, "%016llx.x", static_cast<unsigned long long>(hash));
    std::ofstream(collection + "/" + name, std::ios::binary) << bytes;
    // One short append a line, so that tests running at the same time do not mix their lines.
    const std::string line =
        std::string(name) + " " + flags + " " + origin + "/" + std::filesystem::path(path).filename().string() + "\n";
    std::FILE* manifest = std::fopen((collection + "/manifest").c_str(), "a");
    if (manifest == nullptr) continue;
    std::fwrite(line.data(), 1, line.size(), manifest);
    std::fclose(manifest);
  }
}

}  // namespace testsupport
