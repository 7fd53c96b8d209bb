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

// Lists and rows, in the writer's encoding, so that one sequence of calls writes either.
// Binary: a list is its token, its length and its values. Text: numbers with the marks
// and line starts between them; marks, row indents and list heads are text or binary only.
void xBeginList(XWriter& w, XToken token, std::size_t count);  // binary only: token and length
void xPutMark(XWriter& w, std::string_view text);              // text only
void xPutRowIndent(XWriter& w, int depth);                     // text only
void xPutListInt(XWriter& w, long long value);                 // text "%lld"; binary a dword
void xPutListFloat(XWriter& w, double value);                  // text "%f"; binary the value as a float
// A count on its own: "n;" on a line in text, a one-value integer list in binary.
void xPutCount(XWriter& w, int depth, std::size_t count);
// A quoted string: "\"text\";" on a line in text, a string token and ';' in binary.
void xPutStringLine(XWriter& w, int depth, const std::string& text);
// Rows of `width` floats: in text "a;b;c;" a line, rows joined by ",\n" and the last
// followed by `last`; in binary one float list of them all.
void xPutFloatRows(XWriter& w, int depth, const float* values, std::size_t rows, std::size_t width,
                   std::string_view last);

// Writes buffered bytes to the file (no-op without a file). Returns -1 on a write error.
int xFlush(XWriter& w);
