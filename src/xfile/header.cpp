#include "xfile/header.h"

#include <string_view>

#include "core/options.h"

namespace torvo {

namespace {

constexpr const char kBinarySignature[] = "xof 0302bin 0032";

// One piece of the template text from `at` on: a line of up to kTemplatePieceSize - 1
// characters with its line break, or that many characters of a longer line.
// Returns false at the end of the text.
bool readPiece(std::string_view text, std::size_t& at, std::string& piece) {
  piece.clear();
  while (piece.size() < kTemplatePieceSize - 1 && at < text.size()) {
    const char c = text[at++];
    piece.push_back(c);
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

// Binary template declarations: tokens for the template keyword, a GUID, member types,
// arrays and their brackets.
enum TemplateToken : int {
  kTokenGuid = 5,
  kTokenIntegerValue = 3,
  kTokenOpenBracket = 14,
  kTokenCloseBracket = 15,
  kTokenTemplate = 31,
  kTokenWordType = 40,
  kTokenDwordType = 41,
  kTokenFloatType = 42,
  kTokenStringType = 49,
  kTokenArray = 52,
};

// "template NAME {" and its GUID.
void putTemplateHead(XWriter& out, const char* name, std::uint32_t a, std::uint16_t b, std::uint16_t c,
                     const std::uint8_t (&d)[8]) {
  xPutWord(out, kTokenTemplate);
  xPutToken(out, kTokenName, name);
  xPutWord(out, kTokenOpenBrace);
  xPutWord(out, kTokenGuid);
  xPutDword(out, a);
  xPutWord(out, b);
  xPutWord(out, c);
  xPutBytes(out, d, sizeof d);
}

// A member: its type (a type token, or 0 with typeName), its name, and for an array the
// member that counts it.
void putMember(XWriter& out, int type, const char* typeName, const char* name, const char* count = nullptr) {
  if (count != nullptr) xPutWord(out, kTokenArray);
  if (type != 0) xPutWord(out, static_cast<std::uint32_t>(type));
  else xPutToken(out, kTokenName, typeName);
  xPutToken(out, kTokenName, name);
  if (count != nullptr) {
    xPutWord(out, kTokenOpenBracket);
    xPutToken(out, kTokenName, count);
    xPutWord(out, kTokenCloseBracket);
  }
  xPutWord(out, kTokenSemicolon);
}

// Readers know the standard templates of binary files but not always the skin ones.
void writeBinarySkinTemplates(XWriter& out) {
  putTemplateHead(out, "XSkinMeshHeader", 0x3CF169CE, 0xFF7C, 0x44AB, {0x93, 0xC0, 0xF7, 0x8F, 0x62, 0xD1, 0x72, 0xE2});
  putMember(out, kTokenWordType, nullptr, "nMaxSkinWeightsPerVertex");
  putMember(out, kTokenWordType, nullptr, "nMaxSkinWeightsPerFace");
  putMember(out, kTokenWordType, nullptr, "nBones");
  xPutWord(out, kTokenCloseBrace);
  putTemplateHead(out, "SkinWeights", 0x6F0D123B, 0xBAD2, 0x4167, {0xA0, 0xD0, 0x80, 0x22, 0x4F, 0x25, 0xFA, 0xBB});
  putMember(out, kTokenStringType, nullptr, "transformNodeName");
  putMember(out, kTokenDwordType, nullptr, "nWeights");
  putMember(out, kTokenDwordType, nullptr, "vertexIndices", "nWeights");
  putMember(out, kTokenFloatType, nullptr, "weights", "nWeights");
  putMember(out, 0, "Matrix4x4", "matrixOffset");
  xPutWord(out, kTokenCloseBrace);
}

void writeBinaryHeader(XWriter& out, unsigned extras) {
  xPutBytes(out, kBinarySignature, sizeof kBinarySignature - 1);
  xBeginObject(out, 0, "Header", nullptr);
  const std::uint32_t values[3] = {1, 0, 0};
  xPutIntegerList(out, values, 3);
  xEndObject(out, 0);
  if ((extras & kTemplatesSkin) != 0) writeBinarySkinTemplates(out);
}

}  // namespace

void writeXHeader(const ConversionContext& context, std::string_view templateText, XWriter& out,
                 int writeAllTemplates, unsigned extras) {
  if (out.binary) {
    writeBinaryHeader(out, extras);
    return;
  }
  const ConvertOptions& opts = context.options;
  std::string_view marker = "FrameTransformMatrix";
  if (opts.meshesOnly == 0 && (opts.topFrame != 0 || writeAllTemplates == 1)) marker = "FloatKeys";
  const bool cut = !(writeAllTemplates == 1 && opts.noAnimation == 0);

  report(context.sink, Message::kWritingTemplate);
  std::string piece;
  bool copying = true;
  bool extra = false;  // past the marker
  bool wanted = false;  // inside a requested extra template
  std::size_t at = 0;
  while (readPiece(templateText, at, piece)) {
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

  xPutText(out, "Header {\n 1;\n 0;\n 1;\n}\n\n");
}

}  // namespace torvo
