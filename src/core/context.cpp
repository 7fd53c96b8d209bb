#include "core/context.h"

#include "platform/platform.h"

namespace torvo {

std::string resolvePath(const ConversionContext& context, const std::string& path) {
  return resolvePathIn(context.directory, path, context.codePage);
}

std::string resolvePathIn(const std::string& dir, const std::string& path, int codePage) {
  if (dir.empty() || platform::isAbsolutePath(path)) return path;
  // The directory's last character, walked from the start: a trail byte equal to '\\'
  // is no separator.
  std::size_t last = 0;
  for (std::size_t i = 0; i < dir.size();) {
    last = i;
    i += (i + 1 < dir.size() && platform::isLeadByte(codePage, static_cast<unsigned char>(dir[i]))) ? 2 : 1;
  }
  const bool separated = last + 1 == dir.size() && (dir[last] == '/' || dir[last] == '\\');
  std::string joined = dir;
  if (!separated) joined.push_back(platform::nativeSeparator());
  return joined + path;
}

}  // namespace torvo
