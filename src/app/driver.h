// One conversion: find the source, read it as a scene or an object, write the .x file.
#pragma once

#include <string>

#include "core/context.h"

namespace torvo {

// What the command line (or an embedding caller) asks for, as given.
struct ConversionRequest {
  ConvertOptions options;
  std::string source;
  std::string destination;    // empty: none
  std::string configPath;     // lw.cfg, read when haveConfig
  bool haveConfig = false;
  std::string templatePath;   // the template file (text output)
};

// The template file beside the program at programPath.
std::string templateBeside(const std::string& programPath, int codePage);

// Everything after the command line is parsed: the checks of paths and names, lw.cfg,
// the destination, the conversion itself and its final message, all through sink.
// Returns the exit code (0 or 1); converted tells whether the conversion was tried. Nothing
// is thrown: running out of memory anywhere is a failed conversion, its files cleaned up.
int runConversion(const ConversionRequest& request, const MessageSink& sink, bool& converted);

// Inside a catch block: the message for the exception being handled, then exit code 1.
int conversionAbandoned(const MessageSink& sink);

// kOk, or why not (message given). Relative names resolve against
// context.directory; destinationDirectory may be overwritten when the output goes
// beside the source (-s).
Status convertFile(const ConversionContext& context, const std::string& templatePath, const std::string& sourceArg,
                   const char* outputName, const std::string& startDirectory, std::string& destinationDirectory);

}  // namespace torvo
