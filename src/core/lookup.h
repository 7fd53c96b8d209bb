// The last resort for files that scenes and objects name: content made on another
// machine names them by that machine's paths (C:\NewTek\Objects\crate.lwo), or beside
// a scene that is converted from elsewhere. Tried only after the usual lookups failed.
#pragma once

#include <cstdio>
#include <string>

#include "core/context.h"

namespace torvo {

enum class LookupKind { kObject, kImage };

// Candidates tried under one root at most: the path without its drive and then each
// shorter tail, bounded so that a missing file costs a few dozen look-ups.
constexpr int kMaxLookupTails = 8;

// Looks for `written` (as the naming file wrote it) under the start directory, the
// directory of namingFile, the content directory, or one guessed from namingFile's
// place, in that order. On success returns the opened file (binary mode), sets found
// to its path, and reports "found ... as ..." (and any ambiguity) through the sink.
std::FILE* openByFallback(const ConversionContext& context, const std::string& written,
                          const std::string& namingFile, LookupKind kind, std::string& found);

// The path of file as seen from directory (both absolute): relative where one exists,
// else file itself.
std::string relativePath(const std::string& directory, const std::string& file, int codePage);

}  // namespace torvo
