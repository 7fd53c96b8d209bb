// Text read from bytes in memory the way the C streams read a file opened "rb": the
// scene readers keep their stream semantics (end-of-file indicator, one character put
// back, fgets and fscanf's number rules) without a file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace torvo {

struct TextCursor {
  std::string_view text;
  std::size_t position = 0;
  bool atEnd = false;  // the end-of-file indicator: set by a read past the last byte

  explicit TextCursor(std::string_view bytes) : text(bytes) {}
  // fgetc: the next byte, or -1 (and the indicator set) past the end.
  int get() {
    if (position >= text.size()) {
      atEnd = true;
      return -1;
    }
    return static_cast<unsigned char>(text[position++]);
  }
  // ungetc of the byte just read; -1 puts nothing back.
  void unget(int c) {
    if (c >= 0 && position > 0) {
      --position;
      atEnd = false;
    }
  }
};

// readLine over the cursor: at most size-1 characters; CR, LF, CR LF and LF CR end a
// line; a NUL ends the line as its readers see it. False when the indicator was set.
bool readLine(std::string& line, std::size_t size, TextCursor& in);
// fgets into a buffer of `size`: the line with its LF, at most size-1 bytes; false when
// nothing was read before the end.
bool readRawLine(std::string& line, std::size_t size, TextCursor& in);

// fscanf's conversions: 'f' for %lf, 'd' for %ld, a blank between each pair of them in
// the format. Returns the conversions stored, or -1 when the input ended before the first.
struct ScanField {
  char kind;  // 'f' or 'd'
  double* real;
  long* whole;
};
int scanFields(TextCursor& in, const ScanField* fields, int count);

}  // namespace torvo
