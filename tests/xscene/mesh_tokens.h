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
  std::string out;
  std::size_t pos = start;
  auto u16 = [&]() -> std::uint32_t {
    pos += 2;
    return static_cast<unsigned char>(bytes[pos - 2]) | (static_cast<unsigned char>(bytes[pos - 1]) << 8);
  };
  auto u32 = [&]() -> std::uint32_t {
    const std::uint32_t low = u16();  // operands of | are unsequenced
    return low | (u16() << 16);
  };
  while (bytes.size() - pos >= 2) {
    const std::uint32_t token = u16();
    const bool counted = token == 1 || token == 2 || token == 6 || token == 7;
    if (counted && bytes.size() - pos < 4) return out + " <truncated>";
    const std::uint32_t n = counted ? u32() : 0;
    std::string item;
    if (token == 1 || token == 2) {
      if (bytes.size() - pos < n) return out + " <truncated>";
      item.assign(bytes.begin() + static_cast<std::ptrdiff_t>(pos), bytes.begin() + static_cast<std::ptrdiff_t>(pos + n));
      pos += n;
      if (token == 2) item = "\"" + item + "\"";
    } else if (token == 6 || token == 7) {
      if ((bytes.size() - pos) / 4 < n) return out + " <truncated>";
      item = token == 6 ? "I(" : "F(";
      for (std::uint32_t i = 0; i < n; ++i) {
        const std::uint32_t v = u32();
        float f;
        std::memcpy(&f, &v, sizeof f);
        char text[64];
        if (token == 6) std::snprintf(text, sizeof text, "%u", v);
        if (token == 7) std::snprintf(text, sizeof text, "%f", static_cast<double>(f));
        item += (i > 0 ? "," : "") + std::string(text);
      }
      item += ")";
    } else if (token == 10 || token == 11 || token == 20) {
      item = token == 10 ? "{" : token == 11 ? "}" : ";";
    } else {
      return out + " <token " + std::to_string(token) + ">";
    }
    out += (out.empty() ? "" : " ") + item;
  }
  return out;
}

}  // namespace xtokens
