#include "xfile/numfmt.h"

#include <cstdio>
#include <cstring>

std::size_t formatFixed(char* out, double value) {
  char buffer[kFixedBufferSize];
  const int n = std::snprintf(buffer, sizeof buffer, "%f", value);
  std::memcpy(out, buffer, static_cast<std::size_t>(n));
  return static_cast<std::size_t>(n);
}

std::size_t formatInt(char* out, long long value) {
  char buffer[24];
  const int n = std::snprintf(buffer, sizeof buffer, "%lld", value);
  std::memcpy(out, buffer, static_cast<std::size_t>(n));
  return static_cast<std::size_t>(n);
}
