// Win32 implementation of the platform layer. The file system already takes '\'
// and '/' alike and ignores letter case, so paths are passed through unchanged.
#include "platform/platform.h"
#include "platform/mapped.h"
#include "platform/pages.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/pending.h"

namespace torvo {

namespace platform {

namespace {

std::string absolute(const std::string& path) {
  const DWORD needed = ::GetFullPathNameA(path.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return path;
  std::vector<char> buffer(needed + 1);
  const DWORD n = ::GetFullPathNameA(path.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
  if (n == 0 || n >= buffer.size()) return path;
  return std::string(buffer.data(), n);
}

// Runs on a thread of its own while the conversion goes on. The files were opened
// with FILE_SHARE_DELETE, so deleting marks them to go when the process closes them.
BOOL WINAPI onConsoleEvent(DWORD) {
  for (const pending::Slot& slot : pending::slots) {
    if (slot.used.load(std::memory_order_acquire) == 1) ::DeleteFileA(slot.path);
  }
  return FALSE;  // the default handler then ends the process
}

}  // namespace

bool getCurrentDirectory(std::string& out) {
  const DWORD needed = ::GetCurrentDirectoryA(0, nullptr);
  if (needed == 0) return false;
  std::vector<char> buffer(needed + 1);
  const DWORD n = ::GetCurrentDirectoryA(static_cast<DWORD>(buffer.size()), buffer.data());
  if (n == 0 || n >= buffer.size()) return false;
  out.assign(buffer.data(), n);
  return true;
}

bool isDirectory(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool directoryPath(const std::string& path, std::string& out) {
  if (!isDirectory(path)) return false;
  out = absolute(path);
  // GetFullPathName keeps a trailing "\." as "\"; the current directory never ends in one
  // except at a drive's root.
  while (out.size() > 3 && (out.back() == '\\' || out.back() == '/')) out.pop_back();
  return true;
}

bool makeDirectories(const std::string& path) {
  for (std::size_t i = 0; i <= path.size(); ++i) {
    if (i == path.size() || ((path[i] == '\\' || path[i] == '/') && i > 0 && path[i - 1] != ':')) {
      const std::string part = path.substr(0, i);
      if (!part.empty() && !isDirectory(part)) ::CreateDirectoryA(part.c_str(), nullptr);
    }
  }
  return isDirectory(path);
}

bool listDirectory(const std::string& path, std::vector<DirectoryEntry>& entries) {
  WIN32_FIND_DATAA data;
  const HANDLE find = ::FindFirstFileA((path + "\\*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return false;
  // Closed however the listing ends: memory may run out while names are kept.
  struct Closer {
    HANDLE handle;
    ~Closer() { ::FindClose(handle); }
  } closer{find};
  do {
    const std::string name = data.cFileName;
    if (name == "." || name == "..") continue;
    const bool directory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
                           (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
    entries.push_back(DirectoryEntry{name, directory});
  } while (::FindNextFileA(find, &data));
  return true;
}

bool isTerminal(std::FILE* stream) { return ::_isatty(::_fileno(stream)) != 0; }

std::string executablePath(const char* argv0) {
  // GetModuleFileNameA truncates silently; grow until the whole path fits.
  for (DWORD size = MAX_PATH; size <= 32768; size *= 2) {
    std::vector<char> buffer(size);
    const DWORD n = ::GetModuleFileNameA(nullptr, buffer.data(), size);
    if (n == 0) break;
    if (n < size) return std::string(buffer.data(), n);
  }
  return argv0 != nullptr ? std::string(argv0) : std::string();
}

int activeCodePage() { return static_cast<int>(::GetACP()); }

bool isLeadByte(int codePage, unsigned char c) {
  switch (codePage) {
    case 932:
    case 936:
    case 949:
    case 950:
      return ::IsDBCSLeadByteEx(static_cast<UINT>(codePage), c) != 0;
    default:
      return false;
  }
}

bool findFile(const std::string& path, std::string& onDisk) {
  const DWORD attributes = ::GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return false;
  // The file system ignores letter case: the full name stands for the file.
  onDisk = absolute(path);
  for (char& c : onDisk) {
    if (c == '/') c = '\\';
  }
  return true;
}

std::vector<std::string> findFiles(const std::string& path) {
  // The file system ignores letter case: a name matches one file at most.
  std::string onDisk;
  if (!findFile(path, onDisk)) return {};
  return {onDisk};
}

std::FILE* openFile(const std::string& path, const char* mode) {
  const bool reading = mode[0] == 'r';
  if (reading && isDirectory(path)) return nullptr;
  return std::fopen(path.c_str(), mode);
}

// Windows takes '\' as it is.
std::string nativePath(const std::string& path, int) { return path; }

std::FILE* createTempFile(const std::string& finalPath, bool binary, std::string& tempPath) {
  // A read-only file stays as it is, as opening it for writing would fail.
  const DWORD attributes = ::GetFileAttributesA(finalPath.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) return nullptr;
  // Walk by characters: a double-byte character's trail byte may equal '\\'.
  const int codePage = fileNameCodePage();
  std::size_t cut = 0;
  std::size_t stemEnd = 0;  // end of the last whole character within the name's first 200 bytes
  for (std::size_t i = 0; i < finalPath.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(finalPath[i]);
    const std::size_t start = i;
    if (isLeadByte(codePage, c) && i + 1 < finalPath.size()) {
      ++i;
    } else if (c == '\\' || c == '/' || c == ':') {
      cut = i + 1;
    }
    if (start >= cut && i + 1 - cut <= 200) stemEnd = i + 1;
  }
  const std::string dir = finalPath.substr(0, cut);
  // The temporary name adds 13 bytes; a long name is shortened so it still fits.
  const std::string name = finalPath.substr(cut, stemEnd > cut ? stemEnd - cut : 0);
  const DWORD seed = ::GetTickCount() ^ ::GetCurrentProcessId();
  for (DWORD attempt = 0; attempt < 100; ++attempt) {
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, ".tmp-%08lx", static_cast<unsigned long>(seed + attempt));
    const std::string candidate = dir + name + suffix;
    // Every name is made before the file exists: from then on nothing allocates.
    tempPath = candidate;
    const std::string pendingName = absolute(candidate);
    // CREATE_NEW fails when the name is taken, so an existing file is never reused.
    HANDLE handle = ::CreateFileA(candidate.c_str(), GENERIC_WRITE, FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
      tempPath.clear();  // someone else's file, or none
      if (::GetLastError() == ERROR_FILE_EXISTS) continue;
      return nullptr;
    }
    const int fd = ::_open_osfhandle(reinterpret_cast<std::intptr_t>(handle), binary ? _O_BINARY : _O_TEXT);
    if (fd < 0) {
      ::CloseHandle(handle);
      ::DeleteFileA(candidate.c_str());
      tempPath.clear();
      return nullptr;
    }
    std::FILE* file = ::_fdopen(fd, binary ? "wb" : "w");
    if (file == nullptr) {
      ::_close(fd);
      ::DeleteFileA(candidate.c_str());
      tempPath.clear();
      return nullptr;
    }
    pending::remember(pendingName);
    return file;
  }
  return nullptr;
}

bool commitFile(const std::string& tempPath, const std::string& finalPath) {
  const std::string pendingName = absolute(tempPath);
  const bool moved =
      ::MoveFileExA(tempPath.c_str(), finalPath.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
  if (moved) pending::forget(pendingName);
  return moved;
}

bool removeFile(const std::string& path) {
  const bool removed = ::DeleteFileA(path.c_str()) != 0;
  pending::forget(absolute(path));
  return removed;
}

void removeTempFilesOnInterrupt() { ::SetConsoleCtrlHandler(onConsoleEvent, TRUE); }

bool isAbsolutePath(const std::string& path) {
  if (!path.empty() && (path[0] == '/' || path[0] == '\\')) return true;
  // "C:" with or without a separator: a drive-relative name is not the directory's either.
  return path.size() >= 2 && path[1] == ':' &&
         ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
}

char nativeSeparator() { return '\\'; }

// Objects are read into memory here; mapping is left to the POSIX build.
MappedRange mapFileRange(std::FILE*, long, std::size_t) { return MappedRange{}; }

void unmapFileRange(MappedRange& range) { range = MappedRange{}; }

void populatePages(void*, std::size_t) {}

}  // namespace platform

}  // namespace torvo
