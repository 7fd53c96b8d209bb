#include "xfile/header.h"

#include <cstdio>
#include <string_view>

#include "core/options.h"
#include "platform/platform.h"

namespace {

constexpr const char kBinarySignature[] = "xof 0302bin 0032";

// One piece of the template file: a line of up to kTemplatePieceSize - 1
// characters with its line break, or that many characters of a longer line.
// Returns false at the end of the file.
bool readPiece(std::FILE* file, std::string& piece) {
  piece.clear();
  while (piece.size() < kTemplatePieceSize - 1) {
    const int c = std::fgetc(file);
    if (c == EOF) break;
    piece.push_back(static_cast<char>(c));
    if (c == '\n') break;
  }
  return !piece.empty();
}

// The line of the template file after which come the templates written only on request.
constexpr std::string_view kExtrasMarker = "// Written only into files that use them";

struct ExtraTemplate {
  std::string_view name;
  unsigned bit;
};
constexpr ExtraTemplate kExtraTemplates[] = {
    {"MeshVertexColors", kTemplatesVertexColors}, {"XSkinMeshHeader", kTemplatesSkin}, {"SkinWeights", kTemplatesSkin}};

// The bit of the template a "template NAME {" piece opens, or 0.
unsigned extraBit(const std::string& piece) {
  for (const ExtraTemplate& t : kExtraTemplates) {
    if (piece.rfind("template ", 0) == 0 && piece.compare(9, t.name.size(), t.name) == 0 &&
        piece.size() > 9 + t.name.size() && piece[9 + t.name.size()] == ' ')
      return t.bit;
  }
  return 0;
}

void writeBinaryHeader(XWriter& out) {
  xPutBytes(out, kBinarySignature, sizeof kBinarySignature - 1);
  xBeginObject(out, 0, "Header", nullptr);
  const std::uint32_t values[3] = {1, 0, 0};
  xPutIntegerList(out, values, 3);
  xEndObject(out, 0);
}

}  // namespace

int writeXHeader(const ConversionContext& context, const std::string& templatePath, XWriter& out,
                 int writeAllTemplates, unsigned extras) {
  if (out.binary) {
    writeBinaryHeader(out);
    return 0;
  }
  const ConvertOptions& opts = context.options;
  std::FILE* file = platform::openFile(resolvePath(context, templatePath), "r");
  if (file == nullptr) {
    say(context.sink, "template file %s not found!\n", templatePath.c_str());
    return -1;
  }

  std::string_view marker = "FrameTransformMatrix";
  if (opts.meshesOnly == 0 && (opts.topFrame != 0 || writeAllTemplates == 1)) marker = "FloatKeys";
  const bool cut = !(writeAllTemplates == 1 && opts.noAnimation == 0);

  sayText(context.sink, "writing template...\n");
  std::string piece;
  bool copying = true;
  bool extra = false;  // past the marker
  bool wanted = false;  // inside a requested extra template
  while (readPiece(file, piece)) {
    if (!extra && piece.rfind(kExtrasMarker, 0) == 0) {
      extra = true;
      if (extras == 0) break;
      continue;
    }
    if (!extra) {
      if (cut && piece.find(marker) != std::string::npos) copying = false;
      if (copying) xPutText(out, piece);
      continue;
    }
    if (piece.rfind("template ", 0) == 0) wanted = (extraBit(piece) & extras) != 0;
    if (wanted) xPutText(out, piece);
  }
  std::fclose(file);

  xPutText(out, "Header {\n 1;\n 0;\n 1;\n}\n\n");
  return 0;
}
