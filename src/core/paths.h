// Path and line utilities shared by every reader and writer.
// Separators are '\', '/' and ':'; joining adds the native separator.
// Characters are walked in the given code page, so a double-byte character's
// trail byte is never taken for a separator or a dot.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

namespace torvo {

// dst = dst joined with src, unless src is complete ('/', '\' or '.' first, or a ':').
void joinPath(std::string& dst, std::string_view src, int codePage);
// Position just after the last separator, or 0.
std::size_t fileNamePart(std::string_view path, int codePage);
// Position of the last '.' after the last separator, or std::string_view::npos.
std::size_t findExtension(std::string_view path, int codePage);
// Overwrites the extension from its dot with ext, or appends ext.
void replaceExtension(std::string& path, std::string_view ext, int codePage);
// Reads one line of at most size-1 characters; CR, LF, CR LF and LF CR end a line.
// Returns false ("none") when the stream's end-of-file indicator was already set.
bool readLine(std::string& line, std::size_t size, std::FILE* stream);
// ASCII letters compared without regard to case, as LightWave's file names are.
bool equalsIgnoringCase(std::string_view a, std::string_view b);
// Letters, digits and '_' kept, a space becomes '_', everything else dropped.
std::string makeXName(std::string_view src, int codePage);

}  // namespace torvo
