#include "app/driver.h"

#include <cstdio>
#include <memory>
#include <new>
#include <string>
#include <string_view>

#include "app/pipeline.h"
#include "core/lwcfg.h"
#include "core/paths.h"
#include "platform/mapped.h"
#include "platform/platform.h"
#include "xfile/header.h"
#include "xfile/xwriter.h"

namespace torvo {

namespace {

// Opens the first candidate for the source: start directory, content directory,
// content plus scenes directory. Candidates too long for a path field are not tried.
// `opened` is the candidate as written, for messages; `openedFile` the name it was opened by.
std::FILE* openSource(const ConversionContext& context, const std::string& sourceArg,
                      const std::string& startDirectory, std::string& destinationDirectory, std::string& opened,
                      std::string& openedFile) {
  const LwConfig& cfg = context.config;
  const int codePage = context.codePage;
  std::string candidates[3];
  candidates[0] = startDirectory;
  joinPath(candidates[0], sourceArg, codePage);
  candidates[1] = cfg.contentDirectory;
  joinPath(candidates[1], sourceArg, codePage);
  candidates[2] = cfg.contentDirectory;
  joinPath(candidates[2], cfg.scenesDirectory, codePage);
  joinPath(candidates[2], sourceArg, codePage);
  // joinPath keeps a name that starts with '.' (./x, ../x, .hidden) as written; such a
  // name means the directory the command was started in, not the destination.
  const std::string& base = !sourceArg.empty() && sourceArg[0] == '.' ? startDirectory : context.directory;
  for (const std::string& candidate : candidates) {
    if (candidate.size() >= kPathSize) continue;
    if (context.options.outputBesideSource) {
      destinationDirectory.assign(candidate, 0, fileNamePart(candidate, codePage));
    }
    const std::string file = resolvePathIn(base, candidate, codePage);
    std::FILE* stream = platform::openFile(file, "rb");
    if (stream != nullptr) {
      opened = candidate;
      openedFile = file;
      return stream;
    }
  }
  return nullptr;
}

}  // namespace

Status convertFile(const ConversionContext& given, const std::string& templatePath, const std::string& sourceArg,
                   const char* outputName, const std::string& startDirectory, std::string& destinationDirectory) {
  ConversionContext context = given;
  context.startDirectory = startDirectory;
  const ConvertOptions& opt = context.options;
  const MessageSink& sink = context.sink;
  const int codePage = context.codePage;

  std::string sourcePath;
  std::string sourceFile;
  const platform::FileCloser sourceCloser{
      openSource(context, sourceArg, startDirectory, destinationDirectory, sourcePath, sourceFile)};
  std::FILE* const source = sourceCloser.stream;
  if (source == nullptr) {
    report(sink, Message::kCouldNotOpen, sourceArg);
    return Status::kMissing;
  }
  context.sourcePath = sourceFile;

  const std::string_view sourceName = std::string_view(sourceArg).substr(fileNamePart(sourceArg, codePage));
  std::string outputPath = destinationDirectory;
  joinPath(outputPath, outputName != nullptr ? std::string_view(outputName) : sourceName, codePage);

  const std::size_t dot = findExtension(sourceName, codePage);
  const std::string_view ext = dot == std::string_view::npos ? std::string_view() : sourceName.substr(dot);
  if (!equalsIgnoringCase(ext, ".LWS") && !equalsIgnoringCase(ext, ".LWO")) {
    report(sink, Message::kUnsupportedSource, sourceArg);
    return Status::kNotThisFormat;
  }
  replaceExtension(outputPath, ".X", codePage);
  if (outputPath.size() >= kPathSize) {
    report(sink, Message::kOutputPathTooLong, outputPath);
    return Status::kBadInput;
  }

  report(sink, Message::kConvertFromTo, sourcePath, outputPath);
  const std::string outputFile = resolvePath(context, outputPath);
  context.outputDirectory = outputFile.substr(0, fileNamePart(outputFile, codePage));

  // The .X file is built under a temporary name and takes its real name only when the
  // conversion succeeded, so a failure never leaves a partial file or destroys an old one.
  platform::TempFile output;
  output.stream = platform::createTempFile(outputFile, opt.binaryOutput != 0, output.path);
  if (output.stream == nullptr) {
    report(sink, Message::kCouldNotCreate, outputPath);
    return Status::kWriteFailed;
  }
  XWriter out;
  out.file = output.stream;
  out.binary = opt.binaryOutput != 0;
  out.codePage = codePage;

  // A source that cannot be read is converted as an empty one: no scene, and no object.
  platform::FileBytes bytes;
  if (!platform::readWholeFile(source, bytes)) {
    bytes.data = nullptr;
    bytes.size = 0;
  }
  ConversionInput input;
  input.bytes = std::string_view(reinterpret_cast<const char*>(bytes.data), bytes.size);
  input.owner = &bytes;
  input.sourceName = sourceArg;
  input.objects = fileObjectSource();
  input.templatePath = templatePath;
  const Status converted = convertLoaded(context, input, out);
  const bool written = ok(xFlush(out));
  if (!ok(converted)) return converted;
  // Committed only when whole; otherwise the temporary file goes with `output`.
  if (!written || !output.commit(outputFile)) {
    report(sink, Message::kCouldNotWrite, outputPath);
    return Status::kWriteFailed;
  }
  return Status::kOk;
}

std::string templateBeside(const std::string& programPath, int codePage) {
  std::string templatePath = programPath;
  templatePath.resize(fileNamePart(templatePath, codePage));
  return templatePath + kTemplateFileName;
}

namespace {

int runRequest(const ConversionRequest& request, const MessageSink& sink, bool& converted) {
  converted = false;
  ConversionContext context;
  context.options = request.options;
  context.sink = sink;
  context.codePage = platform::fileNameCodePage();
  const ConvertOptions& opt = context.options;

  // Every path and name must fit the fixed fields the readers and writers are built around.
  if (request.haveConfig && request.configPath.size() >= kPathSize) {
    report(sink, Message::kConfigPathTooLong, 0, kPathSize - 1);
    return 1;
  }
  if (opt.framePrefix.size() >= kNameSize) {
    report(sink, Message::kPrefixTooLong, opt.framePrefix, 0, kNameSize - 1);
    return 1;
  }
  if (request.source.size() >= kPathSize) {
    report(sink, Message::kSourcePathTooLong, 0, kPathSize - 1);
    return 1;
  }
  if (request.destination.size() >= kPathSize) {
    report(sink, Message::kDestinationTooLong, 0, kPathSize - 1);
    return 1;
  }

  std::string startDirectory;
  if (!platform::getCurrentDirectory(startDirectory) || startDirectory.size() >= kPathSize) {
    report(sink, Message::kCurrentDirectory, 0, kPathSize - 1);
    return 1;
  }

  if (request.haveConfig) {
    const platform::FileCloser closer{platform::openFile(request.configPath, "r")};
    std::FILE* const cfg = closer.stream;
    if (cfg == nullptr) {
      report(sink, Message::kConfigNotFound, request.configPath);
      return 1;
    }
    if (!ok(readLwConfig(context.config, cfg))) {
      report(sink, Message::kConfigInvalid, request.configPath);
      return 1;
    }
    report(sink, Message::kContentDirectory, context.config.contentDirectory);
  }

  // The destination directory is where the output and the textures go, and where relative
  // names resolve; it is found without entering it.
  std::string destination;
  std::string outputName;
  bool haveOutputName = false;
  context.directory = startDirectory;
  if (!request.destination.empty()) {
    destination = request.destination;
    const std::size_t namePart = fileNamePart(destination, context.codePage);
    if (namePart < destination.size()) {
      std::string existing;
      if (platform::directoryPath(destination, existing)) {
        // An existing directory: the output keeps the source's name.
        destination.push_back(platform::nativeSeparator());
      } else {
        outputName = destination.substr(namePart);
        haveOutputName = true;
      }
    }
    const std::size_t dirEnd = fileNamePart(destination, context.codePage);
    if (dirEnd == 0) {
      destination.clear();
    } else {
      destination.resize(dirEnd);
      destination.push_back('.');
      std::string full;
      if (!platform::directoryPath(destination, full)) {
        report(sink, Message::kNoDestinationDirectory, destination);
        return 1;
      }
      if (full.size() >= kPathSize) {
        report(sink, Message::kDestinationUnreadable, 0, kPathSize - 1);
        return 1;
      }
      destination = full;
      context.directory = full;
      context.options.outputBesideSource = 0;
    }
  }

  report(sink, Message::kOutputFormat, opt.binaryOutput != 0 ? 1 : 0);
  if (opt.flipTextureV) report(sink, Message::kFlipTextureV);

  converted = true;
  const Status result = convertFile(context, request.templatePath, request.source,
                                    haveOutputName ? outputName.c_str() : nullptr, startDirectory, destination);
  if (!ok(result)) report(sink, Message::kErrorOccured);
  return ok(result) ? 0 : 1;
}

}  // namespace

int runConversion(const ConversionRequest& request, const MessageSink& sink, bool& converted) {
  // Every way a conversion can fail ends here as exit code 1: memory running out anywhere
  // included. Files it opened are closed and its temporary files removed on the way.
  try {
    return runRequest(request, sink, converted);
  } catch (...) {
    return conversionAbandoned(sink);
  }
}

int conversionAbandoned(const MessageSink& sink) {
  Message message = Message::kInternalError;
  try {
    throw;
  } catch (const std::bad_alloc&) {
    message = Message::kOutOfMemory;
  } catch (...) {
  }
  try {
    report(sink, message);
    report(sink, Message::kErrorOccured);
  } catch (...) {
    // The sink itself ran out of memory: the exit code still tells.
  }
  return 1;
}

}  // namespace torvo
