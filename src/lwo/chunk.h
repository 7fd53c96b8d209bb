// Bounded reading of IFF chunks: one cursor per chunk, each with its own budget.
// Every read checks the bytes it wants against what remains in its own chunk, so a
// lying length field can shorten what is read but never move a read outside the data.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/context.h"
#include "model/object.h"

namespace torvo {

// Field widths of names and texts in an object file, NUL included.
constexpr std::uint32_t kLwNameSize = 80;     // SRFS and SURF names, CTEX/TTEX texts
constexpr std::uint32_t kLwImageSize = 1024;  // TIMG

struct ChunkCursor {
  const std::uint8_t* data = nullptr;  // first byte of the chunk's data (a view, not owned)
  std::uint32_t length = 0;
  std::uint32_t pos = 0;               // never above length
};

inline std::uint32_t chunkRemaining(const ChunkCursor& c) { return c.length - c.pos; }

// Skips up to n bytes, stopping at the chunk's end; returns how many were skipped.
inline std::uint32_t chunkSkip(ChunkCursor& c, std::uint32_t n) {
  if (n > chunkRemaining(c)) n = chunkRemaining(c);
  c.pos += n;
  return n;
}

// A cursor over the next n bytes of the parent (fewer when the parent ends first),
// which are skipped in the parent.
inline ChunkCursor chunkSubCursor(ChunkCursor& parent, std::uint32_t n) {
  ChunkCursor sub;
  sub.data = parent.data + parent.pos;
  sub.length = chunkSkip(parent, n);
  return sub;
}

// Exact reads: when fewer than n bytes remain nothing is read and nothing moves.
inline bool chunkReadBytes(ChunkCursor& c, void* out, std::uint32_t n) {
  if (n > chunkRemaining(c)) return false;
  std::memcpy(out, c.data + c.pos, n);
  c.pos += n;
  return true;
}

inline bool chunkReadU16(ChunkCursor& c, std::uint16_t& out) {
  std::uint8_t b[2];
  if (!chunkReadBytes(c, b, 2)) return false;
  out = static_cast<std::uint16_t>((b[0] << 8) | b[1]);
  return true;
}

inline bool chunkReadI16(ChunkCursor& c, std::int16_t& out) {
  std::uint16_t u;
  if (!chunkReadU16(c, u)) return false;
  out = static_cast<std::int16_t>(u);
  return true;
}

inline bool chunkReadU32(ChunkCursor& c, std::uint32_t& out) {
  std::uint8_t b[4];
  if (!chunkReadBytes(c, b, 4)) return false;
  out = (std::uint32_t{b[0]} << 24) | (std::uint32_t{b[1]} << 16) | (std::uint32_t{b[2]} << 8) | b[3];
  return true;
}

// IEEE single precision, big-endian.
inline bool chunkReadFloat(ChunkCursor& c, float& out) {
  std::uint32_t bits;
  if (!chunkReadU32(c, bits)) return false;
  std::memcpy(&out, &bits, 4);
  return true;
}

// A NUL-terminated string of at most maxSize bytes with its NUL, padded to an even
// length. Not taken (nothing moves) when it is longer or runs past the chunk.
inline bool chunkReadString(ChunkCursor& c, std::uint32_t maxSize, std::string& out) {
  std::uint32_t limit = chunkRemaining(c);
  if (limit > maxSize) limit = maxSize;
  const void* nul = limit > 0 ? std::memchr(c.data + c.pos, 0, limit) : nullptr;
  if (nul == nullptr) return false;
  const auto n = static_cast<std::uint32_t>(static_cast<const std::uint8_t*>(nul) - (c.data + c.pos)) + 1;
  out.assign(reinterpret_cast<const char*>(c.data + c.pos), n - 1);
  c.pos += n;
  if (n % 2 != 0) chunkSkip(c, 1);
  return true;
}

// Surface name to the index of its first declaration, kept up to date by the walk.
using SurfaceNames = std::unordered_map<std::string, std::size_t>;

// The SURF handler of the chunk walk: 0 when handled or skipped, -1 when the chunk
// names an undeclared surface (the walk then ends).
Status lwReadSurfaceChunk(LwObject& object, ChunkCursor& chunk, const SurfaceNames& names, int indent,
                       const MessageSink& sink);

// Grows v to hold at least `more` further elements, at once rather than by repeated doubling.
template <typename T>
void reserveMore(std::vector<T>& v, std::size_t more) {
  const std::size_t wanted = v.size() + more;
  if (wanted <= v.capacity()) return;
  v.reserve(wanted > 2 * v.capacity() ? wanted : 2 * v.capacity());
}

// The body of a FORM/LWO2 after its form type, read into the object as its LWOB
// equivalent. `layer` as lwLoadObjectLayer takes it.
void lwReadLwo2Body(LwObject& object, ChunkCursor& form, int indent, int layer, const MessageSink& sink);
// The same for FORM/LWO3: the same chunks, framed with 4-byte lengths and nested FORMs.
void lwReadLwo3Body(LwObject& object, ChunkCursor& form, int indent, int layer, const MessageSink& sink);

}  // namespace torvo
