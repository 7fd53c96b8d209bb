#include "xscene/skin.h"

#include <cstdint>

#include "ready/names.h"

namespace torvo {

namespace {

// Text lists break their lines after this many values.
constexpr std::size_t kValuesPerLine = 16;

// A list of n values, in text kValuesPerLine a line and closed by ';'.
template <typename Put>
void putWrappedList(XWriter& out, XToken token, int indent, std::size_t n, Put put) {
  xBeginList(out, token, n);
  for (std::size_t i = 0; i < n; ++i) {
    if (i % kValuesPerLine == 0) xPutRowIndent(out, indent);
    put(i);
    xPutMark(out, i + 1 == n ? ";\n" : (i + 1) % kValuesPerLine == 0 ? ",\n" : ",");
  }
}

}  // namespace

void writeSkin(const MeshSkin& skin, XWriter& out, int indent) {
  const LwSkinWeights& w = skin.skin.weights;
  const std::uint32_t header[3] = {w.maxPerVertex, w.maxPerFace, skin.usedEntries};
  xBeginObject(out, indent, "XSkinMeshHeader", nullptr);
  xBeginList(out, kTokenIntegerList, 3);
  for (const std::uint32_t value : header) {
    xPutRowIndent(out, indent + 1);
    xPutListInt(out, value);
    xPutMark(out, ";\n");
  }
  xEndObject(out, indent);
  for (std::size_t e = 0; e + 1 < w.first.size(); ++e) {
    const std::uint32_t from = w.first[e], count = w.first[e + 1] - from;
    if (count == 0) continue;
    const Mat4& m = skin.skin.offsets[e];
    xBeginObject(out, indent, "SkinWeights", nullptr);
    xPutStringLine(out, indent + 1, xName(skin.names[e], out.binary, out.codePage));
    xPutCount(out, indent + 1, count);
    putWrappedList(out, kTokenIntegerList, indent + 1, count, [&](std::size_t i) { xPutListInt(out, w.vertices[from + i]); });
    putWrappedList(out, kTokenFloatList, indent + 1, count, [&](std::size_t i) { xPutListFloat(out, w.weights[from + i]); });
    // Row vectors: the transpose, column by column.
    xBeginList(out, kTokenFloatList, 16);
    xPutRowIndent(out, indent + 1);
    for (int i = 0; i < 16; ++i) {
      xPutListFloat(out, m.m[i % 4][i / 4]);
      xPutMark(out, i < 15 ? "," : ";;\n");
    }
    xEndObject(out, indent);
  }
}

}  // namespace torvo
