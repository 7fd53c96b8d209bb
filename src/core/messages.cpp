#include "core/messages.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

#if defined(__MINGW32__)
// MinGW builds use its own C99 printf (__USE_MINGW_ANSI_STDIO), which knows %zu.
#define TORVO_PRINTF(fmt, args) __attribute__((format(gnu_printf, fmt, args)))
#elif defined(__GNUC__) || defined(__clang__)
#define TORVO_PRINTF(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define TORVO_PRINTF(fmt, args)
#endif

namespace torvo {

namespace {

std::string format(const char* pattern, ...) TORVO_PRINTF(1, 2);

std::string format(const char* pattern, ...) {
  std::va_list args;
  va_start(args, pattern);
  std::va_list again;
  va_copy(again, args);
  char small[512];
  const int n = std::vsnprintf(small, sizeof small, pattern, args);
  va_end(args);
  std::string text;
  if (n >= 0 && static_cast<std::size_t>(n) < sizeof small) {
    text.assign(small, static_cast<std::size_t>(n));
  } else if (n >= 0) {
    // Paths of up to 1023 characters, twice, take a buffer of their own.
    std::vector<char> large(static_cast<std::size_t>(n) + 1);
    std::vsnprintf(large.data(), large.size(), pattern, again);
    text.assign(large.data(), static_cast<std::size_t>(n));
  }
  va_end(again);
  return text;
}

// Names are not NUL-terminated views: %.*s takes them as they are.
int width(std::string_view s) { return static_cast<int>(s.size()); }

const char* fixedText(Message code) {
  switch (code) {
    case Message::kFlipTextureV: return "Texture Coordinates: Flip Vertically\n";
    case Message::kReadingCompanion: return "\nreading lwoo file :";
    case Message::kSubdivision: return " Subdivision";
    case Message::kDuplicateDoubleSided: return " DuplicateDoubleSided";
    case Message::kNormals: return " Normals";
    case Message::kSmoothing: return " Smoothing";
    case Message::kTextureCoords: return " TextureCoords";
    case Message::kWritingTemplate: return "writing template...\n";
    case Message::kWritingMesh: return "writing a mesh to X...\n";
    case Message::kWritingSkinnedMesh: return "writing a skinned mesh to X...\n";
    case Message::kWritingScene: return "writing a scene to X...\n";
    case Message::kWritingAnimation: return "writing animation...\n";
    case Message::kTopFrame: return "TopFrame\n";
    case Message::kNoFacesNoMesh: return " no faces: no Mesh written";
    case Message::kGenerated: return "ok\n";
    case Message::kImageNotCreated: return "couldn't create!\n";
    case Message::kImageFailed: return "failure\n";
    case Message::kLineEnd: return "\n";
    case Message::kDetailPolygons: return "Warning! there is detail polygon\n";
    case Message::kOutOfMemory: return "Not enough memory for this conversion!\n";
    case Message::kInternalError: return "internal error: conversion abandoned\n";
    case Message::kErrorOccured: return "error occured.\n";
    case Message::kBatchUsage:
      return "usage: torvo-batch [options] [-j N] <source dir> <dest dir>\n"
             "  Converts every .lwo and .lws file under <source dir> into the same place under\n"
             "  <dest dir>, N files at a time (default: one per processor core).\n"
             "  The options are torvo's: -C<lw.cfg> -t -b -T -c -l -m -A -N -M -B -F -f<prefix> -W<n> -S<n> -s -u -P\n";
    case Message::kBatchProgressCleared: return "\r\033[K";
    case Message::kBatchQuote: return "  | ";
    case Message::kBatchOutOfMemory: return "not enough memory for the batch.\n";
    case Message::kBatchInternalError: return "the batch stopped on an internal error.\n";
    default: return nullptr;
  }
}

}  // namespace

bool isWarning(Message code) { return code >= Message::kDetailPolygons && code <= Message::kManyVertices; }

std::string messageText(const Note& n) {
  if (const char* text = fixedText(n.code)) return text;
  const int tw = width(n.text);
  const int ow = width(n.other);
  const char* t = n.text.data();
  const char* o = n.other.data();
  const int indent = static_cast<int>(n.count);
  switch (n.code) {
    case Message::kOutputFormat:
      return n.count != 0 ? "Output format: Binary X (DirectX3 or later)\n"
                          : "Output format: Ascii X (DirectX2 or later)\n";
    case Message::kContentDirectory: return format("Content directory: %.*s\n", tw, t);
    case Message::kConvertFromTo: return format("Convert From: %.*s\nConvert To: %.*s\n", tw, t, ow, o);
    case Message::kReading: return format("reading %.*s :", tw, t);
    case Message::kObjectName: return format(" %.*s :", tw, t);
    case Message::kIndent: return std::string(n.count, ' ');
    case Message::kFrameName: return format("Frame%.*s : ", tw, t);
    case Message::kPrefixedFrameName: return format("%.*s%.*s", tw, t, ow, o);
    case Message::kVertexCount: return format(" %zu Vertices ", n.count);
    case Message::kPolygonCount: return format(" %zu Polygons ", n.count);
    case Message::kNormalCount: return format(" %zu Normals", n.count);
    case Message::kGenerating: return format("generating %.*s : ", tw, t);
    case Message::kFoundAs: return format("  found %.*s as %.*s\n", tw, t, ow, o);
    case Message::kNonFacePolygons:
      return format("Warning! %zu curve, bone and other non-face polygons skipped\n", n.count);
    case Message::kShortPolygons: return format("Warning! %zu <3vert polygons removed\n", n.count);
    case Message::kInvalidPolygons:
      return format("Warning! %zu polygons with invalid point or surface removed\n", n.count);
    case Message::kGraphsOnly:
      return format("Warning! %zu surfaces described by node graphs only: default values used\n", n.count);
    case Message::kGraphsDamaged:
      return format("Warning! %zu surface node graphs damaged: defaults used for what could not be read\n", n.count);
    case Message::kEnvelopedNodeValues:
      return format("Warning! %zu enveloped node values: their base values used\n", n.count);
    case Message::kNodesInPart:
      return format("Warning! material nodes read in part (colour, shading and image only): %.*s\n", tw, t);
    case Message::kAmbiguousMatch:
      return format("  warning: %.*s matches both %.*s and %.*s; using the first\n", tw, t, ow, o, width(n.third),
                    n.third.data());
    case Message::kUseBonesFromNone:
      return format("Warning! %.*s: UseBonesFrom names no object; its own bones deform it\n", tw, t);
    case Message::kOrphanBones: return format("Warning! %zu bones outside any object ignored\n", n.count);
    case Message::kBonesPastLimit:
      return format("Warning! %zu bones past %zu in one object ignored\n", n.count, n.limit);
    case Message::kStrayBoneParents:
      return format("Warning! %zu bones name a parent that is no bone of their object: parented to the object\n",
                    n.count);
    case Message::kBoneCycles:
      return format("Warning! %zu bone parent cycles broken: their bones parented to the object\n", n.count);
    case Message::kBoneSettingsIgnored:
      return format("Warning! %.*s of bones ignored (%zu settings): bones keep their keyed motion\n", tw, t, n.count);
    case Message::kNoWeightMap:
      return format("Warning! %.*s has no weight map '%.*s': its bones weigh by distance\n", tw, t, ow, o);
    case Message::kWeightsNormalized:
      return format("Warning! %zu points of %.*s weighed above 1 in all: normalized\n", n.count, tw, t);
    case Message::kTooManyBones:
      return format("Warning! %.*s is moved by %zu bones, more than %zu: written without skin\n", tw, t, n.count,
                    n.limit);
    case Message::kCagesWithoutLibrary:
      return format("Warning! %.*s: subdivision patches written as cages (built without OpenSubdiv)\n", tw, t);
    case Message::kPatchWeightsIgnored:
      return format("Warning! %.*s: subpatch weights of %zu points ignored\n", tw, t, n.count);
    case Message::kSubdivisionLowered:
      return format("Warning! %.*s: subdivision level %zu lowered to %zu to stay within %zu faces\n", tw, t, n.count,
                    n.limit, n.more);
    case Message::kFoldedCreasesIgnored:
      return format("Warning! %.*s: %zu edge weights ignored beside points only two faces surround\n", tw, t, n.count);
    case Message::kNamesShortened:
      return format("Warning! %zu names longer than %zu characters shortened:", n.count, n.limit);
    case Message::kShortenedName: return format("%s %.*s as %.*s", n.count == 0 ? "" : ",", tw, t, ow, o);
    case Message::kManyVertices:
      return format("\nWarning! %.*s has %zu vertices: engines with 16-bit indices show at most %zu", tw, t, n.count,
                    n.limit);
    case Message::kNotLightWaveFile: return format("%*sNot LightWave file!", indent, "");
    case Message::kNotLightWaveObject: return format("%*sNot LightWave Object!", indent, "");
    case Message::kUndeclaredSurface:
      return format("%*sError: SURF %.*s defined without declare!!\n", indent, "", tw, t);
    case Message::kFileNotFound: return format("file not found: %.*s\n", tw, t);
    case Message::kTextureNotFound: return format("%.*s not found\n", tw, t);
    case Message::kDamagedEnvelope: return format("damaged envelope in line %zu of the scene\n", n.count);
    case Message::kAnimationTooLong:
      return format("animation of %.*s too long: more than %zu samples\n", tw, t, n.limit);
    case Message::kSceneAnimationTooLong:
      return format("animation too long: more than %zu samples in the scene\n", n.limit);
    case Message::kTemplateNotFound: return format("template file %.*s not found!\n", tw, t);
    case Message::kConfigPathTooLong:
      return format("The lw.cfg path is too long (at most %zu characters).\n", n.limit);
    case Message::kPrefixTooLong:
      return format("The frame name prefix '%.*s' is too long (at most %zu characters).\n", tw, t, n.limit);
    case Message::kSourcePathTooLong:
      return format("The source path is too long (at most %zu characters).\n", n.limit);
    case Message::kDestinationTooLong:
      return format("The destination is too long (at most %zu characters).\n", n.limit);
    case Message::kCurrentDirectory:
      return format("The current directory cannot be read or is longer than %zu characters.\n", n.limit);
    case Message::kConfigNotFound: return format("LightWave CFG '%.*s' not found!\n", tw, t);
    case Message::kConfigInvalid: return format("LightWave CFG '%.*s' invalid!\n", tw, t);
    case Message::kNoDestinationDirectory: return format("can't locate destination directory '%.*s'.\n", tw, t);
    case Message::kDestinationUnreadable:
      return format("The destination directory cannot be read back or is longer than %zu characters.\n", n.limit);
    case Message::kCouldNotOpen: return format("could not open: %.*s\n", tw, t);
    case Message::kUnsupportedSource:
      return format("unsupported source file '%.*s': the name must end in .lws or .lwo\n", tw, t);
    case Message::kOutputPathTooLong: return format("output path too long: %.*s\n", tw, t);
    case Message::kCouldNotCreate: return format("could not create: %.*s\n", tw, t);
    case Message::kCouldNotWrite: return format("could not write: %.*s\n", tw, t);
    case Message::kModelFault: return format("internal error: %.*s\n", tw, t);
    case Message::kBatchNoSource: return format("can't locate source directory '%.*s'.\n", tw, t);
    case Message::kBatchTreeUnreadable: return format("can't read the source tree '%.*s'.\n", tw, t);
    case Message::kBatchNoDestination: return format("can't create destination directory '%.*s'.\n", tw, t);
    case Message::kBatchProgress:
      return format("\r[%zu/%zu] %zu failed  %.*s\033[K", n.count, n.limit, n.more, tw < 50 ? tw : 50, t);
    case Message::kBatchFailed: return format("FAILED %.*s\n", tw, t);
    case Message::kBatchSummary: return format("%zu converted, %zu failed\n", n.count, n.limit);
    default: break;
  }
  return {};
}

void report(const MessageSink& sink, const Note& note) {
  if (sink.counts != nullptr && note.code < Message::kCount) ++sink.counts->byCode[static_cast<std::size_t>(note.code)];
  if (sink.write == nullptr) return;
  // Fixed texts go out as they are: nothing is allocated, so even the message that memory
  // ran out reaches the sink.
  if (const char* fixed = fixedText(note.code)) {
    sink.write(sink.user, fixed, std::strlen(fixed));
    return;
  }
  const std::string text = messageText(note);
  if (!text.empty()) sink.write(sink.user, text.data(), text.size());
}

void report(const MessageSink& sink, Message code) { report(sink, Note{code, {}, {}, {}, 0, 0, 0}); }

void report(const MessageSink& sink, Message code, std::size_t count, std::size_t limit, std::size_t more) {
  report(sink, Note{code, {}, {}, {}, count, limit, more});
}

void report(const MessageSink& sink, Message code, std::string_view text, std::size_t count, std::size_t limit,
            std::size_t more) {
  report(sink, Note{code, text, {}, {}, count, limit, more});
}

void report(const MessageSink& sink, Message code, std::string_view text, std::string_view other,
            std::string_view third) {
  report(sink, Note{code, text, other, third, 0, 0, 0});
}

}  // namespace torvo
