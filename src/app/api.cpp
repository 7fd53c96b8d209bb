// The embedding interface: the driver behind a C-compatible call.
#include "torvo/torvo.h"

#include <string>

#include "app/driver.h"
#include "core/options.h"
#include "platform/platform.h"

using namespace torvo;

namespace {
int convertRequest(const char* source, const char* destination, const torvo_options& given, const MessageSink& sink);
}  // namespace

void torvo_default_options(torvo_options* options) {
  if (options != nullptr) *options = torvo_options{};
}

int torvo_convert(const char* source, const char* destination, const torvo_options* options,
                  torvo_message_fn message, void* user) {
  torvo_options given{};
  if (options != nullptr) given = *options;
  if (source == nullptr) return 1;
  MessageSink sink;
  sink.write = message;
  sink.user = user;
  // No exception crosses the C interface.
  try {
    return convertRequest(source, destination, given, sink);
  } catch (...) {
    return conversionAbandoned(sink);
  }
}

namespace {

int convertRequest(const char* source, const char* destination, const torvo_options& given, const MessageSink& sink) {
  ConversionRequest request;
  ConvertOptions& o = request.options;
  o.binaryOutput = given.binary != 0;
  o.topFrame = given.top_frame != 0;
  o.cameraFrame = given.camera_frame != 0;
  o.lightFrames = given.light_frames != 0;
  o.noMaterialMerge = given.no_material_merge != 0;
  o.noAnimation = given.no_animation != 0 || given.meshes_only != 0;
  o.noNormals = given.no_normals != 0;
  o.meshesOnly = given.meshes_only != 0;
  o.keepTextureFiles = given.keep_texture_files != 0;
  o.flipTextureV = given.flip_texture_v != 0;
  o.textureWrap = given.texture_wrap != 0;
  o.outputBesideSource = given.output_beside_source != 0;
  if (given.frame_prefix != nullptr) o.framePrefix = given.frame_prefix;
  o.skinInfluences = given.skin_influences <= kMaxInfluences ? given.skin_influences : kMaxInfluences;
  if (given.subpatch_level == TORVO_SUBPATCH_RENDER) {
    o.subPatchLevel = kSubPatchRender;
  } else if (given.subpatch_level == TORVO_SUBPATCH_CAGE) {
    o.subPatchLevel = 0;
  } else if (given.subpatch_level > 0) {
    o.subPatchLevel = given.subpatch_level < kMaxSubPatchLevel ? given.subpatch_level : kMaxSubPatchLevel;
  }
  request.source = source;
  if (destination != nullptr) request.destination = destination;
  if (given.config_file != nullptr) {
    request.configPath = given.config_file;
    request.haveConfig = true;
  }
  request.templatePath = given.template_file != nullptr
                             ? std::string(given.template_file)
                             : templateBeside(platform::executablePath(nullptr), platform::fileNameCodePage());

  bool converted = false;
  return runConversion(request, sink, converted);
}

}  // namespace
