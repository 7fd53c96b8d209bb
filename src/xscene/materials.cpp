#include "xscene/materials.h"

namespace torvo {

namespace {

// One text line of values, each followed by ';', the line by ";\n".
void putRow(XWriter& out, int indent, const double* values, int count) {
  xPutRowIndent(out, indent);
  for (int i = 0; i < count; ++i) {
    xPutListFloat(out, values[i]);
    xPutMark(out, ";");
  }
  xPutMark(out, ";\n");
}

}  // namespace

void writeMaterial(const MaterialRecord& record, const std::string& uniqueName, XWriter& out, int indent) {
  xBeginObject(out, indent, "Material", uniqueName.c_str());
  // Face colour, power, specular and emissive colours: one float list in binary.
  xBeginList(out, kTokenFloatList, 11);
  putRow(out, indent + 1, record.faceColor, 4);
  xPutRowIndent(out, indent + 1);
  xPutListFloat(out, record.power);
  xPutMark(out, ";\n");
  putRow(out, indent + 1, record.specularColor, 3);
  putRow(out, indent + 1, record.emissiveColor, 3);

  if (!record.textureName.empty()) {
    xBeginObject(out, indent + 1, "TextureFilename", nullptr);
    xPutStringLine(out, indent + 2, record.textureFile);
    xEndObject(out, indent + 1);
  }
  xEndObject(out, indent);
}

void writeMaterials(const MaterialTable& table, std::size_t first, XWriter& out, int indent) {
  for (std::size_t i = first; i < table.entries.size(); ++i) writeMaterial(table.entries[i], table.uniqueNames[i], out, indent);
}

}  // namespace torvo
