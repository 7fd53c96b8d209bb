// Part of an open file read in place: mapped where the system allows, so a large object
// is neither copied nor held twice (file cache and heap).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

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

}  // namespace platform
