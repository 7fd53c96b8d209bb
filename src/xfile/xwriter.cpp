#include "xfile/xwriter.h"

#include <cstring>

#include "app/options.h"
#include "app/paths.h"
#include "xfile/numfmt.h"

namespace {

// Output is handed to the file in blocks of about this size.
constexpr std::size_t kFlushThreshold = 1 << 20;

void maybeFlush(XWriter& w) {
  if (w.file != nullptr && w.buffer.size() >= kFlushThreshold) xFlush(w);
}

// Text-mode names pass through the name filter into an 80-byte field.
std::string textName(std::string_view name) {
  std::string filtered = makeXName(name);
  if (filtered.size() > kNameSize - 1) filtered.resize(kNameSize - 1);
  return filtered;
}

void putNameToken(XWriter& w, std::string_view name) {
  xPutWord(w, kTokenName);
  xPutDword(w, static_cast<std::uint32_t>(name.size()));
  xPutBytes(w, name.data(), name.size());
}

}  // namespace

void xPutBytes(XWriter& w, const void* data, std::size_t n) {
  const char* bytes = static_cast<const char*>(data);
  w.buffer.insert(w.buffer.end(), bytes, bytes + n);
  maybeFlush(w);
}

void xPutText(XWriter& w, std::string_view text) { xPutBytes(w, text.data(), text.size()); }

void xPutChar(XWriter& w, char c) {
  w.buffer.push_back(c);
  maybeFlush(w);
}

void xPutIndent(XWriter& w, int depth) {
  if (depth <= 0) return;
  w.buffer.insert(w.buffer.end(), static_cast<std::size_t>(depth), ' ');
  maybeFlush(w);
}

void xPutFixed(XWriter& w, double value) {
  char text[kFixedBufferSize];
  xPutBytes(w, text, formatFixed(text, value));
}

void xPutInt(XWriter& w, long long value) {
  char text[24];
  xPutBytes(w, text, formatInt(text, value));
}

void xPutWord(XWriter& w, std::uint32_t value) {
  const char bytes[2] = {static_cast<char>(value & 0xFF), static_cast<char>((value >> 8) & 0xFF)};
  xPutBytes(w, bytes, 2);
}

void xPutDword(XWriter& w, std::uint32_t value) {
  const char bytes[4] = {static_cast<char>(value & 0xFF), static_cast<char>((value >> 8) & 0xFF),
                         static_cast<char>((value >> 16) & 0xFF), static_cast<char>((value >> 24) & 0xFF)};
  xPutBytes(w, bytes, 4);
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
    xPutText(w, textName(instanceName));
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
  xPutText(w, textName(name));
  xPutText(w, "}\n");
}

void xPutIntegerList(XWriter& w, const std::uint32_t* values, std::size_t count) {
  xPutWord(w, kTokenIntegerList);
  xPutDword(w, static_cast<std::uint32_t>(count));
  for (std::size_t i = 0; i < count; ++i) xPutDword(w, values[i]);
}

void xPutFloatList(XWriter& w, const float* values, std::size_t count) {
  xPutWord(w, kTokenFloatList);
  xPutDword(w, static_cast<std::uint32_t>(count));
  for (std::size_t i = 0; i < count; ++i) xPutFloat(w, values[i]);
}

int xFlush(XWriter& w) {
  if (w.file == nullptr) return w.failed ? -1 : 0;
  if (!w.buffer.empty()) {
    if (std::fwrite(w.buffer.data(), 1, w.buffer.size(), w.file) != w.buffer.size()) w.failed = true;
    w.buffer.clear();
  }
  if (std::fflush(w.file) != 0 || std::ferror(w.file)) w.failed = true;
  return w.failed ? -1 : 0;
}
