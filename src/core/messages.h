// Every text a conversion gives its sink, as data: a code and the values it names. The
// wording lives in one place (messages.cpp), and warnings are counted by code, so an
// embedding caller can tell what happened without reading the text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace torvo {

enum class Message : std::uint8_t {
  // Progress, in the order a conversion gives it.
  kOutputFormat,          // count: 1 binary, 0 text
  kFlipTextureV,
  kContentDirectory,      // text: the directory
  kConvertFromTo,         // text: source, other: output
  kReading,               // text: the source as named
  kReadingCompanion,
  kObjectName,            // text: an object a scene loads
  kSubdivision,
  kDuplicateDoubleSided,
  kNormals,
  kSmoothing,
  kTextureCoords,
  kWritingTemplate,
  kWritingMesh,
  kWritingSkinnedMesh,
  kWritingScene,
  kWritingAnimation,
  kIndent,                // count: spaces
  kFrameName,             // text: item name
  kPrefixedFrameName,     // text: prefix, other: item name
  kTopFrame,
  kVertexCount,           // count
  kPolygonCount,          // count
  kNormalCount,           // count
  kNoFacesNoMesh,
  kGenerating,            // text: the image written
  kGenerated,
  kImageNotCreated,
  kImageFailed,
  kFoundAs,               // text: as named, other: as found
  kLineEnd,
  // Warnings: the conversion goes on.
  kDetailPolygons,
  kNonFacePolygons,       // count
  kShortPolygons,         // count
  kInvalidPolygons,       // count
  kGraphsOnly,            // count
  kGraphsDamaged,         // count
  kEnvelopedNodeValues,   // count
  kNodesInPart,           // text: the node types
  kAmbiguousMatch,        // text: as named, other, third: the two matches
  kUseBonesFromNone,      // text: item
  kOrphanBones,           // count
  kBonesPastLimit,        // count, limit
  kStrayBoneParents,      // count
  kBoneCycles,            // count
  kBoneSettingsIgnored,   // text: what, count
  kNoWeightMap,           // text: item, other: map
  kWeightsNormalized,     // count, text: item
  kTooManyBones,          // text: item, count, limit
  kCagesWithoutLibrary,   // text: object
  kPatchWeightsIgnored,   // text: object, count
  kSubdivisionLowered,    // text: object, count: asked, limit: used, more: face budget
  kFoldedCreasesIgnored,  // text: object, count
  kNamesShortened,        // count, limit
  kShortenedName,         // count: position in the list, text: name, other: shortened
  kManyVertices,          // text: mesh, count, limit
  // Errors: the conversion, or the object, fails.
  kNotLightWaveFile,      // count: indent
  kNotLightWaveObject,    // count: indent
  kUndeclaredSurface,     // count: indent, text: surface
  kFileNotFound,          // text: path
  kTextureNotFound,       // text: path
  kDamagedEnvelope,       // count: line
  kAnimationTooLong,      // text: item, limit
  kSceneAnimationTooLong, // limit
  kTemplateNotFound,      // text: path
  kConfigPathTooLong,     // limit
  kPrefixTooLong,         // text: prefix, limit
  kSourcePathTooLong,     // limit
  kDestinationTooLong,    // limit
  kCurrentDirectory,      // limit
  kConfigNotFound,        // text: path
  kConfigInvalid,         // text: path
  kNoDestinationDirectory,   // text: path
  kDestinationUnreadable,    // limit
  kCouldNotOpen,          // text: path
  kUnsupportedSource,     // text: path
  kOutputPathTooLong,     // text: path
  kCouldNotCreate,        // text: path
  kCouldNotWrite,         // text: path
  kOutOfMemory,
  kInternalError,
  kModelFault,            // text: the broken reference
  kErrorOccured,
  // The batch's own report around its files' conversions.
  kBatchUsage,
  kBatchNoSource,         // text: directory
  kBatchTreeUnreadable,   // text: directory
  kBatchNoDestination,    // text: directory
  kBatchProgress,         // count: done, limit: files, more: failed, text: the file last done
  kBatchProgressCleared,
  kBatchFailed,           // text: file
  kBatchQuote,            // begins a line of a failed file's own console text
  kBatchSummary,          // count: converted, limit: failed
  kBatchOutOfMemory,
  kBatchInternalError,
  kCount
};

constexpr std::size_t kMessageCount = static_cast<std::size_t>(Message::kCount);

// Messages given so far, by code.
struct MessageCounts {
  std::uint32_t byCode[kMessageCount] = {};
};

// Where a conversion's console text goes. Progress lines are built from fragments, so
// the sink sees fragments in order and must not add line ends of its own.
struct MessageSink {
  void (*write)(void* user, const char* text, std::size_t size) = nullptr;  // null: text is dropped
  void* user = nullptr;
  MessageCounts* counts = nullptr;  // null: not counted
};

// One message and what it names; which fields count is given beside each code.
struct Note {
  Message code = Message::kLineEnd;
  std::string_view text;
  std::string_view other;
  std::string_view third;
  std::size_t count = 0;
  std::size_t limit = 0;
  std::size_t more = 0;
};

bool isWarning(Message code);
// The console text of a note, as the converter has always written it.
std::string messageText(const Note& note);
// Gives the note's text to the sink and counts it there.
void report(const MessageSink& sink, const Note& note);
// The same for a code and the values it names, in the order given beside each code.
void report(const MessageSink& sink, Message code);
void report(const MessageSink& sink, Message code, std::size_t count, std::size_t limit = 0, std::size_t more = 0);
void report(const MessageSink& sink, Message code, std::string_view text, std::size_t count = 0,
            std::size_t limit = 0, std::size_t more = 0);
void report(const MessageSink& sink, Message code, std::string_view text, std::string_view other,
            std::string_view third = {});

}  // namespace torvo
