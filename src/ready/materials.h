// Surfaces made ready to be written as .x materials: equal values merged, names made
// unique and fit for engines, texture images found and converted to PPM.
#pragma once

#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "core/context.h"
#include "model/object.h"

namespace torvo {

struct MaterialRecord {
  std::string name;              // "Mat" + surface name, filtered
  double faceColor[4] = {};      // red, green, blue, alpha
  double power = 0.0;
  double specularColor[3] = {};
  double emissiveColor[3] = {};
  std::string textureName;       // colour texture image as stored, or empty
  std::string textureFile;       // what the material refers to: the converted image, or where it was found
  std::string namingFile;        // the object file that named it (not part of equality)
};

struct MaterialTable {
  std::vector<MaterialRecord> entries;
  std::vector<std::string> uniqueNames;                 // parallel to entries
  std::unordered_map<std::string, int> nameCounts;      // records so far per name
  std::unordered_set<std::string> takenNames;           // every unique name given out
  std::unordered_map<std::string, int> byValue;         // values (and name, with -m) -> first record
  std::vector<std::string> shortened;                   // names too long for engines, as given
};

// Adds every surface of the object, converting the texture image of each new material,
// and sets each surface's materialIndex.
void collectMaterials(const ConversionContext& context, MaterialTable& table, LwObject& object);
// Name under which the material at index is written and referred to.
const std::string& materialUniqueName(const MaterialTable& table, int index);

}  // namespace torvo
