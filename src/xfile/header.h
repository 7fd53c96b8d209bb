// The beginning of every .x file: binary signature and Header, or the
// template block copied from the template file and the text Header.
#pragma once

#include <string>
#include <string_view>

#include "core/context.h"
#include "xfile/xwriter.h"

namespace torvo {

constexpr const char* kTemplateFileName = "TORVOtpl.x";

// Templates a text file declares only when it uses them, after the others.
enum ExtraTemplates : unsigned {
  kTemplatesVertexColors = 1,  // MeshVertexColors
  kTemplatesSkin = 2,          // XSkinMeshHeader, SkinWeights
};

// The binary prologue, or (text) the template text copied as the options ask; extras:
// ExtraTemplates bits. The caller reads the template file and tells when it is missing.
void writeXHeader(const ConversionContext& context, std::string_view templateText, XWriter& out,
                 int writeAllTemplates, unsigned extras = 0);

}  // namespace torvo
