// Helpers shared by the texture converters: bounded block reads and the PPM writer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace imageio {

using Bytes = std::vector<std::uint8_t>;

// Reads exactly n bytes into dst; false on a short read.
bool readExact(std::FILE* source, std::uint8_t* dst, std::size_t n);

// Reads what the stream still holds, but never more than limit bytes, in large
// blocks. The buffer grows only with bytes that actually arrived, so a declared
// size can never force a large allocation. False on a read error.
bool readUpTo(std::FILE* source, std::uint64_t limit, Bytes& out);

inline unsigned le16(const std::uint8_t* p) { return static_cast<unsigned>(p[0]) | (static_cast<unsigned>(p[1]) << 8); }
inline std::uint32_t le32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

// Writes the P6 header and the rows (top row first, RGB) in one block.
// 1 on success, -2 when the stream refused the bytes.
int writePpm(const char* name, std::FILE* destination, long width, long height, const Bytes& rgb);

// The largest buffer the converters will ask for; sizes above it are refused
// before anything is allocated.
constexpr std::uint64_t kMaxBufferBytes = static_cast<std::uint64_t>(PTRDIFF_MAX) / 2;

}  // namespace imageio
