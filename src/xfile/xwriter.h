// The token writer: the only code that knows the text and binary .x encodings.
// Output collects in one buffer that is written to the file in large blocks;
// a writer without a file keeps everything in memory (tests, fuzzing).
#pragma once

#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "core/status.h"
#include "xfile/numfmt.h"

namespace torvo {

// Binary token values.
enum XToken : int {
  kTokenName = 1,
  kTokenString = 2,
  kTokenIntegerList = 6,
  kTokenFloatList = 7,
  kTokenOpenBrace = 10,
  kTokenCloseBrace = 11,
  kTokenSemicolon = 20,
};

// Bytes held by a writer: one block that numbers are formatted into in place.
struct XBytes {
  std::unique_ptr<char[]> block;
  std::size_t count = 0;     // bytes held
  std::size_t capacity = 0;  // size of the block

  const char* data() const { return block.get(); }
  const char* begin() const { return block.get(); }
  const char* end() const { return block.get() + count; }
  std::size_t size() const { return count; }
  bool empty() const { return count == 0; }
  void clear() { count = 0; }
  operator std::string_view() const { return {block.get(), count}; }
};

struct XWriter {
  std::FILE* file = nullptr;   // null: keep all output in `buffer`
  bool binary = false;         // binaryOutput of the run
  XBytes buffer;               // bytes not yet written to `file`
  bool failed = false;         // a write to `file` failed
  int codePage = 1252;         // text names are filtered in this code page
};

// Raw bytes and text.
void xPutBytes(XWriter& w, const void* data, std::size_t n);
void xPutText(XWriter& w, std::string_view text);
void xPutChar(XWriter& w, char c);
void xPutIndent(XWriter& w, int depth);          // depth spaces
// Text numbers, byte-identical to printf's "%f" and "%d".
void xPutFixed(XWriter& w, double value);
void xPutInt(XWriter& w, long long value);

// Binary primitives (little-endian).
void xPutWord(XWriter& w, std::uint32_t value);   // low 16 bits
void xPutDword(XWriter& w, std::uint32_t value);
void xPutFloat(XWriter& w, float value);
void xPutToken(XWriter& w, int token, const char* text);  // text may be null

// Structure, in the writer's encoding. instanceName may be null.
void xBeginObject(XWriter& w, int depth, std::string_view templateName, const char* instanceName);
void xEndObject(XWriter& w, int depth);
void xPutReference(XWriter& w, int depth, std::string_view name);

// Binary list shapes: token, count, values.
void xPutIntegerList(XWriter& w, const std::uint32_t* values, std::size_t count);
void xPutFloatList(XWriter& w, const float* values, std::size_t count);
// The values of a list without its token and count: little-endian dwords, in bulk.
void xPutDwords(XWriter& w, const std::uint32_t* values, std::size_t count);
void xPutFloats(XWriter& w, const float* values, std::size_t count);

// Lists and rows, in the writer's encoding, so that one sequence of calls writes either.
// Binary: a list is its token, its length and its values. Text: numbers with the marks
// and line starts between them; marks, row indents and list heads are text or binary only.
void xBeginList(XWriter& w, XToken token, std::size_t count);  // binary only: token and length
inline void xPutMark(XWriter& w, std::string_view text);       // text only
inline void xPutRowIndent(XWriter& w, int depth);              // text only
inline void xPutListInt(XWriter& w, long long value);          // text "%lld"; binary a dword
inline void xPutListFloat(XWriter& w, double value);           // text "%f"; binary the value as a float
// A count on its own: "n;" on a line in text, a one-value integer list in binary.
void xPutCount(XWriter& w, int depth, std::size_t count);
// A quoted string: "\"text\";" on a line in text, a string token and ';' in binary.
void xPutStringLine(XWriter& w, int depth, const std::string& text);
// Rows of `width` floats: in text "a;b;c;" a line, rows joined by ",\n" and the last
// followed by `last`; in binary one float list of them all.
void xPutFloatRows(XWriter& w, int depth, const float* values, std::size_t rows, std::size_t width,
                   std::string_view last);

// Binary list values gathered in a run and handed over a block at a time, rather than one
// call per value: xRunPut for dwords, xRunPutFloat for a value as a float; xRunFlush at the
// end of the list (and before anything else is written).
constexpr std::size_t kRunValues = 2048;
struct XRun {
  std::uint32_t values[kRunValues];
  std::size_t count = 0;
};
inline void xRunFlush(XWriter& w, XRun& run) {
  xPutDwords(w, run.values, run.count);
  run.count = 0;
}
inline void xRunPut(XWriter& w, XRun& run, std::uint32_t value) {
  run.values[run.count++] = value;
  if (run.count == kRunValues) xRunFlush(w, run);
}
inline void xRunPutFloat(XWriter& w, XRun& run, double value) {
  const float f = static_cast<float>(value);
  std::uint32_t bits;
  std::memcpy(&bits, &f, sizeof bits);
  xRunPut(w, run, bits);
}

// Writes buffered bytes to the file (no-op without a file); kWriteFailed on a write error.
Status xFlush(XWriter& w);

// Room for n more bytes at the end of the buffer (with a file, held bytes go out first).
void xMakeRoom(XWriter& w, std::size_t n);

// The list values and marks are called once per number: their common case stays inline.
inline char* xRoom(XWriter& w, std::size_t n) {
  if (w.buffer.capacity - w.buffer.count < n) xMakeRoom(w, n);
  return w.buffer.block.get() + w.buffer.count;
}

inline void xPutMark(XWriter& w, std::string_view text) {
  if (w.binary) return;
  std::memcpy(xRoom(w, text.size()), text.data(), text.size());
  w.buffer.count += text.size();
}

inline void xPutRowIndent(XWriter& w, int depth) {
  if (w.binary || depth <= 0) return;
  const auto n = static_cast<std::size_t>(depth);
  std::memset(xRoom(w, n), ' ', n);
  w.buffer.count += n;
}

inline void xPutListDword(XWriter& w, std::uint32_t value) {
  XBytes& b = w.buffer;
  if (b.capacity - b.count < 4) xMakeRoom(w, 4);
  if constexpr (std::endian::native != std::endian::little)
    value = (value >> 24) | ((value >> 8) & 0xFF00u) | ((value << 8) & 0xFF0000u) | (value << 24);
  std::memcpy(b.block.get() + b.count, &value, 4);
  b.count += 4;
}

inline void xPutListInt(XWriter& w, long long value) {
  if (w.binary) {
    xPutListDword(w, static_cast<std::uint32_t>(value));
    return;
  }
  w.buffer.count += formatInt(xRoom(w, 24), value);
}

inline void xPutListFloat(XWriter& w, double value) {
  if (w.binary) {
    const float f = static_cast<float>(value);
    std::uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    xPutListDword(w, bits);
    return;
  }
  w.buffer.count += formatFixed(xRoom(w, kFixedBufferSize), value);
}

// Text rows written a row at a time, with one check for room, rather than a call per number.
// xPutTextRow: `depth` spaces, then each value ("%f") followed by ';', then `end`.
template <typename T>
void xPutTextRow(XWriter& w, int depth, const T* values, std::size_t n, std::string_view end) {
  const std::size_t indent = depth > 0 ? static_cast<std::size_t>(depth) : 0;
  char* const start = xRoom(w, indent + n * (kFixedBufferSize + 1) + end.size());
  char* p = start;
  std::memset(p, ' ', indent);
  p += indent;
  for (std::size_t i = 0; i < n; ++i) {
    p += formatFixed(p, values[i]);
    *p++ = ';';
  }
  std::memcpy(p, end.data(), end.size());
  w.buffer.count += static_cast<std::size_t>(p - start) + end.size();
}

// xPutTextFace: `depth` spaces, then "n;" and the n values ("%u") joined by ','; the caller
// closes it. value(k) gives the k-th.
constexpr std::size_t kUintText = 10;  // digits of the largest 32-bit value
template <typename Value>
void xPutTextFace(XWriter& w, int depth, std::uint32_t n, Value value) {
  const std::size_t indent = depth > 0 ? static_cast<std::size_t>(depth) : 0;
  char* const start = xRoom(w, indent + (std::size_t{n} + 1) * (kUintText + 1));
  char* p = start;
  std::memset(p, ' ', indent);
  p += indent;
  p += formatInt(p, n);
  *p++ = ';';
  for (std::uint32_t k = 0; k < n; ++k) {
    if (k > 0) *p++ = ',';
    p += formatInt(p, static_cast<std::uint32_t>(value(k)));
  }
  w.buffer.count += static_cast<std::size_t>(p - start);
}

}  // namespace torvo
