// Everything one conversion needs, passed down explicitly: no reader or writer keeps or
// reads process-wide state, so conversions can run side by side in one process.
#pragma once

#include <cstddef>
#include <string>

#include "core/lwcfg.h"
#include "core/messages.h"
#include "core/options.h"

namespace torvo {

struct ConversionContext {
  ConvertOptions options;
  LwConfig config;           // empty unless lw.cfg was read
  int codePage = 1252;       // the code page paths and names are walked in
  std::string directory;     // relative file names resolve here; empty: the process's current directory
  MessageSink sink;
  // Where files named by other machines' paths are looked for last (see lookup.h).
  std::string startDirectory;   // the directory the conversion was started in
  std::string sourcePath;       // the source file as opened
  std::string outputDirectory;  // where the .X file goes, for references to found files
};

// The name under which a file named by the conversion is opened or created: a relative
// name resolves against the context's directory, as it would in that current directory.
std::string resolvePath(const ConversionContext& context, const std::string& path);
// The same against another directory (empty: the process's current directory).
std::string resolvePathIn(const std::string& directory, const std::string& path, int codePage);

}  // namespace torvo
