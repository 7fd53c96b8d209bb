#include "core/context.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

#include "platform/platform.h"

void sayText(const MessageSink& sink, std::string_view text) {
  if (sink.write != nullptr && !text.empty()) sink.write(sink.user, text.data(), text.size());
}

void say(const MessageSink& sink, const char* format, ...) {
  if (sink.write == nullptr) return;
  char small[512];
  std::va_list args;
  va_start(args, format);
  std::va_list again;
  va_copy(again, args);
  const int n = std::vsnprintf(small, sizeof small, format, args);
  va_end(args);
  if (n >= 0 && static_cast<std::size_t>(n) < sizeof small) {
    sink.write(sink.user, small, static_cast<std::size_t>(n));
  } else if (n >= 0) {
    // Long messages (paths of up to 1023 characters, twice) take a buffer of their own.
    std::vector<char> large(static_cast<std::size_t>(n) + 1);
    std::vsnprintf(large.data(), large.size(), format, again);
    sink.write(sink.user, large.data(), static_cast<std::size_t>(n));
  }
  va_end(again);
}

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
