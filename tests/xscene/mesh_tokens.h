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
  auto remaining = [&] { return bytes.size() - pos; };
  auto u16 = [&]() -> std::uint32_t {
    const std::uint32_t v = static_cast<unsigned char>(bytes[pos]) | (static_cast<unsigned char>(bytes[pos + 1]) << 8);
    pos += 2;
    return v;
  };
  auto u32 = [&]() -> std::uint32_t {
    const std::uint32_t lo = u16();
    return lo | (u16() << 16);
  };
  auto append = [&](const std::string& s) {
    if (!out.empty()) out += ' ';
    out += s;
  };
  while (remaining() >= 2) {
    const std::uint32_t token = u16();
    if ((token == 1 || token == 2 || token == 6 || token == 7) && remaining() < 4) return out + " <truncated>";
    switch (token) {
      case 1:
      case 2: {
        const std::uint32_t n = u32();
        if (remaining() < n) return out + " <truncated>";
        const std::string text(bytes.begin() + static_cast<std::ptrdiff_t>(pos),
                               bytes.begin() + static_cast<std::ptrdiff_t>(pos + n));
        pos += n;
        append(token == 1 ? text : "\"" + text + "\"");
        break;
      }
      case 6:
      case 7: {
        const std::uint32_t n = u32();
        if (remaining() / 4 < n) return out + " <truncated>";
        std::string list = token == 6 ? "I(" : "F(";
        for (std::uint32_t i = 0; i < n; ++i) {
          const std::uint32_t v = u32();
          char text[64];
          if (token == 6) {
            std::snprintf(text, sizeof text, "%u", v);
          } else {
            float f;
            std::memcpy(&f, &v, sizeof f);
            std::snprintf(text, sizeof text, "%f", static_cast<double>(f));
          }
          if (i > 0) list += ',';
          list += text;
        }
        append(list + ")");
        break;
      }
      case 10: append("{"); break;
      case 11: append("}"); break;
      case 20: append(";"); break;
      default: return out + " <token " + std::to_string(token) + ">";
    }
  }
  return out;
}

}  // namespace xtokens
