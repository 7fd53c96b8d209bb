// The file-name code page, the same on every system: what the active code page says
// until the path utilities set it.
#include "platform/platform.h"

namespace platform {

namespace {
int g_fileNameCodePage = -1;
}  // namespace

int fileNameCodePage() {
  if (g_fileNameCodePage < 0) g_fileNameCodePage = activeCodePage();
  return g_fileNameCodePage;
}

void setFileNameCodePage(int codePage) { g_fileNameCodePage = codePage; }

}  // namespace platform
