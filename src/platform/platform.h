// The only place that knows the operating system. Everything else calls these.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace torvo {

namespace platform {

// Current directory of the process; false when it cannot be read.
bool getCurrentDirectory(std::string& out);
bool isDirectory(const std::string& path);
// The full path of an existing directory the process could enter, found without
// entering it (conversions in other threads rely on the current directory staying put).
bool directoryPath(const std::string& path, std::string& out);
// Creates a directory and any missing parents; true when it exists afterwards.
bool makeDirectories(const std::string& path);

// One entry of a directory listing; "." and ".." are never listed, and a link to a
// directory is not a directory here, so a walk cannot loop.
struct DirectoryEntry {
  std::string name;
  bool directory = false;
};
bool listDirectory(const std::string& path, std::vector<DirectoryEntry>& entries);

// True when the stream is a terminal (progress lines are shown only there).
bool isTerminal(std::FILE* stream);

// Full path of the executable that is actually running (symbolic links resolved),
// falling back to argv0 when the system cannot tell.
std::string executablePath(const char* argv0);

// The active ANSI code page (Windows) or its equivalent from the locale's
// character set (POSIX): 932, 936, 949, 950 for the double-byte sets,
// 65001 for UTF-8, 1252 for anything else.
int activeCodePage();
// The code page a character set's name stands for ("Shift_JIS", "GBK", "UTF-8", ...), as above.
int codePageOfCharset(const std::string& charset);
// True when c starts a two-byte character in the given code page.
bool isLeadByte(int codePage, unsigned char c);
// The code page in which file names are walked, so that a double-byte character whose
// trail byte equals '\' stays whole: the active one, asked for once.
int fileNameCodePage();
// The path as the system takes it: '\' a separator, except as the trail byte of a
// double-byte character in the code page.
std::string nativePath(const std::string& path, int codePage);

// Opens a file named the way LightWave files name them: '\' is a separator on
// every system, and on case-sensitive file systems a path that does not open as
// written is matched component by component without regard to letter case.
std::FILE* openFile(const std::string& path, const char* mode);
// True when the path, matched as openFile matches it, names a regular file; onDisk is
// then its name as it is on disk (two names of one file give the same onDisk).
bool findFile(const std::string& path, std::string& onDisk);
// Every regular file the path names when each component may differ in letter case (on a
// case-sensitive file system Box.lwo and BOX.lwo are two), as on disk: the one that
// exists as written first, then in byte order. At most kMaxCaseMatches.
constexpr std::size_t kMaxCaseMatches = 8;
std::vector<std::string> findFiles(const std::string& path);

// Creates a new, uniquely named temporary file in the directory of finalPath,
// for writing ("wb" when binary, else text mode). Returns null (and tempPath empty) on failure.
std::FILE* createTempFile(const std::string& finalPath, bool binary, std::string& tempPath);
// Moves tempPath over finalPath in one step (replacing an existing file).
bool commitFile(const std::string& tempPath, const std::string& finalPath);
bool removeFile(const std::string& path);
// A file a conversion writes under a temporary name: closed, and removed unless
// committed, however the conversion ends (an exception included).
struct TempFile {
  std::FILE* stream = nullptr;
  std::string path;
  TempFile() = default;
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  ~TempFile();
  // Closes the stream; false when buffered bytes could not be written.
  bool close();
  // Closes it and moves it over finalPath; false (and removed) on failure.
  bool commit(const std::string& finalPath);
};
// Closes a stream on every way out of a scope.
struct FileCloser {
  std::FILE* stream = nullptr;
  explicit FileCloser(std::FILE* opened) : stream(opened) {}
  FileCloser(const FileCloser&) = delete;
  FileCloser& operator=(const FileCloser&) = delete;
  ~FileCloser() {
    if (stream != nullptr) std::fclose(stream);
  }
};
// From now on, when the process is interrupted or terminated (Ctrl-C, SIGTERM, SIGHUP,
// a closed output pipe; console close on Windows), temporary files made by
// createTempFile and not yet committed or removed are deleted before it ends.
void removeTempFilesOnInterrupt();

// True when the path names a file whatever the current directory: a root ('/' or '\')
// first, or on Windows a drive.
bool isAbsolutePath(const std::string& path);

// The native directory separator written when a path is joined.
char nativeSeparator();

}  // namespace platform

}  // namespace torvo
