#include "app/driver.h"

#include <cstdio>
#include <string>
#include <string_view>

#include "app/lwcfg.h"
#include "app/options.h"
#include "app/paths.h"
#include "lwo/object.h"
#include "lws/scene.h"
#include "platform/platform.h"
#include "xfile/header.h"
#include "xfile/xwriter.h"
#include "xscene/frames.h"
#include "xscene/materials.h"
#include "xscene/mesh.h"

namespace {

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
    if (x != y) return false;
  }
  return true;
}

// Opens the first candidate for the source: start directory, content directory,
// content plus scenes directory. Candidates too long for a path field are not tried.
std::FILE* openSource(const std::string& sourceArg, const std::string& startDirectory,
                      std::string& destinationDirectory, std::string& opened) {
  const LwConfig& cfg = lwConfig();
  std::string candidates[3];
  candidates[0] = startDirectory;
  joinPath(candidates[0], sourceArg);
  candidates[1] = cfg.contentDirectory;
  joinPath(candidates[1], sourceArg);
  candidates[2] = cfg.contentDirectory;
  joinPath(candidates[2], cfg.scenesDirectory);
  joinPath(candidates[2], sourceArg);
  for (const std::string& candidate : candidates) {
    if (candidate.size() >= kPathSize) continue;
    if (options().outputBesideSource) destinationDirectory.assign(candidate, 0, fileNamePart(candidate));
    std::FILE* file = platform::openFile(candidate, "rb");
    if (file != nullptr) {
      opened = candidate;
      return file;
    }
  }
  return nullptr;
}

// Object path: the main object, and the companion it is morphed towards when present.
int convertObject(std::FILE* source, std::FILE* companion, const std::string& templatePath, MaterialTable& table,
                  XWriter& out) {
  const ConvertOptions& opt = options();
  LwObject main;
  LwObject other;
  int result = lwLoadObject(main, source, 0, !opt.noNormals, true, opt.textureWrap != 0);
  int companionResult = 0;
  if (companion != nullptr) {
    std::printf("\nreading lwoo file :");
    companionResult = lwLoadObject(other, companion, 0, !opt.noNormals, true, opt.textureWrap != 0);
  }
  std::printf("\n");
  if (result >= 0) result = companionResult;
  if (result >= 0) result = writeXHeader(templatePath, out, 0);
  if (result >= 0) {
    std::printf("writing a mesh to X...\n");
    LwObject* written = &main;
    if (companion != nullptr) {
      other.morphTarget = &main;
      other.metamorph = 1.0;
      main.refCount += 1;
      written = &other;
    }
    collectMaterials(table, *written, out, 0);
    if (opt.topFrame) {
      writeTopFrame(table, nullptr, written, out);
    } else {
      writeMesh(table, *written, out, 0);
      std::printf("\n");
    }
  }
  lwDisposeObject(other);
  lwDisposeObject(main);
  return result;
}

}  // namespace

int convertFile(const std::string& programPath, const std::string& sourceArg, const char* outputName,
                const std::string& startDirectory, std::string& destinationDirectory) {
  const ConvertOptions& opt = options();

  std::string sourcePath;
  std::FILE* source = openSource(sourceArg, startDirectory, destinationDirectory, sourcePath);
  if (source == nullptr) {
    std::printf("could not open: %s\n", sourceArg.c_str());
    return -1;
  }
  std::FILE* companion = platform::openFile(sourcePath + "o", "rb");

  std::string templatePath = programPath;
  templatePath.resize(fileNamePart(templatePath));
  templatePath += kTemplateFileName;

  const std::string_view sourceName = std::string_view(sourceArg).substr(fileNamePart(sourceArg));
  std::string outputPath = destinationDirectory;
  joinPath(outputPath, outputName != nullptr ? std::string_view(outputName) : sourceName);

  const std::size_t dot = findExtension(sourceName);
  const std::string_view ext = dot == std::string_view::npos ? std::string_view() : sourceName.substr(dot);
  int result = -1;
  if (!equalsIgnoringCase(ext, ".LWS") && !equalsIgnoringCase(ext, ".LWO")) {
    std::printf("unsupported source file '%s': the name must end in .lws or .lwo\n", sourceArg.c_str());
  } else {
    replaceExtension(outputPath, ".X");
    if (outputPath.size() >= kPathSize) {
      std::printf("output path too long: %s\n", outputPath.c_str());
    } else {
      result = 0;
    }
  }
  if (result < 0) {
    std::fclose(source);
    if (companion != nullptr) std::fclose(companion);
    return -1;
  }

  std::printf("Convert From: %s\nConvert To: %s\n", sourcePath.c_str(), outputPath.c_str());

  // The .X file is built under a temporary name and takes its real name only when the
  // conversion succeeded, so a failure never leaves a partial file or destroys an old one.
  std::string tempPath;
  std::FILE* output = platform::createTempFile(outputPath, opt.binaryOutput != 0, tempPath);
  if (output == nullptr) {
    std::printf("could not create: %s\n", outputPath.c_str());
    std::fclose(source);
    if (companion != nullptr) std::fclose(companion);
    return -1;
  }
  XWriter out;
  out.file = output;
  out.binary = opt.binaryOutput != 0;

  LwScene scene;
  MaterialTable table;
  std::printf("reading %s :", sourceArg.c_str());
  if (lwReadScene(scene, source, !opt.noNormals, true, opt.textureWrap != 0, opt.cameraFrame != 0,
                  opt.lightFrames != 0) >= 0) {
    std::printf("\n");
    result = writeXHeader(templatePath, out, opt.meshesOnly ? 0 : 1);
    if (result >= 0) {
      std::printf("writing a scene to X...\n");
      result = writeScene(table, scene, out);
    }
  } else {
    result = convertObject(source, companion, templatePath, table, out);
  }

  bool written = xFlush(out) >= 0 && !out.failed;
  if (std::fflush(output) != 0 || std::ferror(output) != 0) written = false;
  if (std::fclose(output) != 0) written = false;
  std::fclose(source);
  if (companion != nullptr) std::fclose(companion);

  if (result >= 0 && !written) {
    std::printf("could not write: %s\n", outputPath.c_str());
    result = -2;
  }
  if (result >= 0 && !platform::commitFile(tempPath, outputPath)) {
    std::printf("could not write: %s\n", outputPath.c_str());
    result = -2;
  }
  if (result < 0) platform::removeFile(tempPath);

  table = MaterialTable();
  lwReleaseScene(scene);
  return result < 0 ? result : 0;
}
