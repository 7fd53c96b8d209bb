#include <cstdio>

#include "platform/mapped.h"

namespace torvo {

namespace platform {

namespace {

// A large stream that is not mapped is read in steps of this size.
constexpr std::size_t kReadStep = std::size_t{1} << 20;

}  // namespace

bool readWholeFile(std::FILE* file, FileBytes& bytes) {
  const long start = std::ftell(file);
  long end = -1;
  if (start >= 0 && std::fseek(file, 0, SEEK_END) == 0) {
    end = std::ftell(file);
    if (std::fseek(file, start, SEEK_SET) != 0) return false;
  }
  const std::size_t length = end >= start && start >= 0 ? static_cast<std::size_t>(end - start) : kMapFilesFrom;
  if (length >= kMapFilesFrom) bytes.mapped = mapFileRange(file, start, length);
  if (bytes.mapped.data != nullptr) {
    bytes.data = bytes.mapped.data;
    bytes.size = length;
    return true;
  }
  if (length < kMapFilesFrom) {
    bytes.storage.resize(length);
    if (std::fread(bytes.storage.data(), 1, length, file) != length) return false;
  } else {
    // Not mapped, or of a length the system cannot tell (a pipe): read until it ends.
    for (;;) {
      const std::size_t old = bytes.storage.size();
      bytes.storage.resize(old + kReadStep);
      const std::size_t got = std::fread(bytes.storage.data() + old, 1, kReadStep, file);
      bytes.storage.resize(old + got);
      if (got < kReadStep) break;
    }
    if (std::ferror(file)) return false;
  }
  bytes.data = bytes.storage.data();
  bytes.size = bytes.storage.size();
  return true;
}

void releaseFileBytes(FileBytes& bytes) {
  unmapFileRange(bytes.mapped);
  std::vector<std::uint8_t>().swap(bytes.storage);
  bytes.data = nullptr;
  bytes.size = 0;
}

}  // namespace platform

}  // namespace torvo
