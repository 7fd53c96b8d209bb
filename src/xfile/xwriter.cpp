#include "xfile/xwriter.h"

#include <bit>
#include <cstring>

#include "core/options.h"
#include "core/paths.h"
#include "xfile/numfmt.h"

namespace torvo {

namespace {

// With a file, output is handed over in blocks of this size from a buffer allocated once.
constexpr std::size_t kBlockSize = std::size_t{1} << 18;

void drain(XWriter& w) {
  XBytes& b = w.buffer;
  if (b.count == 0) return;
  if (std::fwrite(b.block.get(), 1, b.count, w.file) != b.count) w.failed = true;
  b.count = 0;
}

void grow(XBytes& b, std::size_t capacity) {
  std::unique_ptr<char[]> block(new char[capacity]);
  if (b.count > 0) std::memcpy(block.get(), b.block.get(), b.count);
  b.block = std::move(block);
  b.capacity = capacity;
}

inline void append(XWriter& w, const char* bytes, std::size_t n) {
  if (w.buffer.capacity - w.buffer.count < n && w.file != nullptr && n >= kBlockSize) {
    // Large runs go straight to the file, after what is held.
    drain(w);
    if (std::fwrite(bytes, 1, n, w.file) != n) w.failed = true;
    return;
  }
  if (n == 0) return;
  std::memcpy(xRoom(w, n), bytes, n);
  w.buffer.count += n;
}

// Text-mode names pass through the name filter into an 80-byte field.
std::string textName(const XWriter& w, std::string_view name) {
  std::string filtered = makeXName(name, w.codePage);
  if (filtered.size() > kNameSize - 1) filtered.resize(kNameSize - 1);
  return filtered;
}

void putNameToken(XWriter& w, std::string_view name) {
  xPutWord(w, kTokenName);
  xPutDword(w, static_cast<std::uint32_t>(name.size()));
  xPutBytes(w, name.data(), name.size());
}

}  // namespace

void xMakeRoom(XWriter& w, std::size_t n) {
  XBytes& b = w.buffer;
  if (w.file != nullptr) {
    // A block allocated once is handed over whenever it fills.
    drain(w);
    if (b.capacity < n || b.capacity < kBlockSize) grow(b, n > kBlockSize ? n : kBlockSize);
    return;
  }
  // Without a file the block grows and keeps everything.
  std::size_t capacity = b.capacity > 0 ? 2 * b.capacity : 4096;
  while (capacity - b.count < n) capacity *= 2;
  grow(b, capacity);
}

void xPutBytes(XWriter& w, const void* data, std::size_t n) { append(w, static_cast<const char*>(data), n); }

void xPutText(XWriter& w, std::string_view text) { xPutBytes(w, text.data(), text.size()); }

void xPutChar(XWriter& w, char c) { append(w, &c, 1); }

void xPutIndent(XWriter& w, int depth) {
  static constexpr char kSpaces[] = "                                                                ";
  static constexpr std::size_t kRun = sizeof kSpaces - 1;
  for (std::size_t left = depth > 0 ? static_cast<std::size_t>(depth) : 0; left > 0;) {
    const std::size_t n = left < kRun ? left : kRun;
    append(w, kSpaces, n);
    left -= n;
  }
}

void xPutFixed(XWriter& w, double value) {
  char text[kFixedBufferSize];
  append(w, text, formatFixed(text, value));
}

void xPutInt(XWriter& w, long long value) {
  char text[24];
  append(w, text, formatInt(text, value));
}

void xPutWord(XWriter& w, std::uint32_t value) {
  const char bytes[2] = {static_cast<char>(value & 0xFF), static_cast<char>((value >> 8) & 0xFF)};
  append(w, bytes, 2);
}

void xPutDword(XWriter& w, std::uint32_t value) {
  const char bytes[4] = {static_cast<char>(value & 0xFF), static_cast<char>((value >> 8) & 0xFF),
                         static_cast<char>((value >> 16) & 0xFF), static_cast<char>((value >> 24) & 0xFF)};
  append(w, bytes, 4);
}

void xPutFloat(XWriter& w, float value) {
  std::uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  xPutDword(w, bits);
}

void xPutToken(XWriter& w, int token, const char* text) {
  const std::size_t length = text != nullptr ? std::strlen(text) : 0;
  xPutWord(w, static_cast<std::uint32_t>(token));
  xPutDword(w, static_cast<std::uint32_t>(length));
  if (length > 0) xPutBytes(w, text, length);
}

void xBeginObject(XWriter& w, int depth, std::string_view templateName, const char* instanceName) {
  if (w.binary) {
    putNameToken(w, templateName);
    if (instanceName != nullptr) putNameToken(w, instanceName);
    xPutWord(w, kTokenOpenBrace);
    return;
  }
  xPutIndent(w, depth);
  xPutText(w, templateName);
  xPutChar(w, ' ');
  if (instanceName != nullptr) {
    xPutText(w, textName(w, instanceName));
    xPutChar(w, ' ');
  }
  xPutText(w, "{\n");
}

void xEndObject(XWriter& w, int depth) {
  if (w.binary) {
    xPutWord(w, kTokenCloseBrace);
    return;
  }
  xPutIndent(w, depth);
  xPutText(w, "}\n");
}

void xPutReference(XWriter& w, int depth, std::string_view name) {
  if (w.binary) {
    xPutWord(w, kTokenOpenBrace);
    putNameToken(w, name);
    xPutWord(w, kTokenCloseBrace);
    return;
  }
  xPutIndent(w, depth);
  xPutChar(w, '{');
  xPutText(w, textName(w, name));
  xPutText(w, "}\n");
}

void xPutIntegerList(XWriter& w, const std::uint32_t* values, std::size_t count) {
  xPutWord(w, kTokenIntegerList);
  xPutDword(w, static_cast<std::uint32_t>(count));
  xPutDwords(w, values, count);
}

void xPutFloatList(XWriter& w, const float* values, std::size_t count) {
  xPutWord(w, kTokenFloatList);
  xPutDword(w, static_cast<std::uint32_t>(count));
  xPutFloats(w, values, count);
}

void xPutDwords(XWriter& w, const std::uint32_t* values, std::size_t count) {
  if constexpr (std::endian::native == std::endian::little) {
    // The values' own bytes are already the file's encoding.
    append(w, reinterpret_cast<const char*>(values), count * sizeof *values);
  } else {
    for (std::size_t i = 0; i < count; ++i) xPutDword(w, values[i]);
  }
}

void xPutFloats(XWriter& w, const float* values, std::size_t count) {
  static_assert(sizeof(float) == 4);
  if constexpr (std::endian::native == std::endian::little) {
    append(w, reinterpret_cast<const char*>(values), count * sizeof *values);
  } else {
    for (std::size_t i = 0; i < count; ++i) xPutFloat(w, values[i]);
  }
}

void xBeginList(XWriter& w, XToken token, std::size_t count) {
  if (!w.binary) return;
  xPutWord(w, static_cast<std::uint32_t>(token));
  xPutDword(w, static_cast<std::uint32_t>(count));
}

void xPutCount(XWriter& w, int depth, std::size_t count) {
  xBeginList(w, kTokenIntegerList, 1);
  xPutRowIndent(w, depth);
  xPutListInt(w, static_cast<long long>(count));
  xPutMark(w, ";\n");
}

void xPutStringLine(XWriter& w, int depth, const std::string& text) {
  if (w.binary) {
    xPutToken(w, kTokenString, text.c_str());
    xPutWord(w, kTokenSemicolon);
    return;
  }
  xPutIndent(w, depth);
  xPutChar(w, '"');
  xPutText(w, text);
  xPutText(w, "\";\n");
}

void xPutFloatRows(XWriter& w, int depth, const float* values, std::size_t rows, std::size_t width,
                   std::string_view last) {
  if (w.binary) {
    xPutFloatList(w, values, rows * width);
    return;
  }
  for (std::size_t row = 0; row < rows; ++row)
    xPutTextRow(w, depth, values + row * width, width, row + 1 < rows ? std::string_view(",\n") : last);
}

Status xFlush(XWriter& w) {
  if (w.file != nullptr) {
    drain(w);
    if (std::fflush(w.file) != 0 || std::ferror(w.file)) w.failed = true;
  }
  return w.failed ? Status::kWriteFailed : Status::kOk;
}

}  // namespace torvo
