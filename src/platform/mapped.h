// Part of an open file read in place: mapped where the system allows, so a large object
// is neither copied nor held twice (file cache and heap).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace torvo {

namespace platform {

struct MappedRange {
  const std::uint8_t* data = nullptr;  // the bytes asked for; null when not mapped
  void* base = nullptr;                // the mapping, from a page boundary
  std::size_t baseLength = 0;
};

// Maps length bytes of a regular file from offset when the file holds them all; data
// stays null otherwise (a pipe, a short file, a system without mappings), and the caller
// reads the bytes itself. The stream's position is left as it was.
MappedRange mapFileRange(std::FILE* file, long offset, std::size_t length);
void unmapFileRange(MappedRange& range);

// Files from this size on are mapped rather than read: no copy, and no heap pages to fault in and fill.
constexpr std::size_t kMapFilesFrom = std::size_t{1} << 18;

// A whole file's bytes, mapped or read; or bytes someone else keeps, when only data and size are set.
struct FileBytes {
  const std::uint8_t* data = nullptr;
  std::size_t size = 0;
  std::vector<std::uint8_t> storage;
  MappedRange mapped;
  FileBytes() = default;
  FileBytes(const FileBytes&) = delete;
  FileBytes& operator=(const FileBytes&) = delete;
  ~FileBytes() { unmapFileRange(mapped); }
};

// The stream's bytes from its position to its end; false when they cannot be read.
bool readWholeFile(std::FILE* file, FileBytes& bytes);
// Gives the bytes back (unmapped or freed) as soon as they are read, so that they add
// nothing to the peak of the steps after reading; data and size become empty.
void releaseFileBytes(FileBytes& bytes);

}  // namespace platform

}  // namespace torvo
