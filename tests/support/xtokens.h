// Decodes binary .x tokens into one readable line, so tests can compare the
// binary encoding of an object as text: names bare, strings quoted, lists as
// I(...) and F(...) with "%f" values, braces and semicolons as themselves.
#pragma once

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace xtokens {

inline std::string decode(std::string_view bytes, std::size_t start = 0) {
  std::string out;
  std::size_t pos = start;
  auto has = [&](std::size_t n) { return bytes.size() - pos >= n; };
  auto u32 = [&](std::size_t n = 4) {
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < n; ++i) v |= std::uint32_t{static_cast<unsigned char>(bytes[pos + i])} << (8 * i);
    return pos += n, v;
  };
  while (has(2)) {
    const std::uint32_t token = u32(2);
    const bool counted = token == 1 || token == 2 || token == 6 || token == 7;
    if (counted && !has(4)) return out + " <truncated>";
    const std::uint32_t n = counted ? u32() : 0;
    std::string item = token == 10   ? "{"
                       : token == 11 ? "}"
                       : token == 20 ? ";"
                       : token == 6  ? "I("
                       : token == 7  ? "F("
                                     : "";
    if (token == 1 || token == 2) {
      if (!has(n)) return out + " <truncated>";
      item.assign(bytes.begin() + static_cast<std::ptrdiff_t>(pos),
                  bytes.begin() + static_cast<std::ptrdiff_t>(pos + n));
      pos += n;
      if (token == 2) item = "\"" + item + "\"";
    } else if (token == 6 || token == 7) {
      if (!has(4 * std::size_t{n})) return out + " <truncated>";
      for (std::uint32_t i = 0; i < n; ++i) {
        const std::uint32_t v = u32();
        float f;
        std::memcpy(&f, &v, sizeof f);
        char text[64];
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

// What a text .x file says about frames and skinned meshes: frame tree and matrices (row
// vectors, as written), mesh vertices, skin header and weights. Templates are skipped.
struct Text {
  struct Frame {
    std::string name;
    int parent = -1;
    double m[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  };
  struct Skin {
    std::string frame;
    std::vector<std::uint32_t> vertices;
    std::vector<double> weights;
    double offset[16] = {};
  };
  struct Mesh {
    int frame = -1;
    std::vector<double> xyz;
    unsigned header[3] = {0, 0, 0};
    std::vector<Skin> skins;
  };
  std::vector<Frame> frames;
  std::vector<Mesh> meshes;
  bool animated = false;

  // v (x y z 1) times the frame's matrices up the tree.
  void place(int frame, double v[3]) const {
    for (; frame >= 0; frame = frames[static_cast<std::size_t>(frame)].parent)
      transform(frames[static_cast<std::size_t>(frame)].m, v);
  }
  static void transform(const double* m, double v[3]) {
    const double r[3] = {v[0] * m[0] + v[1] * m[4] + v[2] * m[8] + m[12],
                         v[0] * m[1] + v[1] * m[5] + v[2] * m[9] + m[13],
                         v[0] * m[2] + v[1] * m[6] + v[2] * m[10] + m[14]};
    v[0] = r[0], v[1] = r[1], v[2] = r[2];
  }
  int frameNamed(const std::string& name) const {
    for (std::size_t i = 0; i < frames.size(); ++i)
      if (frames[i].name == name) return static_cast<int>(i);
    return -1;
  }
  // A vertex as a reader skins it: the sum over the weights of w * v * offset * combined.
  std::vector<double> skinned(const Mesh& mesh, std::uint32_t vertex) const {
    std::vector<double> out(3, 0.0);
    for (const Skin& s : mesh.skins)
      for (std::size_t i = 0; i < s.vertices.size(); ++i) {
        if (s.vertices[i] != vertex) continue;
        double v[3] = {mesh.xyz[3 * vertex], mesh.xyz[3 * vertex + 1], mesh.xyz[3 * vertex + 2]};
        transform(s.offset, v);
        place(frameNamed(s.frame), v);
        for (int k = 0; k < 3; ++k) out[static_cast<std::size_t>(k)] += s.weights[i] * v[k];
      }
    return out;
  }
};

inline Text parseText(const std::string& text) {
  std::vector<std::string> t;
  for (std::size_t i = 0; i < text.size();) {
    const char c = text[i];
    if (c == '/' && text.compare(i, 2, "//") == 0)
      i = text.find('\n', i) == std::string::npos ? text.size() : text.find('\n', i);
    else if (c == '"') {
      const std::size_t end = text.find('"', i + 1);
      t.push_back(text.substr(i + 1, end - i - 1));
      i = end + 1;
    } else if (c == '{' || c == '}')
      t.emplace_back(1, c), ++i;
    else if (std::isspace(static_cast<unsigned char>(c)) || c == ';' || c == ',')
      ++i;
    else {
      std::size_t e = i;
      while (e < text.size() && !std::strchr(" \t\r\n;,{}\"", text[e])) ++e;
      t.push_back(text.substr(i, e - i));
      i = e;
    }
  }
  Text out;
  std::size_t p = 3;  // after "xof 0302txt 0032"
  auto num = [&] { return std::stod(t[p++]); };
  auto skip = [&] {
    for (int depth = 0; p < t.size();) {
      const std::string& w = t[p++];
      depth += w == "{" ? 1 : w == "}" ? -1 : 0;
      if (w == "}" && depth == 0) return;
    }
  };
  std::function<void(int)> object = [&](int parent) {
    const std::string type = t[p++];
    std::string name;
    if (t[p] != "{") name = t[p++];
    if (type == "Frame") {
      const int self = static_cast<int>(out.frames.size());
      out.frames.push_back({name, parent});
      ++p;
      while (t[p] != "}") {
        if (t[p] == "FrameTransformMatrix") {
          p += 2;
          for (double& v : out.frames[static_cast<std::size_t>(self)].m) v = num();
          ++p;
        } else if (t[p] == "{")
          skip();
        else
          object(self);
      }
      ++p;
    } else if (type == "Mesh") {
      Text::Mesh mesh;
      mesh.frame = parent;
      ++p;
      mesh.xyz.resize(3 * static_cast<std::size_t>(num()));
      for (double& v : mesh.xyz) v = num();
      for (std::size_t faces = static_cast<std::size_t>(num()); faces > 0; --faces) {
        const auto corners = static_cast<std::size_t>(num());
        p += corners;
      }
      while (t[p] != "}") {
        if (t[p] == "XSkinMeshHeader") {
          p += 2;
          for (unsigned& v : mesh.header) v = static_cast<unsigned>(num());
          ++p;
        } else if (t[p] == "SkinWeights") {
          Text::Skin& s = mesh.skins.emplace_back();
          p += 2;
          s.frame = t[p++];
          const auto n = static_cast<std::size_t>(num());
          for (std::size_t i = 0; i < n; ++i) s.vertices.push_back(static_cast<std::uint32_t>(num()));
          for (std::size_t i = 0; i < n; ++i) s.weights.push_back(num());
          for (double& v : s.offset) v = num();
          ++p;
        } else {
          while (t[p] != "{") ++p;
          skip();
        }
      }
      ++p;
      out.meshes.push_back(std::move(mesh));
    } else {
      out.animated = out.animated || type == "AnimationSet";
      while (t[p] != "{") ++p;
      skip();
    }
  };
  while (p < t.size()) {
    if (t[p] == "template") {
      while (t[p] != "{") ++p;
      skip();
    } else
      object(-1);
  }
  return out;
}

}  // namespace xtokens
