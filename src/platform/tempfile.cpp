// Temporary output files that never outlive a failed conversion.
#include "platform/platform.h"

namespace torvo {

namespace platform {

TempFile::~TempFile() {
  close();
  if (path.empty()) return;
  try {
    removeFile(path);
  } catch (...) {
    // No memory to resolve the name: remove it as given (the interrupt list keeps a stale entry).
    std::remove(path.c_str());
  }
}

bool TempFile::close() {
  if (stream == nullptr) return true;
  bool ok = std::fflush(stream) == 0 && std::ferror(stream) == 0;
  if (std::fclose(stream) != 0) ok = false;
  stream = nullptr;
  return ok;
}

bool TempFile::commit(const std::string& finalPath) {
  if (!close() || !commitFile(path, finalPath)) return false;
  path.clear();
  return true;
}

}  // namespace platform

}  // namespace torvo
