#include "core/paths.h"

#include "platform/platform.h"

namespace torvo {

namespace {

bool isSeparator(unsigned char c) { return c == '\\' || c == '/' || c == ':'; }

// Length in bytes of the character starting at path[i]: a lead byte takes its
// trail byte with it (a lone lead byte at the end stands alone).
std::size_t charLength(std::string_view text, std::size_t i, int codePage) {
  if (i + 1 < text.size() && platform::isLeadByte(codePage, static_cast<unsigned char>(text[i]))) {
    return 2;
  }
  return 1;
}

}  // namespace

void joinPath(std::string& dst, std::string_view src, int codePage) {
  const bool complete = !src.empty() && (src[0] == '/' || src[0] == '\\' || src[0] == '.');
  if (complete || src.find(':') != std::string_view::npos) {
    dst.assign(src);
    return;
  }
  if (!dst.empty()) {
    // The last character, walked from the start: a trail byte equal to '\\' is no separator.
    std::size_t last = 0;
    for (std::size_t i = 0; i < dst.size(); i += charLength(dst, i, codePage)) last = i;
    const char native = platform::nativeSeparator();
    const bool endsInSeparator = last + 1 == dst.size() && (dst[last] == '\\' || dst[last] == native);
    if (!endsInSeparator) dst.push_back(native);
  }
  dst.append(src);
}

std::size_t fileNamePart(std::string_view path, int codePage) {
  std::size_t result = 0;
  for (std::size_t i = 0; i < path.size();) {
    const std::size_t n = charLength(path, i, codePage);
    if (n == 1 && isSeparator(static_cast<unsigned char>(path[i]))) result = i + 1;
    i += n;
  }
  return result;
}

std::size_t findExtension(std::string_view path, int codePage) {
  std::size_t result = std::string_view::npos;
  for (std::size_t i = 0; i < path.size();) {
    const std::size_t n = charLength(path, i, codePage);
    if (n == 1) {
      const unsigned char c = static_cast<unsigned char>(path[i]);
      if (c == '.') result = i;
      else if (isSeparator(c)) result = std::string_view::npos;
    }
    i += n;
  }
  return result;
}

void replaceExtension(std::string& path, std::string_view ext, int codePage) {
  const std::size_t dot = findExtension(path, codePage);
  if (dot != std::string::npos) path.resize(dot);
  path.append(ext);
}

bool readLine(std::string& line, std::size_t size, std::FILE* stream) {
  line.clear();
  if (std::feof(stream)) return false;
  if (size < 2) return true;
  for (;;) {
    const int c = std::fgetc(stream);
    if (c == EOF) break;
    if (c == '\r' || c == '\n') {
      const int next = std::fgetc(stream);
      const int pair = (c == '\r') ? '\n' : '\r';
      if (next != pair && next != EOF) std::ungetc(next, stream);
      break;
    }
    line.push_back(static_cast<char>(c));
    if (line.size() == size - 1) break;
  }
  // Lines are text: a NUL ends the line as its readers see it.
  const std::size_t nul = line.find('\0');
  if (nul != std::string::npos) line.resize(nul);
  return true;
}

std::string makeXName(std::string_view src, int codePage) {
  std::string dst;
  dst.reserve(src.size());
  for (std::size_t i = 0; i < src.size();) {
    const std::size_t n = charLength(src, i, codePage);
    if (n == 1) {
      const char c = src[i];
      if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_') {
        dst.push_back(c);
      } else if (c == ' ') {
        dst.push_back('_');
      }
    }
    i += n;
  }
  return dst;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i];
    char y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
    if (x != y) return false;
  }
  return true;
}

}  // namespace torvo
