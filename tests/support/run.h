// Runs programs and makes scratch directories for the end-to-end tests.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace testsupport {

struct RunResult {
  int exitCode = -1;  // -1 when the program did not exit normally
  std::string out;    // standard output and standard error, interleaved as written
};

// Runs `program` with `args` in directory `cwd`, with `input` on standard input; killed after timeoutSeconds.
RunResult run(const std::string& program, const std::vector<std::string>& args, const std::string& cwd,
              const std::string& input = "", int timeoutSeconds = 60);

// A fresh empty directory under the temporary directory, removed with its contents when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

std::string readFile(const std::string& path);
bool fileExists(const std::string& path);
void makeDir(const std::string& path);
std::vector<std::string> listDir(const std::string& path);  // names, sorted

// The .x files under a scratch directory (none elsewhere), by path, with their times.
using Stamps = std::map<std::string, std::filesystem::file_time_type>;
Stamps xFiles(const std::string& dir);

// Copies the .x files of `after` that are new or newer than in `before` into `collection`,
// named by their content, with one line for each in collection/manifest: "NAME FLAGS
// ORIGIN". The real readers of .x read the collection once the end-to-end tests are done.
void collectOutputs(const Stamps& before, const Stamps& after, const std::string& collection, const std::string& flags,
                    const std::string& origin);
}  // namespace testsupport
