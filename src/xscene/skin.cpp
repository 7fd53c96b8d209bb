#include "xscene/skin.h"

#include <cstdint>

#include "core/options.h"
#include "xscene/names.h"

namespace {

// Text lists break their lines after this many values.
constexpr std::size_t kValuesPerLine = 16;

// A list of n values in text, kValuesPerLine a line, closed by ';'.
template <typename Put>
void putTextList(XWriter& out, int indent, std::size_t n, Put put) {
  for (std::size_t i = 0; i < n; ++i) {
    if (i % kValuesPerLine == 0) xPutIndent(out, indent);
    put(i);
    xPutText(out, i + 1 == n ? ";\n" : (i + 1) % kValuesPerLine == 0 ? ",\n" : ",");
  }
}

}  // namespace

bool buildMeshSkin(const ConversionContext& context, const LwScene& scene, std::size_t position, MeshSkin& skin) {
  skin.names.clear();
  if (!lwBuildMeshSkin(context, scene, position, skin.skin)) return false;
  for (const std::int32_t item : skin.skin.items)
    skin.names.push_back(frameName(context.options.framePrefix, *scene.items[static_cast<std::size_t>(item) - 1]));
  return true;
}

void writeSkin(const MeshSkin& skin, XWriter& out, int indent) {
  const LwSkinWeights& w = skin.skin.weights;
  std::uint32_t used = 0;
  for (std::size_t e = 0; e + 1 < w.first.size(); ++e) used += w.first[e + 1] > w.first[e] ? 1 : 0;
  const std::uint32_t header[3] = {w.maxPerVertex, w.maxPerFace, used};
  xBeginObject(out, indent, "XSkinMeshHeader", nullptr);
  if (out.binary) {
    xPutIntegerList(out, header, 3);
  } else {
    for (const std::uint32_t value : header) {
      xPutIndent(out, indent + 1);
      xPutInt(out, value);
      xPutText(out, ";\n");
    }
  }
  xEndObject(out, indent);
  for (std::size_t e = 0; e + 1 < w.first.size(); ++e) {
    const std::uint32_t from = w.first[e], count = w.first[e + 1] - from;
    if (count == 0) continue;
    const Mat4& m = skin.skin.offsets[e];
    xBeginObject(out, indent, "SkinWeights", nullptr);
    const std::string name = xName(skin.names[e], out.binary, out.codePage);
    if (out.binary) {
      xPutToken(out, kTokenString, name.c_str());
      xPutWord(out, kTokenSemicolon);
      xPutIntegerList(out, &count, 1);
      xPutIntegerList(out, w.vertices.data() + from, count);
      xPutFloatList(out, w.weights.data() + from, count);
      float values[16];
      for (int i = 0; i < 16; ++i) values[i] = static_cast<float>(m.m[i % 4][i / 4]);
      xPutFloatList(out, values, 16);
    } else {
      xPutIndent(out, indent + 1);
      xPutText(out, "\"" + name + "\";\n");
      xPutIndent(out, indent + 1);
      xPutInt(out, count);
      xPutText(out, ";\n");
      putTextList(out, indent + 1, count, [&](std::size_t i) { xPutInt(out, w.vertices[from + i]); });
      putTextList(out, indent + 1, count, [&](std::size_t i) { xPutFixed(out, w.weights[from + i]); });
      // Row vectors: the transpose, column by column.
      xPutIndent(out, indent + 1);
      for (int i = 0; i < 16; ++i) {
        xPutFixed(out, m.m[i % 4][i / 4]);
        xPutText(out, i < 15 ? "," : ";;\n");
      }
    }
    xEndObject(out, indent);
  }
}
