// Decodes binary .x tokens into one readable line, so tests can compare the
// binary encoding of an object as text: names bare, strings quoted, lists as
// I(...) and F(...) with "%f" values, braces and semicolons as themselves.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace xtokens {

inline std::string decode(const std::vector<char>& bytes, std::size_t start = 0) {
  std::string out; std::size_t pos = start;
  auto has = [&](std::size_t n) { return bytes.size() - pos >= n; };
  auto u32 = [&](std::size_t n = 4) {
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < n; ++i) v |= std::uint32_t{static_cast<unsigned char>(bytes[pos + i])} << (8 * i);
    return pos += n, v;
  };
  while (has(2)) {
    const std::uint32_t token = u32(2); const bool counted = token == 1 || token == 2 || token == 6 || token == 7;
    if (counted && !has(4)) return out + " <truncated>";
    const std::uint32_t n = counted ? u32() : 0;
    std::string item = token == 10 ? "{" : token == 11 ? "}" : token == 20 ? ";" : token == 6 ? "I(" : token == 7 ? "F(" : "";
    if (token == 1 || token == 2) {
      if (!has(n)) return out + " <truncated>";
      item.assign(bytes.begin() + static_cast<std::ptrdiff_t>(pos), bytes.begin() + static_cast<std::ptrdiff_t>(pos + n)); pos += n;
      if (token == 2) item = "\"" + item + "\"";
    } else if (token == 6 || token == 7) {
      if (!has(4 * std::size_t{n})) return out + " <truncated>";
      for (std::uint32_t i = 0; i < n; ++i) {
        const std::uint32_t v = u32(); float f; std::memcpy(&f, &v, sizeof f); char text[64];
        if (token == 6) std::snprintf(text, sizeof text, "%u", v);
        if (token == 7) std::snprintf(text, sizeof text, "%f", static_cast<double>(f));
        (item += i > 0 ? "," : "") += text;
      }
      item += ")";
    } else if (item.empty()) {
      return out + " <token " + std::to_string(token) + ">";
    }
    out += (out.empty() ? "" : " ") + item;
  }
  return out;
}

}  // namespace xtokens
