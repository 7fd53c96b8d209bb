#include "xscene/materials.h"

namespace {

void putFixedList(XWriter& out, const double* values, int count) {
  for (int i = 0; i < count; ++i) {
    xPutFixed(out, values[i]);
    xPutChar(out, ';');
  }
}

}  // namespace

void writeMaterial(const MaterialRecord& record, const std::string& uniqueName, XWriter& out, int indent) {
  xBeginObject(out, indent, "Material", uniqueName.c_str());
  if (out.binary) {
    const float values[11] = {
        static_cast<float>(record.faceColor[0]),     static_cast<float>(record.faceColor[1]),
        static_cast<float>(record.faceColor[2]),     static_cast<float>(record.faceColor[3]),
        static_cast<float>(record.power),            static_cast<float>(record.specularColor[0]),
        static_cast<float>(record.specularColor[1]), static_cast<float>(record.specularColor[2]),
        static_cast<float>(record.emissiveColor[0]), static_cast<float>(record.emissiveColor[1]),
        static_cast<float>(record.emissiveColor[2])};
    xPutFloatList(out, values, 11);
  } else {
    xPutIndent(out, indent + 1);
    putFixedList(out, record.faceColor, 4);
    xPutText(out, ";\n");
    xPutIndent(out, indent + 1);
    xPutFixed(out, record.power);
    xPutText(out, ";\n");
    xPutIndent(out, indent + 1);
    putFixedList(out, record.specularColor, 3);
    xPutText(out, ";\n");
    xPutIndent(out, indent + 1);
    putFixedList(out, record.emissiveColor, 3);
    xPutText(out, ";\n");
  }

  if (!record.textureName.empty()) {
    xBeginObject(out, indent + 1, "TextureFilename", nullptr);
    const std::string& file = record.textureFile;
    if (out.binary) {
      xPutToken(out, kTokenString, file.c_str());
      xPutWord(out, kTokenSemicolon);
    } else {
      xPutIndent(out, indent + 2);
      xPutChar(out, '"');
      xPutText(out, file);
      xPutText(out, "\";\n");
    }
    xEndObject(out, indent + 1);
  }
  xEndObject(out, indent);
}

void writeMaterials(const MaterialTable& table, std::size_t first, XWriter& out, int indent) {
  for (std::size_t i = first; i < table.entries.size(); ++i) writeMaterial(table.entries[i], table.uniqueNames[i], out, indent);
}
