#include "app/pipeline.h"

#include <cstdio>
#include <memory>
#include <string>
#include <utility>

#include "anim/sampling.h"
#include "core/lookup.h"
#include "core/paths.h"
#include "geometry/geometry.h"
#include "geometry/skin.h"
#include "lwo/reader.h"
#include "model/validate.h"
#include "platform/mapped.h"
#include "platform/platform.h"
#include "ready/items.h"
#include "ready/mesh.h"
#include "xfile/header.h"
#include "xscene/frames.h"
#include "xscene/materials.h"
#include "xscene/mesh.h"

namespace torvo {

namespace {

// The template file is read only when a text header is written, so that its absence is
// told in its place among the progress words.
Status writeHeader(const ConversionContext& context, const ConversionInput& input, XWriter& out,
                   int writeAllTemplates, unsigned extras) {
  if (out.binary || input.templateText != nullptr) {
    const std::string_view text = input.templateText != nullptr ? std::string_view(*input.templateText) : "";
    writeXHeader(context, text, out, writeAllTemplates, extras);
    return Status::kOk;
  }
  const platform::FileCloser closer{platform::openFile(resolvePath(context, input.templatePath), "r")};
  if (closer.stream == nullptr) {
    report(context.sink, Message::kTemplateNotFound, input.templatePath);
    return Status::kMissing;
  }
  // Text mode, character by character: line ends come out as the platform reads them.
  std::string text;
  for (int c = std::fgetc(closer.stream); c != EOF; c = std::fgetc(closer.stream)) text.push_back(static_cast<char>(c));
  writeXHeader(context, text, out, writeAllTemplates, extras);
  return Status::kOk;
}

// A broken cross-reference is a fault of the readers, never of the file.
Status checked(const ConversionContext& context, const ModelFault& fault) {
  if (fault.ok()) return Status::kOk;
  report(context.sink, Message::kModelFault, fault.what);
  return Status::kModelFault;
}

// Every item's surfaces made ready as materials (textures converted) before any is written.
void collectSceneMaterials(const ConversionContext& context, MaterialTable& table, LwScene& scene) {
  for (auto& item : scene.items) collectMaterials(context, table, *item);
}

// An object whose skelegons name weight maps: the object's frame with the skeleton they
// make below it, and its mesh skinned at rest; nothing moves.
Status convertRig(const ConversionContext& given, const ConversionInput& input, MaterialTable& table,
                  LwObject& object, XWriter& out) {
  ConversionContext context = given;
  context.options.noAnimation = 1;
  LwScene rig;
  rig.items.push_back(std::make_unique<LwObject>(std::move(object)));
  object = LwObject();
  rig.items[0]->name = lwObjectItemName(0, context.sourcePath, context.codePage);
  lwRigSkelegons(rig);
  Status result = checked(context, validateScene(rig));
  if (ok(result)) result = writeHeader(context, input, out, 1, kTemplatesSkin | sceneTemplates(context, rig));
  if (ok(result)) {
    report(context.sink, Message::kWritingSkinnedMesh);
    collectSceneMaterials(context, table, rig);
    SceneFeed feed = sceneFeed(context, table, rig);
    result = writeScene(context, table, feed, out);
  }
  lwReleaseScene(rig);
  return result;
}

// Object path: the main object, and the companion it is morphed towards when present.
Status convertObject(const ConversionContext& context, const ConversionInput& input, MaterialTable& table,
                     XWriter& out) {
  const ConvertOptions& opt = context.options;
  const MessageSink& sink = context.sink;
  LwObject main;
  LwObject other;
  main.filePath = context.sourcePath;
  other.filePath = context.sourcePath + "o";
  LwFoundObject companion;
  const bool haveCompanion = input.objects.find != nullptr &&
                             input.objects.find(input.objects.user, context, other.filePath,
                                                LwObjectWanted::kCompanion, companion);
  Status result = lwLoadObjectFromMemory(main, reinterpret_cast<const std::uint8_t*>(input.bytes.data()),
                                         input.bytes.size(), 0, sink);
  // Nothing reads the source after this: its pages make room for the geometry steps.
  if (input.owner != nullptr) platform::releaseFileBytes(*input.owner);
  if (ok(result)) lwPrepareObjectFor(main, context);
  if (haveCompanion) {
    report(sink, Message::kReadingCompanion);
    const Status companionRead = lwLoadObjectFromMemory(other, companion.bytes.data, companion.bytes.size, 0, sink);
    platform::releaseFileBytes(companion.bytes);
    if (ok(companionRead)) lwPrepareObjectFor(other, context);
    if (ok(result)) result = companionRead;
  }
  report(sink, Message::kLineEnd);
  if (ok(result)) result = checked(context, validateObject(main));
  if (ok(result) && haveCompanion) result = checked(context, validateObject(other));
  if (ok(result) && !haveCompanion && opt.meshesOnly == 0 && lwHasWeightedSkelegons(main)) {
    result = convertRig(context, input, table, main, out);
    lwDisposeObject(main);
    return result;
  }
  LwObject* written = &main;
  if (haveCompanion) {
    other.morphTarget = &main;
    other.metamorph = 1.0;
    main.refCount += 1;
    written = &other;
  }
  const unsigned extras = meshWritten(*written) && meshHasVertexColors(*written) ? kTemplatesVertexColors : 0u;
  if (ok(result)) result = writeHeader(context, input, out, 0, extras);
  if (ok(result)) {
    report(sink, Message::kWritingMesh);
    collectMaterials(context, table, *written);
    writeMaterials(table, 0, out, 0);
    warnShortenedNames(context, table, nullptr, written, out.binary);
    ReadyMesh mesh;
    readyMesh(context, table, *written, false, mesh);
    // A file of templates alone loads in no engine: an object without faces is an empty TopFrame.
    if (opt.topFrame || (opt.meshesOnly == 0 && !meshWritten(*written))) {
      writeObjectTopFrame(context, table, *written, mesh, out);
    } else {
      writeMesh(context, table, *written, mesh, out, 0);
      report(sink, Message::kLineEnd);
    }
  }
  lwDisposeObject(other);
  lwDisposeObject(main);
  return result;
}

// The object named as written, else in the content directory, else by the last-resort lookup.
std::FILE* openSceneObject(const ConversionContext& context, const std::string& path, std::string& opened) {
  opened = path;
  std::FILE* file = platform::openFile(resolvePath(context, path), "rb");
  if (file == nullptr) {
    std::string inContent = context.config.contentDirectory;
    if (inContent.size() > kPathSize - 1) inContent.resize(kPathSize - 1);
    joinPath(inContent, path, context.codePage);
    if (inContent.size() > kPathSize - 1) inContent.resize(kPathSize - 1);
    file = platform::openFile(resolvePath(context, inContent), "rb");
    opened = inContent;
  }
  if (file == nullptr) file = openByFallback(context, path, context.sourcePath, LookupKind::kObject, opened);
  return file;
}

bool findObjectFile(void*, const ConversionContext& context, const std::string& name, LwObjectWanted wanted,
                    LwFoundObject& found) {
  std::FILE* file = nullptr;
  if (wanted == LwObjectWanted::kCompanion) {
    file = platform::openFile(name, "rb");
    found.path = name;
  } else {
    file = openSceneObject(context, name, found.path);
  }
  if (file == nullptr) return false;
  const platform::FileCloser closer{file};
  // A file that cannot be read is found all the same; its reader says it is no object.
  if (!platform::readWholeFile(file, found.bytes)) {
    found.bytes.data = nullptr;
    found.bytes.size = 0;
  }
  return true;
}

}  // namespace

Status convertLoaded(const ConversionContext& context, const ConversionInput& input, XWriter& out) {
  const ConvertOptions& opt = context.options;
  const MessageSink& sink = context.sink;
  LwScene scene;
  MaterialTable table;
  Status result = Status::kOk;
  report(sink, Message::kReading, input.sourceName);
  if (ok(lwReadScene(scene, input.bytes, context, input.objects, lwPrepareObjectFor))) {
    if (input.owner != nullptr) platform::releaseFileBytes(*input.owner);
    lwSettleScene(scene);
    report(sink, Message::kLineEnd);
    result = checked(context, validateScene(scene));
    if (ok(result)) result = writeHeader(context, input, out, opt.meshesOnly ? 0 : 1, sceneTemplates(context, scene));
    if (ok(result)) {
      report(sink, Message::kWritingScene);
      collectSceneMaterials(context, table, scene);
      SceneFeed feed = sceneFeed(context, table, scene);
      result = writeScene(context, table, feed, out);
    }
  } else {
    result = convertObject(context, input, table, out);
  }
  table = MaterialTable();
  lwReleaseScene(scene);
  return result;
}

LwObjectSource fileObjectSource() {
  LwObjectSource source;
  source.find = findObjectFile;
  return source;
}

}  // namespace torvo
