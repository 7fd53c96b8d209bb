// Materials written as .x Material objects, from a table made ready beforehand.
#pragma once

#include <cstddef>
#include <string>

#include "ready/materials.h"
#include "xfile/xwriter.h"

namespace torvo {

void writeMaterial(const MaterialRecord& record, const std::string& uniqueName, XWriter& out, int indent);
// The table's materials from `first` on, in order.
void writeMaterials(const MaterialTable& table, std::size_t first, XWriter& out, int indent);

}  // namespace torvo
