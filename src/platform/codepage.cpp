// The file-name code page, the same on every system, and the code page a character
// set's name stands for.
#include "platform/platform.h"

#include <cctype>

namespace torvo {

namespace platform {

int fileNameCodePage() {
  // Asked once: looking at the locale is not safe while another thread does the same.
  static const int active = activeCodePage();
  return active;
}

int codePageOfCharset(const std::string& charset) {
  // Compared in capitals without '-' and '_': "UTF-8", "utf8" and "UTF_8" are one name.
  std::string key;
  for (char c : charset) {
    if (c != '-' && c != '_') key.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
  }
  if (key == "UTF8") return 65001;
  if (key == "SHIFTJIS" || key == "SJIS" || key == "CP932" || key == "WINDOWS31J") return 932;
  if (key == "GBK" || key == "GB2312" || key == "CP936" || key == "EUCCN") return 936;
  if (key == "EUCKR" || key == "CP949" || key == "UHC") return 949;
  if (key == "BIG5" || key == "CP950" || key == "BIG5HKSCS") return 950;
  return 1252;
}

}  // namespace platform

}  // namespace torvo
