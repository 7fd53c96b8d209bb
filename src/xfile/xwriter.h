// The token writer: the only code that knows the text and binary .x encodings.
// Output collects in one buffer that is written to the file in large blocks;
// a writer without a file keeps everything in memory (tests, fuzzing).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

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

struct XWriter {
  std::FILE* file = nullptr;   // null: keep all output in `buffer`
  bool binary = false;         // binaryOutput of the run
  std::vector<char> buffer;    // bytes not yet written to `file`
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

// Writes buffered bytes to the file (no-op without a file). Returns -1 on a write error.
int xFlush(XWriter& w);
