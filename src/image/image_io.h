// Helpers shared by the texture converters: bounded block reads and the PPM writer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <new>
#include <utility>
#include <vector>

#include "core/status.h"

namespace torvo {

namespace imageio {

// Leaves new elements uninitialised: the image buffers are filled completely
// before use, and zeroing tens of megabytes first costs a visible part of a run.
template <typename T>
struct UninitAllocator : std::allocator<T> {
  template <typename U>
  struct rebind {
    using other = UninitAllocator<U>;
  };
  UninitAllocator() = default;
  template <typename U>
  UninitAllocator(const UninitAllocator<U>&) noexcept {}
  template <typename U>
  void construct(U* p) noexcept {
    ::new (static_cast<void*>(p)) U;
  }
  template <typename U, typename... Args>
  void construct(U* p, Args&&... args) {
    ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
  }
};

using Bytes = std::vector<std::uint8_t, UninitAllocator<std::uint8_t>>;

// Reads exactly n bytes into dst; false on a short read.
bool readExact(std::FILE* source, std::uint8_t* dst, std::size_t n);

// Reads what the stream still holds, but never more than limit bytes, in large
// blocks. The buffer grows only with bytes that actually arrived, so a declared
// size can never force a large allocation. False on a read error.
bool readUpTo(std::FILE* source, std::uint64_t limit, Bytes& out);

// Reads a stream block by block with a budget of the bytes it still holds, so that
// a declared size can be checked against the input before anything is allocated.
// Seekable streams are read 1 MiB at a time; others are read whole up front.
struct BlockReader {
  std::FILE* source = nullptr;
  Bytes block;
  std::size_t pos = 0;
  std::size_t end = 0;
  std::uint64_t unread = 0;  // bytes believed to remain in the stream past the block
  bool failed = false;
};

// Prepares to read at most limit bytes from the current position; false on a read error.
bool openReader(BlockReader& r, std::FILE* source, std::uint64_t limit);
// Bytes left to take (as far as the stream could tell).
inline std::uint64_t available(const BlockReader& r) { return (r.end - r.pos) + r.unread; }
bool refill(BlockReader& r, std::size_t n);
// Points p at the next n bytes, contiguous; false when the input ends first.
inline bool take(BlockReader& r, std::size_t n, const std::uint8_t*& p) {
  if (r.end - r.pos < n && !refill(r, n)) return false;
  p = r.block.data() + r.pos;
  r.pos += n;
  return true;
}

inline unsigned le16(const std::uint8_t* p) { return static_cast<unsigned>(p[0]) | (static_cast<unsigned>(p[1]) << 8); }
inline std::uint32_t le32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

// Writes the P6 header and the rows (top row first, RGB) in one block.
// kWriteFailed when the stream refused the bytes.
Status writePpm(const char* name, std::FILE* destination, long width, long height, const Bytes& rgb);

// The largest buffer the converters will ask for; sizes above it are refused
// before anything is allocated.
constexpr std::uint64_t kMaxBufferBytes = static_cast<std::uint64_t>(PTRDIFF_MAX) / 2;

}  // namespace imageio

}  // namespace torvo
