#include "core/text_cursor.h"

#include <cstdlib>

namespace torvo {

namespace {

bool isSpace(int c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool isDigit(int c) { return c >= '0' && c <= '9'; }
bool isHexDigit(int c) { return isDigit(c) || ((c | 0x20) >= 'a' && (c | 0x20) <= 'f'); }
int lower(int c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; }

void skipSpace(TextCursor& in) {
  int c = 0;
  do {
    c = in.get();
  } while (isSpace(c));
  in.unget(c);
}

// The characters of `word` after its first, case-insensitively; false at the first that differs
// (which stays read, as fscanf leaves it).
bool readWord(TextCursor& in, std::string& text, const char* word) {
  for (const char* w = word; *w != '\0'; ++w) {
    const int c = in.get();
    if (c < 0 || lower(c) != *w) return false;
    text.push_back(static_cast<char>(c));
  }
  return true;
}

// %lf after the blanks: 1 stored, 0 no number, -1 the input ended first.
int scanReal(TextCursor& in, double& value) {
  int c = in.get();
  if (c < 0) return -1;
  std::string text;
  std::size_t signs = 0;
  if (c == '-' || c == '+') {
    text.push_back(static_cast<char>(c));
    signs = 1;
    c = in.get();
    if (c < 0) return 0;
  }
  if (lower(c) == 'n') {
    text.push_back(static_cast<char>(c));
    if (!readWord(in, text, "an")) return 0;
  } else if (lower(c) == 'i') {
    text.push_back(static_cast<char>(c));
    if (!readWord(in, text, "nf")) return 0;
    c = in.get();
    if (c >= 0) {
      if (lower(c) == 'i') {
        text.push_back(static_cast<char>(c));
        if (!readWord(in, text, "nity")) return 0;
      } else {
        in.unget(c);
      }
    }
  } else {
    char exponent = 'e';
    bool hex = false;
    bool digit = false;
    bool dot = false;
    bool power = false;
    if (c == '0') {
      text.push_back('0');
      c = in.get();
      if (lower(c) == 'x') {
        text.push_back(static_cast<char>(c));
        hex = true;
        exponent = 'p';
        c = in.get();
      } else {
        digit = true;
      }
    }
    for (;;) {
      if (isDigit(c) || (!power && hex && isHexDigit(c))) {
        text.push_back(static_cast<char>(c));
        digit = true;
      } else if (power && text.back() == exponent && (c == '-' || c == '+')) {
        text.push_back(static_cast<char>(c));
      } else if (digit && !power && lower(c) == exponent) {
        text.push_back(exponent);
        power = true;
        dot = true;
      } else if (!dot && c == '.') {
        text.push_back('.');
        dot = true;
      } else {
        in.unget(c);
        break;
      }
      c = in.get();
      if (c < 0) break;
    }
    if (text.size() == signs || (hex && text.size() == 2 + signs)) return 0;
  }
  char* end = nullptr;
  const double read = std::strtod(text.c_str(), &end);
  if (end == text.c_str()) return 0;
  value = read;
  return 1;
}

// %ld after the blanks, as scanReal.
int scanWhole(TextCursor& in, long& value) {
  int c = in.get();
  if (c < 0) return -1;
  std::string text;
  if (c == '-' || c == '+') {
    text.push_back(static_cast<char>(c));
    c = in.get();
  }
  while (isDigit(c)) {
    text.push_back(static_cast<char>(c));
    c = in.get();
  }
  in.unget(c);
  if (text.empty() || (text.size() == 1 && (text[0] == '-' || text[0] == '+'))) return 0;
  value = std::strtol(text.c_str(), nullptr, 10);
  return 1;
}

}  // namespace

bool readLine(std::string& line, std::size_t size, TextCursor& in) {
  line.clear();
  if (in.atEnd) return false;
  if (size < 2) return true;
  // The line's characters are found in one scan rather than read one by one.
  const std::string_view rest = in.text.substr(in.position);
  const std::size_t limit = size - 1;
  std::size_t n = 0;
  while (n < rest.size() && n < limit && rest[n] != '\r' && rest[n] != '\n') ++n;
  line.assign(rest.data(), n);
  in.position += n;
  if (n == limit) {
    // Full: the next character stays unread.
  } else if (n == rest.size()) {
    in.atEnd = true;
  } else {
    const int pair = rest[n] == '\r' ? '\n' : '\r';
    ++in.position;
    const int next = in.get();
    if (next != pair) in.unget(next);
  }
  const std::size_t nul = line.find('\0');
  if (nul != std::string::npos) line.resize(nul);
  return true;
}

bool readRawLine(std::string& line, std::size_t size, TextCursor& in) {
  line.clear();
  while (line.size() + 1 < size) {
    const int c = in.get();
    if (c < 0) break;
    line.push_back(static_cast<char>(c));
    if (c == '\n') break;
  }
  return !line.empty() || size < 2;
}

int scanFields(TextCursor& in, const ScanField* fields, int count) {
  int stored = 0;
  for (int i = 0; i < count; ++i) {
    skipSpace(in);
    const int r = fields[i].kind == 'f' ? scanReal(in, *fields[i].real) : scanWhole(in, *fields[i].whole);
    if (r < 0) return stored == 0 ? -1 : stored;
    if (r == 0) return stored;
    ++stored;
  }
  return stored;
}

}  // namespace torvo
