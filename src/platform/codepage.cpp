// The file-name code page, the same on every system: what the active code page says
// until the path utilities set it.
#include "platform/platform.h"

#include <atomic>

namespace platform {

namespace {
// Read by every conversion thread when it opens a file.
std::atomic<int> g_fileNameCodePage{-1};
}  // namespace

int fileNameCodePage() {
  const int codePage = g_fileNameCodePage.load(std::memory_order_relaxed);
  if (codePage >= 0) return codePage;
  // Asked once: looking at the locale is not safe while another thread does the same.
  static const int active = activeCodePage();
  return active;
}

void setFileNameCodePage(int codePage) { g_fileNameCodePage.store(codePage); }

}  // namespace platform
